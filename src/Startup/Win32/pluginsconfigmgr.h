// CPluginsConfigMgr: keeps plugins.xml right for the data card in use. Before each run of the
// plug-in container it learns the devices from the device manager (loaded directly), chooses
// the device, works out the enabled plug-ins from the device rules and the plug-in library,
// and rewrites plugins.xml when the set changed. While the container runs it judges device
// changes for the device manager.
//
// Files, below the program directory (the folder of plugins.xml):
//   config/PluginsConfig.xml    device rules: groups of devices and their plug-ins
//   config/pluginslib.xml       every plug-in of the installation with its library
//   plugins.xml                 the enabled plug-ins, read by the container
//   userdata/localdeviceinfo.xml  the devices seen before and the user's choice
//   SysSetting.xml              the voice service switch (and, through the configuration
//                               service, the default device name)
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "framework/contracts/container.h"
#include "framework/contracts/device.h"
#include "platform/library.h"
#include "platform/sync.h"

// One plug-in entry of the library file, its children in file order.
struct PluginRecord {
    std::string channel;
    std::string name;
    std::string alias;
    std::string clsid;
    std::string url;
    std::string setting_title;
    std::string version;
    std::string type;
    std::string active;
    std::string static_;  // "static"
};

class CPluginsConfigMgr final : public framework::IDeviceInitializeEvent,
                                public framework::IMultiDeviceMgrEvent {
  public:
    // How long preparation waits for the device manager's device list.
    static constexpr int kDeviceWaitMilliseconds = 20000;
    // How often, and how long each time, an indirect plug-in is asked whether it may go.
    static constexpr int kUnloadTries = 15;
    static constexpr int kUnloadWaitMilliseconds = 1000;

    // `pluginListPath`: the path of plugins.xml; its folder is the program directory.
    explicit CPluginsConfigMgr(std::string pluginListPath);
    ~CPluginsConfigMgr();
    CPluginsConfigMgr(const CPluginsConfigMgr&) = delete;
    CPluginsConfigMgr& operator=(const CPluginsConfigMgr&) = delete;

    // ---- the run cycle (launcher, main thread) ----
    // Chooses the device and brings plugins.xml in line with it; true when the list is right
    // for the chosen device. A failure leaves plugins.xml as it was.
    bool PrepareConfiguration();
    void SetContainer(framework::IPluginContainer* container) { container_ = container; }
    // Registers (true) or unregisters the device-changed sink with the device manager reached
    // through the container; nothing without a container.
    void SetDeviceEventSink(bool add);

    // ---- device manager notifications (its threads) ----
    // Code 12: the devices are known; chooses the device name. Ignored (false) for other
    // codes and once preparation stopped waiting.
    bool OnDeviceInitialize(int event, framework::IDeviceList* devices) override;
    // 0: not prepared yet or no change; -1: no information or the rules cannot be read;
    // -2: the device needs another plug-in set (plugins.xml is rewritten by the next
    // preparation).
    int OnDeviceChanged(void* unused, framework::IDeviceInfo* info) override;

    // ---- plug-in configuration files ----
    // Rebuilds the enabled set and the records for device `deviceName` (lower case) and the
    // customize text; true also for an empty device name (nothing changes then).
    bool SelectEnabledPlugins(const std::string& deviceName, const std::string& customize);
    // True when plugins.xml does not list exactly the selected identifiers.
    bool PluginsConfigChanged();
    // Writes plugins.xml from the records; true when written.
    bool CreateNewPluginsConfig();
    // Selects for the chosen device and rewrites plugins.xml when needed.
    bool RefreshAvalidPluginsList();

    // ---- device files and names ----
    std::string ReadConfiguredDeviceName();
    bool WriteConfiguredDeviceName(const std::string& name);
    bool StoredListUnusable(framework::IDeviceList* devices);
    std::string StoredSelectedDevice();
    std::string MapProductIdToDeviceName(const std::string& text);
    std::string ResolveDeviceName(const std::string& name);

    // ---- plug-ins loaded by the manager itself ----
    framework::IBasePlugin* CreateIndirectPlugin(const std::string& id);
    void DestroyIndirectPlugin(const std::string& id);
    void RefreshPluginsUserManual();

    // ---- state, for the launcher and the tests ----
    const std::string& ProgramDirectory() const { return programDirectory_; }
    std::string DeviceName() const;
    std::string CustomizeText() const;
    bool Ready() const { return ready_; }
    std::vector<PluginRecord> Records() const;
    std::set<std::string> EnabledIds() const;
    std::set<std::string> EnabledNames() const;
    size_t IndirectPluginCount() const;
    // Shorter waits for tests; the product keeps the constants above.
    void SetWaits(int deviceWaitMilliseconds, int unloadWaitMilliseconds);

  private:
    struct IndirectPlugin {
        std::string id;
        std::unique_ptr<platform::SharedLibrary> library;
        framework::IBasePlugin* plugin = nullptr;
    };

    std::string FilePath(const std::string& relative) const;
    void ChooseDevice(framework::IDeviceList* devices);
    bool TakeDefaultDeviceName();

    std::atomic<framework::IPluginContainer*> container_{nullptr};
    const std::string listPath_;
    const std::string programDirectory_;

    // The chosen device and the notification's hand-over; under notifyMutex_.
    mutable std::mutex notifyMutex_;
    std::string deviceName_;
    std::string customize_;
    platform::Event* event_ = nullptr;  // set while preparation waits
    bool accepting_ = false;

    // The selection; under selectionMutex_ (the device-changed notification rebuilds it).
    mutable std::recursive_mutex selectionMutex_;
    std::vector<PluginRecord> records_;
    std::set<std::string> enabledIds_;
    std::set<std::string> enabledNames_;

    std::atomic<bool> ready_{false};

    mutable std::mutex tableMutex_;
    std::vector<IndirectPlugin> indirect_;

    int deviceWaitMilliseconds_ = kDeviceWaitMilliseconds;
    int unloadWaitMilliseconds_ = kUnloadWaitMilliseconds;
};
