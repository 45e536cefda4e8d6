// The kit's side of the wx module: finding and opening it, and the native access that tools
// and GUI tests reach through it.
#include "platform/ui/detail/wx_module.h"

#include <dlfcn.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/ui/wx_native.h"

namespace ui {

namespace detail {

namespace {

std::mutex moduleMutex;
const WxModule* loaded = nullptr;

// The folder the kit was loaded from: the module is installed beside it.
std::string KitFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LoadWxModule), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::string path = info.dli_fname;
    size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

const WxModule* LoadWxModule(std::string* why) {
    std::lock_guard<std::mutex> lock(moduleMutex);
    if (loaded != nullptr) return loaded;
    std::string folder = KitFolder();
    std::string path = folder.empty() ? kWxModuleFile : folder + "/" + kWxModuleFile;
    // Global, so that the toolkit's libraries it brings are found by name at run time (the
    // back end takes a few GTK functions that way); never unloaded, as the toolkit keeps
    // memory and threads of its own once started.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    const char* error = handle == nullptr ? dlerror() : nullptr;
    using Entry = const WxModule* (*)();
    auto entry = handle ? reinterpret_cast<Entry>(dlsym(handle, kWxModuleEntry)) : nullptr;
    if (handle != nullptr && entry == nullptr) error = dlerror();
    if (entry == nullptr) {
        if (why != nullptr)
            *why = std::string("the window back end cannot be loaded: ") +
                   (error ? error : path.c_str());
        return nullptr;
    }
    loaded = entry();
    return loaded;
}

const WxModule* LoadedWxModule() {
    std::lock_guard<std::mutex> lock(moduleMutex);
    return loaded;
}

}  // namespace detail

namespace wxkit {

namespace {
// The module, when the running kit shows windows with it.
const detail::WxModule* Running() {
    return CurrentBackend() == BackendKind::Wx ? detail::LoadedWxModule() : nullptr;
}
}  // namespace

wxWindow* NativeWindow(WindowHandle window) {
    const detail::WxModule* module = Running();
    return module ? module->nativeWindow(window) : nullptr;
}

wxWindow* NativeControl(WindowHandle window, int id) {
    const detail::WxModule* module = Running();
    return module ? module->nativeControl(window, id) : nullptr;
}

bool SaveScreenshot(WindowHandle window, const std::string& pngPath) {
    const detail::WxModule* module = Running();
    return module != nullptr && module->saveScreenshot(window, pngPath);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMilliseconds) {
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        ProcessPendingWork();
        if (done()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace wxkit

}  // namespace ui
