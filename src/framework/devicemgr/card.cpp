#include "framework/devicemgr/card.h"

#include <algorithm>
#include <vector>

#include "framework/devicemgr/gps_commands.h"
#include "platform/text.h"

namespace devicemgr {
namespace {

// Commands of the bring-up; the receiver's session has the GPS command set's.
constexpr const char* kEchoOff = "ATE0";
constexpr const char* kNumericErrors = "AT+CMEE=1";
constexpr const char* kModel = "AT+CGMM";
constexpr const char* kSerial = "AT+CGSN";
constexpr const char* kVariant = "AT^CUSTOMIZE?";
constexpr const char* kSimQuery = "AT+CPIN?";
constexpr const char* kProbe = "AT";
constexpr const char* kFunction = "AT+CFUN?";
// Sent by a card when it has finished starting up, and when its SIM changed.
constexpr const char* kStartedLine = "^SYSSTART";
constexpr const char* kSimChangedLine = "^SIMST";
constexpr const char* kSimLine = "+CPIN:";

}  // namespace

SerialCard::SerialCard(CardPorts ports, CardListener& listener, CardTiming timing,
                       platform::ServingWait wait)
    : ports_(std::move(ports)),
      listener_(listener),
      timing_(timing),
      wait_(std::move(wait)),
      gps_(ports_.gps) {}

SerialCard::~SerialCard() {
    Stop();
}

bool SerialCard::Start(std::string& error) {
    auto port = platform::SerialLine::Open(ports_.at.node, error);
    if (!port) return false;
    AtChannel::Handlers h;
    h.answered = [this](const std::string& answer) { listener_.OnUserAnswer(*this, answer); };
    h.unsolicited = [this](const std::string& line) { OnUnsolicited(line); };
    h.hungUp = [this] {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        listener_.OnCardHungUp(*this);
    };
    h.timedOut = [this] {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            probeWanted_ = true;
            life_.CommandUnanswered();
        }
        wake_.notify_all();
    };
    h.trace = [this](const std::string& text) {
        Trace(framework::kTraceInfo, ports_.at.node + " " + text);
    };
    h.wait = wait_;
    channel_ = std::make_unique<AtChannel>(std::move(port), std::move(h), timing_.answerTimeoutMs);
    if (!channel_->Start()) {
        error = "cannot start the reader of " + ports_.at.node;
        channel_.reset();
        return false;
    }
    OpenGpsPort();
    try {
        life_thread_ = std::thread([this] { Life(); });
    } catch (...) {
        error = "cannot start the card's thread";
        Stop();
        return false;
    }
    return true;
}

void SerialCard::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (channel_) channel_->Close();  // fails the command the life thread may wait for
    if (life_thread_.joinable()) {
        if (life_thread_.get_id() == std::this_thread::get_id()) {
            life_thread_.detach();
        } else {
            life_thread_.join();
        }
    }
    std::unique_ptr<platform::SerialLine> gps;
    {
        std::lock_guard<std::mutex> lock(gpsPortMutex_);
        gps = std::move(gpsPort_);
    }
    if (gps) gps->Stop();
}

CardPorts SerialCard::Ports() const {
    CardPorts ports = ports_;
    std::lock_guard<std::mutex> lock(gpsPortMutex_);
    ports.gps = gps_;
    return ports;
}

void SerialCard::UpdatePorts(const CardPorts& ports) {
    std::unique_ptr<platform::SerialLine> closing;
    std::string closingNode;
    {
        std::lock_guard<std::mutex> lock(gpsPortMutex_);
        bool same = ports.gps.node == gps_.node;
        if (gpsPort_ && (!same || gpsPort_->HungUp())) {
            closing = std::move(gpsPort_);
            closingNode = gps_.node;
        }
        if (!same) {
            gps_ = ports.gps;
            gpsRestUntil_ = {};
        }
    }
    if (closing) {
        closing->Stop();
        closing.reset();
        Trace(framework::kTraceNotice, "GPS port closed: " + closingNode);
    }
    OpenGpsPort();
}

