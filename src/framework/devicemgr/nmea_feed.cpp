#include "framework/devicemgr/nmea_feed.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "framework/contracts/ids.h"
#include "platform/access/account_access.h"
#include "platform/paths.h"
#include "platform/runtime_folder.h"

namespace devicemgr {
namespace {

std::string FolderOf(const std::string& path) {
    size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

NmeaSocketOptions SocketOptions(const NmeaFeedOptions& options) {
    NmeaSocketOptions socket;
    socket.queueBytes = options.readerQueueBytes;
    if (options.locationAccount && options.shareWithLocationService) {
        socket.allowed.push_back(*options.locationAccount);
    }
    return socket;
}

}  // namespace

NmeaFeed::NmeaFeed(NmeaFeedOptions options, TraceFn trace)
    : options_(std::move(options)), socket_(SocketOptions(options_)) {
    if (trace) traceSinks_.emplace_back(nullptr, std::move(trace));
}

NmeaFeed::~NmeaFeed() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    Wake();
    if (thread_.joinable()) thread_.join();
    Traces traces;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        TellDropsLocked(true, traces);
        socket_.Close();
        terminal_.Close();
    }
    if (wake_ >= 0) ::close(wake_);
    Emit(traces);
}

std::shared_ptr<NmeaFeed> NmeaFeed::OfProcess(const NmeaFeedOptions& options) {
    static std::mutex mutex;
    static std::shared_ptr<NmeaFeed> feed;
    std::lock_guard<std::mutex> lock(mutex);
    if (!feed) feed = std::make_shared<NmeaFeed>(options);
    return feed;
}

bool NmeaFeed::Open() {
    Traces traces;
    bool open;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open = OpenLocked(traces);
    }
    Emit(traces);
    return open;
}

bool NmeaFeed::OpenLocked(Traces& traces) {
    if (tried_) return terminal_.IsOpen() || socket_.IsOpen();
    tried_ = true;
    std::string link = options_.link, why;
    if (link.empty()) {
        std::string folder = platform::RuntimeDirectory(&why);
        if (folder.empty()) {
            traces.emplace_back(framework::kTraceWarning, "NMEA feed not offered: " + why);
            return false;
        }
        link = platform::JoinPath(folder, "nmea");
    }
    if (terminal_.Open(link, &why)) {
        traces.emplace_back(framework::kTraceNotice, "NMEA feed: " + terminal_.LinkPath() + " -> " +
                                                         terminal_.TerminalPath());
    } else {
        traces.emplace_back(framework::kTraceWarning, "NMEA feed not offered: " + why);
    }
    if (options_.socket) {
        std::string path = options_.socketPath.empty()
                               ? platform::JoinPath(FolderOf(link), "nmea.sock")
                               : options_.socketPath;
        if (socket_.Open(path, &why)) {
            traces.emplace_back(framework::kTraceNotice, "NMEA socket: " + path);
            ShareSocketLocked(traces);
        } else {
            traces.emplace_back(framework::kTraceWarning, "NMEA socket not offered: " + why);
        }
    }
    if (!terminal_.IsOpen() && !socket_.IsOpen()) return false;
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_ < 0) {
        traces.emplace_back(framework::kTraceWarning,
                            std::string("NMEA feed: eventfd: ") + std::strerror(errno));
        return true;  // written all the same, without the thread's help
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

// The location service reaches the socket through the socket's folder and the one above it
// (the runtime folders, this user's): search on those that others cannot pass through already,
// read and write on the socket. A folder that is not this user's is the system's business.
void NmeaFeed::ShareSocketLocked(Traces& traces) {
    if (!options_.locationAccount) {
        if (options_.shareWithLocationService) {
            traces.emplace_back(framework::kTraceWarning,
                                std::string("GeoClue is not installed (no account ") +
                                    kLocationServiceAccount +
                                    "): the NMEA socket stays owner-only");
        }
        return;
    }
    const uint32_t uid = *options_.locationAccount;
    const std::string socket = socket_.Path();
    const std::vector<std::string> folders = platform::FoldersToPass(socket);
    std::string why;
    if (!options_.shareWithLocationService) {
        for (const std::string& f : folders) {
            if (!platform::RevokeAccount(f, uid, &why)) {
                traces.emplace_back(framework::kTraceWarning, "NMEA socket: " + why);
            }
        }
        return;
    }
    bool ok = platform::GrantAccount(socket, uid, platform::AccountRight::ReadWrite, &why);
    for (const std::string& f : folders) {
        ok = ok && platform::GrantAccount(f, uid, platform::AccountRight::Search, &why);
    }
    if (!ok) {
        traces.emplace_back(framework::kTraceWarning,
                            "NMEA socket: GeoClue cannot be let in: " + why);
        return;
    }
    std::string granted;
    for (const std::string& f : folders) granted += (granted.empty() ? "" : " and ") + f;
    traces.emplace_back(framework::kTraceNotice, std::string("NMEA socket: account ") +
                                                     kLocationServiceAccount + " (uid " +
                                                     std::to_string(uid) + ") may connect to " +
                                                     socket + " (search on " + granted + ")");
}

void NmeaFeed::Write(const std::vector<std::string>& sentences) {
    if (sentences.empty()) return;
    std::vector<std::string> lines;
    lines.reserve(sentences.size());
    for (const std::string& sentence : sentences) lines.push_back(sentence + "\r\n");
    Traces traces;
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!OpenLocked(traces) || stopping_) {
            // Told once, when it was tried.
        } else {
            wake = terminal_.Write(lines);
            wake = socket_.Write(lines) || wake;
            TellDropsLocked(false, traces);
        }
    }
    if (wake) Wake();
    Emit(traces);
}

