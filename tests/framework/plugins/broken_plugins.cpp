// Plug-in libraries that fail in each way a library can: compiled once per kind.
#include <stdexcept>

#include "framework/contracts/plugin.h"

#if defined(BROKEN_NO_EXPORT)
// A library without CreatePlugin.
extern "C" __attribute__((visibility("default"))) int NotAPlugin() {
    return 1;
}
#elif defined(BROKEN_NULL)
extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return nullptr;
}
#elif defined(BROKEN_THROWS)
extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    throw std::runtime_error("plug-in construction failed");
}
#else
#error "choose a kind of broken plug-in"
#endif
