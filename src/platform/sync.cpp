#include "sync.h"

#include <chrono>
#include <system_error>

namespace platform {

void Event::Set() {
    // Notified under the lock: a waiter that wakes may destroy the event right away.
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
    cv_.notify_one();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
}

bool Event::Wait(int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [this] { return signalled_; };
    if (milliseconds < 0) {
        cv_.wait(lock, ready);
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
        return false;
    }
    signalled_ = false;
    return true;
}

bool StartThread(std::thread& thread, std::function<void()> body) {
    try {
        thread = std::thread(std::move(body));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

}  // namespace platform
