#include "cardsim/card.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "at_commands.h"
#include "card_state.h"
#include "nmea.h"
#include "platform/ports/ports.h"
#include "platform/text.h"
#include "pty_port.h"

namespace cardsim {

namespace {

using Clock = std::chrono::steady_clock;
constexpr Clock::time_point kNever = Clock::time_point::max();
constexpr size_t kMaxLine = 512;
constexpr size_t kMaxReceived = 1000;  // the command lines kept for Received()

// Gives every other sentence of `lines` a wrong checksum.
void CorruptChecksums(std::vector<std::string>& lines) {
    for (size_t i = 0; i < lines.size(); i += 2) {
        size_t star = lines[i].rfind('*');
        if (star == std::string::npos || star + 2 >= lines[i].size()) continue;
        char& digit = lines[i][star + 1];
        digit = digit == '0' ? '1' : '0';
    }
}

}  // namespace

struct Card::Impl {
    explicit Impl(CardOptions options) { state.options = std::move(options); }

    mutable std::mutex mutex;
    CardState state;
    PtyPort at, gps;
    bool plugged = false;
    Clock::time_point readyAt = kNever;
    Clock::time_point silentFrom = kNever;
    Clock::time_point nextNmea = kNever;
    Clock::time_point nextUnsolicited = kNever;
    long nmeaSecond = 0;
    Clock::time_point positioningSince;  // the receiver's start
    Clock::duration fixAfter{};          // and its time to the first fix
    long unsolicitedTick = 0;
    NmeaReplay replay;
    bool replaying = false;
    std::string line;
    bool lineTooLong = false;
    struct Pending {
        Clock::time_point due;
        std::string bytes;
    };
    std::deque<Pending> queue;  // writes to the PC UI port, in order of time
    std::vector<std::string> received;
    std::ofstream atLog;
    Clock::time_point pluggedAt;

    int wakeFd = -1;
    std::thread thread;
    bool running = false;
    bool stopping = false;
    std::deque<std::function<void()>> tasks;
    std::condition_variable tasksDone;
    uint64_t tasksQueued = 0, tasksRun = 0;

    ~Impl() {
        if (wakeFd >= 0) ::close(wakeFd);
    }

    void Wake() {
        uint64_t one = 1;
        if (wakeFd >= 0) {
            while (::write(wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
            }
        }
    }

    // Runs `task` on the card's thread (which owns the ports) and waits for it; runs it here
    // when the thread does not run. The caller holds `lock`.
    void OnThread(std::unique_lock<std::mutex>& lock, std::function<void()> task) {
        if (!running || std::this_thread::get_id() == thread.get_id()) {
            task();
            return;
        }
        tasks.push_back(std::move(task));
        uint64_t mine = ++tasksQueued;
        Wake();
        tasksDone.wait(lock, [&] { return tasksRun >= mine || !running; });
    }

    bool Silent(Clock::time_point now) const { return now >= silentFrom; }

    void Queue(std::string bytes, Clock::time_point due) {
        if (!queue.empty()) due = std::max(due, queue.back().due);
        queue.push_back({due, std::move(bytes)});
    }

    void QueueUnsolicited(const std::string& text, Clock::time_point now) {
        if (plugged && !Silent(now)) Queue(WireLine(text), now);
    }

    void QueueAnswer(std::string text, Clock::time_point now) {
        const CardOptions& o = state.options;
        Clock::time_point due = now + o.answerDelay;
        size_t pieces = static_cast<size_t>(std::clamp(o.answerPieces, 1, 64));
        pieces = std::min(pieces, std::max<size_t>(text.size(), 1));
        size_t size = (text.size() + pieces - 1) / pieces;
        for (size_t i = 0; i < pieces && i * size < text.size(); ++i) {
            Queue(text.substr(i * size, size), due + i * o.pieceGap);
        }
    }

    void RegistrationChanged(int before, Clock::time_point now) {
        int after = state.RegistrationState();
        if (state.cregMode >= 1 && after != before) {
            QueueUnsolicited("+CREG: " + std::to_string(after), now);
        }
    }

    void HandleLine(const std::string& text, Clock::time_point now) {
        if (received.size() >= kMaxReceived) received.erase(received.begin());
        received.push_back(text);
        if (atLog.is_open()) {
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - pluggedAt);
            atLog << state.options.id << " +" << ms.count() / 1000.0 << "s " << text << std::endl;
        }
        if (Silent(now)) return;
        if (state.echo) Queue(text + "\r", now);
        if (lineTooLong) {
            lineTooLong = false;
            QueueAnswer(WireLine("ERROR"), now);
            return;
        }
        bool wasPositioning = state.positioning;
        AtAnswer answer = AnswerAt(text, state);
        if (!answer.silent) QueueAnswer(std::move(answer.text), now);
        if (state.positioning && !wasPositioning) {
            nmeaSecond = 0;
            nextNmea = now + std::chrono::milliseconds(100);
            positioningSince = now;
            fixAfter = TimeToFirstFix(state.options, state.Assisted());
        } else if (!state.positioning) {
            nextNmea = kNever;
        }
    }

