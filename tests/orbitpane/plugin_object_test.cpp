#include <gtest/gtest.h>

#include "fake_container.h"
#include "fake_dialog.h"
#include "framework/contracts/ids.h"
#include "orbitpane/win32/gps_dialog_instance.h"
#include "orbitpane/win32/orbitpaneimpl.h"

using namespace orbitpane_test;

namespace {

class PluginObject : public ::testing::Test {
  protected:
    void SetUp() override {
        plugin = orbitpane::CreatePluginWith(DialogSeams(makeDialog));
        ASSERT_NE(plugin, nullptr);
        plugin->SetContainer(&container);
    }
    void TearDown() override {
        if (OrbitpaneSingleton()) OrbitpaneSingleton()->Release();
    }
    void UseDialog(bool hasWindow, bool throwing = false) {
        makeDialog = [this, hasWindow, throwing](orbitpane::PluginContext&) {
            return std::make_unique<FakeDialog>(log, hasWindow, throwing);
        };
    }
    std::vector<std::string> Traces() {
        std::vector<std::string> out;
        for (const auto& line : container.trace.Lines()) {
            EXPECT_EQ(line.level, framework::kTraceWarning);
            EXPECT_EQ(line.module, "Orbitpane");
            out.push_back(line.message);
        }
        return out;
    }

    DialogMaker makeDialog;
    FakeContainer container;
    DialogLog log;
    COrbitpaneImpl* plugin = nullptr;
};

}  // namespace

TEST_F(PluginObject, CreatePluginIsASingletonThatIsNeverHandedOutAfterRelease) {
    EXPECT_EQ(CreatePlugin(), plugin);
    EXPECT_EQ(OrbitpaneSingleton(), plugin);
    plugin->Release();
    EXPECT_EQ(OrbitpaneSingleton(), nullptr);
    framework::IBasePlugin* fresh = CreatePlugin();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->GetLastErrorCode(), 0);
    EXPECT_EQ(CreatePlugin(), fresh);
}

TEST_F(PluginObject, IdentityAnswersAndResetsTheLastError) {
    EXPECT_STREQ(plugin->GetName(), "Orbitpane");
    EXPECT_STREQ(plugin->GetPluginId(), "935CFC65-83F1-4c89-8BDA-656DA0ABED75");
    EXPECT_EQ(plugin->GetVersion(), 257);
    EXPECT_EQ(plugin->GetState(), 0);
    EXPECT_TRUE(plugin->Initialize());
    EXPECT_TRUE(plugin->Uninitialize());
    EXPECT_FALSE(plugin->GetStateFlag());
}

TEST_F(PluginObject, QueryInterfaceKnowsOnlyTheUiPluginNumber) {
    framework::IBaseInterface* sentinel = reinterpret_cast<framework::IBaseInterface*>(0x1);
    framework::IBaseInterface* object = sentinel;
    EXPECT_FALSE(plugin->QueryInterface(0x5002, &object));
    EXPECT_EQ(object, sentinel) << "the out value is left as it was";
    EXPECT_EQ(Traces(), std::vector<std::string>{"Query Interface Error!"});

    // A failing guard sets the last error; the next good query resets it.
    container.throwOnLookup = true;
    UseDialog(true, true);
    EXPECT_FALSE(plugin->ShowWindow(nullptr, 0, 0, 1, 1));
    EXPECT_EQ(plugin->GetLastErrorCode(), -1);
    EXPECT_TRUE(plugin->QueryInterface(0x5001, &object));
    EXPECT_EQ(object, static_cast<framework::IBaseInterface*>(plugin));
    EXPECT_EQ(plugin->GetLastErrorCode(), 0);
}

TEST_F(PluginObject, WindowOperationsDoNothingWithoutADialog) {
    plugin->HideWindow();
    plugin->FitSize(1, 2, 3, 4);
    plugin->OnDestroyEvent();
    EXPECT_TRUE(plugin->ShowWindow(nullptr, 0, 0, 10, 10)) << "no window still answers true";
    EXPECT_EQ(plugin->DoModal(), 0);
    framework::GpsDataRecord record{};
    EXPECT_TRUE(plugin->OnDeviceEvent(framework::kEventGpsData, &record));
    EXPECT_TRUE(Traces().empty());
}

TEST_F(PluginObject, HideAndFitBeforeShowCreateNoDialog) {
    UseDialog(true);
    plugin->HideWindow();
    plugin->FitSize(1, 2, 3, 4);
    EXPECT_TRUE(log.calls.empty());
    EXPECT_EQ(log.destroyed, 0);
}

