// The window thread's queue. Work that a caller waits for (a send) runs before posted work,
// as sent window messages are served before posted ones.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace ui::detail {

class MessageQueue {
  public:
    using Task = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    // Called (outside the queue's lock) whenever work arrives; the wx back end uses it to wake
    // its event loop. Set it before other threads use the queue.
    void SetWakeHandler(std::function<void()> wake);

    // Queues work; false when the queue is closed.
    bool Post(Task task);
    // Queues work and waits until the window thread has run it. False when it was dropped
    // because the queue closed. Never call it on the window thread.
    bool Send(Task task);

    // Window thread: runs the next item, sends first (only sends with `sendsOnly`).
    // False when there was nothing to run. An exception from the work is reported on stderr.
    bool RunOne(bool sendsOnly);
    bool HasWork(bool sendsOnly);

    // Window thread: waits until work arrives, Kick() is called or `deadline` passes. While
    // it waits, the window thread counts as idle.
    void Wait(std::optional<Clock::time_point> deadline);
    // Window thread: waits until a send arrives or `deadline` passes (not counted as idle).
    void WaitForSend(Clock::time_point deadline);
    // Makes the current or next Wait() return at once (timers or the clock changed).
    void Kick();

    // Any other thread: waits until the window thread waits with nothing queued and
    // `busy()` (called under the queue's lock) answers false. False on timeout.
    bool WaitIdle(const std::function<bool()>& busy, std::chrono::milliseconds timeout);

    // Drops queued work and refuses more; senders still waiting return false.
    void Close();

  private:
    struct SendState {
        bool done = false;
        bool ran = false;
    };
    struct Item {
        Task task;
        std::shared_ptr<SendState> send;  // null for posted work
    };

    bool Push(Item item, bool isSend);
    void Finish(const std::shared_ptr<SendState>& send, bool ran);

    std::mutex mutex_;
    std::condition_variable workCv_;
    std::condition_variable doneCv_;
    std::condition_variable idleCv_;
    std::deque<Item> sends_;
    std::deque<Item> posts_;
    bool waiting_ = false;
    bool kicked_ = false;
    bool closed_ = false;
    std::function<void()> wake_;
};

}  // namespace ui::detail
