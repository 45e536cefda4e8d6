// The satellites view as a real wx window under a (virtual) display: the sky plot and the
// signal bars of a session fed with a recorded log of four systems, read back through the
// window kit's screen-text copy, in each language, with a screenshot of each saved in
// <build>/screenshots.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/image.h>

#include <cstdlib>
#include <filesystem>

#include "framework/devicemgr/nmea_decoder.h"
#include "installed_program.h"
#include "language_texts.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/ui/detail/access.h"
#include "platform/ui/kit.h"
#include "platform/ui/wx_native.h"
#include "wx_ui.h"

using namespace orbitpane_test;

namespace {

const std::string kScreenText = std::string(SCREENSHOT_DIR) + "/sky_view_screen.txt";
// The kit's screen-text copy starts with the kit, before any test runs.
const bool kScreenTextAsked = (std::filesystem::create_directories(SCREENSHOT_DIR),
                               ::setenv("SATVIEW_SCREEN_TEXT", kScreenText.c_str(), 1), true);

class SkyViewOnScreen : public ::testing::Test, public InstalledProgram {
  protected:
    void SetUp() override {
        if (ui::CurrentBackend() != ui::BackendKind::Wx) GTEST_SKIP() << "no display";
        Install();
        steadyClock = [this] { return steady; };
    }
    void TearDown() override {
        if (dialog) dialog.reset();
        Uninstall();
    }
    // The log's epochs through the decoder to the dialog, as the device manager hands them.
    void Feed(int epochs) {
        std::string log =
            platform::ReadWholeFile(std::string(NMEA_LOGS) + "/four_systems.nmea").value_or("");
        devicemgr::NmeaLexer lexer;
        std::vector<std::string> sentences;
        lexer.Feed(log, sentences);
        devicemgr::NmeaDecoder decoder;
        int seen = 0;
        for (const std::string& s : sentences) {
            if (s.find("RMC") != std::string::npos && ++seen > epochs) break;
            if (auto fix = decoder.Decode(s)) {
                auto record = devicemgr::MakeRecord(*fix);
                dialog->Send(WM_GPS_DATA, reinterpret_cast<ui::WParam>(&record), 0);
            }
            if (auto view = decoder.TakeSky()) {
                auto record = devicemgr::MakeSkyRecord(*view);
                dialog->Send(WM_GPS_SKY, reinterpret_cast<ui::WParam>(&record), 0);
            }
        }
    }
    static std::string Screen() { return platform::ReadWholeFile(kScreenText).value_or(""); }

    std::unique_ptr<CGPSUIDlg> dialog;
    std::chrono::steady_clock::time_point steady{std::chrono::hours(1)};
};

}  // namespace

TEST_F(SkyViewOnScreen, ShowsTheSkyPlotAndBarsOfTheSessionInEachLanguage) {
    for (const char* code : {"en-us", "ja", "pt-br"}) {
        SCOPED_TRACE(code);
        auto t = LanguageTexts(code);
        dialog = NewDialog(std::string("_") + code);
        ASSERT_TRUE(dialog->Create());
        dialog->ShowWindow(ui::ShowCommand::Normal);
        WriteConfig("Y", "AGPS", "High speed");
        PlugCard();
        card->RaiseBareEvent(kReady);
        ASSERT_TRUE(ui::wxkit::PumpUntil([&] { return CardKnown(*dialog); }));
        card->Reset();
        card->SetFallbackAnswer(kOk);
        ui::detail::DialogAccess::Clicked(*dialog, gps::kStart);
        ASSERT_TRUE(dialog->SessionRunning());
        // The window menu's entry.
        ui::detail::DialogAccess::SysCommand(*dialog, orbitpane::kSatellitesCommand);
        ui::WindowHandle view;
        for (ui::WindowHandle w : ui::VisibleTopLevelWindows()) {
            if (w != dialog->Handle()) view = w;
        }
        ASSERT_TRUE(view) << "the view is a window of its own";
        steady += std::chrono::milliseconds(28400);  // a cold start's search
        Feed(2);

        const std::string counts = platform::WideToUtf8(t["IDS_GNSS_GPS"] + L" 7/5 \u00B7 " +
                                                        t["IDS_GNSS_GLONASS"] + L" 4/3");
        const std::string gps = platform::WideToUtf8(t["IDS_GNSS_GPS"]);
        const std::string glonass = platform::WideToUtf8(t["IDS_GNSS_GLONASS"]);
        const std::vector<std::string> shown = {
            "window: " + platform::WideToUtf8(t["IDS_TITLE_SKY"]),
            "  text: " + counts,
            "  text: PDOP 1.3 \u00B7 HDOP 0.7 \u00B7 VDOP 1.1",
            // Each satellite at its place, used ones filled; GPS 9 and GLONASS 73 not used.
            "  mark: 2 circle az 40 el 67 filled",
            "  mark: 9 circle az 320 el 12 open",
            "  mark: 9 square az 210 el 22 open",
            "  mark: 3 triangle az 60 el 48 filled",
            "  mark: 37 diamond az 20 el 14 filled",
            "  legend: circle " + gps,
            "  legend: diamond " + platform::WideToUtf8(t["IDS_GNSS_BEIDOU"]),
            // A bar per satellite, grouped, used ones marked.
            "  bar: " + gps + " 2 44 marked",
            "  bar: " + gps + " 9 30\n",
            "  bar: " + glonass + " 1 46 marked",
        };
        bool all = ui::wxkit::PumpUntil([&] {
            std::string screen = Screen();
            for (const std::string& line : shown) {
                if (screen.find(line) == std::string::npos) return false;
            }
            return true;
        });
        std::string screen = Screen();
        for (const std::string& line : shown) {
            EXPECT_NE(screen.find(line), std::string::npos) << line << "\n" << screen;
        }
        ASSERT_TRUE(all);
        // The GPS dialog is left as it is: its rows go on with the session.
        EXPECT_NE(screen.find("  row: | " + platform::WideToUtf8(t["IDS_LST_ITEM_FIRSTFIX"]) +
                              " | 28.4 " + platform::WideToUtf8(t["IDS_UNIT_SECONDS"])),
                  std::string::npos)
            << screen;
        const std::string shot = std::string(SCREENSHOT_DIR) + "/sky_view_" + code + ".png";
        ASSERT_TRUE(ui::wxkit::SaveScreenshot(view, shot));
        EXPECT_TRUE(wxImage(shot, wxBITMAP_TYPE_PNG).IsOk());
        dialog.reset();
        ASSERT_TRUE(ui::wxkit::PumpUntil([&] {
            return Screen().find("mark:") == std::string::npos;
        })) << "the view goes with the GPS dialog";
    }
}
