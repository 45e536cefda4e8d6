#include "framework/devicemgr/at_channel.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace devicemgr {
namespace {

// Reads the marker register, writes `drawn` into it and reads it again.
std::string MarkerLine(int drawn) {
    char line[32];
    std::snprintf(line, sizeof line, "ATS%d?S%d=%dS%d?\r\n", kMarkerRegister, kMarkerRegister,
                  drawn, kMarkerRegister);
    return line;
}

// An S-register's value as the card tells it (three digits, leading zeros); -1 if none.
int RegisterValue(std::string_view text) {
    if (text.empty() || text.size() > 3) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value <= 255 ? value : -1;
}

std::string WithLineEnd(const std::string& line) {
    if (line.size() >= 1 && (line.back() == '\r' || line.back() == '\n')) return line;
    return line + "\r\n";
}

std::string Printable(const std::string& text) {
    std::string shown;
    for (char c : text) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
            shown += '?';
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace

AtChannel::AtChannel(std::unique_ptr<platform::SerialLine> port, Handlers handlers,
                     int answerTimeoutMs)
    : port_(std::move(port)),
      handlers_(std::move(handlers)),
      answerTimeoutMs_(answerTimeoutMs),
      quietMs_(std::min(kResyncQuietMs, answerTimeoutMs / 5)),
      random_(std::random_device{}()) {}

AtChannel::~AtChannel() {
    Close();
}

bool AtChannel::Start() {
    platform::SerialLine::Handlers h;
    h.received = [this](std::string_view bytes) { OnBytes(bytes); };
    h.hungUp = [this] { OnHangUp(); };
    h.nextTimeout = [this] { return NextTimeout(); };
    h.timer = [this] { OnTimer(); };
    h.stopWait = handlers_.wait;
    if (!port_->Start(std::move(h))) return false;
    Pump();  // whatever the port's previous owner left in flight is settled first
    return true;
}

void AtChannel::Close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        FailAllLocked();
    }
    answered_.notify_all();
    port_->Stop();
}

bool AtChannel::Alive() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !closed_;
}

bool AtChannel::Busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto holds = [](const Request& r) { return !r.readOnly; };
    return (inFlight_ && holds(*inFlight_)) || std::any_of(queue_.begin(), queue_.end(), holds);
}

AtChannel::Clock::time_point AtChannel::LastReceived() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastReceived_;
}

AtCounters AtChannel::Counters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return receiver_.Counters();
}

std::optional<AtAnswer> AtChannel::Command(const std::string& line, int timeoutMs, bool readOnly) {
    auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    uint64_t id;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_ || queue_.size() >= kMaxQueuedCommands) return std::nullopt;
        id = nextId_++;
        queue_.push_back({WithLineEnd(line), false, false, id, {}});
        queue_.back().readOnly = readOnly;
    }
    auto left = [&] {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return static_cast<int>(std::max<long long>(ms.count(), 0));
    };
    if (!Pump(id, std::min(kWriteTimeoutMs, left()))) return std::nullopt;
    auto answered = [&] { return results_.count(id) > 0; };
    std::unique_lock<std::mutex> lock(mutex_);
    // On the window thread a thread this one waits for may be sending to it: it is served.
    if (!handlers_.wait.Wait(lock, answered_, answered, left())) {
        // Given up: take it out of the queue, or let its answer be thrown away.
        auto queued = std::find_if(queue_.begin(), queue_.end(),
                                   [&](const Request& r) { return r.id == id; });
        if (queued != queue_.end()) queue_.erase(queued);
        if (inFlight_ && inFlight_->id == id) inFlight_->abandoned = true;
        return std::nullopt;
    }
    auto result = std::move(results_[id]);
    results_.erase(id);
    return result;
}

bool AtChannel::Send(const std::string& line) {
    uint64_t id;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_ || queue_.size() >= kMaxQueuedCommands) return false;
        id = nextId_++;
        queue_.push_back({WithLineEnd(line), true, false, id, {}});
    }
    return Pump(id);
}

void AtChannel::EndExchange() {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.erase(
        std::remove_if(queue_.begin(), queue_.end(), [](const Request& r) { return r.user; }),
        queue_.end());
    if (inFlight_ && inFlight_->user) inFlight_->abandoned = true;
}

