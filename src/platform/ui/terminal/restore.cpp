#include "platform/ui/terminal/restore.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace ui::terminal {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV,
                            SIGBUS, SIGFPE,  SIGILL, SIGABRT};
constexpr int kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

// Filled before arming and left alone while armed, so a handler may read them.
int terminalFd = -1;
struct termios savedModes;
char sequence[256];
size_t sequenceLength = 0;
struct sigaction previous[kSignalCount];
bool installed[kSignalCount] = {};
std::atomic<bool> armed{false};
bool exitHookRegistered = false;

void Restore() {
    if (!armed.exchange(false)) return;
    ::tcsetattr(terminalFd, TCSAFLUSH, &savedModes);
    size_t written = 0;
    while (written < sequenceLength) {
        ssize_t n = ::write(terminalFd, sequence + written, sequenceLength - written);
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
}

int IndexOf(int signal) {
    for (int i = 0; i < kSignalCount; ++i) {
        if (kSignals[i] == signal) return i;
    }
    return -1;
}

bool Synchronous(int signal) {
    return signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL;
}

void OnSignal(int signal, siginfo_t* info, void*) {
    int saved = errno;
    Restore();
    int index = IndexOf(signal);
    if (index >= 0) ::sigaction(signal, &previous[index], nullptr);
    // A real fault happens again on return and reaches the former handler (or kills the
    // process); the others, and faults only sent by kill, are raised again once this
    // handler returns.
    bool fault = Synchronous(signal) && info != nullptr && info->si_code > 0;
    if (!fault) ::raise(signal);
    errno = saved;
}

void OnExit() {
    Restore();
}

}  // namespace

void ArmRestore(int fd, const struct termios& saved, const std::string& bytes) {
    DisarmRestore();
    terminalFd = fd;
    savedModes = saved;
    sequenceLength = std::min(bytes.size(), sizeof(sequence));
    std::memcpy(sequence, bytes.data(), sequenceLength);
    armed = true;
    if (!exitHookRegistered) {
        std::atexit(OnExit);
        exitHookRegistered = true;
    }
    for (int i = 0; i < kSignalCount; ++i) {
        struct sigaction current {};
        ::sigaction(kSignals[i], nullptr, &current);
        // A signal the program was told to ignore (nohup) stays ignored.
        if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_sigaction = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_SIGINFO;
        installed[i] = ::sigaction(kSignals[i], &action, &previous[i]) == 0;
    }
}

void DisarmRestore() {
    armed = false;
    for (int i = 0; i < kSignalCount; ++i) {
        if (!installed[i]) continue;
        struct sigaction current {};
        ::sigaction(kSignals[i], nullptr, &current);
        // Only our own handler goes; one installed after ours stays.
        if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == OnSignal) {
            ::sigaction(kSignals[i], &previous[i], nullptr);
        }
        installed[i] = false;
    }
}

void RestoreNow() {
    Restore();
}

}  // namespace ui::terminal
