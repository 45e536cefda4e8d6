// The launcher's signal watcher, in a child process of its own: a signal calls the handler set
// for it and leaves the program to end its own way; without a handler, and at the second
// signal, the program ends as the signal would have.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "Startup/Win32/termination_signals.h"

namespace {

struct Outcome {
    bool handled = false;  // the handler ran
    int status = 0;        // as waitpid gives it
};

constexpr const char* kChildRole = "SATVIEW_SIGNALS_CHILD";

// The child's side, in a process of its own (this test program run again, before main): takes
// the signals as Startup does and, with a handler, ends with 7 a moment after its handler ran
// unless it is stuck. Tells the parent on the descriptor it was given: "r" ready, "h" handled.
[[noreturn]] void RunAsChild(const std::string& role) {
    const bool handler = role.find("handler") != std::string::npos;
    const bool stuck = role.find("stuck") != std::string::npos;
    const int fd = std::atoi(role.substr(0, role.find(':')).c_str());
    launcher::TerminationSignals signals;
    std::atomic<bool> asked{false};
    if (handler) {
        launcher::TerminationSignals::SetHandler([&] {
            [[maybe_unused]] ssize_t n = ::write(fd, "h", 1);
            asked = true;
        });
    }
    [[maybe_unused]] ssize_t n = ::write(fd, "r", 1);
    for (int i = 0; i < 500; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (asked && !stuck && i > 0) break;
    }
    launcher::TerminationSignals::SetHandler(nullptr);
    ::_exit(7);
}

[[maybe_unused]] const bool kIsChild = [] {
    if (const char* role = std::getenv(kChildRole)) RunAsChild(role);
    return false;
}();

// Starts this program again as the child (a fresh process: no threads forked along) and sends
// it `count` SIGTERMs.
Outcome RunChild(bool handler, bool stuck, int count) {
    int pipeFds[2];
    EXPECT_EQ(::pipe(pipeFds), 0);
    std::string role = std::string(kChildRole) + "=" + std::to_string(pipeFds[1]) + ":" +
                       (handler ? "handler" : "") + (stuck ? ",stuck" : "");
    char* argv[] = {const_cast<char*>("/proc/self/exe"), nullptr};
    char* envp[] = {role.data(), nullptr};
    pid_t pid = -1;
    EXPECT_EQ(::posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, envp), 0);
    ::close(pipeFds[1]);
    Outcome outcome;
    char c = 0;
    EXPECT_EQ(::read(pipeFds[0], &c, 1), 1);
    for (int i = 0; i < count; ++i) {
        ::kill(pid, SIGTERM);
        if (handler && i == 0) outcome.handled = ::read(pipeFds[0], &c, 1) == 1 && c == 'h';
    }
    ::waitpid(pid, &outcome.status, 0);
    ::close(pipeFds[0]);
    return outcome;
}

}  // namespace

TEST(TerminationSignals, ASignalEndsTheProgramThroughItsHandlerElseAsTheSignalWould) {
    const struct {
        const char* name;
        bool handler, stuck;
        int signals;
        bool handled;
        int exitCode;  // -1: ended by SIGTERM
    } cases[] = {
        {"handler", true, false, 1, true, 7},
        {"no handler", false, false, 1, false, -1},
        {"a second signal while the handler's end is under way", true, true, 2, true, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome outcome = RunChild(c.handler, c.stuck, c.signals);
        EXPECT_EQ(outcome.handled, c.handled);
        if (c.exitCode < 0) {
            ASSERT_TRUE(WIFSIGNALED(outcome.status));
            EXPECT_EQ(WTERMSIG(outcome.status), SIGTERM);
        } else {
            ASSERT_TRUE(WIFEXITED(outcome.status));
            EXPECT_EQ(WEXITSTATUS(outcome.status), c.exitCode);
        }
    }
}
