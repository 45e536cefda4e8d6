// The plug-in container: loads the plug-ins of a plugins.xml, hands each one the container,
// answers service lookups and runs the main frame. It keeps a state per listed plug-in and, for
// one that failed, the step and the reason.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/config/config_service.h"
#include "framework/container/plugin_list.h"
#include "framework/contracts/container.h"
#include "framework/contracts/ids.h"
#include "framework/locale/locale_service.h"
#include "framework/trace/trace_service.h"
#include "platform/library.h"

namespace framework {

// Where a plug-in is in its life. A plug-in that failed stays at the state it had reached when
// nothing of it was made (Read), or is Stopped once its object was released.
enum class PluginState {
    Read,         // listed in plugins.xml
    Loaded,       // library opened, CreatePlugin answered, the container handed over
    Initialised,  // Initialize answered true
    Running,      // the main frame, while RunMainFrame runs it
    Stopped,      // uninitialised and released
};

// The step at which a plug-in was left out; None for one that was not.
enum class PluginError {
    None,
    IncompleteEntry,   // its entry lacks the clsid or the url
    ListedTwice,       // an earlier entry has the same clsid
    LibraryNotLoaded,  // missing, or nothing the loader takes
    NoCreatePlugin,    // the library has no CreatePlugin export
    CreatePluginThrew,
    CreatePluginNull,   // CreatePlugin returned no object
    SetContainerThrew,  // the object was released
    InitializeFalse,    // the object was uninitialised and released
    InitializeThrew,    // the object was uninitialised and released
};

const char* NameOf(PluginState state);
const char* NameOf(PluginError error);

struct PluginStatus {
    std::string id;
    std::string name;  // the entry's <name>
    PluginState state = PluginState::Read;
    PluginError error = PluginError::None;
    std::string reason;  // the failure as traced ("cannot load: ..."); empty without one
};

class PluginContainer final : public IPluginContainer {
  public:
    // Reads the list at `pluginListPath` and loads its plug-ins; the list's folder becomes the
    // program directory (the running program's for a per-user list, see ProgramDirectoryOf).
    // Null (and traced) when the list cannot be used. A plug-in that cannot be loaded or
    // initialised is traced once and left out: lookups and RunMainFrame no longer find it.
    static std::unique_ptr<PluginContainer> Create(const std::string& pluginListPath);
    // Uninitialises, releases and unloads the plug-ins, last loaded first.
    ~PluginContainer();
    PluginContainer(const PluginContainer&) = delete;
    PluginContainer& operator=(const PluginContainer&) = delete;

    // The container ends through CContainerFactory::DestroyPluginContainer; a release changes
    // nothing.
    void Release() override {}
    int GetLastErrorCode() override { return lastError_; }
    // The main frame's DoModal result; -1 when the plug-in is not loaded (or was left out), is
    // no UI plug-in or throws. The plug-in is Running meanwhile.
    int RunMainFrame(const char* mainFrameId) override;
    // Trace (flag 1), locale (0x4044) and configuration (0x4000) services by their identifiers;
    // the plug-in list walker for the empty identifier with 0x200; any other identifier is a
    // loaded plug-in, asked through QueryInterface with `flag`. `object` is left alone on
    // failure.
    bool QueryService(const char* id, uint32_t flag, IBaseInterface** object) override;
    const char* GetMainFrameId() override;

    const std::string& ProgramDirectory() const { return directory_; }
    // Identifiers of the plug-ins lookups find, in load order.
    std::vector<std::string> LoadedPluginIds() const;
    // Every entry of the list, in list order, as it stands now.
    std::vector<PluginStatus> Plugins() const;

  private:
    // One per list entry, all made before the first library loads, so that the vector never
    // changes while a plug-in's thread looks up another one.
    struct Record {
        PluginStatus status;  // guarded by mutex_
        std::string url;
        std::unique_ptr<platform::SharedLibrary> library;
        IBasePlugin* plugin = nullptr;  // guarded by mutex_; set while lookups may find it
    };

    PluginContainer(std::string directory, PluginList list);
    void Load(Record& record);
    void InitializeAll();
    // Uninitialise then release, as at the end; the library stays until the container ends.
    void Stop(Record& record);
    // Records the failure and traces it, once, with the plug-in's id, url and `reason`.
    void Fail(Record& record, PluginError error, const std::string& reason, int line,
              int level = kTraceError);
    void SetState(Record& record, PluginState state);
    // The object lookups find for `id` (null for none), and at `index` its record.
    IBasePlugin* Find(const char* id, size_t* index = nullptr) const;
    void TraceStates();
    void Trace(int level, int line, const std::string& message);

    std::string directory_;
    PluginList list_;
    std::vector<Record> plugins_;
    mutable std::mutex mutex_;
    std::atomic<int> lastError_{0};  // lookups come from several threads
    TraceService trace_;
    LocaleService locale_;
    ConfigService config_;
};

}  // namespace framework