    void ReadAt(Clock::time_point now) {
        char buffer[4096];
        for (;;) {
            bool flushed = false;
            ssize_t n = at.Read(buffer, sizeof buffer, flushed);
            if (flushed) {
                // A client flushed the port (as it does on open and close): a line it left
                // half written is gone with it.
                line.clear();
                lineTooLong = false;
            }
            if (n < 0) break;  // EAGAIN: all read; the slave we keep open prevents EIO
            for (ssize_t i = 0; i < n; ++i) {
                char c = buffer[i];
                if (c == '\r' || c == '\n') {
                    if (!line.empty() || lineTooLong) HandleLine(line, now);
                    line.clear();
                } else if (c != '\0') {
                    if (line.size() < kMaxLine)
                        line += c;
                    else
                        lineTooLong = true;
                }
            }
        }
        // ModemManager takes its ports for exclusive use, and opens them again later.
        if (state.options.dialect == Dialect::ModemManager) at.ClearExclusive();
    }

    void DrainGps() {
        char buffer[1024];
        bool flushed;
        while (gps.Read(buffer, sizeof buffer, flushed) >= 0) {
        }
        if (state.options.dialect == Dialect::ModemManager) gps.ClearExclusive();
    }

    void WriteNmea(Clock::time_point now) {
        const CardOptions& o = state.options;
        std::vector<std::string> lines;
        Clock::duration gap = o.nmeaPeriod;
        if (replaying) {
            lines = replay.Next();
            gap = replay.Gap(o.nmeaPeriod);
            if (o.replaySpeed > 0) {
                gap = std::chrono::duration_cast<Clock::duration>(gap / o.replaySpeed);
            }
        } else {
            Clock::duration searched = now - positioningSince;
            RoutePoint point = RouteAt(nmeaSecond++);
            if (searched < fixAfter) {
                double progress = std::chrono::duration<double>(searched) / fixAfter;
                bool skyKnown = o.start != StartKind::Cold || state.Assisted();
                lines = SearchEpoch(point, progress, skyKnown, std::time(nullptr));
            } else {
                lines = RouteEpoch(point, std::time(nullptr));
            }
        }
        if (o.badChecksums) CorruptChecksums(lines);
        std::string bytes;
        for (const std::string& sentence : lines) {
            if (o.garbage) bytes += std::string("\x00\xff\x7f", 3) + "$GPGGA,12#junk\r\n";
            bytes += sentence;
        }
        gps.Write(bytes);
        if (o.dialect == Dialect::ModemManager) gps.ClearExclusive();
        nextNmea += std::max<Clock::duration>(gap, std::chrono::milliseconds(1));
        if (nextNmea < now) nextNmea = now + gap;
    }

