// The configuration plug-in: hands out the configuration service (interface number 0x4000)
// over SysSetting.xml in the program directory, for callers that load it directly.
#include <atomic>
#include <memory>
#include <mutex>
#include <new>

#include "framework/config/config_service.h"
#include "framework/container/program_directory.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/plugin.h"

namespace {

class ConfigPlugin final : public framework::IBasePlugin {
  public:
    void Release() override { delete this; }
    int GetLastErrorCode() override { return lastError_; }
    void OnDestroyEvent() override {}
    void SetContainer(framework::IPluginContainer* container) override { container_ = container; }
    bool Initialize() override { return true; }
    bool QueryInterface(uint32_t number, framework::IBaseInterface** object) override {
        try {
            if (!object || number != framework::kConfigServiceFlag) {
                lastError_ = -1;
                return false;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            // The program directory is taken when the service is first asked for, so a caller
            // that chooses it after loading the plug-in is still heard.
            if (!service_) {
                service_ =
                    std::make_unique<framework::ConfigService>(framework::ProgramDirectory());
            }
            *object = service_.get();
            lastError_ = 0;
            return true;
        } catch (...) {
            lastError_ = -1;
            return false;
        }
    }
    int GetState() override { return 0; }
    const char* GetPluginId() override { return framework::kConfigPluginId; }
    int GetVersion() override { return 1; }
    const char* GetName() override { return "ConfigPlugin"; }
    bool Uninitialize() override { return true; }

  private:
    framework::IPluginContainer* container_ = nullptr;
    std::atomic<int> lastError_{0};  // lookups come from several threads
    std::mutex mutex_;
    std::unique_ptr<framework::ConfigService> service_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return new (std::nothrow) ConfigPlugin;
}
