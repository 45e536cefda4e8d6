#include "framework/container/plugin_container.h"

#include <cstring>
#include <exception>
#include <filesystem>

#include "framework/container/program_directory.h"
#include "framework/container/property_walker.h"
#include "framework/contracts/ids.h"
#include "platform/paths.h"
#include "platform/user_files.h"

namespace framework {
namespace {

constexpr const char* kModule = "Container";
constexpr const char* kSource = "src/framework/container/plugin_container";

std::string Describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}

bool Is(const char* id, const char* expected) {
    return std::strcmp(id, expected) == 0;
}

}  // namespace

PluginContainer::PluginContainer(std::string directory, PluginList list)
    : directory_(std::move(directory)),
      list_(std::move(list)),
      locale_(directory_),
      config_(directory_) {}

std::unique_ptr<PluginContainer> PluginContainer::Create(const std::string& pluginListPath) {
    TraceService trace;
    if (pluginListPath.empty()) {
        trace.Trace(kTraceError, kModule, kSource, __LINE__, "no plug-in list given");
        return nullptr;
    }
    std::error_code ignored;
    std::filesystem::path full = std::filesystem::absolute(pluginListPath, ignored);
    // An installed program keeps its list per user; the list still belongs to the program.
    std::string directory = platform::ProgramDirectoryOf(full.string());
    framework::SetProgramDirectory(directory);

    std::string error;
    std::optional<PluginList> list = ReadPluginList(full.string(), error);
    if (!list) {
        trace.Trace(kTraceError, kModule, kSource, __LINE__, error.c_str());
        return nullptr;
    }
    std::unique_ptr<PluginContainer> container(new PluginContainer(directory, std::move(*list)));
    for (const PluginEntry& entry : container->list_.entries) container->Load(entry);
    container->InitializeAll();
    return container;
}

void PluginContainer::Trace(int level, int line, const std::string& message) {
    trace_.Trace(level, kModule, kSource, line, message.c_str());
}

void PluginContainer::Load(const PluginEntry& entry) {
    const std::string what = "plug-in " + entry.id + " (" + entry.url + ")";
    if (entry.id.empty() || entry.url.empty()) {
        Trace(kTraceError, __LINE__, what + ": the entry lacks its clsid or url; left out");
        return;
    }
    if (Find(entry.id.c_str())) {
        Trace(kTraceWarning, __LINE__, what + ": listed twice; the first one stays");
        return;
    }
    std::string path =
        entry.url.front() == '/' ? entry.url : platform::ResolveNoCase(directory_, entry.url);
    std::string error;
    LoadedPlugin loaded;
    loaded.id = entry.id;
    loaded.library = platform::SharedLibrary::Load(path, error);
    if (!loaded.library) {
        Trace(kTraceError, __LINE__, what + ": cannot load: " + error);
        return;
    }
    auto create = loaded.library->Function<CreatePluginFn>(kCreatePluginExport, error);
    if (!create) {
        Trace(kTraceError, __LINE__, what + ": no CreatePlugin export: " + error);
        return;
    }
    try {
        loaded.plugin = create();
    } catch (...) {
        Trace(kTraceError, __LINE__,
              what + ": CreatePlugin threw: " + Describe(std::current_exception()));
        return;
    }
    if (!loaded.plugin) {
        Trace(kTraceError, __LINE__, what + ": CreatePlugin returned no plug-in");
        return;
    }
    try {
        loaded.plugin->SetContainer(this);
    } catch (...) {
        Trace(kTraceError, __LINE__,
              what + ": SetContainer threw: " + Describe(std::current_exception()));
        try {
            loaded.plugin->Release();
        } catch (...) {
        }
        return;
    }
    Trace(kTraceInfo, __LINE__, what + ": loaded");
    plugins_.push_back(std::move(loaded));
}

