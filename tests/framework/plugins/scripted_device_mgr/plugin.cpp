// The scripted device manager's plug-in object and the library's exports.
#include <atomic>
#include <new>

#include "faces.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/plugin_object.h"

namespace scripted {
namespace {

class ScriptedDeviceMgrPlugin final : public framework::PluginObject<> {
  public:
    ScriptedDeviceMgrPlugin() : PluginObject(framework::kDeviceMgrId, "ScriptedDeviceMgr") {
        Engine::Instance().Acquire();
    }
    ~ScriptedDeviceMgrPlugin() override { Engine::Instance().Drop(); }

    bool QueryInterface(uint32_t number, framework::IBaseInterface** object) override {
        if (number == kControlInterface) return Answer(object ? NewControl() : nullptr, object);
        framework::IBaseInterface* found = nullptr;
        if (number == 1) {
            found = static_cast<framework::IDeviceMgr*>(&manager_);
        } else if (number == 2) {
            found = static_cast<framework::IMultiDeviceMgr*>(&multiManager_);
        }
        if (!Answer(found, object)) return false;
        Engine::Instance().CountInterface(true);
        return true;
    }

  private:
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
