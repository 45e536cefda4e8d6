// The container end to end: a plugins.xml naming the test plug-ins, every lookup the launcher
// and the plug-ins make, the main frame's run, and bad lists and libraries.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "framework/container/plugin_container.h"
#include "framework/container/program_directory.h"
#include "framework/contracts/container.h"
#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/services.h"
#include "platform/library.h"
#include "scripted_device.h"
#include "temp_dir.h"
#include "test_plugins.h"

using namespace framework;
using test_plugins::LibraryPath;

namespace {

struct Entry {
    std::string id;
    std::string url;
};

std::string PluginsXml(const std::string& mainFrameId, const std::vector<Entry>& entries) {
    std::string xml = "<main>\r\n\t<mainplugin>" + mainFrameId + "</mainplugin>\r\n";
    for (const Entry& entry : entries) {
        // The children in the order the launcher writes them.
        xml +=
            "\t<plugin>\r\n\t\t<channel>0</channel>\r\n\t\t<name>n</name>\r\n"
            "\t\t<alias>a</alias>\r\n\t\t<clsid>" +
            entry.id + "</clsid>\r\n\t\t<url>" + entry.url +
            "</url>\r\n\t\t<setting_title/>\r\n\t\t<version>1</version>\r\n"
            "\t\t<type>0</type>\r\n\t\t<active>1</active>\r\n\t\t<static>0</static>\r\n"
            "\t</plugin>\r\n";
    }
    return xml + "</main>";
}

bool IsLoaded(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) ::dlclose(handle);
    return handle != nullptr;
}

