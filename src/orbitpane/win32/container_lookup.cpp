#include "orbitpane/win32/container_lookup.h"

#include "framework/contracts/ids.h"
#include "framework/contracts/services.h"

namespace orbitpane {

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
