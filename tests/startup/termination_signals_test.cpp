// The launcher's signal watcher, in a child process of its own: a signal calls the handler set
// for it and leaves the program to end its own way; without a handler, and at the second
// signal, the program ends as the signal would have.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Startup/Win32/termination_signals.h"

namespace {

struct Outcome {
    bool handled = false;  // the handler ran
    int status = 0;        // as waitpid gives it
};

// Sends `count` SIGTERMs to a child that takes the signals as Startup does and, when
// `handler`, ends with 7 a moment after its handler ran unless `stuck`.
Outcome RunChild(bool handler, bool stuck, int count) {
    int pipeFds[2];
    EXPECT_EQ(::pipe(pipeFds), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        launcher::TerminationSignals signals;
        std::atomic<bool> asked{false};
        if (handler) {
            launcher::TerminationSignals::SetHandler([&] {
                [[maybe_unused]] ssize_t n = ::write(pipeFds[1], "h", 1);
                asked = true;
            });
        }
        [[maybe_unused]] ssize_t n = ::write(pipeFds[1], "r", 1);
        for (int i = 0; i < 500; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (asked && !stuck && i > 0) break;
        }
        launcher::TerminationSignals::SetHandler(nullptr);
        ::_exit(7);
    }
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
