// The plug-in container: loads the plug-ins of a plugins.xml, hands each one the container,
// answers service lookups and runs the main frame.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "framework/config/config_service.h"
#include "framework/container/plugin_list.h"
#include "framework/contracts/container.h"
#include "framework/locale/locale_service.h"
#include "framework/trace/trace_service.h"
#include "platform/library.h"

namespace framework {

class PluginContainer final : public IPluginContainer {
  public:
    // Reads the list at `pluginListPath` and loads its plug-ins; the list's folder becomes the
    // program directory (the running program's for a per-user list, see ProgramDirectoryOf).
    // Null (and traced) when the list cannot be used. A plug-in that cannot
    // be loaded is traced and left out.
    static std::unique_ptr<PluginContainer> Create(const std::string& pluginListPath);
    // Uninitialises, releases and unloads the plug-ins, last loaded first.
    ~PluginContainer();
    PluginContainer(const PluginContainer&) = delete;
    PluginContainer& operator=(const PluginContainer&) = delete;

    // The container ends through CContainerFactory::DestroyPluginContainer; a release changes
    // nothing.
    void Release() override {}
    int GetLastErrorCode() override { return lastError_; }
    // The main frame's DoModal result; -1 when the plug-in is not loaded, is no UI plug-in or
    // throws.
    int RunMainFrame(const char* mainFrameId) override;
    // Trace (flag 1), locale (0x4044) and configuration (0x4000) services by their identifiers;
    // the plug-in list walker for the empty identifier with 0x200; any other identifier is a
    // loaded plug-in, asked through QueryInterface with `flag`. `object` is left alone on
    // failure.
    bool QueryService(const char* id, uint32_t flag, IBaseInterface** object) override;
    const char* GetMainFrameId() override;

    const std::string& ProgramDirectory() const { return directory_; }
    // Identifiers of the plug-ins loaded, in load order.
    std::vector<std::string> LoadedPluginIds() const;

  private:
    struct LoadedPlugin {
        std::string id;
        std::unique_ptr<platform::SharedLibrary> library;
        IBasePlugin* plugin = nullptr;
    };

    PluginContainer(std::string directory, PluginList list);
    void Load(const PluginEntry& entry);
    void InitializeAll();
    IBasePlugin* Find(const char* id) const;
    void Trace(int level, int line, const std::string& message);

    std::string directory_;
    PluginList list_;
    std::vector<LoadedPlugin> plugins_;
    std::atomic<int> lastError_{0};  // lookups come from several threads
    TraceService trace_;
    LocaleService locale_;
    ConfigService config_;
};

}  // namespace framework
