#include "framework/devicemgr/at_channel.h"

#include <algorithm>
#include <vector>

namespace devicemgr {
namespace {

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
    : port_(std::move(port)), handlers_(std::move(handlers)), answerTimeoutMs_(answerTimeoutMs) {}

AtChannel::~AtChannel() {
    Close();
}

bool AtChannel::Start() {
    platform::SerialLine::Handlers h;
    h.received = [this](std::string_view bytes) { OnBytes(bytes); };
    h.hungUp = [this] { OnHangUp(); };
    h.nextTimeout = [this] { return NextTimeout(); };
    h.timer = [this] { OnTimer(); };
    return port_->Start(std::move(h));
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

AtChannel::Clock::time_point AtChannel::LastReceived() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastReceived_;
}

AtCounters AtChannel::Counters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return receiver_.Counters();
}

std::optional<AtAnswer> AtChannel::Command(const std::string& line, int timeoutMs) {
    uint64_t id;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_ || queue_.size() >= kMaxQueuedCommands) return std::nullopt;
        id = nextId_++;
        queue_.push_back({WithLineEnd(line), false, false, id, {}});
    }
    if (!Pump(id)) return std::nullopt;
    std::unique_lock<std::mutex> lock(mutex_);
    bool done = answered_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return results_.count(id) > 0; });
    if (!done) {
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

bool AtChannel::Pump(uint64_t watched) {
    bool written = true;
    while (true) {
        std::string line;
        uint64_t id;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_ || inFlight_ || queue_.empty()) break;
            inFlight_ = std::move(queue_.front());
            queue_.pop_front();
            inFlight_->deadline = Clock::now() + std::chrono::milliseconds(answerTimeoutMs_);
            receiver_.SetCommand(inFlight_->line);
            line = inFlight_->line;
            id = inFlight_->id;
        }
        port_->Wake();  // the reader times the answer from now
        if (handlers_.trace) handlers_.trace("> " + Printable(line));
        if (port_->Write(line)) continue;
        if (id == watched) written = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (inFlight_ && inFlight_->id == id) {
                receiver_.SetCommand("");
                FinishLocked(std::nullopt);
            }
        }
        answered_.notify_all();
    }
    return written;
}

void AtChannel::FinishLocked(const std::optional<AtAnswer>& answer) {
    if (!inFlight_) return;
    if (!inFlight_->user && !inFlight_->abandoned) results_[inFlight_->id] = answer;
    inFlight_.reset();
}

void AtChannel::FailAllLocked() {
    FinishLocked(std::nullopt);
    for (const Request& r : queue_) {
        if (!r.user) results_[r.id] = std::nullopt;
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
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastReceived_ = Clock::now();
        receiver_.Feed(bytes, outputs);
        for (const AtOutput& out : outputs) {
            if (out.kind != AtOutput::Kind::kAnswer || !inFlight_) continue;
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

void AtChannel::OnTimer() {
    bool timedOut = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (inFlight_ && Clock::now() >= inFlight_->deadline) {
            receiver_.SetCommand("");
            FinishLocked(std::nullopt);
            timedOut = true;
        }
    }
    answered_.notify_all();
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
