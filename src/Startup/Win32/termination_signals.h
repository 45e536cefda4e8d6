// The signals that ask the program to end (SIGINT, SIGTERM, SIGHUP) are taken by a thread of
// their own instead of ending the process at once, so that a running program can end the way
// its user ends it: its windows close and what they started on the card is stopped.
#pragma once

#include <functional>
#include <thread>

namespace launcher {

class TerminationSignals {
  public:
    // Blocks the signals in the calling thread, and so in every thread started after it, and
    // starts the watcher. Construct before any other thread: a thread that runs already would
    // still take them the default way. Signals that the program was started to ignore (a
    // background job's SIGINT, nohup's SIGHUP) stay ignored.
    TerminationSignals();
    // Stops the watcher; the signals stay blocked until the process ends.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // While a handler is set, the first signal calls it on the watcher's thread instead of
    // ending the program. A later signal, a signal without a handler, or a program that has
    // not ended within kGraceSeconds of the handler's call ends as the signal would have.
    // Setting (or clearing) waits for a handler call that is running.
    static void SetHandler(std::function<void()> onSignal);

    static constexpr int kGraceSeconds = 10;

  private:
    void Watch();

    int signalFd_ = -1;
    int wakeFd_ = -1;
    std::thread watcher_;
};

}  // namespace launcher
