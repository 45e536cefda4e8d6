#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/paths.h"

namespace platform {
namespace {

constexpr char kRequest[] = "raise\n";
constexpr char kAnswer[] = "done\n";

bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

std::string SocketPath(const std::string& name) {
    std::string folder = RuntimeDirectory();
    return folder.empty() ? std::string() : JoinPath(folder, name + ".sock");
}

// Waits until `fd` is ready for `events` or the deadline passes.
bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left < 0) return false;
        pollfd p{fd, events, 0};
        int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

}  // namespace

std::unique_ptr<InstanceLock> InstanceLock::Acquire(const std::string& name, Outcome& outcome) {
    outcome = Outcome::Failed;
    std::string folder = RuntimeDirectory();
    if (folder.empty()) return nullptr;
    return AcquireFile(JoinPath(folder, name + ".lock"), outcome);
}

std::unique_ptr<InstanceLock> InstanceLock::AcquireFile(const std::string& path, Outcome& outcome) {
    outcome = Outcome::Failed;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    // An open file description of our own: a second lock object in this process conflicts too.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        outcome = errno == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Failed;
        ::close(fd);
        return nullptr;
    }
    outcome = Outcome::Acquired;
    return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
}

InstanceLock::~InstanceLock() {
    ::close(fd_);
}

RaiseListener::RaiseListener(int listenFd, int stopFd, std::string path,
                             std::function<void()> onRequest)
    : listenFd_(listenFd),
      stopFd_(stopFd),
      path_(std::move(path)),
      onRequest_(std::move(onRequest)) {
    thread_ = std::thread([this] { Run(); });
}

std::unique_ptr<RaiseListener> RaiseListener::Start(const std::string& name,
                                                    std::function<void()> onRequest) {
    std::string path = SocketPath(name);
    sockaddr_un address;
    if (!FillAddress(path, address)) return nullptr;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    ::unlink(path.c_str());
    if (!BindOwnerOnly(fd, path) || ::listen(fd, 4) != 0) {
        ::close(fd);
        return nullptr;
    }
    int stop = ::eventfd(0, EFD_CLOEXEC);
    if (stop < 0) {
        ::close(fd);
        ::unlink(path.c_str());
        return nullptr;
    }
    try {
        return std::unique_ptr<RaiseListener>(
            new RaiseListener(fd, stop, std::move(path), std::move(onRequest)));
    } catch (...) {
        ::close(fd);
        ::close(stop);
        return nullptr;
    }
}

RaiseListener::~RaiseListener() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(stopFd_, &one, sizeof one);
    if (thread_.joinable()) thread_.join();
    ::close(listenFd_);
    ::close(stopFd_);
    ::unlink(path_.c_str());
}

void RaiseListener::Run() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        // A request is one short line; anything else is hung up on.
        char buffer[sizeof kRequest] = {};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        size_t got = 0;
        while (got < sizeof kRequest - 1 && WaitFor(client, POLLIN, deadline)) {
            ssize_t n = ::read(client, buffer + got, sizeof kRequest - 1 - got);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        if (got == sizeof kRequest - 1 && std::memcmp(buffer, kRequest, got) == 0) {
            try {
                if (onRequest_) onRequest_();
            } catch (...) {
            }
            [[maybe_unused]] ssize_t sent =
                ::send(client, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL);
        }
        ::close(client);
    }
}

bool AskToRaise(const std::string& name, int timeoutMilliseconds) {
    sockaddr_un address;
    if (!FillAddress(SocketPath(name), address)) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    bool answered = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) ==
            static_cast<ssize_t>(sizeof kRequest - 1)) {
        char buffer[sizeof kAnswer] = {};
        size_t got = 0;
        while (got < sizeof kAnswer - 1 && WaitFor(fd, POLLIN, deadline)) {
            ssize_t n = ::read(fd, buffer + got, sizeof kAnswer - 1 - got);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        answered = got == sizeof kAnswer - 1 && std::memcmp(buffer, kAnswer, got) == 0;
    }
    ::close(fd);
    return answered;
}

bool InstanceLockHeld(const std::string& name) {
    std::string folder = RuntimeDirectory();
    if (folder.empty()) return false;
    std::string path = JoinPath(folder, name + ".lock");
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);  // drops the shared lock when it was taken
    return held;
}

}  // namespace platform
