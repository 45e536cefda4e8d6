// The GPS dialog on the headless window kit, in a program directory of its own laid out from
// the install tree, with the scripted device manager as the card behind a real container.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "framework/contracts/container.h"
#include "framework/contracts/ids.h"
#include "headless_ui.h"
#include "orbitpane/win32/gps_dialog_instance.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/localisation.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "platform/ini.h"
#include "platform/ui/headless/driver.h"
#include "platform/ui/templates/gps.h"
#include "scripted_device.h"
#include "temp_dir.h"
#include "test_plugins.h"

namespace orbitpane_test {

namespace gps = ui::templates::gps;

inline constexpr int kCardReady = 20509;
inline constexpr const char* kOk = "\r\nOK\r\n";

class DialogFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy(SATVIEW_DATA_DIR, dir.path(),
                              std::filesystem::copy_options::recursive);
        dir.Write("plugins.xml", "<main><mainplugin>none</mainplugin><plugin><clsid>" +
                                     std::string(framework::kDeviceMgrId) + "</clsid><url>" +
                                     test_plugins::LibraryPath(test_plugins::kScriptedDeviceMgr) +
                                     "</url><name>card</name></plugin></main>");
        orbitpane::SetAppDirectory(dir.path());
        container =
            framework::CContainerFactory::CreatePluginContainer((dir / "plugins.xml").c_str());
        ASSERT_NE(container, nullptr);
        framework::IBaseInterface* object = nullptr;
        ASSERT_TRUE(
            container->QueryService(framework::kDeviceMgrId, scripted::kControlInterface, &object));
        card = dynamic_cast<scripted::IScriptedDevice*>(object);
        ASSERT_NE(card, nullptr);
        card->Reset();
        card->SetFallbackAnswer(kOk);
        plugin = static_cast<COrbitpaneImpl*>(CreatePlugin());
        plugin->SetContainer(container);
        ui::headless::ClearRecords();
    }

    void TearDown() override {
        dialog.reset();
        if (card) card->WaitIdle(2000);
        if (OrbitpaneSingleton()) OrbitpaneSingleton()->Release();
        if (card) card->Release();
        if (container) framework::CContainerFactory::DestroyPluginContainer(container);
        orbitpane::SetGpsDialogFactory(nullptr);
    }

    // Chooses the language and the configuration, then opens the dialog.
    void Open(const std::string& active = "_en-us") {
        platform::IniWriteString(dir / "Runinfo.ini", "language", "active", active);
        dialog = std::make_unique<CGPSUIDlg>();
        dialog->SetPluginObject(plugin);
        ASSERT_TRUE(dialog->Create());
        dialog->ShowWindow(ui::ShowCommand::Normal);
        user = std::make_unique<ui::headless::Driver>(dialog->Handle());
        ASSERT_TRUE(ui::headless::WaitIdle());
    }

    void WriteConfig(const std::string& agps, const std::string& type,
                     const std::string& scenario) {
        dir.Write("config/ConfigFile.xml",
                  "<ConfigInfo><AGPS><element isSupported=\"" + agps +
                      "\"/></AGPS><Path><element name=\"\"/></Path><Type><element name=\"" + type +
                      "\"/></Type><APN><element name=\"web.example\"/></APN><SUPL><element "
                      "name=\"supl.example.com:7275\"/></SUPL><Scenario><element name=\"" +
                      scenario + "\"/></Scenario></ConfigInfo>");
    }

    // The card as the polling and the device events leave it once it is found.
    void CardFound(int gpsType = kGpsTypeAgps, int state = kCardReady) {
        dialog->SetCardReady(true);
        dialog->SetGpsTypeResult(gpsType);
        dialog->SetDeviceState(state);
    }

    std::wstring Status() { return user->Text(gps::kStatus); }
    // The text of `key` in the language file that is active now.
    std::wstring Lang(const wchar_t* key) { return orbitpane::LoadLanguageText(key); }

    testing_support::TempDir dir;
    framework::IPluginContainer* container = nullptr;
    scripted::IScriptedDevice* card = nullptr;
    COrbitpaneImpl* plugin = nullptr;
    std::unique_ptr<CGPSUIDlg> dialog;
    std::unique_ptr<ui::headless::Driver> user;
};

}  // namespace orbitpane_test