TEST_F(PluginObject, ShowWindowReparentsMovesAndShowsAnExistingWindow) {
    UseDialog(true);
    EXPECT_TRUE(plugin->ShowWindow(nullptr, 5, 6, 70, 80));
    plugin->FitSize(1, 2, 3, 4);
    plugin->HideWindow();
    EXPECT_EQ(log.calls, (std::vector<std::string>{"reparent", "move 5,6,70,80", "show",
                                                   "move 1,2,3,4", "hide"}));
    EXPECT_EQ(plugin->GetLastErrorCode(), 0);
}

TEST_F(PluginObject, ShowWindowWithoutAWindowTouchesNothing) {
    UseDialog(false);
    EXPECT_TRUE(plugin->ShowWindow(nullptr, 5, 6, 70, 80));
    EXPECT_TRUE(log.calls.empty());
}

TEST_F(PluginObject, DoModalDestroysALeftoverWindowAndGivesTheBackPointerFirst) {
    UseDialog(true);
    EXPECT_EQ(plugin->DoModal(), 0) << "the dialog's own result is not passed on";
    EXPECT_EQ(log.calls, (std::vector<std::string>{"destroy-window", "set-plugin", "modal"}));
    EXPECT_EQ(log.plugin, plugin);
    plugin->OnDestroyEvent();
    EXPECT_EQ(log.calls.back(), "destroy-window");
}

TEST_F(PluginObject, GpsDataIsSentToTheWindowAndOtherEventsAreAccepted) {
    UseDialog(true);
    plugin->DoModal();
    log.calls.clear();
    framework::GpsDataRecord record{};
    uint32_t sim = 1;
    EXPECT_FALSE(plugin->OnDeviceEvent(framework::kEventGpsData, nullptr));
    EXPECT_TRUE(plugin->OnDeviceEvent(framework::kEventSimStatus, &sim));
    EXPECT_TRUE(log.calls.empty());
    EXPECT_TRUE(plugin->OnDeviceEvent(framework::kEventGpsData, &record));
    EXPECT_EQ(log.calls, std::vector<std::string>{"gps-data"});
    EXPECT_EQ(log.lastRecord, &record);
}

TEST_F(PluginObject, ExceptionsAreTracedWithTheirFailureValues) {
    UseDialog(true, true);
    EXPECT_FALSE(plugin->ShowWindow(nullptr, 0, 0, 1, 1));
    EXPECT_EQ(plugin->GetLastErrorCode(), -1);
    plugin->QueryInterface(0x5001, nullptr);  // reset the error

    EXPECT_EQ(plugin->DoModal(), -1);
    EXPECT_EQ(plugin->GetLastErrorCode(), 0) << "DoModal leaves the last error alone";
    plugin->HideWindow();
    EXPECT_EQ(plugin->GetLastErrorCode(), 0);
    plugin->FitSize(0, 0, 1, 1);
    EXPECT_EQ(plugin->GetLastErrorCode(), -1);

    EXPECT_EQ(Traces(), (std::vector<std::string>{"Show Window Error!", "Do Modal Error!",
                                                  "Hide Window Error!", "Fit Size Error!"}));
}

TEST_F(PluginObject, ReleaseDestroysTheDialogAndLateAnswersReachNothing) {
    UseDialog(true);
    plugin->DoModal();
    plugin->Release();
    EXPECT_EQ(log.destroyed, 1);
    EXPECT_EQ(OrbitpaneSingleton(), nullptr);
    orbitpane::OkAnswerHandler("OK");  // a late answer reaches nothing
}

TEST_F(PluginObject, TheDialogIsMadeOnceAndAgainOnlyAfterItsDestruction) {
    int made = 0;
    makeDialog = [this, &made](orbitpane::PluginContext&) {
        ++made;
        return std::make_unique<FakeDialog>(log, false, false);
    };
    orbitpane::PluginContext& context = plugin->Context();
    orbitpane::IGpsDialog* first = context.Dialog();
    EXPECT_EQ(context.Dialog(), first);
    EXPECT_EQ(made, 1);
    context.DestroyDialog();
    EXPECT_EQ(log.destroyed, 1);
    EXPECT_NE(context.Dialog(), nullptr);
    EXPECT_EQ(made, 2);
}

TEST_F(PluginObject, DoModalWithoutADialogAnswersTheFailureValue) {
    makeDialog = [](orbitpane::PluginContext&) -> std::unique_ptr<orbitpane::IGpsDialog> {
        throw std::runtime_error("no dialog");
    };
    EXPECT_EQ(plugin->DoModal(), -1);
    EXPECT_EQ(Traces(),
              (std::vector<std::string>{"Get CGPSUIDlg Instance Error!", "Do Modal Error!"}));
}
