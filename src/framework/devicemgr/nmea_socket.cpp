#include "framework/devicemgr/nmea_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "framework/contracts/ids.h"
#include "framework/devicemgr/position_sentences.h"
#include "platform/runtime_folder.h"

namespace devicemgr {
namespace {

// Whether a process listens at `path`.
bool SomeoneListens(const std::string& path) {
    int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    bool listens =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return listens;
}

}  // namespace

bool NmeaSocket::Open(const std::string& path, std::string* why) {
    if (listener_ >= 0) return true;
    auto fail = [&](const std::string& what) {
        if (why) *why = what;
        if (listener_ >= 0) ::close(listener_);
        listener_ = -1;
        return false;
    };
    if (path.size() >= sizeof(sockaddr_un{}.sun_path)) return fail(path + " is too long a name");
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) return fail(path + " is there and is no socket");
        if (SomeoneListens(path)) return fail(path + " is taken: another process listens there");
        ::unlink(path.c_str());  // left by a run that ended without removing it
    }
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0) return fail(std::string("socket: ") + std::strerror(errno));
    if (!platform::BindOwnerOnly(listener_, path)) {
        return fail("cannot bind " + path + ": " + std::strerror(errno));
    }
    if (::listen(listener_, 16) != 0) {
        std::string error = std::strerror(errno);
        ::unlink(path.c_str());
        return fail("cannot listen on " + path + ": " + error);
    }
    path_ = path;
    return true;
}

void NmeaSocket::Close() {
    for (Reader& reader : readers_) ::close(reader.fd);
    readers_.clear();
    if (listener_ >= 0) {
        ::close(listener_);
        ::unlink(path_.c_str());
    }
    listener_ = -1;
    path_.clear();
}

std::string NmeaSocket::Name(const Reader& reader) const {
    return "reader " + std::to_string(reader.counters.id) + " of " + path_ + " (uid " +
           std::to_string(reader.counters.uid) + ", pid " + std::to_string(reader.counters.pid) +
           ")";
}

void NmeaSocket::Accept(Traces& traces) {
    for (;;) {
        int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // EAGAIN: nobody else waits
        }
        ucred peer{};
        socklen_t size = sizeof peer;
        bool known = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0;
        bool allowed = known && (peer.uid == ::geteuid() || peer.uid == 0 ||
                                 std::find(options_.allowed.begin(), options_.allowed.end(),
                                           peer.uid) != options_.allowed.end());
        if (!allowed || readers_.size() >= options_.maxReaders) {
            traces.emplace_back(
                framework::kTraceWarning,
                "NMEA socket " + path_ + ": a reader (uid " + std::to_string(peer.uid) +
                    ") turned away: " + (allowed ? "too many readers" : "not an allowed account"));
            ::close(fd);
            continue;
        }
        Reader reader;
        reader.fd = fd;
        reader.counters.id = ++lastId_;
        reader.counters.uid = peer.uid;
        reader.counters.pid = peer.pid;
        readers_.push_back(std::move(reader));
        traces.emplace_back(framework::kTraceNotice,
                            "NMEA socket: " + Name(readers_.back()) + " connected");
    }
}

void NmeaSocket::Send(Reader& reader) {
    while (!reader.queue.empty() && !reader.gone) {
        const std::string& line = reader.queue.front();
        ssize_t n = ::send(reader.fd, line.data() + reader.headSent, line.size() - reader.headSent,
                           MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) reader.gone = true;
            return;
        }
        reader.headSent += static_cast<size_t>(n);
        if (reader.headSent < line.size()) return;
        reader.queuedBytes -= line.size();
        reader.queue.pop_front();
        reader.headSent = 0;
    }
}