void SerialCard::OpenGpsPort() {
    platform::SerialPort gps;
    {
        std::lock_guard<std::mutex> lock(gpsPortMutex_);
        if (gpsPort_ || gps_.node.empty() || Clock::now() < gpsRestUntil_) return;
        gps = gps_;
    }
    std::string error;
    auto port = platform::SerialLine::Open(gps.node, error);
    platform::SerialLine::Handlers g;
    g.received = [this, node = gps.node](std::string_view bytes) { OnGpsBytes(node, bytes); };
    g.hungUp = [this, node = gps.node] { OnGpsHungUp(node); };
    g.stopWait = wait_;
    if (port && !port->Start(std::move(g))) {
        port.reset();
        error = "cannot start its reader";
    }
    if (!port) {
        Trace(framework::kTraceWarning, "GPS port not opened: " + gps.node + ": " + error);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(gpsPortMutex_);
        gpsPort_ = std::move(port);
        // A port that keeps hanging up as soon as it is opened is tried less and less often.
        gpsRestUntil_ = Clock::now() + std::chrono::seconds(2);
    }
    Trace(framework::kTraceNotice, "GPS port opened: " + gps.node);
}

void SerialCard::OnGpsHungUp(const std::string& node) {
    Clock::time_point lookAgain;
    {
        std::lock_guard<std::mutex> lock(gpsPortMutex_);
        auto now = Clock::now();
        auto base = std::chrono::milliseconds(timing_.gpsRestMs);
        // gpsRestUntil_ is still ahead when it hung up soon after it was opened.
        gpsRest_ = now < gpsRestUntil_ ? std::min(std::max(gpsRest_ * 2, base), base * 32) : base;
        gpsRestUntil_ = now + gpsRest_;
        lookAgain = gpsRestUntil_;
    }
    Trace(framework::kTraceNotice, "GPS port hung up: " + node);
    listener_.OnGpsPortHungUp(*this, lookAgain);
}

bool SerialCard::WaitBroughtUp(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_until(lock, deadline, [&] { return broughtUp_ || stopping_; }) && broughtUp_;
}

std::string SerialCard::Id() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return platform::AsciiLower(model_.empty() ? ports_.key : model_);
}

std::string SerialCard::Model() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return model_;
}

std::string SerialCard::Serial() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return serial_;
}

std::string SerialCard::Variant() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return variant_;
}

SerialCard::State SerialCard::GetState() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return life_.State();
}

bool SerialCard::SendUser(const std::string& line) {
    return channel_ && channel_->Send(line);
}

void SerialCard::EndUserExchange() {
    if (channel_) channel_->EndExchange();
}

bool SerialCard::OpenGps(uint32_t& /*status*/) {
    if (!channel_) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (life_.GetLink() == Link::Silent) return false;
    }
    auto answer = channel_->Command(GpsLine(GpsCommand::kGpsStart));
    bool ok = answer && !answer->error;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (ok) life_.GpsOpened();
        // Answered late, the start may have started the receiver after all.
        if (!answer) life_.GpsStartUnanswered();
    }
    if (!answer) wake_.notify_all();
    Trace(framework::kTraceNotice,
          std::string("GPS session ") + (ok       ? "opened"
                                         : answer ? "not opened"
                                                  : "not opened in time, to be stopped when the "
                                                    "card answers"));
    return ok;
}

bool SerialCard::CloseGps() {
    if (!channel_) return false;
    bool silent;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        silent = life_.GetLink() == Link::Silent;
    }
    // A card that does not answer is not waited for: it is stopped when it answers again.
    std::optional<AtAnswer> answer;
    if (!silent) answer = channel_->Command(GpsLine(GpsCommand::kGpsStop));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (answer) {
            life_.GpsCloseAnswered(!answer->error);
        } else {
            life_.GpsCloseUnanswered();
        }
    }
    wake_.notify_all();
    bool ok = answer && !answer->error;
    Trace(framework::kTraceNotice,
          std::string("GPS session ") + (ok       ? "closed"
                                         : answer ? "not closed"
                                                  : "closed, to be stopped when the card answers"));
    return ok;
}