std::string ReadLog(const testing_support::TempDir& dir) {
    std::ifstream in(dir / "Log/dodevizi_trace_0.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

template <typename T>
T* Lookup(IPluginContainer* container, const char* id, uint32_t flag) {
    IBaseInterface* object = nullptr;
    if (!container->QueryService(id, flag, &object) || !object) return nullptr;
    return dynamic_cast<T*>(object);
}

class ContainerTest : public ::testing::Test {
  protected:
    void TearDown() override { SetProgramDirectory(""); }
    testing_support::TempDir dir;
};

TEST_F(ContainerTest, LoadsAnswersRunsAndUnloadsTheTestPlugins) {
    // The test holds the main frame's library to choose its result codes.
    std::string error;
    auto mainFrameLibrary =
        platform::SharedLibrary::Load(LibraryPath(test_plugins::kMainFrame), error);
    ASSERT_NE(mainFrameLibrary, nullptr) << error;
    auto setResults = mainFrameLibrary->Function<test_plugins::MainFrameSetResultsFn>(
        test_plugins::kMainFrameSetResults, error);
    auto lastRun = mainFrameLibrary->Function<test_plugins::MainFrameLastRunFn>(
        test_plugins::kMainFrameLastRun, error);
    ASSERT_TRUE(setResults && lastRun) << error;
    const int codes[] = {kMainFrameReinitialize, 0};
    setResults(codes, 2);

    std::vector<Entry> entries = {{kDeviceMgrId, LibraryPath(test_plugins::kScriptedDeviceMgr)},
                                  {test_plugins::kUiPluginId, LibraryPath(test_plugins::kUiPlugin)},
                                  {kMainFramePluginId, LibraryPath(test_plugins::kMainFrame)},
                                  {kConfigPluginId, CONFIG_PLUGIN_PATH}};
    std::string list = dir.Write("plugins.xml", PluginsXml(kMainFramePluginId, entries));
    dir.Write("plugins/xframeplugin/XFramePlugin_ja.lang",
              "[XFramePlugin]\nIDS_MAINFRM_REINITIALIZE=\xE5\x86\x8D\n");
    dir.Write("Runinfo.ini", "[language]\nactive=_ja\n");

    IPluginContainer* container = CContainerFactory::CreatePluginContainer(list.c_str());
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(ProgramDirectory(), dir.path());
    ASSERT_NE(container->GetMainFrameId(), nullptr);
    EXPECT_STREQ(container->GetMainFrameId(), kMainFramePluginId);

    // The container's own services, each only with its flag.
    auto* trace = Lookup<ITraceService>(container, kTraceServiceId, kTraceServiceFlag);
    ASSERT_NE(trace, nullptr);
    trace->Trace(kTraceWarning, "Orbitpane", "orbitpaneimpl.cpp", 12, "from a plug-in");
    IBaseInterface* untouched = trace;
    EXPECT_FALSE(container->QueryService(kTraceServiceId, 2, &untouched));
    EXPECT_EQ(untouched, trace);
    EXPECT_FALSE(container->QueryService(nullptr, 1, &untouched));
    EXPECT_FALSE(container->QueryService(kTraceServiceId, 1, nullptr));

    auto* locale = Lookup<ILocaleMgrService>(container, kLocaleServiceId, kLocaleServiceFlag);
    ASSERT_NE(locale, nullptr);
    const wchar_t* text = locale->LoadString("IDS_MAINFRM_REINITIALIZE", "XFramePlugin", nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::wstring(text), L"\u518D");
    locale->Release();

    auto* config = Lookup<IConfigService>(container, kConfigPluginId, kConfigServiceFlag);
    ASSERT_NE(config, nullptr);
    EXPECT_TRUE(config->WriteValue(L"xframemodule", L"nosplashscreen", L"1", 1));
    config->Release();

    // The plug-in list as written, walked from before the first entry.
    auto* walker = Lookup<IQueryPluginConfigProperty>(container, kPluginConfigPropertyId,
                                                      kPluginConfigPropertyFlag);
    ASSERT_NE(walker, nullptr);
    EXPECT_EQ(walker->GetId(), nullptr);
    for (const Entry& entry : entries) {
        ASSERT_TRUE(walker->MoveNext());
        EXPECT_EQ(walker->GetId(), entry.id);
        EXPECT_EQ(walker->GetUrl(), entry.url);
    }
    EXPECT_FALSE(walker->MoveNext());
    EXPECT_EQ(walker->GetUrl(), nullptr);
    walker->Release();

    // Plug-ins, asked with the caller's flag.
    auto* manager = Lookup<IDeviceMgr>(container, kDeviceMgrId, kDeviceMgrFlag);
    auto* multi = Lookup<IMultiDeviceMgr>(container, kDeviceMgrId, kMultiDeviceMgrFlag);
    auto* control =
        Lookup<scripted::IScriptedDevice>(container, kDeviceMgrId, scripted::kControlInterface);
    ASSERT_TRUE(manager && multi && control);
    EXPECT_NE(manager->GetCurrentDevice(), nullptr);
    manager->Release();
    multi->Release();
    EXPECT_EQ(control->GetCounters().interfacesReleased, 2);
    control->Release();
    auto* ui = Lookup<IUIPlugin>(container, test_plugins::kUiPluginId, kUiPluginInterface);
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(ui->GetState(), 0);
    EXPECT_NE(Lookup<IDeviceMgrUI>(container, test_plugins::kUiPluginId, kDeviceMgrUiFlag),
              nullptr);
    EXPECT_FALSE(container->QueryService(kDeviceMgrUiId, kDeviceMgrUiFlag, &untouched));
    EXPECT_FALSE(container->QueryService(test_plugins::kUiPluginId, 0x5002, &untouched));

    // Two runs of the main frame: it reaches the UI plug-in and the configuration through the
    // container, and its result codes come back.
    EXPECT_EQ(container->RunMainFrame(kMainFramePluginId), kMainFrameReinitialize);
    test_plugins::MainFrameRun run;
    lastRun(&run);
    EXPECT_EQ(run.uiModalResult, test_plugins::kUiModalResult);
    EXPECT_STREQ(run.noSplashScreen, "1");
    EXPECT_EQ(container->RunMainFrame(kMainFramePluginId), 0);
    lastRun(&run);
    EXPECT_EQ(run.runs, 2);
    EXPECT_EQ(container->RunMainFrame(kDeviceMgrId), -1);  // no UI interface
    EXPECT_EQ(container->RunMainFrame("unknown"), -1);
    EXPECT_EQ(container->RunMainFrame(nullptr), -1);

    container->Release();  // changes nothing: the factory ends the container
    CContainerFactory::DestroyPluginContainer(container);
    EXPECT_FALSE(IsLoaded(LibraryPath(test_plugins::kScriptedDeviceMgr)));
    EXPECT_FALSE(IsLoaded(LibraryPath(test_plugins::kUiPlugin)));
    EXPECT_FALSE(IsLoaded(CONFIG_PLUGIN_PATH));
    EXPECT_TRUE(IsLoaded(LibraryPath(test_plugins::kMainFrame)));  // still held by the test

    std::string log = ReadLog(dir);
    EXPECT_NE(log.find("[warning] [Orbitpane] orbitpaneimpl.cpp:12 from a plug-in"),
              std::string::npos);
    EXPECT_NE(log.find("[Container]"), std::string::npos);
}

TEST_F(ContainerTest, BrokenLibrariesAreLeftOutAndTheRestLoads) {
    std::vector<Entry> entries = {
        {"A-MISSING", dir / "no_such_plugin.so"},
        {"B-NOEXPORT", LibraryPath(test_plugins::kNoCreatePlugin)},
        {"C-NULL", LibraryPath(test_plugins::kNullPlugin)},
        {"D-THROWS", LibraryPath(test_plugins::kThrowingPlugin)},
        {"E-NOURL", ""},
        {test_plugins::kUiPluginId, LibraryPath(test_plugins::kUiPlugin)},
        {test_plugins::kUiPluginId, LibraryPath(test_plugins::kMainFrame)},
        {"F-NOTELF", dir.Write("notelf.so", "text")},
    };
    std::string list = dir.Write("plugins.xml", PluginsXml("", entries));
    IPluginContainer* container = CContainerFactory::CreatePluginContainer(list.c_str());
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container->GetMainFrameId(), nullptr);
    IBaseInterface* object = nullptr;
    for (const char* id :
         {"A-MISSING", "B-NOEXPORT", "C-NULL", "D-THROWS", "E-NOURL", "F-NOTELF"}) {
        EXPECT_FALSE(container->QueryService(id, kUiPluginInterface, &object)) << id;
    }
    auto* ui = Lookup<IBasePlugin>(container, test_plugins::kUiPluginId, kUiPluginInterface);
    ASSERT_NE(ui, nullptr);
    EXPECT_STREQ(ui->GetName(), "TestUiPlugin");  // the first of the two entries
    std::vector<PluginStatus> statuses = dynamic_cast<PluginContainer*>(container)->Plugins();
    ASSERT_EQ(statuses.size(), entries.size());
    EXPECT_EQ(statuses[5].state, PluginState::Initialised);
    EXPECT_EQ(statuses[6].state, PluginState::Read);
    EXPECT_EQ(statuses[6].error, PluginError::ListedTwice);
    CContainerFactory::DestroyPluginContainer(container);
    for (const char* name :
         {test_plugins::kNoCreatePlugin, test_plugins::kNullPlugin, test_plugins::kThrowingPlugin,
          test_plugins::kUiPlugin, test_plugins::kMainFrame}) {
        EXPECT_FALSE(IsLoaded(LibraryPath(name))) << name;
    }

    std::string log = ReadLog(dir);
    for (const char* reason :
         {"A-MISSING (", "cannot load", "no CreatePlugin export",
          "CreatePlugin returned no plug-in", "CreatePlugin threw: plug-in construction failed",
          "lacks its clsid or url", "listed twice", "F-NOTELF"}) {
        EXPECT_NE(log.find(reason), std::string::npos) << reason << "\n" << log;
    }
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The lifecycle plug-in's builds, held by the test so that their counts outlive the container.
class LifecycleLibraries {
  public:
    LifecycleLibraries() {
        for (const char* name :
             {test_plugins::kLifecyclePlugin, test_plugins::kInitFalsePlugin,
              test_plugins::kInitThrowsPlugin, test_plugins::kInitThrowsOtherPlugin,
              test_plugins::kSetContainerThrowsPlugin}) {
            std::string error;
            libraries_[name] = platform::SharedLibrary::Load(LibraryPath(name), error);
            EXPECT_NE(libraries_[name], nullptr) << error;
        }
    }
    test_plugins::LifecycleCalls Calls(const char* name) {
        test_plugins::LifecycleCalls calls;
        std::string error;
        auto copy = libraries_.at(name)->Function<test_plugins::LifecycleCallsFn>(
            test_plugins::kLifecycleCalls, error);
        if (copy) copy(&calls);
        return calls;
    }
    void DuringModal(const char* name, void (*hook)(void*), void* context) {
        std::string error;
        auto set = libraries_.at(name)->Function<test_plugins::LifecycleDuringModalFn>(
            test_plugins::kLifecycleDuringModal, error);
        ASSERT_NE(set, nullptr) << error;
        set(hook, context);
    }

  private:
    std::map<std::string, std::unique_ptr<platform::SharedLibrary>> libraries_;
};

// Each step at which a plug-in can fail, in one list with a working plug-in last: what the
// plug-in does gives its state and error, whether lookups find it and RunMainFrame runs it, the
// container's calls into it, and the one trace line that says why.
TEST_F(ContainerTest, EachFailingStepGivesItsStateErrorAndTrace) {
    using test_plugins::LifecycleCalls;
    LifecycleLibraries libraries;
    struct Row {
        const char* does;
        std::string id;
        std::string url;
        PluginState state;
        PluginError error;
        std::string reason;    // how the traced reason begins
        const char* counted;   // the lifecycle build whose calls are counted, or null
        LifecycleCalls calls;  // the container's calls into it once started
    };
    const Row rows[] = {
        {"has no url",
         "A-NOURL",
         "",
         PluginState::Read,
         PluginError::IncompleteEntry,
         "the entry lacks its clsid or url",
         nullptr,
         {}},
        {"is missing",
         "B-MISSING",
         dir / "missing.so",
         PluginState::Read,
         PluginError::LibraryNotLoaded,
         "cannot load: ",
         nullptr,
         {}},
        {"is no library",
         "C-NOTELF",
         dir.Write("notelf.so", "text"),
         PluginState::Read,
         PluginError::LibraryNotLoaded,
         "cannot load: ",
         nullptr,
         {}},
        {"exports no CreatePlugin",
         "D-NOEXPORT",
         LibraryPath(test_plugins::kNoCreatePlugin),
         PluginState::Read,
         PluginError::NoCreatePlugin,
         "no CreatePlugin export: ",
         nullptr,
         {}},
        {"throws in CreatePlugin",
         "E-CREATETHROWS",
         LibraryPath(test_plugins::kThrowingPlugin),
         PluginState::Read,
         PluginError::CreatePluginThrew,
         "CreatePlugin threw: plug-in construction failed",
         nullptr,
         {}},
        {"creates no object",
         "F-NULL",
         LibraryPath(test_plugins::kNullPlugin),
         PluginState::Read,
         PluginError::CreatePluginNull,
         "CreatePlugin returned no plug-in",
         nullptr,
         {}},
        {"throws in SetContainer",
         "G-SETTHROWS",
         LibraryPath(test_plugins::kSetContainerThrowsPlugin),
         PluginState::Stopped,
         PluginError::SetContainerThrew,
         "SetContainer threw: no container wanted",
         test_plugins::kSetContainerThrowsPlugin,
         {1, 0, 0, 1, 0}},
        {"answers false to Initialize",
         "H-INITFALSE",
         LibraryPath(test_plugins::kInitFalsePlugin),
         PluginState::Stopped,
         PluginError::InitializeFalse,
         "Initialize returned false",
         test_plugins::kInitFalsePlugin,
         {1, 1, 1, 1, 0}},
        {"throws a std::exception in Initialize",
         "I-INITTHROWS",
         LibraryPath(test_plugins::kInitThrowsPlugin),
         PluginState::Stopped,
         PluginError::InitializeThrew,
         "Initialize threw: receiver settings unreadable",
         test_plugins::kInitThrowsPlugin,
         {1, 1, 1, 1, 0}},
        {"throws something else in Initialize",
         "J-INITOTHER",
         LibraryPath(test_plugins::kInitThrowsOtherPlugin),
         PluginState::Stopped,
         PluginError::InitializeThrew,
         "Initialize threw: unknown exception",
         test_plugins::kInitThrowsOtherPlugin,
         {1, 1, 1, 1, 0}},
        {"works",
         "K-WORKS",
         LibraryPath(test_plugins::kLifecyclePlugin),
         PluginState::Initialised,
         PluginError::None,
         "",
         test_plugins::kLifecyclePlugin,
         {1, 1, 0, 0, 0}},
    };
    std::vector<Entry> entries;
    for (const Row& row : rows) entries.push_back({row.id, row.url});
    std::string list = dir.Write("plugins.xml", PluginsXml("", entries));
    std::unique_ptr<PluginContainer> container = PluginContainer::Create(list);
    ASSERT_NE(container, nullptr);

    // The working plug-in sees itself running while it runs.
    struct Seen {
        PluginContainer* container;
        PluginState state = PluginState::Read;
    } seen{container.get()};
    libraries.DuringModal(
        test_plugins::kLifecyclePlugin,
        [](void* context) {
            auto* seen = static_cast<Seen*>(context);
            seen->state = seen->container->Plugins().back().state;
        },
        &seen);

    std::vector<PluginStatus> statuses = container->Plugins();
    ASSERT_EQ(statuses.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        const PluginStatus& status = statuses[i];
        SCOPED_TRACE(std::string("a plug-in that ") + row.does);
        bool works = row.error == PluginError::None;
        EXPECT_EQ(status.id, row.id);
        EXPECT_EQ(status.name, "n");
        EXPECT_EQ(status.state, row.state) << NameOf(status.state);
        EXPECT_EQ(status.error, row.error) << NameOf(status.error);
        EXPECT_EQ(status.reason.substr(0, row.reason.size()), row.reason) << status.reason;
        if (row.counted) {
            EXPECT_EQ(libraries.Calls(row.counted), row.calls);
        }

        IBaseInterface* object = nullptr;
        EXPECT_EQ(container->QueryService(row.id.c_str(), kUiPluginInterface, &object), works);
        EXPECT_EQ(container->RunMainFrame(row.id.c_str()),
                  works ? test_plugins::kLifecycleModalResult : -1);
        std::string log = ReadLog(dir);
        if (works) continue;
        EXPECT_EQ(Occurrences(log, "plug-in " + row.id + " (" + row.url + "): " + row.reason), 1u)
            << log;
        EXPECT_EQ(Occurrences(log, "main frame " + row.id + " is not loaded"), 1u);
    }
    EXPECT_EQ(seen.state, PluginState::Running);
    EXPECT_EQ(container->Plugins().back().state, PluginState::Initialised);
    EXPECT_EQ(container->LoadedPluginIds(), std::vector<std::string>{"K-WORKS"});
    EXPECT_NE(ReadLog(dir).find("H-INITFALSE (n) stopped (left out), I-INITTHROWS"),
              std::string::npos);

    // Only the working plug-in is left to stop: the others were released once, at the start.
    container.reset();
    for (const Row& row : rows) {
        if (!row.counted) continue;
        LifecycleCalls calls = row.calls;
        if (row.error == PluginError::None) calls = {1, 1, 1, 1, 1};
        EXPECT_EQ(libraries.Calls(row.counted), calls) << row.id;
    }
}

TEST_F(ContainerTest, UnusableListsGiveNoContainer) {
    EXPECT_EQ(CContainerFactory::CreatePluginContainer(nullptr), nullptr);
    EXPECT_EQ(CContainerFactory::CreatePluginContainer(""), nullptr);
    EXPECT_EQ(CContainerFactory::CreatePluginContainer((dir / "plugins.xml").c_str()), nullptr);
    std::string malformed = dir.Write("plugins.xml", "<main><mainplugin>x</main>");
    EXPECT_EQ(CContainerFactory::CreatePluginContainer(malformed.c_str()), nullptr);
    std::string wrongRoot = dir.Write("other.xml", "<plugins><plugin/></plugins>");
    EXPECT_EQ(CContainerFactory::CreatePluginContainer(wrongRoot.c_str()), nullptr);
    CContainerFactory::DestroyPluginContainer(nullptr);

    std::string log = ReadLog(dir);
    EXPECT_NE(log.find("cannot read " + dir / "plugins.xml"), std::string::npos) << log;
    EXPECT_NE(log.find("cannot parse " + dir / "plugins.xml"), std::string::npos) << log;
    EXPECT_NE(log.find("has no <main> root"), std::string::npos) << log;

    // An empty list is a container with nothing in it.
    std::string empty = dir.Write("empty.xml", "<main/>");
    IPluginContainer* container = CContainerFactory::CreatePluginContainer(empty.c_str());
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container->GetMainFrameId(), nullptr);
    EXPECT_EQ(container->RunMainFrame(kMainFramePluginId), -1);
    CContainerFactory::DestroyPluginContainer(container);
}

// A sink that traces through the container from the device manager's thread, as Orbitpane's
// sinks do, while the test thread makes lookups of its own.
class TracingSink final : public IDeviceMgrEvent {
  public:
    explicit TracingSink(IPluginContainer* container) : container_(container) {}
    bool OnDeviceEvent(uint32_t event, void*) override {
        auto* trace = Lookup<ITraceService>(container_, kTraceServiceId, kTraceServiceFlag);
        if (!trace) return false;
        trace->Trace(kTraceInfo, "CGPSUIDlg", "gpsuidlg.cpp", static_cast<int>(event), "event");
        return true;
    }

  private:
    IPluginContainer* container_;
};

TEST_F(ContainerTest, LookupsFromTheDeviceManagersThread) {
    std::string list =
        dir.Write("plugins.xml",
                  PluginsXml("", {{kDeviceMgrId, LibraryPath(test_plugins::kScriptedDeviceMgr)}}));
    IPluginContainer* container = CContainerFactory::CreatePluginContainer(list.c_str());
    ASSERT_NE(container, nullptr);
    auto* manager = Lookup<IDeviceMgr>(container, kDeviceMgrId, kDeviceMgrFlag);
    auto* control =
        Lookup<scripted::IScriptedDevice>(container, kDeviceMgrId, scripted::kControlInterface);
    ASSERT_TRUE(manager && control);
    TracingSink sink(container);
    ASSERT_TRUE(manager->AddEventSink(&sink));
    for (int i = 0; i < 50; ++i) control->RaiseBareEvent(kEventCardReady);
    for (int i = 0; i < 50; ++i) {
        auto* walker = Lookup<IQueryPluginConfigProperty>(container, kPluginConfigPropertyId,
                                                          kPluginConfigPropertyFlag);
        ASSERT_NE(walker, nullptr);
        walker->Release();
        auto* trace = Lookup<ITraceService>(container, kTraceServiceId, kTraceServiceFlag);
        trace->Trace(kTraceInfo, "Startup", "startup.cpp", i, "main");
    }
    ASSERT_TRUE(control->WaitIdle(5000));
    EXPECT_EQ(control->DeviceEventResults(), std::vector<bool>(50, true));
    manager->RemoveEventSink(&sink);
    manager->Release();
    control->Release();
    CContainerFactory::DestroyPluginContainer(container);
}

// Relative library paths start at the list's folder, found without regard to letter case.
TEST_F(ContainerTest, RelativeUrlsResolveBelowTheProgramDirectory) {
    std::filesystem::create_directories(dir / "Plugins");
    std::filesystem::copy_file(LibraryPath(test_plugins::kUiPlugin), dir / "Plugins/ui.so");
    std::string list =
        dir.Write("plugins.xml", PluginsXml("", {{test_plugins::kUiPluginId, "plugins/UI.so"}}));
    IPluginContainer* container = CContainerFactory::CreatePluginContainer(list.c_str());
    ASSERT_NE(container, nullptr);
    EXPECT_NE(Lookup<IUIPlugin>(container, test_plugins::kUiPluginId, kUiPluginInterface), nullptr);
    CContainerFactory::DestroyPluginContainer(container);
}

}  // namespace
