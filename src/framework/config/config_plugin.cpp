// The configuration plug-in: hands out the configuration service (interface number 0x4000)
// over SysSetting.xml in the program directory, for callers that load it directly.
#include <atomic>
#include <memory>
#include <mutex>
#include <new>

#include "framework/config/config_service.h"
#include "framework/container/program_directory.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/plugin_object.h"

namespace {

class ConfigPlugin final : public framework::PluginObject<> {
  public:
    ConfigPlugin() : PluginObject(framework::kConfigPluginId, "ConfigPlugin") {}
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

  private:
    std::mutex mutex_;
    std::unique_ptr<framework::ConfigService> service_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return new (std::nothrow) ConfigPlugin;
}
