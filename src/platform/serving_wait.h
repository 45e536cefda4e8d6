// How a thread waits for another thread that may be sending work to it.
//
// A program with windows runs all of them on one window thread, and other threads hand work to
// that thread and wait for it ("sends", platform/ui/kit.h). The window thread must never wait
// for a thread without serving those sends meanwhile, or the two wait for each other for ever.
// Code below the window kit waits through a ServingWait: off the window thread it waits on its
// condition variable as usual; on the window thread it waits through the kit, serving sends.
// A default ServingWait knows of no window thread and simply waits.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

class ServingWait {
  public:
    using Done = std::function<bool()>;
    // Window thread: waits until `done()` holds or `timeoutMs` passed (negative: no limit)
    // while serving sends; true when it holds.
    using Serve = std::function<bool(const Done& done, int timeoutMs)>;

    ServingWait() = default;
    ServingWait(std::function<bool()> onWindowThread, Serve serve)
        : onWindowThread_(std::move(onWindowThread)), serve_(std::move(serve)) {}

    // The calling thread is the window thread: its waits must serve sends.
    bool OnWindowThread() const { return onWindowThread_ && serve_ && onWindowThread_(); }

    // Waits until `done()` holds, checked with `lock` held, or `timeoutMs` passed (negative:
    // no limit); answers `done()`. Off the window thread it waits on `changed` (notified when
    // `done` may have come to hold); on it, it releases the lock while serving sends.
    bool Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
              const Done& done, int timeoutMs = -1) const;

    // Joins `thread`; on the window thread its sends are served until `finished()` holds (an
    // atomic flag the thread sets as its very last step).
    void Join(std::thread& thread, const Done& finished) const;

  private:
    std::function<bool()> onWindowThread_;
    Serve serve_;
};

// The window kit's serving wait, reached at run time in the kit's library once it is loaded
// (so the code using it does not link the kit); until then no thread is the window thread,
// and it simply waits.
ServingWait WindowKitWait();

}  // namespace platform
