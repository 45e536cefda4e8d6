#include "framework/container/plugin_container.h"

#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <utility>

#include "framework/container/program_directory.h"
#include "framework/container/property_walker.h"
#include "framework/contracts/ids.h"
#include "platform/exceptions.h"
#include "platform/paths.h"
#include "platform/user_files.h"

namespace framework {
namespace {

constexpr const char* kModule = "Container";
constexpr const char* kSource = "src/framework/container/plugin_container";

bool Is(const char* id, const char* expected) {
    return std::strcmp(id, expected) == 0;
}

}  // namespace

const char* NameOf(PluginState state) {
    switch (state) {
        case PluginState::Read:
            return "read";
        case PluginState::Loaded:
            return "loaded";
        case PluginState::Initialised:
            return "initialised";
        case PluginState::Running:
            return "running";
        case PluginState::Stopped:
            return "stopped";
    }
    return "unknown";
}

const char* NameOf(PluginError error) {
    switch (error) {
        case PluginError::None:
            return "none";
        case PluginError::IncompleteEntry:
            return "incomplete entry";
        case PluginError::ListedTwice:
            return "listed twice";
        case PluginError::LibraryNotLoaded:
            return "library not loaded";
        case PluginError::NoCreatePlugin:
            return "no CreatePlugin";
        case PluginError::CreatePluginThrew:
            return "CreatePlugin threw";
        case PluginError::CreatePluginNull:
            return "CreatePlugin returned null";
        case PluginError::SetContainerThrew:
            return "SetContainer threw";
        case PluginError::InitializeFalse:
            return "Initialize returned false";
        case PluginError::InitializeThrew:
            return "Initialize threw";
    }
    return "unknown";
}

PluginContainer::PluginContainer(std::string directory, PluginList list)
    : directory_(std::move(directory)),
      list_(std::move(list)),
      locale_(directory_),
      config_(directory_) {
    plugins_.reserve(list_.entries.size());
    for (const PluginEntry& entry : list_.entries) {
        Record record;
        record.status.id = entry.id;
        record.status.name = entry.name;
        record.url = entry.url;
        plugins_.push_back(std::move(record));
    }
}

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
    for (Record& record : container->plugins_) container->Load(record);
    container->InitializeAll();
    container->TraceStates();
    return container;
}

void PluginContainer::Trace(int level, int line, const std::string& message) {
    trace_.Trace(level, kModule, kSource, line, message.c_str());
}

void PluginContainer::Fail(Record& record, PluginError error, const std::string& reason, int line,
                           int level) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        record.status.error = error;
        record.status.reason = reason;
    }
    Trace(level, line, "plug-in " + record.status.id + " (" + record.url + "): " + reason);
}

void PluginContainer::SetState(Record& record, PluginState state) {
    std::lock_guard<std::mutex> lock(mutex_);
    record.status.state = state;
}

void PluginContainer::Load(Record& record) {
    const std::string& id = record.status.id;
    if (id.empty() || record.url.empty()) {
        Fail(record, PluginError::IncompleteEntry, "the entry lacks its clsid or url; left out",
             __LINE__);
        return;
    }
    if (Find(id.c_str())) {
        Fail(record, PluginError::ListedTwice, "listed twice; the first one stays", __LINE__,
             kTraceWarning);
        return;
    }
    std::string path =
        record.url.front() == '/' ? record.url : platform::ResolveNoCase(directory_, record.url);
    std::string error;
    std::unique_ptr<platform::SharedLibrary> library = platform::SharedLibrary::Load(path, error);
    if (!library) {
        Fail(record, PluginError::LibraryNotLoaded, "cannot load: " + error, __LINE__);
        return;
    }
    auto create = library->Function<CreatePluginFn>(kCreatePluginExport, error);
    if (!create) {
        Fail(record, PluginError::NoCreatePlugin, "no CreatePlugin export: " + error, __LINE__);
        return;
    }
    IBasePlugin* plugin = nullptr;
    try {
        plugin = create();
    } catch (...) {
        Fail(record, PluginError::CreatePluginThrew,
             "CreatePlugin threw: " + platform::DescribeException(std::current_exception()),
             __LINE__);
        return;
    }
    if (!plugin) {
        Fail(record, PluginError::CreatePluginNull, "CreatePlugin returned no plug-in", __LINE__);
        return;
    }
    // The object may have handed its code to others (threads, sinks): the library stays until
    // the container ends, whatever becomes of the object.
    record.library = std::move(library);
    SetState(record, PluginState::Loaded);
    try {
        plugin->SetContainer(this);
    } catch (...) {
        Fail(record, PluginError::SetContainerThrew,
             "SetContainer threw: " + platform::DescribeException(std::current_exception()),
             __LINE__);
        try {
            plugin->Release();
        } catch (...) {
            Trace(kTraceWarning, __LINE__,
                  "plug-in " + id +
                      ": Release threw: " + platform::DescribeException(std::current_exception()));
        }
        SetState(record, PluginState::Stopped);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        record.plugin = plugin;
    }
    Trace(kTraceInfo, __LINE__, "plug-in " + id + " (" + record.url + "): loaded");
}

