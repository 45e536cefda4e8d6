// A pseudo-terminal pair for serial tests: the test plays the device on the master side, the
// code under test opens the slave by its name. The slave is raw from the start and one slave
// descriptor stays open here, so the master never sees a hang-up until Hangup().
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace testing_support {

class PtyPair {
  public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0) return;
        name_ = name;
        keep_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        ::tcgetattr(keep_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(keep_, TCSANOW, &tio);
    }
    ~PtyPair() { Hangup(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master_ >= 0 && keep_ >= 0; }
    const std::string& SlaveName() const { return name_; }

    void Write(const std::string& bytes) {
        [[maybe_unused]] ssize_t n = ::write(master_, bytes.data(), bytes.size());
    }

    // Reads until `stop` appears in what was read or `timeoutMs` passes; answers what was read.
    std::string ReadUntil(const std::string& stop, int timeoutMs = 2000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (pending_.find(stop) == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[512];
            ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            pending_.append(buffer, static_cast<size_t>(n));
        }
        size_t end = pending_.find(stop);
        end = end == std::string::npos ? pending_.size() : end + stop.size();
        std::string taken = pending_.substr(0, end);
        pending_.erase(0, end);
        return taken;
    }

    // Closes the master: the slave side sees a hang-up, as on an unplug.
    void Hangup() {
        if (master_ >= 0) ::close(master_);
        if (keep_ >= 0) ::close(keep_);
        master_ = keep_ = -1;
    }

  private:
    int master_ = -1;
    int keep_ = -1;
    std::string name_;
    std::string pending_;
};

}  // namespace testing_support
