// A program directory for the launcher's tests: a temporary folder with the configuration
// files a test writes, plug-in libraries named by absolute paths, and the trace log read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/container/program_directory.h"
#include "framework/contracts/ids.h"
#include "framework/trace/zeltotrace.h"
#include "platform/files.h"
#include "temp_dir.h"
#include "test_plugins.h"

namespace startup_test {

// Made-up plug-in identifiers of the rules tests.
inline constexpr const char* kIdA = "AAAA0001-0000-4000-8000-000000000001";
inline constexpr const char* kIdB = "BBBB0002-0000-4000-8000-000000000002";
inline constexpr const char* kIdC = "CCCC0003-0000-4000-8000-000000000003";
inline constexpr const char* kIdF = "FFFF0004-0000-4000-8000-000000000004";
inline constexpr const char* kIdU = "EEEE0005-0000-4000-8000-000000000005";  // not in the library
inline constexpr const char* kIdV = "DDDD0006-0000-4000-8000-000000000006";

struct LibraryEntry {
    std::string clsid;
    std::string url;
    std::string name;
};

// One library entry with its ten children.
inline std::string LibraryPlugin(const LibraryEntry& e) {
    return "<plugin><channel>0</channel><name>" + e.name + "</name><alias>" + e.name +
           "</alias><clsid>" + e.clsid + "</clsid><url>" + e.url +
           "</url><setting_title></setting_title><version>1.0</version><type>t</type>"
           "<active>1</active><static>0</static></plugin>\n";
}

inline std::string Library(const std::vector<LibraryEntry>& entries) {
    std::string text = "<main>\n";
    for (const LibraryEntry& e : entries) text += LibraryPlugin(e);
    return text + "</main>\n";
}

// The plug-ins of the tests that run: test main frame, scripted device manager, the real
// configuration plug-in and the test UI plug-in.
inline std::vector<LibraryEntry> RunnableLibrary() {
    return {
        {framework::kMainFramePluginId, test_plugins::LibraryPath(test_plugins::kMainFrame),
         "XFramePlugin"},
        {framework::kDeviceMgrId, test_plugins::LibraryPath(test_plugins::kScriptedDeviceMgr),
         "DeviceMgr"},
        {framework::kConfigPluginId, CONFIG_PLUGIN_PATH, "ConfigPlugin"},
        {test_plugins::kUiPluginId, test_plugins::LibraryPath(test_plugins::kUiPlugin), "TestUi"},
    };
}

// Rules: the "wendrix" group gets every runnable plug-in, "wendrix 2g" loses the UI plug-in,
// and the fallback group gets the runnable ones too.
inline std::string RunnableRules() {
    std::string common = std::string("<common><plugin><item clsid=\"") +
                         framework::kMainFramePluginId + "\"/><item clsid=\"" +
                         framework::kDeviceMgrId + "\"/><item clsid=\"" +
                         framework::kConfigPluginId + "\"/><item clsid=\"" +
                         test_plugins::kUiPluginId + "\"/></plugin></common>";
    return "<plxadoc><devicegroup><devices><item name=\"wendrix 3g\" productid=\"1234:5601\"/>"
           "<item name=\"wendrix 4g\" productid=\"1234:5602\"/>"
           "<item name=\"wendrix 2g\" productid=\"1234:5603\"/></devices>" +
           common + "<device name=\"wendrix 2g\"><plugin><remove clsid=\"" +
           test_plugins::kUiPluginId +
           "\"/></plugin></device><devicewithvoice><item name=\"wendrix 4g\"/>"
           "</devicewithvoice></devicegroup><devicegroup><devices><item name=\"common\"/>"
           "</devices>" +
           common + "</devicegroup></plxadoc>";
}

inline std::string Settings(const std::string& current, const std::string& fallback,
                            const std::string& voice = "0") {
    return "<plxadoc><system><servicevoice>" + voice + "</servicevoice><devicename default=\"" +
           fallback + "\">" + current + "</devicename></system></plxadoc>";
}

class ProgramDir {
  public:
    // The per-user runtime folder (single instance) moves below the program directory too.
    ProgramDir() {
        framework::SetProgramDirectory(dir_.path());
        std::filesystem::create_directories(dir_ / "run");
        ::setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
    }
    ~ProgramDir() {
        CZeltoTrace::destroy();
        framework::SetProgramDirectory("");
    }

    const std::string& path() const { return dir_.path(); }
    std::string operator/(const std::string& name) const { return dir_ / name; }
    std::string Write(const std::string& name, const std::string& text) const {
        return dir_.Write(name, text);
    }
    std::string Read(const std::string& name) const {
        return platform::ReadWholeFile(dir_ / name).value_or("");
    }
    std::string ListPath() const { return dir_ / "plugins.xml"; }

    // A runnable installation: library, rules and settings.
    void Install(const std::string& configured = "", const std::string& fallback = "wendrix 3g") {
        Write("config/pluginslib.xml", Library(RunnableLibrary()));
        Write("config/PluginsConfig.xml", RunnableRules());
        Write("SysSetting.xml", Settings(configured, fallback));
    }

    // The trace log so far.
    std::string Log() const {
        CZeltoTrace::destroy();  // flushes
        return Read("Log/dodevizi_trace_0.log");
    }
    // True when one line of the log has the launcher's trace `message` at `level`.
    bool Traced(const std::string& level, const std::string& message) const {
        std::string log = Log();
        size_t start = 0;
        while (start < log.size()) {
            size_t end = log.find('\n', start);
            if (end == std::string::npos) end = log.size();
            std::string line = log.substr(start, end - start);
            if (line.find("[" + level + "] [Startup] ") != std::string::npos &&
                line.size() >= message.size() &&
                line.compare(line.size() - message.size(), message.size(), message) == 0) {
                return true;
            }
            start = end + 1;
        }
        return false;
    }

  private:
    testing_support::TempDir dir_;
};

}  // namespace startup_test
