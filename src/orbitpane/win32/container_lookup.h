// Looking up the container's services, and tracing through its trace service.
#pragma once

#include <cstdint>

#include "framework/contracts/container.h"

namespace orbitpane {

// Looks `id` up with `flag` in `container` and converts it to T; null when the container is
// missing, the lookup fails or the object is of another kind. Exceptions count as not found.
template <typename T>
T* LookUp(framework::IPluginContainer* container, const char* id, uint32_t flag) {
    if (!container) return nullptr;
    try {
        framework::IBaseInterface* object = nullptr;
        if (!container->QueryService(id, flag, &object) || !object) return nullptr;
        T* typed = dynamic_cast<T*>(object);
        if (!typed) object->Release();
        return typed;
    } catch (...) {
        return nullptr;
    }
}

// Traces through the container's trace service; skipped when the container or the service is
// missing. Never throws.
void Trace(framework::IPluginContainer* container, int level, const char* module, const char* file,
           int line, const char* message) noexcept;

}  // namespace orbitpane
