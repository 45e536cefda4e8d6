// The AT command layer of the plug-in object.
#include "framework/contracts/ids.h"
#include "framework/devicemgr/at_answers.h"
#include "framework/devicemgr/at_receiver.h"
#include "framework/devicemgr/gps_commands.h"
#include "orbitpane/session/agps_settings.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "platform/ui/kit.h"

using devicemgr::GpsCommand;
using devicemgr::GpsLine;
using framework::IDeviceChannel;
using framework::IDeviceMgr;

namespace {

// Set while this thread is inside an exchange. A send the window thread serves while its own
// exchange waits may not start a second one: it fails at once instead of deadlocking.
thread_local bool t_inExchange = false;

}  // namespace

IDeviceChannel* COrbitpaneImpl::GetDeviceChannel() {
    auto* manager = context_.LookUp<IDeviceMgr>(framework::kDeviceMgrId, framework::kDeviceMgrFlag);
    if (!manager) return nullptr;
    IDeviceChannel* channel = nullptr;
    try {
        channel = manager->GetCurrentDevice();
    } catch (...) {
        channel = nullptr;
    }
    manager->Release();
    return channel;
}

void COrbitpaneImpl::OnAnswer(const char* answer) {
    std::string text(answer);
    {
        std::lock_guard<std::mutex> lock(answerMutex_);
        // Answers outside an exchange, or after its final answer, belong to nobody.
        if (!exchangeActive_ || outcome_ != Outcome::kPending) return;
        // An answer is final when its last line is a final result code.
        std::vector<std::string> lines = devicemgr::LinesOf(text);
        bool error = false;
        if (lines.empty() || !devicemgr::IsFinalCode(lines.back(), error)) return;
        outcome_ = error ? Outcome::kError : Outcome::kOk;
        pendingAnswer_ = std::move(text);
    }
    replyEvent_.Set();
}

COrbitpaneImpl::ExchangeResult COrbitpaneImpl::Exchange(const std::string& line, Handler handler) {
    ExchangeResult result;
    if (t_inExchange) return result;
    t_inExchange = true;
    struct Leave {
        ~Leave() { t_inExchange = false; }
    } leave;
    std::lock_guard<std::mutex> serial(exchangeMutex_);
    // Asked for each exchange: the device manager may have been made again since the last.
    IDeviceChannel* channel = GetDeviceChannel();
    if (!channel) return result;

    {
        std::lock_guard<std::mutex> lock(answerMutex_);
        exchangeActive_ = true;
        outcome_ = Outcome::kPending;
        pendingAnswer_.clear();
    }
    replyEvent_.Reset();
    framework::AnswerHandler fn =
        handler == Handler::kType ? orbitpane::TypeAnswerHandler : orbitpane::OkAnswerHandler;
    channel->SetAnswerHandler(fn);
    if (channel->SendCommand(line.c_str())) {
        // The window ends with the first final answer, or after 500 ms without one. The window
        // thread keeps serving sends meanwhile: the manager may be sending it a GPS record
        // before it can deliver this answer.
        if (ui::IsWindowThread()) {
            ui::WaitServingSends(
                [this] {
                    std::lock_guard<std::mutex> lock(answerMutex_);
                    return outcome_ != Outcome::kPending;
                },
                kReplyWindowMs);
        } else {
            replyEvent_.Wait(kReplyWindowMs);
        }
    }
    channel->EndExchange();
    channel->RemoveAnswerHandler(fn);

    std::lock_guard<std::mutex> lock(answerMutex_);
    exchangeActive_ = false;
    result.outcome = outcome_ == Outcome::kPending ? Outcome::kTimeout : outcome_;
    result.answer = std::move(pendingAnswer_);
    if (handler == Handler::kType && result.outcome == Outcome::kOk) answerText_ = result.answer;
    return result;
}

int COrbitpaneImpl::SetCommand(const std::string& line) {
    ExchangeResult r = Exchange(line, Handler::kOk);
    return r.outcome == Outcome::kOk ? 1 : 0;
}