    void Tick(Clock::time_point now) {
        if (!plugged) return;
        if (Silent(now)) {
            queue.clear();
            return;
        }
        if (!state.ready && now >= readyAt) {
            int before = state.RegistrationState();
            state.ready = true;
            readyAt = kNever;
            QueueUnsolicited("^SYSSTART", now);
            RegistrationChanged(before, now);
        }
        if (now >= nextUnsolicited) {
            ++unsolicitedTick;
            state.rssi = 14 + static_cast<int>((unsolicitedTick * 7) % 12);
            QueueUnsolicited("^RSSI:" + std::to_string(state.rssi), now);
            if (state.cregMode == 2 && state.ready && unsolicitedTick % 3 == 0) {
                char cell[64];
                std::snprintf(cell, sizeof cell, "+CREG: %d,\"00C3\",\"%04lX\"",
                              state.RegistrationState(), 0x10 + unsolicitedTick % 7);
                QueueUnsolicited(cell, now);
            }
            nextUnsolicited = now + state.options.unsolicitedPeriod;
        }
        if (state.positioning && gps.IsOpen() && now >= nextNmea) WriteNmea(now);
        while (!queue.empty() && queue.front().due <= now) {
            at.Write(queue.front().bytes);
            queue.pop_front();
        }
    }

    Clock::time_point NextDeadline(Clock::time_point now) const {
        if (!plugged || Silent(now)) return kNever;  // a silent card waits for a change
        Clock::time_point next = std::min({readyAt, silentFrom, nextUnsolicited});
        if (!queue.empty()) next = std::min(next, queue.front().due);
        if (state.positioning && gps.IsOpen()) next = std::min(next, nextNmea);
        return next;
    }

    void Run() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            while (!tasks.empty()) {
                auto task = std::move(tasks.front());
                tasks.pop_front();
                task();
                ++tasksRun;
                tasksDone.notify_all();
            }
            Clock::time_point now = Clock::now();
            Tick(now);
            Clock::time_point next = NextDeadline(now);
            int timeout = -1;
            if (next != kNever) {
                auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
                timeout = static_cast<int>(std::clamp<long long>(ms, 0, 60000));
            }
            pollfd fds[3] = {
                {wakeFd, POLLIN, 0}, {at.Master(), POLLIN, 0}, {gps.Master(), POLLIN, 0}};
            lock.unlock();
            int ready = ::poll(fds, 3, timeout);
            lock.lock();
            if (ready <= 0) continue;
            if (fds[0].revents & POLLIN) {
                uint64_t value;
                while (::read(wakeFd, &value, sizeof value) > 0) {
                }
            }
            now = Clock::now();
            if ((fds[1].revents & POLLIN) && at.IsOpen()) ReadAt(now);
            if ((fds[2].revents & POLLIN) && gps.IsOpen()) DrainGps();
        }
        running = false;
        tasksDone.notify_all();
    }

    std::string PortId(const char* role) const { return state.options.id + "-" + role; }
    // A card in ModemManager's dialect is one ModemManager may claim: its port entries say so.
    bool MmClaims() const { return state.options.dialect == Dialect::ModemManager; }

    bool PlugNow(std::string& error) {
        if (plugged) return true;
        const CardOptions& o = state.options;
        if (!at.Open(error)) return false;
        if (o.gpsPort && !gps.Open(error)) {
            at.Close();
            return false;
        }
        if (o.registerPorts) {
            auto name = [](const std::string& text, const PtyPort& port) {
                return text + " (COM" + std::to_string(port.Number()) + ")";
            };
            bool ok = platform::RegisterVirtualPort(
                PortId("pcui"), {at.Node(), at.Number(), name(o.pcuiText, at), o.id, MmClaims()});
            if (ok && gps.IsOpen()) {
                ok = platform::RegisterVirtualPort(
                    PortId("gps"),
                    {gps.Node(), gps.Number(), name(o.gpsText, gps), o.id, MmClaims()});
            }
            if (!ok) {
                error = "cannot write the port files in " + platform::PortsDirectory();
                Unregister();
                at.Close();
                gps.Close();
                return false;
            }
        }
        Clock::time_point now = Clock::now();
        plugged = true;
        pluggedAt = now;
        if (!o.atLog.empty() && !atLog.is_open()) atLog.open(o.atLog, std::ios::app);
        state.echo = true;
        state.cregMode = 0;
        state.sRegisters = CardState{}.sRegisters;  // powered up afresh
        state.positioning = false;
        // A card without a start-up time is ready as it appears, with nothing to announce.
        state.ready = !o.neverReady && o.readyAfter.count() <= 0;
        readyAt = o.neverReady || state.ready ? kNever : now + o.readyAfter;
        silentFrom = o.silentAfter.count() > 0 ? now + o.silentAfter : kNever;
        nextUnsolicited = o.unsolicitedPeriod.count() > 0 ? now + o.unsolicitedPeriod : kNever;
        nextNmea = kNever;
        line.clear();
        lineTooLong = false;
        return true;
    }

    void SetGpsPortNow(bool present) {
        state.options.gpsPort = present;
        if (!plugged || present == gps.IsOpen()) return;
        const CardOptions& o = state.options;
        if (!present) {
            // As a device that goes: its clients see the hang-up before the list changes.
            gps.Close();
            if (o.registerPorts) platform::UnregisterVirtualPort(PortId("gps"));
            return;
        }
        std::string error;
        if (!gps.Open(error)) return;
        if (o.registerPorts &&
            !platform::RegisterVirtualPort(
                PortId("gps"),
                {gps.Node(), gps.Number(), o.gpsText + " (COM" + std::to_string(gps.Number()) + ")",
                 o.id, MmClaims()})) {
            gps.Close();
        }
    }

    void Unregister() {
        platform::UnregisterVirtualPort(PortId("pcui"));
        platform::UnregisterVirtualPort(PortId("gps"));
    }

    void UnplugNow() {
        if (!plugged) return;
        if (state.options.registerPorts) Unregister();
        at.Close();
        gps.Close();
        plugged = false;
        state.ready = false;
        state.positioning = false;
        queue.clear();
        readyAt = silentFrom = nextNmea = nextUnsolicited = kNever;
    }

    // Applies a change of the card's state on its thread, then lets the thread look again.
    template <class F>
    void Change(F&& change) {
        std::unique_lock lock(mutex);
        change(Clock::now());
        Wake();
    }
};

