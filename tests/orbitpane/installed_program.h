// A program directory of the test's own, laid out from the install tree, with the scripted
// device manager as the card behind a real container and the plug-in object attached to it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "framework/container/program_directory.h"
#include "framework/contracts/container.h"
#include "framework/contracts/ids.h"
#include "orbitpane/win32/gps_dialog_instance.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/last_position.h"
#include "orbitpane/win32/localisation.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "platform/ini.h"
#include "platform/ui/templates/gps.h"
#include "scripted_device.h"
#include "temp_dir.h"
#include "test_plugins.h"

namespace orbitpane_test {

namespace gps = ui::templates::gps;

inline constexpr int kCardReady = 20509;
inline constexpr const char* kOk = "\r\nOK\r\n";

class InstalledProgram {
  public:
    void Install() {
        // The dialog polls the port list: only the ports this test lays out are present.
        ::setenv("SATVIEW_PORTS_DIR", (dir / "ports").c_str(), 1);
        orbitpane::ClearLastPosition();
        std::filesystem::copy(SATVIEW_DATA_DIR, dir.path(),
                              std::filesystem::copy_options::recursive);
        dir.Write("plugins.xml", "<main><mainplugin>none</mainplugin><plugin><clsid>" +
                                     std::string(framework::kDeviceMgrId) + "</clsid><url>" +
                                     test_plugins::LibraryPath(test_plugins::kScriptedDeviceMgr) +
                                     "</url><name>card</name></plugin></main>");
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
    }

    // Dialogs must be gone before this.
    void Uninstall() {
        if (card) card->WaitIdle(2000);
        if (OrbitpaneSingleton()) OrbitpaneSingleton()->Release();
        if (card) card->Release();
        if (container) framework::CContainerFactory::DestroyPluginContainer(container);
        framework::SetProgramDirectory("");
        orbitpane::SetGpsDialogFactory(nullptr);
        orbitpane::ClearLastPosition();
        ::unsetenv("SATVIEW_PORTS_DIR");
    }

    // A dialog in language `active` ("_" + code), attached to the plug-in object.
    std::unique_ptr<CGPSUIDlg> NewDialog(const std::string& active) {
        platform::IniWriteString(dir / "Runinfo.ini", "language", "active", active);
        auto dialog = std::make_unique<CGPSUIDlg>();
        dialog->SetPluginObject(plugin);
        return dialog;
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

    testing_support::TempDir dir;
    framework::IPluginContainer* container = nullptr;
    scripted::IScriptedDevice* card = nullptr;
    COrbitpaneImpl* plugin = nullptr;
};

}  // namespace orbitpane_test
