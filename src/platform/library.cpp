#include "library.h"

#include <dlfcn.h>

#include "paths.h"

namespace platform {

std::unique_ptr<SharedLibrary> SharedLibrary::Load(const std::string& path, std::string& error) {
    std::string full =
        path.empty() || path.front() == '/' ? path : JoinPath(ProgramDirectory(), path);
    if (full.empty()) {
        error = "empty library path";
        return nullptr;
    }
    void* handle = ::dlopen(full.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* message = ::dlerror();
        error = message ? message : "cannot load " + full;
        return nullptr;
    }
    return std::unique_ptr<SharedLibrary>(new SharedLibrary(handle, full));
}

SharedLibrary::~SharedLibrary() {
    ::dlclose(handle_);
}

void* SharedLibrary::Symbol(const std::string& name, std::string& error) const {
    ::dlerror();
    void* address = ::dlsym(handle_, name.c_str());
    if (!address) {
        const char* message = ::dlerror();
        error = message ? message : name + " is null in " + path_;
    }
    return address;
}

const char* SharedLibrarySuffix() {
    return ".so";
}

}  // namespace platform
