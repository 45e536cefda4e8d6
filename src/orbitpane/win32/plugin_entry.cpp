// The library's one export: the plug-in singleton.
#include <mutex>

#include "orbitpane/win32/answer_target.h"
#include "orbitpane/win32/orbitpaneimpl.h"

namespace {
std::mutex g_singletonMutex;
COrbitpaneImpl* g_singleton = nullptr;
}  // namespace

COrbitpaneImpl* OrbitpaneSingleton() {
    std::lock_guard<std::mutex> lock(g_singletonMutex);
    return g_singleton;
}

void orbitpane::ForgetSingleton(COrbitpaneImpl* plugin) {
    std::lock_guard<std::mutex> lock(g_singletonMutex);
    if (g_singleton == plugin) g_singleton = nullptr;
}

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    std::lock_guard<std::mutex> lock(g_singletonMutex);
    try {
        if (!g_singleton) g_singleton = new COrbitpaneImpl();
        return g_singleton;
    } catch (...) {
        return nullptr;
    }
}