void PluginContainer::InitializeAll() {
    for (LoadedPlugin& loaded : plugins_) {
        try {
            if (!loaded.plugin->Initialize()) {
                Trace(kTraceWarning, __LINE__, "plug-in " + loaded.id + ": Initialize failed");
            }
        } catch (...) {
            Trace(kTraceWarning, __LINE__,
                  "plug-in " + loaded.id +
                      ": Initialize threw: " + Describe(std::current_exception()));
        }
    }
}

PluginContainer::~PluginContainer() {
    while (!plugins_.empty()) {
        LoadedPlugin& loaded = plugins_.back();
        try {
            loaded.plugin->Uninitialize();
        } catch (...) {
            Trace(kTraceWarning, __LINE__, "plug-in " + loaded.id + ": Uninitialize threw");
        }
        try {
            loaded.plugin->Release();
        } catch (...) {
            Trace(kTraceWarning, __LINE__, "plug-in " + loaded.id + ": Release threw");
        }
        Trace(kTraceInfo, __LINE__, "plug-in " + loaded.id + ": unloaded");
        plugins_.pop_back();  // unloads the library
    }
}

IBasePlugin* PluginContainer::Find(const char* id) const {
    for (const LoadedPlugin& loaded : plugins_) {
        if (loaded.id == id) return loaded.plugin;
    }
    return nullptr;
}

std::vector<std::string> PluginContainer::LoadedPluginIds() const {
    std::vector<std::string> ids;
    for (const LoadedPlugin& loaded : plugins_) ids.push_back(loaded.id);
    return ids;
}

const char* PluginContainer::GetMainFrameId() {
    return list_.mainFrameId.empty() ? nullptr : list_.mainFrameId.c_str();
}

bool PluginContainer::QueryService(const char* id, uint32_t flag, IBaseInterface** object) {
    if (!id || !object) {
        lastError_ = -1;
        return false;
    }
    IBaseInterface* found = nullptr;
    if (Is(id, kTraceServiceId) && flag == kTraceServiceFlag) {
        found = &trace_;
    } else if (Is(id, kLocaleServiceId) && flag == kLocaleServiceFlag) {
        found = &locale_;
    } else if (Is(id, kConfigPluginId) && flag == kConfigServiceFlag) {
        found = &config_;
    } else if (Is(id, kPluginConfigPropertyId) && flag == kPluginConfigPropertyFlag) {
        try {
            found = new PropertyWalker(list_.entries);
        } catch (...) {
            found = nullptr;
        }
    } else if (IBasePlugin* plugin = Find(id)) {
        IBaseInterface* answer = nullptr;
        try {
            if (plugin->QueryInterface(flag, &answer)) found = answer;
        } catch (...) {
            Trace(kTraceWarning, __LINE__,
                  std::string("plug-in ") + id +
                      ": QueryInterface threw: " + Describe(std::current_exception()));
        }
    }
    lastError_ = found ? 0 : -1;
    if (!found) return false;
    *object = found;
    return true;
}

int PluginContainer::RunMainFrame(const char* mainFrameId) {
    IBasePlugin* plugin = mainFrameId ? Find(mainFrameId) : nullptr;
    if (!plugin) {
        Trace(
            kTraceError, __LINE__,
            std::string("main frame ") + (mainFrameId ? mainFrameId : "(null)") + " is not loaded");
        return -1;
    }
    try {
        IBaseInterface* object = nullptr;
        auto* frame = plugin->QueryInterface(kUiPluginInterface, &object)
                          ? dynamic_cast<IUIPlugin*>(object)
                          : nullptr;
        if (!frame) {
            Trace(kTraceError, __LINE__,
                  std::string("main frame ") + mainFrameId + " has no UI interface");
            return -1;
        }
        int result = frame->DoModal();
        Trace(kTraceInfo, __LINE__, std::string("main frame ended with ") + std::to_string(result));
        return result;
    } catch (...) {
        Trace(kTraceError, __LINE__,
              std::string("main frame threw: ") + Describe(std::current_exception()));
        return -1;
    }
}

}  // namespace framework
