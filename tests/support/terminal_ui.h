// Runs the window kit on the terminal back end for a whole test program, drawing on a
// pseudo-terminal of 80 x 24 that the test owns: keys are written to its other end, and what
// the program writes there is read and thrown away (so that drawing never blocks).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/ui/kit.h"
#include "platform/ui/terminal/terminal.h"

namespace testing_support {

class TerminalUiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(::grantpt(master_), 0);
        ASSERT_EQ(::unlockpt(master_), 0);
        slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave_, 0);
        Resize(24, 80, false);
        ::setenv("TERM", "xterm-256color", 1);
        drain_ = std::thread([this] {
            char buffer[4096];
            while (!stop_) {
                pollfd fd{master_, POLLIN, 0};
                if (::poll(&fd, 1, 20) > 0 && ::read(master_, buffer, sizeof buffer) <= 0) break;
            }
        });
        ui::terminal::UseTerminal(slave_, slave_);
        ASSERT_TRUE(ui::Initialize(ui::BackendKind::Terminal));
    }
    void TearDown() override {
        ui::Shutdown();
        stop_ = true;
        if (drain_.joinable()) drain_.join();
        ::close(slave_);
        ::close(master_);
    }

    // Keys as a terminal sends them ("\t", "\r", "\033[B" for Down).
    static void Keys(const std::string& bytes) {
        [[maybe_unused]] ssize_t n = ::write(Instance()->master_, bytes.data(), bytes.size());
    }
    // A new size, told to the program as a terminal would.
    static void Resize(int rows, int cols, bool tell = true) {
        struct winsize size {};
        size.ws_row = static_cast<unsigned short>(rows);
        size.ws_col = static_cast<unsigned short>(cols);
        ::ioctl(Instance()->master_, TIOCSWINSZ, &size);
        if (tell) ::kill(::getpid(), SIGWINCH);
    }
    static TerminalUiEnvironment* Instance() { return instance_; }

    TerminalUiEnvironment() { instance_ = this; }

  private:
    inline static TerminalUiEnvironment* instance_ = nullptr;
    int master_ = -1;
    int slave_ = -1;
    std::atomic<bool> stop_{false};
    std::thread drain_;
};

inline const bool terminalUiRegistered =
    (::testing::AddGlobalTestEnvironment(new TerminalUiEnvironment), true);

}  // namespace testing_support
