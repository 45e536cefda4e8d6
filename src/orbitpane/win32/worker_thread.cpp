#include "orbitpane/win32/worker_thread.h"

#include <chrono>

#include "platform/sync.h"
#include "platform/ui/kit.h"

namespace orbitpane {

WorkerThread::~WorkerThread() {
    StopAndJoin();
}

bool WorkerThread::Start(std::function<void()> body) {
    if (Held()) return false;
    stop_ = false;
    finished_ = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = false;
    }
    return platform::StartThread(thread_, [this, body = std::move(body)] {
        body();
        finished_ = true;
    });
}

bool WorkerThread::Sleep(int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stop_.load(); });
    return !stop_.load();
}

bool WorkerThread::EndWhen(const std::function<bool()>& leave) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop_.load() || leave()) ending_ = true;
    return ending_;
}

bool WorkerThread::Ending() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ending_ || finished_.load();
}

void WorkerThread::StopAndJoin() {
    if (!Held()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    ui::WaitServingSends([this] { return finished_.load(); });
    thread_.join();
}

}  // namespace orbitpane