Card::Card(CardOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
    std::map<std::string, Reply> upper;
    for (auto& [name, reply] : impl_->state.options.replies)
        upper[platform::AsciiUpper(name)] = reply;
    impl_->state.options.replies = std::move(upper);
}

Card::~Card() {
    Stop();
}

bool Card::Start(std::string* error) {
    std::unique_lock lock(impl_->mutex);
    if (impl_->running) return true;
    std::string why;
    const CardOptions& o = impl_->state.options;
    if (!o.nmeaFile.empty()) {
        if (!impl_->replay.Load(o.nmeaFile)) {
            if (error) *error = "cannot read an NMEA sentence from " + o.nmeaFile;
            return false;
        }
        impl_->replaying = true;
    }
    if (impl_->wakeFd < 0) impl_->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (impl_->wakeFd < 0 || !impl_->PlugNow(why)) {
        if (error) *error = impl_->wakeFd < 0 ? "eventfd failed" : why;
        return false;
    }
    impl_->stopping = false;
    impl_->running = true;
    impl_->thread = std::thread([this] { impl_->Run(); });
    return true;
}

void Card::Stop() {
    std::unique_lock lock(impl_->mutex);
    if (impl_->thread.joinable()) {
        impl_->stopping = true;
        impl_->Wake();
        lock.unlock();
        impl_->thread.join();
        lock.lock();
    }
    impl_->running = false;
    impl_->UnplugNow();
}

const std::string& Card::Id() const {
    return impl_->state.options.id;
}

std::string Card::AtNode() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->at.Node();
}

std::string Card::GpsNode() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->gps.Node();
}

bool Card::Plugged() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->plugged;
}

bool Card::Ready() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->state.ready;
}

bool Card::Positioning() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->state.positioning;
}

std::vector<std::string> Card::Received() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->received;
}

void Card::SetGpsType(int type) {
    impl_->Change([&](auto) { impl_->state.options.gpsType = type; });
}

void Card::SetSim(SimState sim) {
    impl_->Change([&](auto now) {
        int before = impl_->state.RegistrationState();
        impl_->state.options.sim = sim;
        if (impl_->state.ready) {
            int value = sim == SimState::Ready ? 1 : sim == SimState::Missing ? 255 : 4;
            impl_->QueueUnsolicited("^SIMST:" + std::to_string(value), now);
        }
        impl_->RegistrationChanged(before, now);
    });
}