NmeaCounters SerialCard::GpsCounters() const {
    std::lock_guard<std::mutex> lock(gpsMutex_);
    return decoder_.Counters();
}

void SerialCard::OnGpsBytes(const std::string& node, std::string_view bytes) {
    std::vector<std::string> sentences;
    std::vector<framework::GpsDataRecord> records;
    std::vector<framework::GpsSkyRecord> skies;
    {
        std::lock_guard<std::mutex> lock(gpsMutex_);
        lexer_.Feed(bytes, sentences);
        for (const std::string& sentence : sentences) {
            if (auto fix = decoder_.Decode(sentence)) records.push_back(MakeRecord(*fix));
            if (auto sky = decoder_.TakeSky()) skies.push_back(MakeSkyRecord(*sky));
        }
    }
    for (const std::string& sentence : sentences) {
        Trace(framework::kTraceDebug, node + " < " + sentence);
    }
    if (!life_.GpsOpen()) return;
    listener_.OnGpsSentences(*this, sentences);
    for (const framework::GpsDataRecord& record : records) listener_.OnGpsRecord(*this, record);
    for (const framework::GpsSkyRecord& sky : skies) listener_.OnGpsSky(*this, sky);
}

void SerialCard::Trace(int level, const std::string& text) {
    // Much of what is traced comes from the card: only what can be shown of it.
    listener_.OnCardTrace(*this, level, platform::PrintableOnly(text));
}

// ---- The life thread.

template <class F>
void SerialCard::Learn(F&& learn) {
    bool changed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        changed = learn();
    }
    if (changed) listener_.OnCardChanged(*this);
}

void SerialCard::MarkBroughtUp() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        broughtUp_ = true;
    }
    wake_.notify_all();
}

void SerialCard::Life() {
    // Its first words: answered, the card is brought up; unanswered, it has arrived all the
    // same and is probed until it answers or counts as unavailable.
    bool answered = channel_->Command(kProbe, timing_.initTimeoutMs, true).has_value();
    Learn([&] { return answered ? life_.Answered() : life_.FirstWordsUnanswered(); });
    if (!answered) {
        Trace(framework::kTraceNotice, ports_.at.node + " does not answer");
        MarkBroughtUp();
    }
    bool probe = false;
    CardWork work;
    while (WaitForTurn(probe, work)) {
        if (!probe) {
            DoWork(work);
            continue;
        }
        bool ok = channel_->Command(kProbe, timing_.probeTimeoutMs, true).has_value();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            nextProbe_ = Clock::now() + std::chrono::milliseconds(timing_.probeGapMs);
        }
        bool wasSilent = GetState().unavailable;
        Learn([&] { return ok ? life_.Answered() : life_.ProbeMissed(); });
        bool silent = GetState().unavailable;
        if (silent != wasSilent) {
            Trace(framework::kTraceNotice,
                  ports_.at.node + (silent ? " not answering" : " answering again"));
        }
    }
}

bool SerialCard::WaitForTurn(bool& probe, CardWork& work) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        auto now = Clock::now();
        bool answering = life_.GetLink() == Link::Answering;
        auto keepAlive = channel_->LastReceived() + std::chrono::milliseconds(timing_.keepAliveMs);
        bool probing = !answering || life_.Doubtful();
        if (probeWanted_ || (probing && now >= nextProbe_) || (answering && now >= keepAlive)) {
            probeWanted_ = false;
            probe = true;
            return true;
        }
        bool simDue = answering && !life_.State().ready && now >= nextSimRead_;
        if (simDue) life_.SimReported();
        if (answering && life_.HasWork()) {
            work = life_.TakeWork();
            probe = false;
            return true;
        }
        Clock::time_point until = probing ? nextProbe_ : keepAlive;
        if (answering && !life_.State().ready) until = std::min(until, nextSimRead_);
        wake_.wait_until(lock, until);
    }
    return false;
}

std::optional<AtAnswer> SerialCard::Ask(const std::string& line, int timeoutMs, bool readOnly) {
    auto answer = channel_->Command(line, timeoutMs, readOnly);
    if (!answer) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            probeWanted_ = true;
        }
        wake_.notify_all();
    }
    return answer;
}

