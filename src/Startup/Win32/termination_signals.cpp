#include "Startup/Win32/termination_signals.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>

namespace launcher {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::mutex g_handlerMutex;
std::function<void()> g_handler;  // under g_handlerMutex

sigset_t TakenSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kSignals) {
        struct sigaction current {};
        ::sigaction(signal, nullptr, &current);
        if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) continue;
        sigaddset(&set, signal);
    }
    return set;
}

// Ends the process as `signal` would have: unblocked on this thread and raised again, it
// reaches the handler installed for it (the terminal front end puts the terminal back there)
// or its default action.
[[noreturn]] void EndBy(int signal) {
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(signal);
    // A handler that let the process live: end it anyway, with the shell's code for the signal.
    ::_exit(128 + signal);
}

}  // namespace

TerminationSignals::TerminationSignals() {
    sigset_t set = TakenSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signalFd_ = ::signalfd(-1, &set, SFD_CLOEXEC);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
    if (signalFd_ < 0 || wakeFd_ < 0) {
        // Without a watcher the signals act as they always do.
        ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    watcher_ = std::thread([this] { Watch(); });
}

TerminationSignals::~TerminationSignals() {
    if (watcher_.joinable()) {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
        watcher_.join();
    }
    if (signalFd_ >= 0) ::close(signalFd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void TerminationSignals::SetHandler(std::function<void()> onSignal) {
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    g_handler = std::move(onSignal);
}

void TerminationSignals::Watch() {
    int asked = 0;  // the signal whose handler was called; 0: none yet
    for (;;) {
        pollfd fds[2] = {{signalFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int ready = ::poll(fds, 2, asked ? kGraceSeconds * 1000 : -1);
        if (ready < 0) continue;       // interrupted
        if (ready == 0) EndBy(asked);  // the program did not end in time
        if (fds[1].revents & POLLIN) return;
        signalfd_siginfo info{};
        if (::read(signalFd_, &info, sizeof info) != sizeof info) continue;
        const int signal = static_cast<int>(info.ssi_signo);
        if (asked) EndBy(signal);
        std::lock_guard<std::mutex> lock(g_handlerMutex);
        if (!g_handler) EndBy(signal);
        asked = signal;
        g_handler();
    }
}

}  // namespace launcher
