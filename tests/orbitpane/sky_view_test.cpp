// The satellites view beside the GPS dialog: opened from the window menu or with the S key, it
// shows each view of the sky of the running session as the device manager hands it over (the
// decoder's records of recorded sentences), the counts, dilutions, error estimate and first
// fix, follows the language, empties when the session ends, and leaves the GPS dialog alone.
#include <cstring>

#include "framework/devicemgr/nmea_decoder.h"
#include "monitoring_fixture.h"
#include "orbitpane/win32/sky_texts.h"
#include "platform/ui/templates/sky.h"

using namespace orbitpane_test;
namespace sky = ui::templates::sky;

namespace {

class SkyView : public MonitoringFixture {
  protected:
    void SetUp() override {
        MonitoringFixture::SetUp();
        steadyClock = [this] {
            return std::chrono::steady_clock::time_point(
                std::chrono::milliseconds(steadyNow.load()));
        };
    }
    // A running session on a found card.
    void StartSession() {
        Open();
        CardFound();
        ASSERT_TRUE(user->Click(gps::kStart));
    }
    // Opens the view with `how` and answers its window's driver.
    std::unique_ptr<ui::headless::Driver> OpenView(bool byKey = false) {
        EXPECT_TRUE(byKey ? user->PressKey(gps::kList, 's')
                          : user->ChooseSystemMenu(orbitpane::kSatellitesCommand));
        ui::WindowHandle view = ui::headless::WaitForWindow(ui::templates::kSkyDialogId);
        EXPECT_TRUE(view);
        return std::make_unique<ui::headless::Driver>(view);
    }
    // The decoder's views of `sentences`, each handed to the dialog as the manager hands it.
    void SendSentences(const std::vector<std::string>& sentences) {
        for (const std::string& s : sentences) {
            if (auto fix = decoder.Decode(s)) {
                auto record = devicemgr::MakeRecord(*fix);
                dialog->Send(WM_GPS_DATA, reinterpret_cast<ui::WParam>(&record), 0);
            }
            if (auto view = decoder.TakeSky()) {
                auto record = devicemgr::MakeSkyRecord(*view);
                dialog->Send(WM_GPS_SKY, reinterpret_cast<ui::WParam>(&record), 0);
            }
        }
        ASSERT_TRUE(ui::headless::WaitIdle());
    }
    std::vector<std::wstring> Row(ui::headless::Driver& view, int row) {
        std::vector<std::wstring> cells;
        for (int column = 0; column < 6; ++column)
            cells.push_back(view.Cell(sky::kTable, row, column));
        return cells;
    }

    devicemgr::NmeaDecoder decoder;
    std::atomic<std::int64_t> steadyNow{3600 * 1000};
};

// An epoch of two systems: GPS 2, 5 (used) and 9 (no signal yet), GLONASS 65 (used).
const std::vector<std::string> kSearching = {
    "$GPRMC,120000.00,V,,,,,,,071226,,,N*7E",
    "$GPGSA,A,1,,,,,,,,,,,,,99.99,99.99,99.99*30",
    "$GPGSV,1,1,02,02,67,040,21,09,12,320,*74",
};
const std::vector<std::string> kFixed = {
    "$GPRMC,120001.00,A,4807.0380,N,01131.0000,E,12.4,84.0,071226,,,A*55",
    "$GPGGA,120001.00,4807.0380,N,01131.0000,E,1,03,0.9,545.4,M,46.9,M,,*6D",
    "$GPGST,120001.00,1.2,3.1,1.8,30.0,2.4,1.9,4.2*66",
    "$GNGSA,A,3,02,05,,,,,,,,,,,1.6,0.9,1.3,1*3A",
    "$GNGSA,A,3,65,,,,,,,,,,,,1.6,0.9,1.3,2*3D",
    "$GPGSV,1,1,03,02,67,040,44,05,45,110,41,09,12,320,*47",
    "$GLGSV,1,1,01,65,58,095,43*51",
    "$GPGLL,4807.0380,N,01131.0000,E,120001.00,A,A*69",
};

}  // namespace

