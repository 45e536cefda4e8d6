#include "framework/container/plugin_container.h"
#include "framework/contracts/container.h"

namespace framework {

IPluginContainer* CContainerFactory::CreatePluginContainer(const char* pluginListPath) {
    try {
        return PluginContainer::Create(pluginListPath ? pluginListPath : "").release();
    } catch (...) {
        return nullptr;
    }
}

void CContainerFactory::DestroyPluginContainer(IPluginContainer* container) {
    delete dynamic_cast<PluginContainer*>(container);
}

}  // namespace framework
