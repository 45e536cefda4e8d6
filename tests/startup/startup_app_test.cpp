// The launcher's start-up: the single instance, the container loop with the test main frame
// and the scripted device manager, and every failure exit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "Startup/Win32/startupapp.h"
#include "framework/config/setting_store.h"
#include "headless_ui.h"
#include "platform/library.h"
#include "platform/ui/headless/driver.h"
#include "platform/ui/templates/launcher.h"
#include "program_dir.h"
#include "scripted_device_access.h"

namespace {

using namespace startup_test;
namespace fs = std::filesystem;

class Launcher : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::headless::ClearRecords();
        std::string error;
        frameLibrary = platform::SharedLibrary::Load(
            test_plugins::LibraryPath(test_plugins::kMainFrame), error);
        ASSERT_TRUE(frameLibrary) << error;
        setResults = frameLibrary->Function<test_plugins::MainFrameSetResultsFn>(
            test_plugins::kMainFrameSetResults, error);
        lastRun = frameLibrary->Function<test_plugins::MainFrameLastRunFn>(
            test_plugins::kMainFrameLastRun, error);
        setResults(nullptr, 0);
        app.SetModulePath(dir / "Startup");
        app.SetWaits(2000, 1);
    }
    test_plugins::MainFrameRun LastRun() {
        test_plugins::MainFrameRun run;
        lastRun(&run);
        return run;
    }
    std::string NoSplash() {
        return framework::SettingStore(dir.path())
            .Read("xframemodule", "nosplashscreen", true)
            .value_or("?");
    }
    // The library with the main frame's entry at `url`.
    void InstallMainFrameAt(const std::string& url) {
        dir.Install();
        auto entries = RunnableLibrary();
        entries[0].url = url;
        dir.Write("config/pluginslib.xml", Library(entries));
    }

    ProgramDir dir;
    scripted::ScriptedDeviceLibrary device;
    std::unique_ptr<platform::SharedLibrary> frameLibrary;
    test_plugins::MainFrameSetResultsFn setResults = nullptr;
    test_plugins::MainFrameLastRunFn lastRun = nullptr;
    CStartupApp app;
};

TEST_F(Launcher, ASecondInstanceAsksTheFirstToRaiseItsWindowAndEnds) {
    platform::InstanceLock::Outcome outcome;
    auto first = platform::InstanceLock::Acquire(launcher::kInstanceName, outcome);
    ASSERT_EQ(outcome, platform::InstanceLock::Outcome::Acquired);
    std::atomic<int> raised{0};
    auto listener = platform::RaiseListener::Start(launcher::kRaiseWindowName, [&] { ++raised; });
    ASSERT_TRUE(listener);

    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(raised, 1);
    EXPECT_NE(app.ExitNote().find("its window was brought forward"), std::string::npos);
    listener.reset();  // nothing left to raise: the second instance ends saying so
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(raised, 1);
    EXPECT_NE(app.ExitNote().find("nothing was brought forward"), std::string::npos);
    EXPECT_TRUE(app.RunResults().empty());
    EXPECT_TRUE(ui::headless::MessageBoxes().empty());
    EXPECT_FALSE(platform::FileExists(dir.ListPath()));

    first.reset();  // the first instance ended: the next one runs
    dir.Install();
    device->AnnounceDevicesOnRegister({{"wendrix 3g", 1}}, 0);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.RunResults(), std::vector<int>{0});
    EXPECT_EQ(app.ExitNote(), "");
}

