// A polling thread of the GPS dialog that can be told to stop, sleeps in slices that a stop
// request cuts short, and says when its body has returned.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace orbitpane {

class WorkerThread {
  public:
    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts `body` on a new thread; false (and nothing held) when no thread could be made.
    bool Start(std::function<void()> body);
    // A thread was started and not yet joined.
    bool Held() const { return thread_.joinable(); }
    // The body has returned (the thread may still be held).
    bool Finished() const { return finished_.load(); }

    // For the body: sleeps `milliseconds`, or less when a stop is requested. False once a stop
    // was requested.
    bool Sleep(int milliseconds);
    bool StopRequested() const { return stop_.load(); }
    // For the body: ends when a stop was requested or `leave` holds, deciding under the
    // thread's lock; true when it is to end. Once it has answered true, Ending() does too.
    bool EndWhen(const std::function<bool()>& leave);
    // The body has decided to end, or has ended.
    bool Ending();

    // Asks the body to stop and joins it. On the window thread the wait serves sent messages,
    // so a body blocked on a thread that sends to the window finishes.
    void StopAndJoin();

  private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    bool ending_ = false;  // under mutex_
    std::mutex mutex_;
    std::condition_variable wake_;
};

}  // namespace orbitpane
