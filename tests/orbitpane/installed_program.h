// A program directory of the test's own, laid out from the install tree, with the scripted
// device manager as the card behind a real container and the plug-in object attached to it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>

#include "framework/container/program_directory.h"
#include "framework/contracts/container.h"
#include "framework/contracts/ids.h"
#include "orbitpane/win32/gps_dialog_instance.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/localisation.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "orbitpane/win32/port_search.h"
#include "platform/ini.h"
#include "platform/ports/ports.h"
#include "platform/ui/templates/gps.h"
#include "scripted_device.h"
#include "temp_dir.h"
#include "test_plugins.h"

namespace orbitpane_test {

namespace gps = ui::templates::gps;

inline constexpr uint32_t kArrived = framework::kEventCardArrived;
inline constexpr uint32_t kRemoved = framework::kEventCardRemoved;
inline constexpr uint32_t kSimStatus = framework::kEventSimStatus;
inline constexpr uint32_t kReady = framework::kEventCardReady;
inline constexpr uint32_t kUnavailable = framework::kEventCardUnavailable;
inline constexpr const char* kOk = "\r\nOK\r\n";
inline constexpr const char* kAgpsCardAnswer = "\r\n^GPSTYPE:2\r\n\r\nOK\r\n";
inline constexpr const char* kGpsOnlyCardAnswer = "\r\n^GPSTYPE:1\r\n\r\nOK\r\n";
inline const std::wstring kGpsPortText = L"TARVEK Wendrix - 3G GPS Interface (COM5)";

class InstalledProgram {
  public:
    void Install() {
        // The dialog polls the port list: only the ports this test lays out are present.
        ::setenv("SATVIEW_PORTS_DIR", (dir / "ports").c_str(), 1);
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
        plugin = orbitpane::CreatePluginWith(Seams());
        ASSERT_NE(plugin, nullptr);
        plugin->SetContainer(container);
    }

    // What the plug-in object is made with: the test's dialog, link opener and clocks where the
    // test sets them (before they are used), the real ones otherwise.
    orbitpane::PluginSeams Seams() {
        orbitpane::PluginSeams seams;
        seams.dialogFactory = [this](orbitpane::PluginContext& context) {
            return makeDialog ? makeDialog(context) : orbitpane::MakeGpsDialog(context);
        };
        seams.linkOpener = [this](const std::string& link,
                                  std::function<void(const platform::ProgramOutcome&)> answered) {
            return linkOpener ? linkOpener(link, std::move(answered))
                              : orbitpane::OpenWithDesktop(link, std::move(answered));
        };
        seams.clock.steady = [this] {
            return steadyClock ? steadyClock() : std::chrono::steady_clock::now();
        };
        seams.clock.wall = [this] { return wallClock ? wallClock() : std::time(nullptr); };
        return seams;
    }

    // Dialogs must be gone before this.
    void Uninstall() {
        if (card) card->WaitIdle(2000);
        if (OrbitpaneSingleton()) OrbitpaneSingleton()->Release();
        if (card) card->Release();
        if (container) framework::CContainerFactory::DestroyPluginContainer(container);
        framework::SetProgramDirectory("");
        ::unsetenv("SATVIEW_PORTS_DIR");
    }

    // A dialog in language `active` ("_" + code), attached to the plug-in object.
    std::unique_ptr<CGPSUIDlg> NewDialog(const std::string& active) {
        platform::IniWriteString(dir / "Runinfo.ini", "language", "active", active);
        auto dialog = std::make_unique<CGPSUIDlg>(plugin->Context());
        dialog->SetPluginObject(plugin);
        return dialog;
    }

    // The card's PC UI port and, unless `withGps` is false, its GPS port, in the port list.
    void PlugPorts(bool withGps = true) {
        Port("pcui", std::string(orbitpane::kPcUiInterfaceText) + " (COM4)", 4);
        if (withGps) Port("gps", std::string(orbitpane::kGpsInterfaceText) + " (COM5)", 5);
    }
    void UnplugPorts() {
        platform::UnregisterVirtualPort("pcui");
        platform::UnregisterVirtualPort("gps");
    }
    void Port(const std::string& id, const std::string& friendly, int number) {
        std::string node = dir.Write("dev/tty" + id, "");
        ASSERT_TRUE(platform::RegisterVirtualPort(id, {node, number, friendly, "sim-card"}));
    }
    // The card's ports, and its answer to the type query (AGPS, or GPS only).
    void PlugCard(bool agps = true) {
        PlugPorts();
        card->SetStandingAnswer("AT^GPSTYPE?", agps ? kAgpsCardAnswer : kGpsOnlyCardAnswer);
    }
    // On the window thread: the dialog knows the card's GPS port and type.
    static bool CardKnown(CGPSUIDlg& dialog) {
        const session::CardView& v = dialog.Card().View();
        return v.canStart && !v.searchPorts;
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

    std::function<std::unique_ptr<orbitpane::IGpsDialog>(orbitpane::PluginContext&)> makeDialog;
    orbitpane::LinkOpener linkOpener;
    std::function<std::chrono::steady_clock::time_point()> steadyClock;
    std::function<std::time_t()> wallClock;

    testing_support::TempDir dir;
    framework::IPluginContainer* container = nullptr;
    scripted::IScriptedDevice* card = nullptr;
    COrbitpaneImpl* plugin = nullptr;
};

}  // namespace orbitpane_test
