// The main-frame plug-in in a container with the scripted device manager: the splash window,
// the frame shown when there is no user-interface plug-in, raising on a later instance's
// request, and the end of the run when the plug-in set must be rebuilt.
#include <gtest/gtest.h>

#include <future>

#include "framework/contracts/container.h"
#include "framework/mainframe/main_frame.h"
#include "headless_ui.h"
#include "platform/ui/headless/driver.h"
#include "program_dir.h"
#include "scripted_device_access.h"

namespace {

using namespace startup_test;

class AnswersRebuild final : public framework::IMultiDeviceMgrEvent {
  public:
    int OnDeviceChanged(void*, framework::IDeviceInfo*) override { return -2; }
};

class MainFrame : public ::testing::Test {
  protected:
    // `ui`: the library of the user-interface plug-in to list, null for none.
    void Start(const char* ui, const char* noSplash) {
        std::string list =
            std::string("<main><mainplugin>") + framework::kMainFramePluginId + "</mainplugin>" +
            LibraryPlugin({framework::kMainFramePluginId, MAIN_FRAME_PLUGIN_PATH, "XFramePlugin"}) +
            LibraryPlugin({framework::kDeviceMgrId,
                           test_plugins::LibraryPath(test_plugins::kScriptedDeviceMgr),
                           "DeviceMgr"});
        if (ui) list += LibraryPlugin({std::string("UI-") + ui, ui, "Ui"});
        dir.Write("plugins.xml", list + "</main>");
        dir.Write("SysSetting.xml", std::string("<plxadoc><xframemodule><nosplashscreen>") +
                                        noSplash + "</nosplashscreen></xframemodule></plxadoc>");
        container = framework::CContainerFactory::CreatePluginContainer(dir.ListPath().c_str());
        ASSERT_TRUE(container);
        run = std::async(std::launch::async,
                         [this] { return container->RunMainFrame(framework::kMainFramePluginId); });
    }
    void TearDown() override {
        if (container) framework::CContainerFactory::DestroyPluginContainer(container);
    }

    ProgramDir dir;
    scripted::ScriptedDeviceLibrary device;
    framework::IPluginContainer* container = nullptr;
    std::future<int> run;
};

TEST_F(MainFrame, RunsTheUiPluginsAndEndsWithZeroWhenTheUserClosesThem) {
    Start(MODAL_UI_PLUGIN_PATH, "1");
    ui::WindowHandle modal = ui::headless::WaitForWindow(7100);
    ASSERT_TRUE(modal);
    EXPECT_TRUE(ui::headless::Driver(modal).Close());  // the user closes the plug-in
    ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(run.get(), 0);
    EXPECT_FALSE(ui::headless::FindWindow(mainframe::kSplashDialogId));
}

TEST_F(MainFrame, WithoutUiPluginsShowsItsFrameAndRaisesItOnRequest) {
    Start(nullptr, "0");
    ui::WindowHandle frame = ui::headless::WaitForWindow(mainframe::kFrameDialogId);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(ui::headless::FindWindow(mainframe::kSplashDialogId));
    ui::headless::Driver user(frame);
    EXPECT_EQ(user.Text(mainframe::kFrameMessage),
              L"No user-interface plug-in is set up for this data card.");
    EXPECT_TRUE(platform::AskToRaise(mainframe::kRaiseWindowName));
    EXPECT_TRUE(user.WindowVisible());
    ASSERT_TRUE(user.Close());
    ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(run.get(), 0);
    EXPECT_FALSE(platform::AskToRaise(mainframe::kRaiseWindowName, 200));
}

TEST_F(MainFrame, EndsWithFourWhenThePluginSetMustBeRebuilt) {
    Start(nullptr, "1");
    ASSERT_TRUE(ui::headless::WaitForWindow(mainframe::kFrameDialogId));
    EXPECT_FALSE(ui::headless::FindWindow(mainframe::kSplashDialogId));

    AnswersRebuild sink;
    framework::IBaseInterface* object = nullptr;
    ASSERT_TRUE(
        container->QueryService(framework::kDeviceMgrId, framework::kMultiDeviceMgrFlag, &object));
    auto* manager = dynamic_cast<framework::IMultiDeviceMgr*>(object);
    ASSERT_TRUE(manager && manager->AddEventSink(&sink));
    device->RaiseDeviceChanged("wendrix 2g", "");
    ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(run.get(), framework::kMainFrameReinitialize);
    manager->RemoveEventSink(&sink);
    ASSERT_TRUE(device->WaitIdle(2000));
    object->Release();
}

// A plug-in running modally is raised on request, and its run is ended when the plug-in set
// must be rebuilt.
TEST_F(MainFrame, EndsTheModalRunOfAPluginForARebuild) {
    Start(MODAL_UI_PLUGIN_PATH, "1");
    ui::WindowHandle modal = ui::headless::WaitForWindow(7100);
    ASSERT_TRUE(modal);
    EXPECT_TRUE(platform::AskToRaise(mainframe::kRaiseWindowName));
    EXPECT_TRUE(ui::headless::Driver(modal).WindowVisible());
    EXPECT_EQ(run.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);

    AnswersRebuild sink;
    framework::IBaseInterface* object = nullptr;
    ASSERT_TRUE(
        container->QueryService(framework::kDeviceMgrId, framework::kMultiDeviceMgrFlag, &object));
    auto* manager = dynamic_cast<framework::IMultiDeviceMgr*>(object);
    ASSERT_TRUE(manager && manager->AddEventSink(&sink));
    device->RaiseDeviceChanged("wendrix 2g", "");
    ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(run.get(), framework::kMainFrameReinitialize);
    EXPECT_FALSE(ui::headless::FindWindow(7100));
    manager->RemoveEventSink(&sink);
    ASSERT_TRUE(device->WaitIdle(2000));
    object->Release();
}

// The launcher asks the main frame to end (on a signal): the running plug-in's window goes and
// the run ends with 0, as when the user closes it; the frame alone ends the same way.
TEST_F(MainFrame, EndsWithZeroWhenTheProgramIsToEnd) {
    for (const char* ui : {MODAL_UI_PLUGIN_PATH, static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(ui ? "a plug-in runs" : "the frame alone");
        Start(ui, "1");
        ASSERT_TRUE(ui::headless::WaitForWindow(ui ? 7100 : mainframe::kFrameDialogId));
        framework::IBaseInterface* object = nullptr;
        ASSERT_TRUE(container->QueryService(framework::kMainFramePluginId,
                                            framework::kUiPluginInterface, &object));
        auto* frame = dynamic_cast<framework::IUIPlugin*>(object);
        ASSERT_TRUE(frame);
        frame->OnDestroyEvent();
        ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_EQ(run.get(), 0);
        EXPECT_FALSE(ui::headless::FindWindow(7100));
        framework::CContainerFactory::DestroyPluginContainer(container);
        container = nullptr;
    }
}

}  // namespace
