// The device manager plug-in: its plug-in object, the interfaces it hands out by number, the
// current device object, and the library's export.
//
// Every plug-in object of the library shares one manager, made with the first object and
// ended with the last, so that the library listed twice (as the device manager and as its UI
// identifier) or loaded by the launcher while a container holds it still owns each card once.
//
// The library does not link the window kit. Its waits on the window thread serve the window's
// sends through the kit the program has loaded, found at run time (platform::WindowKitWait).
#include <mutex>
#include <new>

#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/plugin_object.h"
#include "framework/devicemgr/device_manager.h"
#include "platform/serving_wait.h"

namespace devicemgr {
namespace {

// The current device: always this object, speaking to whichever card is current.
class CurrentDevice final : public framework::IDeviceChannel, public framework::IGpsControl {
  public:
    explicit CurrentDevice(DeviceManager& manager) : manager_(manager) {}
    void Release() override {}  // never released by its users
    int GetLastErrorCode() override { return 0; }
    bool SetAnswerHandler(framework::AnswerHandler handler) override {
        return manager_.SetAnswerHandler(handler);
    }
    bool SendCommand(const char* line) override { return manager_.SendCommand(line); }
    void EndExchange() override { manager_.EndExchange(); }
    void RemoveAnswerHandler(framework::AnswerHandler handler) override {
        manager_.RemoveAnswerHandler(handler);
    }
    bool OpenGps(uint32_t* status) override { return manager_.OpenGps(status); }
    bool CloseGps(uint32_t*) override { return manager_.CloseGps(); }

  private:
    DeviceManager& manager_;
};

// Interface number 1: IDeviceMgr, the notification source of a caller that loads the plug-in
// directly, and the device manager's UI identifier.
class ManagerFace final : public framework::IDeviceMgr,
                          public framework::IDeviceNotificationSource,
                          public framework::IDeviceMgrUI {
  public:
    ManagerFace(DeviceManager& manager, CurrentDevice& device)
        : manager_(manager), device_(device) {}
    void Release() override {}  // owned by the plug-in
    int GetLastErrorCode() override { return 0; }
    framework::IDeviceChannel* GetCurrentDevice() override { return &device_; }
    bool AddEventSink(framework::IDeviceMgrEvent* sink) override {
        return manager_.AddDeviceSink(sink);
    }
    bool RemoveEventSink(framework::IDeviceMgrEvent* sink) override {
        return manager_.RemoveDeviceSink(sink);
    }
    bool AddInitializeSink(framework::IDeviceInitializeEvent* sink) override {
        return manager_.AddInitializeSink(sink);
    }
    bool RemoveInitializeSink(framework::IDeviceInitializeEvent* sink) override {
        return manager_.RemoveInitializeSink(sink);
    }

  private:
    DeviceManager& manager_;
    CurrentDevice& device_;
};

// Interface number 2: IMultiDeviceMgr, the customize source and the plug-in set notifier.
class MultiManagerFace final : public framework::IMultiDeviceMgr,
                               public framework::ICustomizeSource,
                               public framework::IPluginSetNotifier {
  public:
    explicit MultiManagerFace(DeviceManager& manager) : manager_(manager) {}
    void Release() override {}
    int GetLastErrorCode() override { return 0; }
    bool Refresh() override {
        manager_.Rescan();
        return true;
    }
    bool AddEventSink(framework::IMultiDeviceMgrEvent* sink) override {
        return manager_.AddChangedSink(sink);
    }
    bool RemoveEventSink(framework::IMultiDeviceMgrEvent* sink) override {
        return manager_.RemoveChangedSink(sink);
    }
    const char* GetCustomizeText() override { return manager_.CustomizeText(); }
    bool AddPluginSetSink(framework::IPluginSetChangedSink* sink) override {
        return manager_.AddPluginSetSink(sink);
    }
    bool RemovePluginSetSink(framework::IPluginSetChangedSink* sink) override {
        return manager_.RemovePluginSetSink(sink);
    }

  private:
    DeviceManager& manager_;
};

ManagerOptions PluginOptions() {
    ManagerOptions options;
    options.wait = platform::WindowKitWait();
    options.processFeed = true;
    return options;
}

struct Core {
    DeviceManager manager{PluginOptions()};
    CurrentDevice device{manager};
    ManagerFace face{manager, device};
    MultiManagerFace multiFace{manager};
};

std::mutex coreMutex;
Core* core = nullptr;
int coreUsers = 0;

Core* AcquireCore() {
    std::lock_guard<std::mutex> lock(coreMutex);
    if (!core) core = new Core;
    ++coreUsers;
    return core;
}

// True when releasing one object ends the manager.
bool LastCoreUser() {
    std::lock_guard<std::mutex> lock(coreMutex);
    return coreUsers == 1;
}

void DropCore() {
    Core* ended = nullptr;
    {
        std::lock_guard<std::mutex> lock(coreMutex);
        if (--coreUsers == 0) std::swap(ended, core);
    }
    delete ended;  // ends every thread of the manager
}

class DeviceMgrPlugin final : public framework::PluginObject<> {
  public:
    DeviceMgrPlugin() : PluginObject(framework::kDeviceMgrId, "DeviceMgr"), core_(AcquireCore()) {}
    ~DeviceMgrPlugin() override {
        // Another object may keep the manager; it must not trace through our container.
        if (container_) core_->manager.ForgetContainer(container_);
        DropCore();
    }

    void SetContainer(framework::IPluginContainer* container) override {
        PluginObject::SetContainer(container);
        if (container_ && container_ != container) core_->manager.ForgetContainer(container_);
        container_ = container;
        if (container) core_->manager.SetContainer(container);
    }

    // Not while the manager this object would end has an AT command in flight: its answer
    // would reach the port's next owner (the caller asks again a little later).
    bool Uninitialize() override { return !LastCoreUser() || !core_->manager.ExchangeInFlight(); }

    bool QueryInterface(uint32_t number, framework::IBaseInterface** object) override {
        framework::IBaseInterface* found = nullptr;
        if (number == framework::kNotificationSourceInterface) {
            found = static_cast<framework::IDeviceMgr*>(&core_->face);
        } else if (number == framework::kCustomizeSourceInterface) {
            found = static_cast<framework::IMultiDeviceMgr*>(&core_->multiFace);
        }
        return Answer(found, object);
    }

  private:
    Core* core_;
    framework::IPluginContainer* container_ = nullptr;
};

}  // namespace
}  // namespace devicemgr

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    try {
        return new devicemgr::DeviceMgrPlugin;
    } catch (...) {
        return nullptr;
    }
}
