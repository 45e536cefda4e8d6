#include <cstdio>
#include <exception>

#include "framework/container/plugin_container.h"
#include "framework/contracts/container.h"
#include "framework/contracts/ids.h"
#include "framework/trace/trace_service.h"

namespace framework {
namespace {

// Traces without allocating: it runs where an allocation may just have failed.
void TraceNoContainer(const char* what) {
    char message[512];
    std::snprintf(message, sizeof message, "no container: %s", what);
    try {
        TraceService().Trace(kTraceError, "Container", "src/framework/container/container_factory",
                             __LINE__, message);
    } catch (...) {
        // The launcher hears of the failure through the null container all the same.
    }
}

}  // namespace

IPluginContainer* CContainerFactory::CreatePluginContainer(const char* pluginListPath) {
    // Calls into plug-ins are guarded inside; what escapes comes from the container's own steps.
    try {
        return PluginContainer::Create(pluginListPath ? pluginListPath : "").release();
    } catch (const std::exception& e) {
        TraceNoContainer(e.what());
    } catch (...) {
        TraceNoContainer("unknown exception");
    }
    return nullptr;
}

void CContainerFactory::DestroyPluginContainer(IPluginContainer* container) {
    delete dynamic_cast<PluginContainer*>(container);
}

}  // namespace framework
