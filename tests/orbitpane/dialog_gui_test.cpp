// The GPS dialog as real wx windows under a (virtual) display, in each language, with
// screenshots saved in <build>/screenshots.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/image.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "installed_program.h"
#include "platform/ui/controls.h"
#include "platform/ui/kit.h"
#include "platform/ui/wx_native.h"
#include "wx_ui.h"

using namespace orbitpane_test;

namespace {

template <typename T>
T* Native(const CGPSUIDlg& dialog, int id) {
    return dynamic_cast<T*>(ui::wxkit::NativeControl(dialog.Handle(), id));
}

class GpsDialogOnScreen : public ::testing::Test, public InstalledProgram {
  protected:
    void SetUp() override {
        if (ui::CurrentBackend() != ui::BackendKind::Wx) GTEST_SKIP() << "no display";
        Install();
        std::filesystem::create_directories(SCREENSHOT_DIR);
    }
    void TearDown() override {
        if (dialog) dialog.reset();
        Uninstall();
    }
    // Opens the dialog in `code`, shows a running session and saves its screenshot.
    void ShowIn(const std::string& code) {
        dialog = NewDialog("_" + code);
        ASSERT_TRUE(dialog->Create());
        dialog->ShowWindow(ui::ShowCommand::Normal);
        auto* window = ui::wxkit::NativeWindow(dialog->Handle());
        ASSERT_TRUE(ui::wxkit::PumpUntil([&] { return window->IsShownOnScreen(); }));
        // The card found, ready and AGPS-capable, as the dialog's search finds it.
        WriteConfig("Y", "AGPS", "High speed");
        PlugCard();
        card->RaiseBareEvent(kReady);
        ASSERT_TRUE(ui::wxkit::PumpUntil([&] { return CardKnown(*dialog); }));
        card->Reset();
        card->SetFallbackAnswer(kOk);
    }
    std::string Shot(const std::string& code) {
        return std::string(SCREENSHOT_DIR) + "/gps_dialog_" + code + ".png";
    }

    std::unique_ptr<CGPSUIDlg> dialog;
};

}  // namespace

TEST_F(GpsDialogOnScreen, StartsAndStopsThroughTheNativeButtonsInEachLanguage) {
    const struct {
        const char* code;
        const wchar_t* start;
        const wchar_t* waiting;
        const wchar_t* started;
    } languages[] = {
        {"en-us", L"Start", L"Waiting for GPS data...", L"GPS started."},
        {"ja", L"\u958B\u59CB",
         L"GPS \u30C7\u30FC\u30BF\u3092\u5F85\u3063\u3066\u3044\u307E\u3059...",
         L"GPS \u3092\u958B\u59CB\u3057\u307E\u3057\u305F\u3002"},
        {"pt-br", L"Iniciar", L"Aguardando dados do GPS...", L"GPS iniciado."},
    };
    for (const auto& language : languages) {
        ShowIn(language.code);
        auto* start = Native<wxButton>(*dialog, gps::kStart);
        auto* stop = Native<wxButton>(*dialog, gps::kStop);
        auto* status = Native<wxStaticText>(*dialog, gps::kStatus);
        auto* list = Native<wxListCtrl>(*dialog, gps::kList);
        ASSERT_TRUE(start && stop && status && list) << language.code;
        EXPECT_EQ(start->GetLabel().ToStdWstring(), language.start);
        // The position rows and the fix rows, all in sight.
        ASSERT_EQ(list->GetItemCount(), kListRows + orbitpane::kFixRows);
        wxRect last;
        ASSERT_TRUE(list->GetItemRect(list->GetItemCount() - 1, last));
        EXPECT_LE(last.GetBottom(), list->GetClientSize().y) << language.code;

        wxCommandEvent click(wxEVT_BUTTON, start->GetId());
        click.SetEventObject(start);
        start->ProcessWindowEvent(click);
        EXPECT_TRUE(dialog->SessionRunning()) << language.code;
        ASSERT_TRUE(ui::wxkit::PumpUntil([&] {
            return status->GetLabel().ToStdWstring() == language.waiting && stop->IsEnabled();
        })) << language.code;
        // A fix as the device manager hands it over; the screenshot shows what the program
        // makes of it.
        framework::GpsDataRecord record{};
        std::strcpy(record.longitude, "139.767100E");
        std::strcpy(record.latitude, "35.681200N");
        std::strcpy(record.satellites, "9");
        record.altitudeKnown = record.speedKnown = record.courseKnown = true;
        record.altitudeMetres = 40.5;
        record.speedMetresPerSecond = 1.5;
        record.courseDegrees = 84;
        record.fixModeKnown = record.hdopKnown = true;
        record.fixMode = framework::kGpsFix3D;
        record.hdop = 0.9;
        dialog->Send(WM_GPS_DATA, reinterpret_cast<ui::WParam>(&record), 0);
        ASSERT_TRUE(ui::wxkit::PumpUntil([&] {
            return status->GetLabel().ToStdWstring() == language.started &&
                   list->GetItemText(1, 1) == "E 139d 46.026000" &&
                   !list->GetItemText(kListRows + orbitpane::kFixRows - 1, 1).empty();
        })) << language.code;
        ASSERT_TRUE(ui::wxkit::SaveScreenshot(dialog->Handle(), Shot(language.code)));
        wxImage image(Shot(language.code), wxBITMAP_TYPE_PNG);
        EXPECT_TRUE(image.IsOk());

        wxCommandEvent stopClick(wxEVT_BUTTON, stop->GetId());
        stopClick.SetEventObject(stop);
        stop->ProcessWindowEvent(stopClick);
        EXPECT_FALSE(dialog->SessionRunning());
        dialog.reset();
    }
}