TEST_F(Launcher, RunsALibraryMainFrameWhateverTheCaseOfItsSuffix) {
    std::string script = dir.Write("frame.sh", "#!/bin/sh\ntouch \"$0.started\"\n");
    fs::permissions(script, fs::perms::owner_all);
    fs::create_symlink(test_plugins::LibraryPath(test_plugins::kMainFrame), dir / "MainFrame.SO");
    fs::create_symlink(test_plugins::LibraryPath(test_plugins::kMainFrame), dir / "MainFrame.DLL");
    device->AnnounceDevicesOnRegister({{"wendrix 3g", 1}}, 0);
    struct Case {
        std::string url;
        int result;
        int runs;  // main frame runs in the container
    } cases[] = {{dir / "MainFrame.SO", 0, 1}, {dir / "MainFrame.DLL", 0, 1}, {script, 3, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        InstallMainFrameAt(c.url);
        fs::remove(dir.ListPath());  // a new URL alone is no reason to rewrite the list
        int before = LastRun().runs;
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.RunResults(), std::vector<int>{c.result});
        EXPECT_EQ(LastRun().runs - before, c.runs);
        EXPECT_EQ(NoSplash(), "0");
    }
    for (int i = 0; i < 200 && !platform::FileExists(script + ".started"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(platform::FileExists(script + ".started"));
}

TEST_F(Launcher, SettingsItCannotSaveAreTracedAndTheRunGoesOn) {
    dir.Install();
    ::chmod((dir / "SysSetting.xml").c_str(), 0444);  // the writer refuses it, even for root
    device->AnnounceDevicesOnRegister({{"wendrix 3g", 1}}, 0);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.RunResults(), std::vector<int>{0});
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_TRUE(dir.Traced("warning",
                           "could not save the device name \"wendrix 3g\" in the settings file"));
    EXPECT_TRUE(
        dir.Traced("warning", "could not save xframemodule/nosplashscreen in the settings file"));
}

TEST_F(Launcher, ResultFourRunsAgainBehindTheInitializingWindow) {
    dir.Install();
    dir.Write("Runinfo.ini", "[version]\nversion=9.8.7\n[language]\nactive=_en-us\n");
    fs::create_directories(dir / "Plugins/XFramePlugin");
    fs::copy_file(std::string(SATVIEW_DATA_DIR) + "/Plugins/XFramePlugin/XFramePlugin_en-us.lang",
                  dir / "Plugins/XFramePlugin/XFramePlugin_en-us.lang");
    // The second preparation waits a little for the device list: long enough to look.
    device->AnnounceDevicesOnRegister({{"wendrix 3g", 1}}, 300);
    const int codes[] = {4};
    setResults(codes, 1);

    std::atomic<bool> done{false};
    std::wstring shown;
    std::vector<ui::SystemMenuItem> menu;
    std::thread watcher([&] {
        while (!done && shown.empty()) {
            ui::WindowHandle window = ui::headless::FindWindow(ui::templates::kStartupDialogId);
            if (window) {
                ui::headless::Driver user(window);
                shown = user.Text(ui::templates::startup::kMessage);
                menu = user.SystemMenu();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    EXPECT_FALSE(app.InitInstance());
    done = true;
    watcher.join();

    EXPECT_EQ(app.RunResults(), (std::vector<int>{4, 0}));
    EXPECT_STREQ(LastRun().noSplashScreen, "1");  // what the second run read
    EXPECT_EQ(NoSplash(), "0");                   // written after the last run
    EXPECT_EQ(shown, L"Starting again for the new card...");
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_EQ(menu[1].command, ui::templates::startup::kAboutCommand);
    EXPECT_FALSE(ui::headless::FindWindow(ui::templates::kStartupDialogId));
    EXPECT_TRUE(dir.Traced("info", "9.8.7"));
    EXPECT_EQ(device->MultiSinkCount(), 0);
}

TEST_F(Launcher, EveryFailureExitIsTracedAndTheLoopOnesAreShown) {
    struct Case {
        const char* list;  // plugins.xml, null: none
        const char* trace;
    } cases[] = {
        {nullptr, "Create plugin container fail !"},
        {"<main><plugin><clsid>X</clsid><url>x.so</url></plugin></main>",
         "Main frame plugin do not exist !"},
        {"<main><mainplugin>M</mainplugin><plugin><clsid>X</clsid><url>x.so</url></plugin>"
         "</main>",
         "can not find main frame URL !"},
        {"<main><mainplugin>M</mainplugin><plugin><clsid>M</clsid><url>frame</url></plugin>"
         "</main>",
         "can not find \".\" in the main frame URL !"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.trace);
        ui::headless::ClearRecords();
        fs::remove(dir.ListPath());
        if (c.list) dir.Write("plugins.xml", c.list);
        EXPECT_FALSE(app.InitInstance());
        EXPECT_TRUE(dir.Traced("warning", c.trace));
        ASSERT_EQ(ui::headless::MessageBoxes().size(), 1u);
        EXPECT_EQ(ui::headless::MessageBoxes()[0].text, L"Init fail !");
        EXPECT_TRUE(app.RunResults().empty());
    }
    EXPECT_TRUE(dir.Traced("warning", "InitInstance exception!"));

    // Path failures come before any container and show nothing.
    ui::headless::ClearRecords();
    std::string deep = dir.path();
    while (deep.size() < 240) deep += "/" + std::string(40, 'd');
    deep = deep.substr(0, 250);
    fs::create_directories(deep);
    struct PathCase {
        std::optional<std::string> module;
        const char* trace;
    } paths[] = {
        {std::nullopt, "Get module path fail!"},
        {std::string("Startup"), "the \"\\\" can not find in the module path !"},
        {deep + "/Startup", "the configure path is to long, more than MAX_PATH !"},
    };
    for (const PathCase& p : paths) {
        SCOPED_TRACE(p.trace);
        app.SetModulePath(p.module);
        EXPECT_FALSE(app.InitInstance());
        std::string log =
            platform::ReadWholeFile((p.module && p.module->front() == '/' ? deep : dir.path()) +
                                    "/Log/dodevizi_trace_0.log")
                .value_or("");
        EXPECT_NE(log.find(p.trace), std::string::npos);
        framework::SetProgramDirectory(dir.path());
    }
    EXPECT_TRUE(ui::headless::MessageBoxes().empty());
}

}  // namespace

namespace {

TEST(InitializingWindow, OpensTheAboutBoxFromItsSystemMenu) {
    CStartupDlg dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.SetMessageText(L"");
    ui::headless::Driver user(dialog.Handle());
    EXPECT_TRUE(user.WindowVisible());
    EXPECT_EQ(user.Text(ui::templates::startup::kMessage), L"");
    EXPECT_EQ(user.BigIcon(), ui::Icon{ui::templates::kAppIcon});
    std::thread choose([&] { user.ChooseSystemMenu(ui::templates::startup::kAboutCommand); });
    ui::WindowHandle about = ui::headless::WaitForWindow(ui::templates::kAboutDialogId);
    ASSERT_TRUE(about);
    EXPECT_FALSE(user.WindowEnabled());  // modal over the initializing window
    EXPECT_TRUE(ui::headless::Driver(about).Click(ui::kIdOk));
    choose.join();
    EXPECT_FALSE(ui::headless::FindWindow(ui::templates::kAboutDialogId));
    EXPECT_TRUE(user.WindowEnabled());
}

}  // namespace