void Card::SetNeverReady(bool never) {
    impl_->Change([&](auto now) {
        impl_->state.options.neverReady = never;
        if (never) {
            impl_->state.ready = false;
            impl_->readyAt = kNever;
        } else if (impl_->plugged && !impl_->state.ready) {
            impl_->readyAt = now;
        }
    });
}

void Card::SetGpsPort(bool present) {
    std::unique_lock lock(impl_->mutex);
    impl_->OnThread(lock, [this, present] { impl_->SetGpsPortNow(present); });
}

void Card::SetRefuseClose(bool refuse) {
    impl_->Change([&](auto) { impl_->state.options.refuseClose = refuse; });
}

void Card::SetReply(const std::string& command, Reply reply) {
    impl_->Change([&](auto) {
        auto& replies = impl_->state.options.replies;
        if (reply == Reply::Normal)
            replies.erase(platform::AsciiUpper(command));
        else
            replies[platform::AsciiUpper(command)] = reply;
    });
}

void Card::SetAnswerDelay(Milliseconds delay) {
    impl_->Change([&](auto) { impl_->state.options.answerDelay = delay; });
}

void Card::SetAnswerPieces(int pieces) {
    impl_->Change([&](auto) { impl_->state.options.answerPieces = std::max(pieces, 1); });
}

void Card::SetSilentAfter(Milliseconds after) {
    impl_->Change([&](auto now) {
        impl_->state.options.silentAfter = after;
        impl_->silentFrom = after.count() > 0 ? now + after : kNever;
    });
}

void Card::SetBadChecksums(bool bad) {
    impl_->Change([&](auto) { impl_->state.options.badChecksums = bad; });
}

void Card::SetGarbage(bool garbage) {
    impl_->Change([&](auto) { impl_->state.options.garbage = garbage; });
}

void Card::SetStart(StartKind kind) {
    impl_->Change([&](auto) { impl_->state.options.start = kind; });
}

void Card::SetModel(const std::string& model) {
    impl_->Change([&](auto) { impl_->state.options.model = model; });
}

void Card::SendUnsolicited(const std::string& line) {
    impl_->Change([&](auto now) { impl_->QueueUnsolicited(line, now); });
}

void Card::Unplug() {
    std::unique_lock lock(impl_->mutex);
    impl_->OnThread(lock, [this] { impl_->UnplugNow(); });
}

bool Card::Plug(std::string* error) {
    std::unique_lock lock(impl_->mutex);
    bool ok = false;
    std::string why;
    impl_->OnThread(lock, [&] { ok = impl_->PlugNow(why); });
    if (!ok && error) *error = why;
    return ok;
}

const char* ToString(SimState state) {
    switch (state) {
        case SimState::Ready:
            return "ready";
        case SimState::Missing:
            return "missing";
        case SimState::Pin:
            return "pin";
        case SimState::Puk:
            return "puk";
    }
    return "ready";
}

const char* ToString(StartKind kind) {
    switch (kind) {
        case StartKind::Cold:
            return "cold";
        case StartKind::Warm:
            return "warm";
        case StartKind::Hot:
            return "hot";
    }
    return "hot";
}

bool ParseStartKind(const std::string& text, StartKind& kind) {
    for (StartKind k : {StartKind::Cold, StartKind::Warm, StartKind::Hot}) {
        if (text == ToString(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

Milliseconds TimeToFirstFix(const CardOptions& o, bool assisted) {
    Milliseconds time = o.start == StartKind::Cold   ? o.coldStart
                        : o.start == StartKind::Warm ? o.warmStart
                                                     : o.hotStart;
    if (assisted && o.start != StartKind::Hot) time = std::max(time / 5, o.hotStart);
    return time;
}

bool ParseSimState(const std::string& text, SimState& state) {
    for (SimState s : {SimState::Ready, SimState::Missing, SimState::Pin, SimState::Puk}) {
        if (text == ToString(s)) {
            state = s;
            return true;
        }
    }
    return false;
}

}  // namespace cardsim