void NmeaFeed::SessionStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    terminal_.SessionStarted();
}

void NmeaFeed::TellDropsLocked(bool force, Traces& traces) {
    auto now = std::chrono::steady_clock::now();
    bool due = force || lastTerminalTold_ == std::chrono::steady_clock::time_point{} ||
               now - lastTerminalTold_ >= options_.dropTraceInterval;
    if (due) {
        if (uint64_t untold = terminal_.TakeUntoldDrops()) {
            traces.emplace_back(framework::kTraceWarning,
                                "NMEA feed: " + std::to_string(untold) +
                                    " sentences dropped, the reader of " + terminal_.LinkPath() +
                                    " is not keeping up (" +
                                    std::to_string(terminal_.Counters().dropped) + " in all)");
            lastTerminalTold_ = now;
        }
    }
    socket_.TellDrops(options_.dropTraceInterval, force, traces);
}

void NmeaFeed::Wake() {
    if (wake_ < 0) return;
    uint64_t one = 1;
    ssize_t n = ::write(wake_, &one, sizeof one);
    (void)n;  // a counter already set wakes the thread all the same
}

void NmeaFeed::Run() {
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({wake_, POLLIN, 0});
        int hangUp;
        size_t first;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            hangUp = terminal_.HangUpWatch();
            // Nothing asked: a terminal's master reports the hang-up of its last reader anyway.
            if (hangUp >= 0) fds.push_back({hangUp, 0, 0});
            first = fds.size();
            socket_.PollFds(fds);
        }
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
        if (fds[0].revents & POLLIN) {
            uint64_t count;
            ssize_t n = ::read(wake_, &count, sizeof count);
            (void)n;
        }
        Traces traces;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            if (hangUp >= 0 && (fds[1].revents & POLLHUP) && terminal_.HangUpWatch() == hangUp) {
                terminal_.ReaderLeft();
            }
            socket_.Handle(fds.data() + first, fds.size() - first, traces);
        }
        Emit(traces);
    }
}

void NmeaFeed::AddTraceSink(const void* owner, TraceFn trace) {
    std::lock_guard<std::mutex> lock(traceMutex_);
    traceSinks_.emplace_back(owner, std::move(trace));
}

void NmeaFeed::RemoveTraceSink(const void* owner) {
    std::lock_guard<std::mutex> lock(traceMutex_);
    for (size_t i = traceSinks_.size(); i-- > 0;) {
        if (traceSinks_[i].first == owner) traceSinks_.erase(traceSinks_.begin() + i);
    }
}

void NmeaFeed::Emit(const Traces& traces) {
    if (traces.empty()) return;
    std::lock_guard<std::mutex> lock(traceMutex_);
    if (traceSinks_.empty()) return;
    const TraceFn& trace = traceSinks_.back().second;
    for (const auto& [level, text] : traces) trace(level, text);
}

NmeaFeedCounters NmeaFeed::Counters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return terminal_.Counters();
}

std::vector<NmeaReaderCounters> NmeaFeed::SocketReaders() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return socket_.Readers();
}

std::string NmeaFeed::LinkPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return terminal_.LinkPath();
}

std::string NmeaFeed::TerminalPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return terminal_.TerminalPath();
}

std::string NmeaFeed::SocketPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return socket_.Path();
}

}  // namespace devicemgr
