// A client of a simulated card's port: opens the pseudo-terminal raw, as a serial program
// does, and reads with a time limit.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

class PtyClient {
  public:
    explicit PtyClient(const std::string& node) {
        fd_ = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return;
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
        ::tcflush(fd_, TCIOFLUSH);
    }
    ~PtyClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool Send(const std::string& text) {
        return ::write(fd_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // Reads until `done` holds for what was read so far (returned), or the time is up.
    std::string ReadUntil(const std::function<bool(const std::string&)>& done,
                          std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::string got;
        auto end = std::chrono::steady_clock::now() + limit;
        while (!done(got)) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            if (p.revents & (POLLHUP | POLLERR)) {
                hungUp_ = true;
                break;
            }
            char buffer[4096];
            ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                got.append(buffer, static_cast<size_t>(n));
                ++reads_;
            }
        }
        return got;
    }
    // Reads up to and including a final result code line.
    std::string Answer(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        return ReadUntil(
            [](const std::string& s) {
                for (const char* code : {"\r\nOK\r\n", "\r\nERROR\r\n"}) {
                    if (s.find(code) != std::string::npos) return true;
                }
                return s.find("+CME ERROR: ") != std::string::npos && s.ends_with("\r\n");
            },
            limit);
    }
    std::string Exchange(const std::string& line) {
        Send(line + "\r");
        return Answer();
    }
    int Reads() const { return reads_; }
    bool HungUp() const { return hungUp_; }

  private:
    int fd_ = -1;
    int reads_ = 0;
    bool hungUp_ = false;
};
