#include "orbitpane/win32/container_ref.h"

#include <atomic>

#include "framework/contracts/ids.h"
#include "framework/contracts/services.h"

namespace orbitpane {
namespace {
std::atomic<framework::IPluginContainer*> g_container{nullptr};
}  // namespace

framework::IPluginContainer* Container() {
    return g_container.load();
}

void SetContainerRef(framework::IPluginContainer* container) {
    g_container.store(container);
}

void Trace(framework::IPluginContainer* container, int level, const char* module, const char* file,
           int line, const char* message) noexcept {
    try {
        // The trace service is shared and never released by its users.
        auto* trace = LookUp<framework::ITraceService>(container, framework::kTraceServiceId,
                                                       framework::kTraceServiceFlag);
        if (trace) trace->Trace(level, module, file, line, message);
    } catch (...) {
    }
}

}  // namespace orbitpane
