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
constexpr const char* kVariant = "AT^CUSTOMIZE?";
constexpr const char* kSimQuery = "AT+CPIN?";
constexpr const char* kProbe = "AT";
constexpr const char* kFunction = "AT+CFUN?";
constexpr const char* kGpsStart = "AT^GPSSTART";
constexpr const char* kGpsEnd = "AT^GPSSTOP";
// Sent by a card when it has finished starting up.
constexpr const char* kStartedLine = "^SYSSTART";

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
        }
        wake_.notify_all();
    };
    h.trace = [this](const std::string& text) {
        Trace(framework::kTraceInfo, ports_.at.node + " " + text);
    };
    channel_ = std::make_unique<AtChannel>(std::move(port), std::move(h), timing_.answerTimeoutMs);
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

void Card::Life() {
    bool ready = BringUp();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        broughtUp_ = true;
    }
    wake_.notify_all();
    Watch(ready);
}

bool Card::BringUp() {
    channel_->Command(kEchoOff, timing_.initTimeoutMs);
    channel_->Command(kNumericErrors, timing_.initTimeoutMs);
    std::string model = InfoOf(channel_->Command(kModel, timing_.initTimeoutMs));
    std::string serial = InfoOf(channel_->Command(kSerial, timing_.initTimeoutMs));
    std::string variant = InfoOf(channel_->Command(kVariant, timing_.initTimeoutMs));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return false;
        model_ = model;
        serial_ = serial;
        variant_ = variant;
        state_.arrived = true;
    }
    Trace(framework::kTraceNotice, "card found: " + ports_.at.node + " model \"" + model +
                                       "\" serial \"" + serial + "\" variant \"" + variant + "\"");
    listener_.OnCardEvent(*this, framework::kEventCardArrived, 0);
    return CheckSim();
}

bool Card::CheckSim() {
    auto answer = channel_->Command(kSimQuery, timing_.initTimeoutMs);
    uint32_t sim = answer ? SimStateOf(*answer) : kSimUnknown;
    bool changed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return false;
        changed = !state_.simKnown || state_.sim != sim;
        state_.simKnown = true;
        state_.sim = sim;
    }
    if (changed) listener_.OnCardEvent(*this, framework::kEventSimStatus, sim);
    if (sim != kSimUsable) return false;
    // Usable SIM; the card is up once its radio function is on (a card without the query
    // counts as up).
    auto function = channel_->Command(kFunction, timing_.initTimeoutMs);
    if (!function) return false;
    bool up = function->error || function->text.find("+CFUN: 1") != std::string::npos;
    if (up) SetReady(true);
    return up;
}

void Card::OnUnsolicited(const std::string& line) {
    if (line.rfind(kStartedLine, 0) != 0) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        recheckWanted_ = true;
    }
    wake_.notify_all();
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

void Card::Watch(bool ready) {
    using Clock = std::chrono::steady_clock;
    int missed = 0;
    bool unavailable = false;
    // A card not up yet is asked again now and then, and at once when it says it started.
    int rechecksLeft = ready ? 0 : timing_.simRetries;
    auto nextRecheck = Clock::now() + std::chrono::milliseconds(timing_.simRetryMs);
    while (true) {
        bool recheck = false;
        bool probe = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            Clock::time_point until;
            if (missed > 0 || unavailable) {
                until = Clock::now() + std::chrono::milliseconds(timing_.probeGapMs);
            } else {
                until = channel_->LastReceived() + std::chrono::milliseconds(timing_.keepAliveMs);
                if (rechecksLeft > 0) until = std::min(until, nextRecheck);
            }
            wake_.wait_until(lock, until, [&] {
                return stopping_ || probeWanted_ || recheckWanted_ || Clock::now() >= until;
            });
            if (stopping_) return;
            auto now = Clock::now();
            recheck = recheckWanted_ || (rechecksLeft > 0 && now >= nextRecheck);
            probe =
                probeWanted_ || missed > 0 || unavailable ||
                now >= channel_->LastReceived() + std::chrono::milliseconds(timing_.keepAliveMs);
            recheckWanted_ = false;
            probeWanted_ = false;
        }
        if (recheck && !unavailable) {
            if (rechecksLeft > 0) --rechecksLeft;
            nextRecheck = Clock::now() + std::chrono::milliseconds(timing_.simRetryMs);
            if (CheckSim()) rechecksLeft = 0;
            continue;
        }
        if (!probe) continue;
        if (Probe()) {
            missed = 0;
            if (unavailable) {
                unavailable = false;
                // Back again: bring it to a known state and report what it says now.
                channel_->Command(kEchoOff, timing_.initTimeoutMs);
                channel_->Command(kNumericErrors, timing_.initTimeoutMs);
                if (!CheckSim()) {
                    rechecksLeft = timing_.simRetries;
                    nextRecheck = Clock::now() + std::chrono::milliseconds(timing_.simRetryMs);
                }
            }
        } else if (++missed >= kProbesBeforeUnavailable && !unavailable) {
            unavailable = true;
            SetReady(false);
        }
    }
}

}  // namespace devicemgr
