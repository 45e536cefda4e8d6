// Shared libraries: load by path, look up an export, unload.
#pragma once

#include <memory>
#include <string>

namespace platform {

class SharedLibrary {
  public:
    // Loads `path`; a relative path resolves against the program directory. Null on failure,
    // with the loader's message in `error`.
    static std::unique_ptr<SharedLibrary> Load(const std::string& path, std::string& error);

    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Address of the export `name`, or null with the loader's message in `error`.
    void* Symbol(const std::string& name, std::string& error) const;

    template <typename Fn>
    Fn Function(const std::string& name, std::string& error) const {
        return reinterpret_cast<Fn>(Symbol(name, error));
    }

    const std::string& Path() const { return path_; }

  private:
    SharedLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    std::string path_;
};

// The platform's shared-library file suffix, ".so".
const char* SharedLibrarySuffix();

}  // namespace platform
