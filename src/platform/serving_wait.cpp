#include "platform/serving_wait.h"

#include <dlfcn.h>

#include <atomic>
#include <chrono>

#include "platform/ui/kit_entries.h"

namespace platform {

bool ServingWait::Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                       const Done& done, int timeoutMs) const {
    if (!OnWindowThread()) {
        if (timeoutMs < 0) {
            changed.wait(lock, done);
            return true;
        }
        return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
    }
    std::mutex& mutex = *lock.mutex();
    lock.unlock();
    serve_(
        [&] {
            std::lock_guard<std::mutex> relock(mutex);
            return done();
        },
        timeoutMs);
    lock.lock();
    return done();
}

void ServingWait::Join(std::thread& thread, const Done& finished) const {
    if (!thread.joinable()) return;
    if (OnWindowThread()) serve_(finished, -1);
    thread.join();
}

namespace {

using IsWindowThreadEntry = decltype(&satview_ui_is_window_thread);
using WaitServingSendsEntry = decltype(&satview_ui_wait_serving_sends);

std::atomic<IsWindowThreadEntry> isWindowThreadEntry{nullptr};
std::atomic<WaitServingSendsEntry> waitServingSendsEntry{nullptr};

// True once the kit's entries are known. Asked again until the kit is loaded: there is no window
// thread before that. The handle is never closed, so the entries stay valid.
bool FindKit() {
    if (waitServingSendsEntry.load(std::memory_order_acquire)) return true;
    void* kit = ::dlopen(ui::kKitLibrary, RTLD_LAZY | RTLD_NOLOAD);
    if (!kit) return false;
    auto is = reinterpret_cast<IsWindowThreadEntry>(::dlsym(kit, ui::kIsWindowThreadEntry));
    auto wait = reinterpret_cast<WaitServingSendsEntry>(::dlsym(kit, ui::kWaitServingSendsEntry));
    if (!is || !wait) return false;
    isWindowThreadEntry.store(is, std::memory_order_release);
    waitServingSendsEntry.store(wait, std::memory_order_release);
    return true;
}

}  // namespace

ServingWait WindowKitWait() {
    return ServingWait(
        [] { return FindKit() && isWindowThreadEntry.load(std::memory_order_acquire)() != 0; },
        [](const ServingWait::Done& done, int timeoutMs) {
            auto check = [](void* context) {
                return (*static_cast<const ServingWait::Done*>(context))() ? 1 : 0;
            };
            WaitServingSendsEntry wait = waitServingSendsEntry.load(std::memory_order_acquire);
            return wait(check, const_cast<ServingWait::Done*>(&done), timeoutMs) != 0;
        });
}

}  // namespace platform
