// The library's one export, the plug-in singleton, and the AT answer handlers that reach it.
#include <mutex>

#include "orbitpane/win32/orbitpaneimpl.h"

namespace {
// Guards the singleton, also against an answer arriving while the object is being destroyed.
std::mutex g_singletonMutex;
COrbitpaneImpl* g_singleton = nullptr;

void Deliver(const char* answer) {
    std::lock_guard<std::mutex> lock(g_singletonMutex);
    if (g_singleton && answer) g_singleton->OnAnswer(answer);
}
}  // namespace

COrbitpaneImpl* OrbitpaneSingleton() {
    std::lock_guard<std::mutex> lock(g_singletonMutex);
    return g_singleton;
}

void orbitpane::ForgetSingleton(COrbitpaneImpl* plugin) {
    std::lock_guard<std::mutex> lock(g_singletonMutex);
    if (g_singleton == plugin) g_singleton = nullptr;
}

COrbitpaneImpl* orbitpane::CreatePluginWith(PluginSeams seams) {
    std::lock_guard<std::mutex> lock(g_singletonMutex);
    try {
        if (!g_singleton) g_singleton = new COrbitpaneImpl(std::move(seams));
        return g_singleton;
    } catch (...) {
        return nullptr;
    }
}

// Both handlers classify the answer the same way; the exchange knows which kind it asked for.
void orbitpane::OkAnswerHandler(const char* answer) {
    Deliver(answer);
}
void orbitpane::TypeAnswerHandler(const char* answer) {
    Deliver(answer);
}

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return orbitpane::CreatePluginWith({});
}
