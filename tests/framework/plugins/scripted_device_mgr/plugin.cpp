// The scripted device manager's plug-in object and the library's exports.
#include <atomic>
#include <new>

#include "faces.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/plugin.h"

namespace scripted {
namespace {

class ScriptedDeviceMgrPlugin final : public framework::IBasePlugin {
  public:
    ScriptedDeviceMgrPlugin() { Engine::Instance().Acquire(); }
    ~ScriptedDeviceMgrPlugin() override { Engine::Instance().Drop(); }

    void Release() override { delete this; }
    int GetLastErrorCode() override { return lastError_; }
    void OnDestroyEvent() override {}
    void SetContainer(framework::IPluginContainer* container) override { container_ = container; }
    bool Initialize() override { return true; }
    bool QueryInterface(uint32_t number, framework::IBaseInterface** object) override {
        if (!object) return false;
        framework::IBaseInterface* found = nullptr;
        if (number == 1) {
            found = static_cast<framework::IDeviceMgr*>(&manager_);
        } else if (number == 2) {
            found = static_cast<framework::IMultiDeviceMgr*>(&multiManager_);
        } else if (number == kControlInterface) {
            *object = NewControl();
            lastError_ = 0;
            return true;
        }
        if (!found) {
            lastError_ = -1;
            return false;
        }
        Engine::Instance().CountInterface(true);
        *object = found;
        lastError_ = 0;
        return true;
    }
    int GetState() override { return 0; }
    const char* GetPluginId() override { return framework::kDeviceMgrId; }
    int GetVersion() override { return 1; }
    const char* GetName() override { return "ScriptedDeviceMgr"; }
    bool Uninitialize() override { return true; }

  private:
    framework::IPluginContainer* container_ = nullptr;
    std::atomic<int> lastError_{0};  // lookups come from several threads
    ManagerFace manager_;
    MultiManagerFace multiManager_;
};

}  // namespace
}  // namespace scripted

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return new (std::nothrow) scripted::ScriptedDeviceMgrPlugin;
}

extern "C" __attribute__((visibility("default"))) scripted::IScriptedDevice*
ScriptedDeviceControl() {
    return scripted::NewControl();
}
