// A program the system tests start: its own process group, its output in a file, extra
// environment variables; stopped with SIGTERM (then SIGKILL) when the object goes.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"

namespace system_test {

class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          std::string output)
        : output_(std::move(output)) {
        pid_ = ::fork();
        if (pid_ != 0) return;
        ::setpgid(0, 0);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        int fd = ::open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ~Child() { Stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = status;
            pid_ = -1;
            return false;
        }
        return true;
    }
    // SIGTERM to the process group, SIGKILL after five seconds; the wait status.
    int Stop() {
        if (!Running()) return status_;
        ::kill(-pid_, SIGTERM);
        for (int i = 0; i < 500 && Running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (Running()) {
            ::kill(-pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
        return status_;
    }
    std::string Output() const { return platform::ReadWholeFile(output_).value_or(""); }

  private:
    pid_t pid_ = -1;
    int status_ = 0;
    std::string output_;
};

// Waits up to `seconds` for `test` to hold.
template <typename F>
bool WaitUntil(F test, int seconds = 20) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!test()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Runs a shell command line; its exit code (-1 when it did not end normally).
inline int Shell(const std::string& line) {
    int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace system_test