TEST_F(SkyView, FollowsTheSessionFromSearchToFixAndEnd) {
    StartSession();
    auto view = OpenView();
    EXPECT_EQ(view->Title(), L"Satview satellites");
    EXPECT_EQ(view->Text(sky::kCounts), L"No view of the sky yet.");
    EXPECT_EQ(view->Text(sky::kFirstFix), L"Searching for the first fix...");
    EXPECT_EQ(view->Rows(sky::kTable), 0);
    auto columns = view->Columns(sky::kTable);
    ASSERT_EQ(columns.size(), 6u);
    EXPECT_EQ(columns[4].text, L"C/N0 dB-Hz");

    SendSentences(kSearching);
    steadyNow += 4200;
    SendSentences(kFixed);
    EXPECT_EQ(view->Text(sky::kCounts), L"GPS 3/2 \u00B7 GLONASS 1/1 \u00B7 All 4/3");
    EXPECT_EQ(view->Text(sky::kDops), L"PDOP 1.6 \u00B7 HDOP 0.9 \u00B7 VDOP 1.3");
    EXPECT_EQ(view->Text(sky::kError), L"Estimated error: 3.1 m horizontal, 4.2 m vertical");
    EXPECT_EQ(view->Text(sky::kFirstFix), L"First fix after 4.2 s");
    ASSERT_EQ(view->Rows(sky::kTable), 4);
    EXPECT_EQ(Row(*view, 0),
              (std::vector<std::wstring>{L"GPS", L"2", L"67\u00B0", L"40\u00B0",
                                         orbitpane::SignalBar(44, CSkyDlg::kBarCells) + L" 44", L"yes"}));
    EXPECT_EQ(Row(*view, 2),
              (std::vector<std::wstring>{L"GPS", L"9", L"12\u00B0", L"320\u00B0", L"", L""}));
    EXPECT_EQ(Row(*view, 3)[0], L"GLONASS");
    // The GPS dialog goes on as before, its first fix row with it.
    EXPECT_EQ(user->Cell(gps::kList, kListRows + 3, 1), L"4.2 s");
    EXPECT_EQ(user->Text(gps::kStatus), L"GPS started.");

    // The language follows; the rows keep their satellites.
    ASSERT_TRUE(user->Choose(gps::kLanguage, 1));
    EXPECT_EQ(view->Title(), Lang(L"IDS_TITLE_SKY"));
    EXPECT_EQ(view->Columns(sky::kTable)[0].text, Lang(L"IDS_SKY_COL_SYSTEM"));
    EXPECT_EQ(view->Text(sky::kFirstFix),
              Lang(L"IDS_LST_ITEM_FIRSTFIX") + L" 4.2 " + Lang(L"IDS_UNIT_SECONDS"));
    EXPECT_EQ(Row(*view, 0)[5], Lang(L"IDS_SKY_USED"));
    ASSERT_TRUE(user->Choose(gps::kLanguage, 0));

    ASSERT_TRUE(user->Click(gps::kStop));
    EXPECT_EQ(view->Text(sky::kCounts), L"No GPS session.");
    EXPECT_EQ(view->Text(sky::kFirstFix), L"No GPS session.");
    EXPECT_EQ(view->Rows(sky::kTable), 0);
    // A view on its way when the receiver was told to stop is dropped.
    SendSentences(kFixed);
    EXPECT_EQ(view->Rows(sky::kTable), 0);
}

TEST_F(SkyView, TheKeyOpensItAndCloseOrEscapeCloseIt) {
    StartSession();
    SendSentences(kFixed);
    auto view = OpenView(true);
    EXPECT_EQ(view->Rows(sky::kTable), 4) << "the last view at once";
    ASSERT_TRUE(view->Click(sky::kClose));
    EXPECT_FALSE(view->Alive());
    view = OpenView();
    EXPECT_EQ(view->Rows(sky::kTable), 4);
    ASSERT_TRUE(view->PressKey(sky::kClose, ui::kKeyEscape));
    EXPECT_FALSE(view->Alive());
    EXPECT_TRUE(user->Alive()) << "the GPS dialog stays";
    EXPECT_TRUE(Running());
    // The menu entry follows the language.
    ASSERT_TRUE(user->Choose(gps::kLanguage, 2));
    bool found = false;
    for (const ui::SystemMenuItem& item : user->SystemMenu()) {
        found |= item.command == orbitpane::kSatellitesCommand &&
                 item.text == Lang(L"IDS_MENU_SATELLITES");
    }
    EXPECT_TRUE(found);
    // Closing the GPS dialog closes the view.
    view = OpenView();
    dialog->DestroyWindow();
    ASSERT_TRUE(ui::headless::WaitIdle());
    EXPECT_FALSE(view->Alive());
}
