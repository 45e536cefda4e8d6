// A UI plug-in for the tests: answers the UI interface with itself and the device manager's UI
// interface with a small object of its own.
#include <atomic>
#include <new>

#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/plugin.h"
#include "test_plugins.h"

namespace {

class DeviceMgrUi final : public framework::IDeviceMgrUI {
  public:
    void Release() override {}
    int GetLastErrorCode() override { return 0; }
};

class TestUiPlugin final : public framework::IUIPlugin {
  public:
    void Release() override { delete this; }
    int GetLastErrorCode() override { return lastError_; }
    void OnDestroyEvent() override { shown_ = false; }
    void SetContainer(framework::IPluginContainer* container) override { container_ = container; }
    bool Initialize() override { return container_ != nullptr; }
    bool QueryInterface(uint32_t number, framework::IBaseInterface** object) override {
        if (!object) return false;
        if (number == framework::kUiPluginInterface) {
            *object = static_cast<framework::IUIPlugin*>(this);
        } else if (number == framework::kDeviceMgrUiFlag) {
            *object = &deviceMgrUi_;
        } else {
            lastError_ = -1;
            return false;
        }
        lastError_ = 0;
        return true;
    }
    int GetState() override { return 0; }
    const char* GetPluginId() override { return test_plugins::kUiPluginId; }
    int GetVersion() override { return 1; }
    const char* GetName() override { return "TestUiPlugin"; }
    bool Uninitialize() override { return true; }
    bool ShowWindow(framework::WindowHandle, int, int, int, int) override {
        shown_ = true;
        return true;
    }
    int DoModal() override { return test_plugins::kUiModalResult; }
    void HideWindow() override { shown_ = false; }
    void FitSize(int, int, int, int) override {}
    bool GetStateFlag() override { return shown_; }

  private:
    framework::IPluginContainer* container_ = nullptr;
    std::atomic<int> lastError_{0};  // lookups come from several threads
    bool shown_ = false;
    DeviceMgrUi deviceMgrUi_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return new (std::nothrow) TestUiPlugin;
}