TEST_F(GpsDialogOnScreen, ShowsAPositionAsTheCardReportsIt) {
    dialog = NewDialog("_en-us");
    ASSERT_TRUE(dialog->Create());
    dialog->ShowWindow(ui::ShowCommand::Normal);
    auto* window = ui::wxkit::NativeWindow(dialog->Handle());
    ASSERT_TRUE(ui::wxkit::PumpUntil([&] { return window->IsShownOnScreen(); }));
    auto* list = Native<wxListCtrl>(*dialog, gps::kList);
    ASSERT_NE(list, nullptr);

    framework::GpsDataRecord record{};
    std::strcpy(record.longitude, "139.767100E");
    std::strcpy(record.latitude, "35.681200N");
    std::strcpy(record.satellites, "9");
    dialog->Send(WM_GPS_DATA, reinterpret_cast<ui::WParam>(&record), 0);
    ASSERT_TRUE(ui::wxkit::PumpUntil([&] {
        return list->GetItemText(1, 1) == "E 139d 46.026000" &&
               list->GetItemText(2, 1) == "N 35d 40.872000" && list->GetItemText(3, 1) == "9" &&
               !list->GetItemText(4, 1).empty();
    }));
    const std::string shot = std::string(SCREENSHOT_DIR) + "/gps_dialog_position.png";
    ASSERT_TRUE(ui::wxkit::SaveScreenshot(dialog->Handle(), shot));
    EXPECT_TRUE(wxImage(shot, wxBITMAP_TYPE_PNG).IsOk());
}

// The desktop ties the windows to the desktop entry by their class (StartupWMClass=Satview):
// GTK names it after the program, whatever the launcher's file is called.
TEST_F(GpsDialogOnScreen, TheWindowsCarrySatviewsClass) {
    using Name = const char* (*)();
    auto program = reinterpret_cast<Name>(dlsym(RTLD_DEFAULT, "g_get_prgname"));
    auto windowClass = reinterpret_cast<Name>(dlsym(RTLD_DEFAULT, "gdk_get_program_class"));
    ASSERT_TRUE(program && windowClass);
    EXPECT_STREQ(program(), "satview");
    EXPECT_STREQ(windowClass(), "Satview");
}
