#include "framework/devicemgr/card.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace devicemgr {
namespace {

// Commands of the bring-up and of the receiver's session.
constexpr const char* kEchoOff = "ATE0";
constexpr const char* kNumericErrors = "AT+CMEE=1";
constexpr const char* kModel = "AT+CGMM";
constexpr const char* kSerial = "AT+CGSN";
constexpr const char* kVariant = "AT^VARIANT?";
constexpr const char* kSimQuery = "AT+CPIN?";
constexpr const char* kProbe = "AT";
constexpr const char* kGpsStart = "AT^WPDST=1";
constexpr const char* kGpsEnd = "AT^WPEND";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The first information line of a successful answer, without a "+CGMM: " style prefix.
std::string InfoOf(const std::optional<AtAnswer>& answer) {
    if (!answer || answer->error) return {};
    std::vector<std::string> lines = LinesOf(answer->text);
    if (lines.size() < 2) return {};
    std::string info = lines.front();
    if (!info.empty() && (info[0] == '+' || info[0] == '^')) {
        size_t colon = info.find(':');
        if (colon != std::string::npos) {
            info = info.substr(colon + 1);
            info.erase(0, info.find_first_not_of(' '));
        }
    }
    if (info.size() >= 2 && info.front() == '"' && info.back() == '"') {
        info = info.substr(1, info.size() - 2);
    }
    return info;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

uint32_t SimStateOf(const AtAnswer& answer) {
    const std::string& t = answer.text;
    if (!answer.error) {
        if (Contains(t, "+CPIN: READY")) return kSimUsable;
        if (Contains(t, "+CPIN: SIM PIN") || Contains(t, "+CPIN: SIM PUK")) {
            // SIM PIN2 and PUK2 lock other things, not the card's use.
            if (Contains(t, "PIN2") || Contains(t, "PUK2")) return kSimUsable;
            return kSimLocked;
        }
        if (Contains(t, "+CPIN:")) return kSimBusy;  // PH-SIM PIN, network locks and the like
        return kSimUnknown;
    }
    // Numeric errors (+CMEE=1), and their texts for a card that ignored that.
    static const struct {
        const char* text;
        uint32_t state;
    } kErrors[] = {
        {"+CME ERROR: 10", kSimMissing}, {"SIM not inserted", kSimMissing},
        {"+CME ERROR: 11", kSimLocked},  {"SIM PIN required", kSimLocked},
        {"+CME ERROR: 12", kSimLocked},  {"SIM PUK required", kSimLocked},
        {"+CME ERROR: 13", kSimFailure}, {"SIM failure", kSimFailure},
        {"+CME ERROR: 15", kSimFailure}, {"SIM wrong", kSimFailure},
        {"+CME ERROR: 14", kSimBusy},    {"SIM busy", kSimBusy},
    };
    for (const auto& row : kErrors) {
        if (Contains(t, row.text)) return row.state;
    }
    return kSimUnknown;
}

Card::Card(CardPorts ports, CardListener& listener, CardTiming timing)
    : ports_(std::move(ports)), listener_(listener), timing_(timing) {}

Card::~Card() {
    Stop();
}

bool Card::Start(std::string& error) {
    auto port = platform::SerialLine::Open(ports_.at.node, error);
    if (!port) return false;
    AtChannel::Handlers h;
    h.answered = [this](const std::string& answer) { listener_.OnUserAnswer(*this, answer); };
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
        }
        wake_.notify_all();
    };
    h.trace = [this](const std::string& text) {
        Trace(framework::kTraceInfo, ports_.at.node + " " + text);
    };
    channel_ = std::make_unique<AtChannel>(std::move(port), std::move(h));
    if (!channel_->Start()) {
        error = "cannot start the reader of " + ports_.at.node;
        channel_.reset();
        return false;
    }
    if (!ports_.gps.node.empty()) {
        std::string gpsError;
        gpsPort_ = platform::SerialLine::Open(ports_.gps.node, gpsError);
        platform::SerialLine::Handlers g;
        g.received = [this](std::string_view bytes) { OnGpsBytes(bytes); };
        if (gpsPort_ && !gpsPort_->Start(std::move(g))) gpsPort_.reset();
        if (!gpsPort_) Trace(framework::kTraceWarning, "GPS port not opened: " + gpsError);
    }
    try {
        life_ = std::thread([this] { Life(); });
    } catch (...) {
        error = "cannot start the card's thread";
        Stop();
        return false;
    }
    return true;
}

void Card::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (channel_) channel_->Close();  // fails the command the life thread may wait for
    if (life_.joinable()) {
        if (life_.get_id() == std::this_thread::get_id()) {
            life_.detach();
        } else {
            life_.join();
        }
    }
    if (gpsPort_) gpsPort_->Stop();
}

bool Card::WaitBroughtUp(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_until(lock, deadline, [&] { return broughtUp_ || stopping_; }) && broughtUp_;
}

std::string Card::Id() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return Lower(model_.empty() ? ports_.key : model_);
}

std::string Card::Model() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return model_;
}

std::string Card::Serial() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return serial_;
}

std::string Card::Variant() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return variant_;
}

Card::State Card::GetState() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

bool Card::SendUser(const std::string& line) {
    return channel_ && channel_->Send(line);
}

void Card::EndUserExchange() {
    if (channel_) channel_->EndExchange();
}

bool Card::OpenGps() {
    if (!channel_) return false;
    auto answer = channel_->Command(kGpsStart);
    bool ok = answer && !answer->error;
    if (ok) gpsOpen_ = true;
    Trace(framework::kTraceNotice, std::string("GPS session ") + (ok ? "opened" : "not opened"));
    return ok;
}