std::optional<AtChannel::Request> AtChannel::NextLocked() {
    if (closed_ || inFlight_) return std::nullopt;
    if (!inStep_ && (resyncWanted_ || !queue_.empty())) {
        resyncWanted_ = false;
        // S7 takes 1 to 255 (V.250). Each marker of one resync writes a value of its own, so
        // that an answer tells which marker it answers.
        int drawn;
        do {
            drawn = std::uniform_int_distribution<int>(1, 255)(random_);
        } while (std::find(markersDrawn_.begin(), markersDrawn_.end(), drawn) !=
                 markersDrawn_.end());
        markersDrawn_.push_back(drawn);
        return Request{MarkerLine(drawn), false, false, 0, {}, true, false, drawn};
    }
    if (queue_.empty()) return std::nullopt;
    Request next = std::move(queue_.front());
    queue_.pop_front();
    return next;
}

bool AtChannel::Pump(uint64_t watched, int writeTimeoutMs) {
    bool written = true;
    while (true) {
        std::string line;
        uint64_t id;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::optional<Request> next = NextLocked();
            if (!next) break;
            inFlight_ = std::move(next);
            inFlight_->deadline = Clock::now() + std::chrono::milliseconds(answerTimeoutMs_);
            // The marker's answer may come behind answers owed, in the same read.
            receiver_.SetCommand(inFlight_->line, inFlight_->resync);
            line = inFlight_->line;
            id = inFlight_->id;
        }
        port_->Wake();  // the reader times the answer from now
        if (handlers_.trace) handlers_.trace("> " + Printable(line));
        if (port_->Write(line, writeTimeoutMs)) continue;
        if (id == watched) written = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (inFlight_ && inFlight_->id == id) {
                // Part of the line may have gone out: its answer is owed.
                receiver_.SetCommand("");
                FinishLocked(std::nullopt);
                inStep_ = false;
            }
        }
        answered_.notify_all();
    }
    return written;
}

void AtChannel::FinishLocked(const std::optional<AtAnswer>& answer) {
    if (!inFlight_) return;
    if (!inFlight_->user && !inFlight_->abandoned && !inFlight_->resync) {
        results_[inFlight_->id] = answer;
    }
    inFlight_.reset();
}

void AtChannel::FailAllLocked() {
    FinishLocked(std::nullopt);
    for (const Request& r : queue_) {
        if (!r.user && !r.abandoned) results_[r.id] = std::nullopt;
    }
    queue_.clear();
}

int AtChannel::NextTimeout() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!inFlight_) return -1;
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(inFlight_->deadline - Clock::now())
            .count();
    return static_cast<int>(std::clamp<long long>(left + 1, 0, answerTimeoutMs_ + 1));
}

void AtChannel::OnBytes(std::string_view bytes) {
    std::vector<AtOutput> outputs;
    std::vector<std::string> forUser;
    std::vector<std::pair<uint64_t, AtAnswer>> forCommands;
    bool backInStep = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastReceived_ = Clock::now();
        receiver_.Feed(bytes, outputs);
        for (AtOutput& out : outputs) {
            if (out.kind == AtOutput::Kind::kStray && !inStep_) NoteStrayLocked(out.text);
            if (out.kind != AtOutput::Kind::kAnswer || !inFlight_) continue;
            if (inFlight_->resync) {
                out.kind = AtOutput::Kind::kStray;
                if (MarkerAnsweredLocked(out)) {
                    backInStep = true;
                    continue;
                }
                // This may still be an answer owed: in step only once the line stays quiet.
                // (A card that refuses the marker gets here too.)
                inFlight_->settling = true;
                inFlight_->deadline = lastReceived_ + std::chrono::milliseconds(quietMs_);
                continue;
            }
            if (!inFlight_->abandoned) {
                if (inFlight_->user) {
                    forUser.push_back(out.text);
                } else {
                    forCommands.emplace_back(inFlight_->id, AtAnswer{out.text, out.error});
                }
            }
            inFlight_.reset();
        }
    }
    // Handlers first, then the waiting commands: whatever came before an answer has been
    // handled when its command returns.
    for (const AtOutput& out : outputs) {
        if (handlers_.trace) {
            const char* kind = out.kind == AtOutput::Kind::kAnswer        ? "< "
                               : out.kind == AtOutput::Kind::kUnsolicited ? "< (unsolicited) "
                                                                          : "< (dropped) ";
            handlers_.trace(kind + Printable(out.text));
        }
        if (out.kind == AtOutput::Kind::kUnsolicited && handlers_.unsolicited) {
            handlers_.unsolicited(out.text);
        }
    }
    if (backInStep && handlers_.trace) handlers_.trace("in step");
    for (const std::string& answer : forUser) {
        if (handlers_.answered) handlers_.answered(answer);
    }
    if (!forCommands.empty()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto& [id, answer] : forCommands) results_[id] = std::move(answer);
        }
        answered_.notify_all();
    }
    Pump();
}