bool NmeaSocket::Write(const std::vector<std::string>& lines) {
    if (listener_ < 0 || readers_.empty()) return false;
    std::vector<const std::string*> wanted;
    for (const std::string& line : lines) {
        if (!ReportsNoFix(std::string_view(line).substr(0, line.find('\r')))) {
            wanted.push_back(&line);
        }
    }
    bool poll = false;
    for (Reader& reader : readers_) {
        if (reader.gone) continue;
        for (const std::string* line : wanted) {
            reader.queue.push_back(*line);
            reader.queuedBytes += line->size();
            ++reader.counters.sent;
        }
        // The oldest whole sentences go first; one begun is finished.
        size_t keep = reader.headSent > 0 ? 1 : 0;
        while (reader.queuedBytes > options_.queueBytes && reader.queue.size() > keep) {
            auto oldest = reader.queue.begin() + static_cast<long>(keep);
            reader.queuedBytes -= oldest->size();
            reader.queue.erase(oldest);
            --reader.counters.sent;
            ++reader.counters.dropped;
        }
        Send(reader);
        poll = poll || reader.gone || !reader.queue.empty();
    }
    return poll;
}

void NmeaSocket::PollFds(std::vector<pollfd>& fds) const {
    if (listener_ < 0) return;
    fds.push_back({listener_, POLLIN, 0});
    for (const Reader& reader : readers_) {
        short events = reader.gone ? 0 : POLLIN;
        if (!reader.queue.empty() && !reader.gone) events |= POLLOUT;
        fds.push_back({reader.fd, events, 0});
    }
}

void NmeaSocket::Handle(const pollfd* fds, size_t count, Traces& traces) {
    if (listener_ < 0 || count == 0) return;
    // Readers are matched by descriptor: the list may have changed since it was polled.
    for (size_t i = 1; i < count; ++i) {
        auto found = std::find_if(readers_.begin(), readers_.end(),
                                  [&](const Reader& r) { return r.fd == fds[i].fd; });
        if (found == readers_.end()) continue;
        Reader& reader = *found;
        short got = fds[i].revents;
        if (!reader.gone && (got & POLLIN)) {
            // What a reader says is not for us; the end of its stream is.
            char scratch[512];
            for (;;) {
                ssize_t n = ::recv(reader.fd, scratch, sizeof scratch, MSG_DONTWAIT);
                if (n > 0) continue;
                if (n < 0 && errno == EINTR) continue;
                if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) reader.gone = true;
                break;
            }
        }
        if (!reader.gone && (got & POLLOUT)) Send(reader);
        if (got & (POLLHUP | POLLERR | POLLNVAL)) reader.gone = true;
    }
    for (size_t i = readers_.size(); i-- > 0;) {
        if (readers_[i].gone) Remove(i, "left", traces);
    }
    if (fds[0].revents & POLLIN) Accept(traces);
}

void NmeaSocket::Remove(size_t index, const char* why, Traces& traces) {
    Reader& reader = readers_[index];
    std::string text = "NMEA socket: " + Name(reader) + " " + why + " after " +
                       std::to_string(reader.counters.sent) + " sentences";
    if (reader.counters.dropped > 0) {
        text += ", " + std::to_string(reader.counters.dropped) + " lost for not keeping up";
    }
    traces.emplace_back(framework::kTraceNotice, text);
    ::close(reader.fd);
    readers_.erase(readers_.begin() + static_cast<long>(index));
}

std::vector<NmeaReaderCounters> NmeaSocket::Readers() const {
    std::vector<NmeaReaderCounters> out;
    for (const Reader& reader : readers_) out.push_back(reader.counters);
    return out;
}

void NmeaSocket::TellDrops(std::chrono::milliseconds interval, bool force, Traces& traces) {
    auto now = std::chrono::steady_clock::now();
    for (Reader& reader : readers_) {
        if (reader.counters.dropped == reader.dropsTold) continue;
        if (!force && reader.lastTold != std::chrono::steady_clock::time_point{} &&
            now - reader.lastTold < interval) {
            continue;
        }
        traces.emplace_back(framework::kTraceWarning,
                            "NMEA socket: " + Name(reader) + " is not keeping up: " +
                                std::to_string(reader.counters.dropped - reader.dropsTold) +
                                " sentences dropped, its oldest (" +
                                std::to_string(reader.counters.dropped) + " in all)");
        reader.dropsTold = reader.counters.dropped;
        reader.lastTold = now;
    }
}

}  // namespace devicemgr
