// Sleep announcements from systemd-logind on the system bus.
//
// While it runs, the watcher holds a delay inhibitor lock for sleep, so that the system waits
// (up to logind's InhibitDelayMaxSec) before it suspends. When logind announces the sleep
// (PrepareForSleep true) the watcher calls the handler on its own thread and releases the
// lock once the handler returns; when the system has woken (PrepareForSleep false) it calls
// the handler again and takes a new lock. The bus is watched by poll() on its descriptor;
// there is no polling timer. The system bus is $DBUS_SYSTEM_BUS_ADDRESS when that is set.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace platform {

class SleepWatcher {
  public:
    // `sleeping`: true before the sleep, false after the wake-up.
    using Handler = std::function<void(bool sleeping)>;

    explicit SleepWatcher(Handler handler);
    ~SleepWatcher();
    SleepWatcher(const SleepWatcher&) = delete;
    SleepWatcher& operator=(const SleepWatcher&) = delete;

    // Connects, subscribes and takes the first lock, then starts the watching thread. False,
    // with the reason in `error`, when there is no system bus or no logind on it; nothing
    // runs then.
    bool Start(std::string* error = nullptr);

    // Stopping in steps, for a caller whose thread the handler may wait for: RequestStop,
    // wait (serving the handler) until Finished, then Stop joins at once.
    void RequestStop();
    bool Finished() const { return finished_.load(); }
    // Ends the thread, releases the lock and disconnects. Safe to call twice.
    void Stop();

    bool Running() const { return thread_.joinable(); }

  private:
    struct Bus;
    void Run();

    Handler handler_;
    std::unique_ptr<Bus> bus_;
    std::thread thread_;
    int wake_[2] = {-1, -1};  // a pipe that ends poll() when a stop is requested
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
};

}  // namespace platform