void PluginContainer::InitializeAll() {
    for (Record& record : plugins_) {
        if (!record.plugin) continue;
        PluginError error = PluginError::InitializeFalse;
        std::string reason = "Initialize returned false";
        try {
            if (record.plugin->Initialize()) {
                SetState(record, PluginState::Initialised);
                continue;
            }
        } catch (...) {
            error = PluginError::InitializeThrew;
            reason = "Initialize threw: " + platform::DescribeException(std::current_exception());
        }
        Fail(record, error, reason, __LINE__);
        Stop(record);
    }
}

void PluginContainer::Stop(Record& record) {
    IBasePlugin* plugin = nullptr;
    {
        // Not found from here on, by this thread or another.
        std::lock_guard<std::mutex> lock(mutex_);
        std::swap(plugin, record.plugin);
    }
    if (!plugin) return;
    const std::string& id = record.status.id;
    try {
        plugin->Uninitialize();
    } catch (...) {
        Trace(kTraceWarning, __LINE__,
              "plug-in " + id +
                  ": Uninitialize threw: " + platform::DescribeException(std::current_exception()));
    }
    try {
        plugin->Release();
    } catch (...) {
        Trace(kTraceWarning, __LINE__,
              "plug-in " + id +
                  ": Release threw: " + platform::DescribeException(std::current_exception()));
    }
    SetState(record, PluginState::Stopped);
    Trace(kTraceInfo, __LINE__, "plug-in " + id + ": uninitialised and released");
}

void PluginContainer::TraceStates() {
    std::string line = "plug-ins:";
    for (const PluginStatus& status : Plugins()) {
        line += (line.back() == ':' ? " " : ", ") + status.id + " (" + status.name + ") " +
                NameOf(status.state);
        if (status.error != PluginError::None) line += " (left out)";
    }
    if (plugins_.empty()) line += " none";
    Trace(kTraceInfo, __LINE__, line);
}

PluginContainer::~PluginContainer() {
    // Last loaded first; a plug-in left out after its object was made unloads in its turn.
    for (auto record = plugins_.rbegin(); record != plugins_.rend(); ++record) {
        Stop(*record);
        if (!record->library) continue;
        record->library.reset();
        Trace(kTraceInfo, __LINE__, "plug-in " + record->status.id + ": unloaded");
    }
}

IBasePlugin* PluginContainer::Find(const char* id, size_t* index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < plugins_.size(); ++i) {
        if (plugins_[i].plugin && plugins_[i].status.id == id) {
            if (index) *index = i;
            return plugins_[i].plugin;
        }
    }
    return nullptr;
}

std::vector<std::string> PluginContainer::LoadedPluginIds() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> ids;
    for (const Record& record : plugins_) {
        if (record.plugin) ids.push_back(record.status.id);
    }
    return ids;
}

std::vector<PluginStatus> PluginContainer::Plugins() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<PluginStatus> statuses;
    statuses.reserve(plugins_.size());
    for (const Record& record : plugins_) statuses.push_back(record.status);
    return statuses;
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
                  std::string("plug-in ") + id + ": QueryInterface threw: " +
                      platform::DescribeException(std::current_exception()));
        }
    }
    lastError_ = found ? 0 : -1;
    if (!found) return false;
    *object = found;
    return true;
}

int PluginContainer::RunMainFrame(const char* mainFrameId) {
    size_t index = 0;
    IBasePlugin* plugin = mainFrameId ? Find(mainFrameId, &index) : nullptr;
    if (!plugin) {
        Trace(
            kTraceError, __LINE__,
            std::string("main frame ") + (mainFrameId ? mainFrameId : "(null)") + " is not loaded");
        return -1;
    }
    Record& record = plugins_[index];
    // Running while DoModal runs, then back to what it was (also when DoModal throws).
    struct RunningState {
        PluginContainer& container;
        Record& record;
        PluginState before;
        RunningState(PluginContainer& c, Record& r) : container(c), record(r) {
            std::lock_guard<std::mutex> lock(container.mutex_);
            before = record.status.state;
            record.status.state = PluginState::Running;
        }
        ~RunningState() { container.SetState(record, before); }
    };
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
        int result;
        {
            RunningState running(*this, record);
            result = frame->DoModal();
        }
        Trace(kTraceInfo, __LINE__, std::string("main frame ended with ") + std::to_string(result));
        return result;
    } catch (...) {
        Trace(kTraceError, __LINE__,
              std::string("main frame ") + mainFrameId +
                  " threw: " + platform::DescribeException(std::current_exception()));
        return -1;
    }
}

}  // namespace framework
