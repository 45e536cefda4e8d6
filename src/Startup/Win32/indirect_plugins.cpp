// Plug-ins the manager loads by itself (the device manager and the configuration plug-in
// during preparation), and the plug-ins' user manuals.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "Startup/Win32/launcher_trace.h"
#include "Startup/Win32/pluginsconfigmgr.h"
#include "framework/contracts/ids.h"
#include "markup/markup_stl.h"
#include "platform/paths.h"
#include "platform/user_files.h"

namespace {

using launcher::kConfigMgrSource;

constexpr const char* kLibraryFile = "config/pluginslib.xml";

void Trace(int level, int line, const std::string& message) {
    launcher::Trace(level, kConfigMgrSource, line, message);
}

// True for a help file name: ".ch" and one more character at its end.
bool IsHelpFile(const std::string& name) {
    return name.size() >= 4 && name.compare(name.size() - 4, 3, ".ch") == 0;
}

// An installed program switches this user's copies of the manuals: the help files of each
// plug-in folder are copied once, when the folder is first seen; the folder holding the copies.
std::filesystem::path PerUserManuals(const std::string& programDirectory,
                                     const std::filesystem::path& installed) {
    namespace fs = std::filesystem;
    fs::path own = platform::UserFilePath(programDirectory, "plugins");
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(installed, ec)) {
        fs::path folder = own / entry.path().filename();
        if (!entry.is_directory(ec) || fs::exists(folder, ec)) continue;
        fs::create_directories(folder, ec);
        for (const fs::directory_entry& file : fs::directory_iterator(entry.path(), ec)) {
            if (IsHelpFile(file.path().filename().string())) {
                fs::copy_file(file.path(), folder / file.path().filename(), ec);
            }
        }
    }
    return own;
}

}  // namespace

framework::IBasePlugin* CPluginsConfigMgr::CreateIndirectPlugin(const std::string& id) {
    CMarkupSTL doc;
    if (!doc.LoadFromFile(FilePath(kLibraryFile)) || !doc.FindSibling("main") || !doc.Descend()) {
        Trace(framework::kTraceInfo, __LINE__, "Plugins lib file is error! ");
        return nullptr;
    }
    std::string url;
    while (url.empty() && doc.FindSibling("plugin")) {
        doc.Descend();
        if (doc.FindSibling("clsid") && doc.ElementText() == id && doc.FindSibling("url")) {
            url = doc.ElementText();
        }
        doc.Ascend();
    }
    if (url.empty()) return nullptr;

    std::string path = url.front() == '/' ? url : platform::ResolveNoCase(programDirectory_, url);
    std::string error;
    IndirectPlugin row;
    row.id = id;
    row.library = platform::SharedLibrary::Load(path, error);
    if (!row.library) return nullptr;
    auto create =
        row.library->Function<framework::CreatePluginFn>(framework::kCreatePluginExport, error);
    try {
        row.plugin = create ? create() : nullptr;
    } catch (...) {
        row.plugin = nullptr;
    }
    if (!row.plugin) return nullptr;  // the library is unloaded with the row
    framework::IBasePlugin* plugin = row.plugin;
    std::lock_guard<std::mutex> lock(tableMutex_);
    indirect_.push_back(std::move(row));
    return plugin;
}

void CPluginsConfigMgr::DestroyIndirectPlugin(const std::string& id) {
    IndirectPlugin row;
    {
        std::lock_guard<std::mutex> lock(tableMutex_);
        auto found = std::find_if(indirect_.begin(), indirect_.end(),
                                  [&](const IndirectPlugin& r) { return r.id == id; });
        if (found == indirect_.end()) return;
        row = std::move(*found);
        indirect_.erase(found);
    }
    try {
        for (int wait = 0; wait < kUnloadTries && !row.plugin->Uninitialize(); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(unloadWaitMilliseconds_));
        }
        row.plugin->Release();
        row.plugin = nullptr;
    } catch (...) {
        Trace(framework::kTraceError, __LINE__, "DestroyIndirectPlugin fail!");
        // The plug-in may still run code of its library: keep the library mapped.
        (void)row.library.release();
    }
}

size_t CPluginsConfigMgr::IndirectPluginCount() const {
    std::lock_guard<std::mutex> lock(tableMutex_);
    return indirect_.size();
}

void CPluginsConfigMgr::RefreshPluginsUserManual() {
    namespace fs = std::filesystem;
    try {
        std::set<std::string> enabled = EnabledNames();
        fs::path base = platform::ResolveNoCase(programDirectory_, "plugins");
        std::error_code ec;
        if (!fs::is_directory(base, ec)) return;
        if (platform::FilesArePerUser(programDirectory_)) {
            base = PerUserManuals(programDirectory_, base);
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(base)) {
            std::string name = entry.path().filename().string();
            if (name.empty() || !entry.is_directory(ec)) continue;
            char ending = enabled.count(name) ? 'm' : '_';
            for (const fs::directory_entry& file : fs::directory_iterator(entry.path(), ec)) {
                std::string fileName = file.path().filename().string();
                if (!IsHelpFile(fileName) || fileName.back() == ending) continue;
                std::string target = fileName;
                target.back() = ending;
                fs::path to = entry.path() / target;
                // Never over another file of that name: both stay as they are.
                if (fs::exists(to, ec)) continue;
                fs::rename(file.path(), to, ec);
            }
        }
    } catch (...) {
        Trace(framework::kTraceError, __LINE__, "RefreshPluginsUserManual expection!");
    }
}