void SerialCard::DoWork(const CardWork& work) {
    if (work.init) {
        if (!Ask(kEchoOff, timing_.initTimeoutMs)) return;
        Ask(kNumericErrors, timing_.initTimeoutMs);
    }
    if (work.identify && !Identify(false)) return;
    if (work.stopGps) StopLostSession();
    if (work.readSim) CheckSim();
    if (work.readIdentity) Identify(true);
}

bool SerialCard::Identify(bool onceReady) {
    std::string model, serial;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        model = model_;
        serial = serial_;
    }
    bool answered = true;
    auto read = [&](const char* line, std::string& into) {
        if (!answered || !into.empty()) return;
        auto answer = Ask(line, timing_.initTimeoutMs);
        answered = answer.has_value();
        into = InfoOf(answer);
    };
    read(kModel, model);
    read(kSerial, serial);
    std::string variant;
    if (answered) {
        auto answer = Ask(kVariant, timing_.initTimeoutMs);
        answered = answer.has_value();
        variant = InfoOf(answer);
    }
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return false;
        changed = model != model_ || serial != serial_ || (!variant.empty() && variant != variant_);
        model_ = model;
        serial_ = serial;
        if (!variant.empty()) variant_ = variant;
        life_.IdentityRead(!model_.empty() && !serial_.empty() && !variant_.empty());
    }
    if (changed || !onceReady) {
        Trace(framework::kTraceNotice,
              "card " + std::string(onceReady ? "identified" : "found") + ": " + ports_.at.node +
                  " model \"" + model + "\" serial \"" + serial + "\" variant \"" + variant + "\"");
    }
    bool arrivedNow = false;
    Learn([&] { return arrivedNow = life_.Identified(); });
    // Arrival tells the identity; a later change is told on its own.
    if (changed && !arrivedNow) listener_.OnCardChanged(*this);
    MarkBroughtUp();
    return answered;
}

void SerialCard::CheckSim() {
    auto retry = std::chrono::milliseconds(timing_.simRetryMs);
    auto answer = Ask(kSimQuery, timing_.initTimeoutMs);
    uint32_t sim = answer ? SimStateOf(*answer) : kSimUnknown;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        bool settled = sim != kSimBusy && sim != kSimUnknown;
        nextSimRead_ =
            Clock::now() + (settled ? std::chrono::milliseconds(timing_.simPollMs) : retry);
    }
    if (!answer) return;
    Learn([&] { return life_.SimRead(sim); });
    if (sim != kSimUsable) return;
    // Usable SIM; the card is up once its radio function is on (a card without the query
    // counts as up).
    auto function = Ask(kFunction, timing_.initTimeoutMs);
    if (!function) return;
    bool on = RadioOn(*function);
    if (!on) {
        std::lock_guard<std::mutex> lock(mutex_);
        nextSimRead_ = Clock::now() + retry;
    }
    bool ready = false;
    Learn([&] { return ready = life_.RadioRead(on); });
    if (ready) Trace(framework::kTraceNotice, ports_.at.node + " ready");
}

void SerialCard::StopLostSession() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (life_.GpsOpen()) return;  // opened again meanwhile
    }
    auto answer = Ask(GpsLine(GpsCommand::kGpsStop), timing_.answerTimeoutMs, false);
    if (!answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!life_.GpsOpen()) life_.LostSessionStopUnanswered();
        return;
    }
    Trace(framework::kTraceNotice,
          std::string("GPS session lost earlier: ") +
              (answer->error ? "the card refused to stop it" : "stopped on the card"));
}

void SerialCard::OnUnsolicited(const std::string& line) {
    const std::string_view text = line;
    bool started = text.starts_with(kStartedLine);
    bool sim = text.starts_with(kSimChangedLine) || text.starts_with(kSimLine);
    if (!started && !sim) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (started) {
            life_.Restarted();
        } else {
            life_.SimReported();
        }
    }
    wake_.notify_all();
}

}  // namespace devicemgr