session::GpsTypeAnswer COrbitpaneImpl::QueryGpsTypeAnswer() {
    ExchangeResult r = Exchange(GpsLine(GpsCommand::kGpsType), Handler::kType);
    // Only this exchange's own acknowledged answer counts.
    if (r.outcome != Outcome::kOk) return session::GpsTypeAnswer::kUnanswered;
    switch (devicemgr::GpsOfferOf(r.answer)) {
        case devicemgr::GpsOffer::kGpsOnly:
            return session::GpsTypeAnswer::kGpsOnly;
        case devicemgr::GpsOffer::kAgps:
            return session::GpsTypeAnswer::kAgps;
        case devicemgr::GpsOffer::kNone:
            break;
    }
    return session::GpsTypeAnswer::kNoType;
}

int COrbitpaneImpl::QueryGpsType() {
    switch (QueryGpsTypeAnswer()) {
        case session::GpsTypeAnswer::kGpsOnly:
            return kGpsTypeGpsOnly;
        case session::GpsTypeAnswer::kAgps:
            return kGpsTypeAgps;
        default:
            return kGpsTypeNone;
    }
}

int COrbitpaneImpl::SetApn(const std::string& apn) {
    // Only a checked value goes into the line: a quote or a ';' would end it early.
    if (session::ApnProblem(apn) != nullptr) return 0;
    return SetCommand(GpsLine({.command = GpsCommand::kApn, .text = apn}));
}

int COrbitpaneImpl::SetSuplServer(const std::string& server) {
    if (session::SuplServerProblem(server) != nullptr) return 0;
    return SetCommand(GpsLine({.command = GpsCommand::kSuplServer, .text = server}));
}

int COrbitpaneImpl::SetPositionMode(int mode) {
    return SetCommand(GpsLine({.command = GpsCommand::kPositionMode, .number = mode}));
}

int COrbitpaneImpl::SetFixInterval(int seconds) {
    return SetCommand(GpsLine({.command = GpsCommand::kFixInterval, .number = seconds}));
}

int COrbitpaneImpl::SetSecTime(const std::string& timeText) {
    return SetCommand(GpsLine({.command = GpsCommand::kSecTime, .text = timeText}));
}

bool COrbitpaneImpl::ProbeCard() {
    return Exchange(GpsLine(GpsCommand::kProbe), Handler::kOk).outcome == Outcome::kOk;
}

std::string COrbitpaneImpl::AnswerText() const {
    std::lock_guard<std::mutex> lock(answerMutex_);
    return answerText_;
}

bool COrbitpaneImpl::SwitchGps(bool open) {
    gpsStatus_ = 0;
    // A fresh device object each time: the receiver follows the card now present.
    IDeviceChannel* channel = GetDeviceChannel();
    if (!channel) return false;
    auto* gps = dynamic_cast<framework::IGpsControl*>(channel);
    if (!gps) return false;
    uint32_t status = 0;
    bool ok = open ? gps->OpenGps(&status) : gps->CloseGps(&status);
    if (!ok) gpsStatus_ = status;
    return ok;
}

int COrbitpaneImpl::OpenGps() {
    return SwitchGps(true) ? 1 : 0;
}

int COrbitpaneImpl::CloseGps() {
    return SwitchGps(false) ? 1 : 0;
}

void COrbitpaneImpl::SetDeviceEventSink(bool add) {
    // Only a registered sink is removed: the object's teardown asks no manager needlessly.
    if (!add && !sinkRegistered_.exchange(false)) return;
    auto* manager = context_.LookUp<IDeviceMgr>(framework::kDeviceMgrId, framework::kDeviceMgrFlag);
    if (!manager) return;
    try {
        if (add) {
            if (manager->AddEventSink(this)) sinkRegistered_ = true;
        } else {
            manager->RemoveEventSink(this);
        }
    } catch (...) {
    }
    manager->Release();
}

void COrbitpaneImpl::RegisterDeviceEvents() {
    SetDeviceEventSink(true);
}

void COrbitpaneImpl::UnregisterDeviceEvents() {
    SetDeviceEventSink(false);
}