bool Card::CloseGps() {
    if (!channel_) return false;
    auto answer = channel_->Command(kGpsEnd);
    bool ok = answer && !answer->error;
    // A receiver that refused to stop keeps streaming: its records still count.
    if (ok) gpsOpen_ = false;
    Trace(framework::kTraceNotice, std::string("GPS session ") + (ok ? "closed" : "not closed"));
    return ok;
}

NmeaCounters Card::GpsCounters() const {
    std::lock_guard<std::mutex> lock(gpsMutex_);
    return decoder_.Counters();
}

void Card::OnGpsBytes(std::string_view bytes) {
    std::vector<std::string> sentences;
    std::vector<framework::GpsDataRecord> records;
    {
        std::lock_guard<std::mutex> lock(gpsMutex_);
        lexer_.Feed(bytes, sentences);
        for (const std::string& sentence : sentences) {
            if (auto fix = decoder_.Decode(sentence)) records.push_back(MakeRecord(*fix));
        }
    }
    for (const std::string& sentence : sentences) {
        Trace(framework::kTraceInfo, ports_.gps.node + " < " + sentence);
    }
    if (!gpsOpen_) return;
    for (const framework::GpsDataRecord& record : records) listener_.OnGpsRecord(*this, record);
}

bool Card::Sleep(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping_; });
    return !stopping_;
}

void Card::Life() {
    BringUp();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        broughtUp_ = true;
    }
    wake_.notify_all();
    Watch();
}

void Card::BringUp() {
    channel_->Command(kEchoOff, timing_.initTimeoutMs);
    channel_->Command(kNumericErrors, timing_.initTimeoutMs);
    std::string model = InfoOf(channel_->Command(kModel, timing_.initTimeoutMs));
    std::string serial = InfoOf(channel_->Command(kSerial, timing_.initTimeoutMs));
    std::string variant = InfoOf(channel_->Command(kVariant, timing_.initTimeoutMs));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        model_ = model;
        serial_ = serial;
        variant_ = variant;
        state_.arrived = true;
    }
    Trace(framework::kTraceNotice, "card found: " + ports_.at.node + " model \"" + model +
                                       "\" serial \"" + serial + "\" variant \"" + variant + "\"");
    listener_.OnCardEvent(*this, framework::kEventCardArrived, 0);
    ReadSim();
}

void Card::ReadSim() {
    uint32_t sim = kSimUnknown;
    for (int attempt = 0; attempt <= timing_.simRetries; ++attempt) {
        auto answer = channel_->Command(kSimQuery, timing_.initTimeoutMs);
        sim = answer ? SimStateOf(*answer) : kSimUnknown;
        if (sim != kSimBusy || attempt == timing_.simRetries) break;
        if (!Sleep(timing_.simRetryMs)) return;
    }
    bool answers = sim != kSimUnknown;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        state_.simKnown = true;
        state_.sim = sim;
    }
    listener_.OnCardEvent(*this, framework::kEventSimStatus, sim);
    if (sim == kSimUsable && answers) SetReady(true);
}

void Card::SetReady(bool ready) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ || state_.ready == ready) return;
        state_.ready = ready;
    }
    Trace(framework::kTraceNotice, ports_.at.node + (ready ? " ready" : " not answering"));
    listener_.OnCardEvent(*this,
                          ready ? framework::kEventCardReady : framework::kEventCardUnavailable, 0);
}

bool Card::Probe() {
    auto answer = channel_->Command(kProbe, timing_.probeTimeoutMs);
    return answer.has_value();
}

void Card::Watch() {
    int missed = 0;
    bool unavailable = false;
    while (true) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            auto quietUntil =
                channel_->LastReceived() + std::chrono::milliseconds(timing_.keepAliveMs);
            // While the card is silent, probe at short gaps; else when asked or when quiet.
            if (missed > 0 || unavailable) {
                wake_.wait_for(lock, std::chrono::milliseconds(timing_.probeGapMs),
                               [&] { return stopping_; });
            } else {
                wake_.wait_until(lock, quietUntil, [&] {
                    return stopping_ || probeWanted_ ||
                           std::chrono::steady_clock::now() >= quietUntil;
                });
            }
            if (stopping_) return;
            if (!probeWanted_ && missed == 0 && !unavailable &&
                std::chrono::steady_clock::now() <
                    channel_->LastReceived() + std::chrono::milliseconds(timing_.keepAliveMs)) {
                continue;  // something came meanwhile
            }
            probeWanted_ = false;
        }
        if (Probe()) {
            missed = 0;
            if (unavailable) {
                unavailable = false;
                // Back again: bring it to a known state and report what it says now.
                channel_->Command(kEchoOff, timing_.initTimeoutMs);
                channel_->Command(kNumericErrors, timing_.initTimeoutMs);
                auto answer = channel_->Command(kSimQuery, timing_.initTimeoutMs);
                uint32_t sim = answer ? SimStateOf(*answer) : kSimUnknown;
                bool changed;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (stopping_) return;
                    changed = sim != state_.sim;
                    state_.sim = sim;
                    state_.simKnown = true;
                }
                if (changed) listener_.OnCardEvent(*this, framework::kEventSimStatus, sim);
                if (sim == kSimUsable) SetReady(true);
            } else if (GetState().sim == kSimUsable) {
                SetReady(true);
            }
        } else if (++missed >= kProbesBeforeUnavailable && !unavailable) {
            unavailable = true;
            SetReady(false);
        }
    }
}

}  // namespace devicemgr
