#include "platform/serial/serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace platform {

std::unique_ptr<SerialLine> SerialLine::Open(const std::string& node, std::string& error) {
    int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = node + ": " + std::strerror(errno);
        return nullptr;
    }
    // Nobody else may open the port behind our back (root still can).
    ::ioctl(fd, TIOCEXCL);
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        error = node + ": not a terminal: " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    ::cfsetispeed(&tio, B115200);
    ::cfsetospeed(&tio, B115200);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = node + ": cannot set raw mode: " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    // Nothing a previous owner left in the port may pass for an answer to us: what is queued
    // either way is dropped, and so is input the driver hands over only now.
    ::tcflush(fd, TCIOFLUSH);
    char stale[256];
    while (::read(fd, stale, sizeof stale) > 0) {
    }
    int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<SerialLine>(new SerialLine(fd, wakeFd, node));
}

SerialLine::~SerialLine() {
    Stop();
    if (reader_.joinable()) reader_.detach();  // only when destroyed from its own thread
    ::close(fd_);
    ::close(wakeFd_);
}

bool SerialLine::Start(Handlers handlers) {
    if (reader_.joinable() || stopping_) return false;
    handlers_ = std::move(handlers);
    running_ = true;
    try {
        reader_ = std::thread([this] {
            Run();
            running_ = false;  // last: the thread only returns after this
        });
    } catch (...) {
        running_ = false;
        return false;
    }
    return true;
}

bool SerialLine::Write(std::string_view bytes, int timeoutMs) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!bytes.empty()) {
        if (hungUp_) return false;
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return false;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
    }
    return true;
}

void SerialLine::Wake() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void SerialLine::Stop() {
    stopping_ = true;
    Wake();
    if (!reader_.joinable() || reader_.get_id() == std::this_thread::get_id()) return;
    // The reader may be in a handler that sends to the window thread.
    handlers_.stopWait.Join(reader_, [this] { return !running_; });
}

void SerialLine::Run() {
    char buffer[4096];
    while (!stopping_) {
        int timeout = handlers_.nextTimeout ? handlers_.nextTimeout() : -1;
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int ready = ::poll(fds, 2, timeout);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(wakeFd_, &count, sizeof count);
        }
        if (stopping_) break;
        if (ready == 0) {
            if (handlers_.timer) handlers_.timer();
            continue;
        }
        bool failed = fds[0].revents & (POLLERR | POLLNVAL);
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            // Read what is there first: a hang-up may come with the last bytes.
            ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                if (handlers_.received) handlers_.received(std::string_view(buffer, n));
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR)) failed = true;
            if (fds[0].revents & POLLHUP) failed = true;
        }
        if (failed) {
            // HUP stays raised: close down instead of spinning in poll().
            hungUp_ = true;
            if (handlers_.hungUp) handlers_.hungUp();
            break;
        }
    }
}

}  // namespace platform
