// A UI plug-in for the tests: answers the UI interface with itself and the device manager's UI
// interface with a small object of its own.
#include <atomic>
#include <new>

#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/plugin_object.h"
#include "test_plugins.h"

namespace {

class DeviceMgrUi final : public framework::IDeviceMgrUI {
  public:
    void Release() override {}
    int GetLastErrorCode() override { return 0; }
};

class TestUiPlugin final : public framework::PluginObject<framework::IUIPlugin> {
  public:
    TestUiPlugin() : PluginObject(test_plugins::kUiPluginId, "TestUiPlugin") {}
    void OnDestroyEvent() override { shown_ = false; }
    bool Initialize() override { return Container() != nullptr; }
    bool QueryInterface(uint32_t number, framework::IBaseInterface** object) override {
        framework::IBaseInterface* found = nullptr;
        if (number == framework::kUiPluginInterface) {
            found = static_cast<framework::IUIPlugin*>(this);
        } else if (number == framework::kDeviceMgrUiFlag) {
            found = &deviceMgrUi_;
        }
        return Answer(found, object);
    }
    bool ShowWindow(framework::WindowHandle, int, int, int, int) override {
        shown_ = true;
        return true;
    }
    int DoModal() override { return test_plugins::kUiModalResult; }
    void HideWindow() override { shown_ = false; }
    void FitSize(int, int, int, int) override {}
    bool GetStateFlag() override { return shown_; }

  private:
    bool shown_ = false;
    DeviceMgrUi deviceMgrUi_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return new (std::nothrow) TestUiPlugin;
}
