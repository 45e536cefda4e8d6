// ModemManager on the D-Bus: one connection on its own thread that follows the modem objects
// (ObjectManager InterfacesAdded/InterfacesRemoved, PropertiesChanged, ModemManager's name
// coming and going; no polling) and makes one MmCard per modem. The system bus, or the bus
// whose address $SATVIEW_MM_BUS gives (tests). Without ModemManager on the bus this says so
// once and waits for its name to appear. Only what ModemManager itself sends is taken: the
// signals are matched by the unique name that owns ModemManager's name now (followed through
// NameOwnerChanged from the bus), and the sender of every message is checked.
//
// Every call has a time-out (MmTimeouts), so the bus thread is never held by a ModemManager
// that does not answer; a wait for the bus thread (RunSync) has one too, and serves the
// window's sends on the window thread: the bus thread may be delivering a GPS record there.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "framework/devicemgr/mm_card.h"
#include "platform/serving_wait.h"

namespace devicemgr {

// How long the bus waits for ModemManager and a caller for the bus thread.
struct MmTimeouts {
    // Each D-Bus call (sd-bus's own default is 25 s); one without a reply by then leaves its
    // command unanswered.
    int callMs = 5000;
    // RunSync: what runs before the task, then the task's calls (two at most); the wait then
    // gives up with a failure.
    int waitMs = 11000;
};

// What the bus tells the device manager, from the bus thread.
class MmBusListener {
  public:
    virtual void OnModemAdded(std::shared_ptr<MmCard> card) = 0;
    virtual void OnModemRemoved(std::shared_ptr<MmCard> card) = 0;
    // ModemManager is on the bus now, or not; told when the bus is first looked at and at
    // each change, before the modems of the one that left are removed.
    virtual void OnModemManagerPresence(bool present) = 0;
    virtual void OnBusTrace(int level, const std::string& text) = 0;

  protected:
    ~MmBusListener() = default;
};

class MmBus final : public MmApi {
  public:
    // `address`: a D-Bus address; empty: $SATVIEW_MM_BUS, else the system bus. `wait`: how
    // RunSync and Stop wait on the window thread. `changesFolder`: where the cards keep what
    // Satview changed on their modems (mm_location.h); empty: nowhere.
    MmBus(std::string address, MmBusListener& owner, CardListener& cards, MmTimeouts timeouts = {},
          platform::ServingWait wait = {}, std::string changesFolder = {});
    ~MmBus();
    MmBus(const MmBus&) = delete;
    MmBus& operator=(const MmBus&) = delete;

    // Starts the bus thread.
    void Start();
    // Ends it; the cards made are no longer fed.
    void Stop();
    // True once the modems present at start are known (or there is no ModemManager).
    bool WaitSettled(std::chrono::milliseconds timeout);
    // ModemManager owns its name on the bus now.
    bool Present() const { return present_; }

    Result Enable(const std::string& path) override;
    Result ReadSetup(const std::string& path, LocationSetup& setup) override;
    Result Setup(const std::string& path, uint32_t sources, bool signalLocation) override;
    Result SetSuplServer(const std::string& path, const std::string& server) override;
    Result SetGpsRefreshRate(const std::string& path, uint32_t seconds) override;
    Result Ping(const std::string& path) override;
    void Post(std::function<void()> task) override;
    // Waits at most the time-out's waitMs.
    bool RunSync(std::function<void()> task) override;

    struct Connection;  // the sd-bus objects (mm_bus.cpp)

  private:
    void Run();
    bool Connect();
    // The unique name owning ModemManager's name; empty when none does.
    std::string CurrentOwner();
    // Takes the modems' signals from `unique` only (none when empty); a negative errno.
    int Follow(const std::string& unique);
    void ReadModems();
    void RemoveAll();
    void Settled();
    void RunTasks();
    void Trace(int level, const std::string& text);

  public:  // the sd-bus callbacks (mm_bus.cpp)
    void ModemTold(const std::string& path, const MmProperties& told, bool hasModem);
    void ModemGone(const std::string& path);
    // `unique` owns ModemManager's name now (empty: nobody).
    void OwnerChanged(const std::string& unique);

  private:
    std::string address_;
    const std::string changesFolder_;
    const MmTimeouts timeouts_;
    const platform::ServingWait wait_;
    MmBusListener& owner_;
    CardListener& cardListener_;
    std::unique_ptr<Connection> bus_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    bool running_ = false;  // the thread serves tasks
    bool settled_ = false;
    int wakeFd_ = -1;
    std::thread thread_;
    std::atomic<bool> threadEnded_{false};  // the thread's last step
    std::atomic<std::thread::id> threadId_{};
    std::atomic<bool> present_{false};

    std::map<std::string, std::shared_ptr<MmCard>> modems_;  // bus thread
    std::map<std::string, MmProperties> pending_;  // objects without their Modem yet (bus thread)
};

}  // namespace devicemgr
