// Synchronisation: an auto-reset event, a critical section and a thread start that reports
// failure instead of throwing.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

// Auto-reset event: `Set` releases one waiter (or the next one to wait) and resets itself.
class Event {
  public:
    void Set();
    void Reset();
    // Waits up to `milliseconds` (negative: forever); true when the event was signalled.
    bool Wait(int milliseconds);

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

// A critical section: re-entrant for the thread that holds it.
using CriticalSection = std::recursive_mutex;
using CriticalSectionLock = std::lock_guard<std::recursive_mutex>;

// Starts `body` on a new thread; false (and `thread` untouched) when no thread could be made.
bool StartThread(std::thread& thread, std::function<void()> body);

}  // namespace platform