bool AtChannel::MarkerAnsweredLocked(const AtOutput& answer) {
    if (answer.error) return false;
    std::vector<std::string_view> lines;
    std::string_view rest = answer.text;
    for (size_t at; (at = rest.find("\r\n")) != std::string_view::npos;) {
        lines.push_back(rest.substr(0, at));
        rest.remove_prefix(at + 2);
    }
    // The old value, the drawn one, the final code.
    const int old = lines.size() == 2 ? RegisterValue(lines[0]) : -1;
    const int value = lines.size() == 2 ? RegisterValue(lines[1]) : -1;
    if (old < 0 || value < 0) return false;
    NoteMarkerRead(old, value);
    if (value != inFlight_->drawn) return false;
    const int drawn = inFlight_->drawn;
    const int before = registerBefore_.value_or(old);
    inFlight_.reset();
    receiver_.SetCommand("");
    inStep_ = true;
    markersDrawn_.clear();
    registerBefore_.reset();
    strayTail_.clear();
    if (before != drawn) {
        char line[32];
        std::snprintf(line, sizeof line, "ATS%d=%d\r\n", kMarkerRegister, before);
        queue_.push_front(Request{line, false, true, 0, {}});  // nobody waits for its answer
    }
    return true;
}

void AtChannel::NoteMarkerRead(int old, int value) {
    auto marker = std::find(markersDrawn_.begin(), markersDrawn_.end(), value);
    if (marker == markersDrawn_.end() || registerBefore_) return;
    // The first marker read the card's own value; a later one did too unless the marker
    // before it had written the register first.
    if (marker == markersDrawn_.begin() || old != *(marker - 1)) registerBefore_ = old;
}

void AtChannel::NoteStrayLocked(const std::string& line) {
    bool error = false;
    if (IsFinalCode(line, error)) {
        if (!error && strayTail_.size() == 2) {
            const int old = RegisterValue(strayTail_[0]), value = RegisterValue(strayTail_[1]);
            if (old >= 0 && value >= 0) NoteMarkerRead(old, value);
        }
        strayTail_.clear();
        return;
    }
    strayTail_.push_back(line);
    if (strayTail_.size() > 2) strayTail_.erase(strayTail_.begin());
}

void AtChannel::OnTimer() {
    bool timedOut = false;
    bool backInStep = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (inFlight_ && Clock::now() >= inFlight_->deadline) {
            receiver_.SetCommand("");
            if (inFlight_->resync && inFlight_->settling) {
                inFlight_.reset();
                inStep_ = backInStep = true;
                markersDrawn_.clear();
                registerBefore_.reset();
                strayTail_.clear();
            } else {
                // Its answer may still come: get back in step before the next command, at
                // once unless it was the resync itself that went unanswered.
                if (!inFlight_->resync) resyncWanted_ = true;
                FinishLocked(std::nullopt);
                inStep_ = false;
                timedOut = true;
            }
        }
    }
    answered_.notify_all();
    if (backInStep && handlers_.trace) handlers_.trace("in step");
    if (timedOut && handlers_.trace) handlers_.trace("no answer in time");
    if (timedOut && handlers_.timedOut) handlers_.timedOut();
    Pump();
}

void AtChannel::OnHangUp() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        FailAllLocked();
    }
    answered_.notify_all();
    if (handlers_.hungUp) handlers_.hungUp();
}

}  // namespace devicemgr
