// A plug-in that never says it may be unloaded, and counts how often it was asked.
#include <atomic>
#include <new>

#include "framework/contracts/plugin_object.h"

namespace {

std::atomic<int> asks{0};

class BusyPlugin final : public framework::PluginObject<> {
  public:
    BusyPlugin() : PluginObject("B0B0B0B0-0000-4000-8000-00000000B0B0", "Busy") {}
    bool QueryInterface(uint32_t, framework::IBaseInterface** object) override {
        return Answer(nullptr, object);
    }
    bool Uninitialize() override {
        ++asks;
        return false;
    }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return new (std::nothrow) BusyPlugin;
}

extern "C" __attribute__((visibility("default"))) int BusyPluginAsks() {
    return asks.load();
}
