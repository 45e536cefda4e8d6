// Positions in the GPS dialog: the value rows, the no-data watchdog and the map links.
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "monitoring_fixture.h"
#include "orbitpane/win32/gps_track.h"
#include "orbitpane/win32/map_link.h"
#include "platform/files.h"
#include "temp_dir.h"

using namespace orbitpane_test;

namespace {

constexpr std::int64_t kSunday = 1796586917;  // Sunday, December 06, 2026 19:55:17 UTC

class GpsPosition : public MonitoringFixture {
  protected:
    void SetUp() override {
        MonitoringFixture::SetUp();
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        wallClock = [this] { return static_cast<std::time_t>(now.load()); };
        steadyClock = [this] {
            return std::chrono::steady_clock::time_point(std::chrono::seconds(steadyNow.load()));
        };
    }
    void TearDown() override {
        MonitoringFixture::TearDown();
        savedTz_ ? ::setenv("TZ", savedTz_->c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }
    // A running session with the watchdog's timer on the manual clock.
    void StartSession() {
        ASSERT_TRUE(ui::headless::UseManualClock(true));
        Open();
        CardFound();
        ASSERT_TRUE(user->Click(gps::kStart));
        ASSERT_EQ(user->Timers(), std::vector<unsigned>{kGpsTimerId});
        card->Reset();
        card->SetFallbackAnswer(kOk);
    }
    // Moves the dialog's clocks to `seconds` after the start (the wall clock `wallShift`
    // seconds off) and lets timer 1 fire once.
    void TickAt(std::int64_t seconds, std::int64_t wallShift = 0) {
        At(seconds, wallShift);
        ASSERT_TRUE(ui::headless::AdvanceClock(kGpsTimerPeriodMs));
        ASSERT_TRUE(card->WaitIdle(2000));
    }
    int Probes() {
        int count = 0;
        for (const std::string& line : card->SentLines()) count += line == "AT^WPDGP\r\n";
        return count;
    }
    std::wstring Cell(int row) { return user->Cell(gps::kList, row, 1); }

    void At(std::int64_t seconds, std::int64_t wallShift = 0) {
        now = kSunday + seconds + wallShift;
        steadyNow = kSteadyStart + seconds;
    }

    static constexpr std::int64_t kSteadyStart = 3600 * 1000;
    std::atomic<std::int64_t> now{kSunday};  // the wall clock
    std::atomic<std::int64_t> steadyNow{kSteadyStart};

  private:
    std::optional<std::string> savedTz_;
};

}  // namespace

TEST_F(GpsPosition, ARecordFillsTheValueRows) {
    const struct {
        const char* longitude;
        const char* latitude;
        const char* satellites;
        const wchar_t* rows[3];
        const wchar_t* raw[2];  // latitude, longitude
    } cases[] = {
        {"-122.123456X",
         "37.5X",
         "7",
         {L"W 122d 7.407360", L"N 37d 30.000000", L"7"},
         {L"37.5", L"-122.123456"}},
        {"0.000000X",
         "-0.5X",
         "10",
         {L"E 0d 0.000000", L"S 0d 30.000000", L"10"},
         {L"-0.5", L"0.000000"}},
        {"45X", "45X", "", {L"E 45d", L"N 45d", L""}, {L"45", L"45"}},
    };
    Open();
    for (const auto& c : cases) {
        SendPosition(c.longitude, c.latitude, c.satellites);
        EXPECT_FALSE(Logged("GPS Data Notify")) << "one a fix: a debug trace, left out";
        for (int i = 0; i < 3; ++i) EXPECT_EQ(Cell(1 + i), c.rows[i]) << c.longitude;
        EXPECT_EQ(Cell(4), L"Sunday, December 06, 2026 19:55:17");
        auto kept = plugin->Context().LastPosition();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(kept[1 + i], c.rows[i]);
        EXPECT_EQ(OnWindow([&] { return dialog->RawLatitude(); }), c.raw[0]);
        EXPECT_EQ(OnWindow([&] { return dialog->RawLongitude(); }), c.raw[1]);
    }
}

TEST_F(GpsPosition, ARecordWithoutACoordinateChangesAlmostNothing) {
    Open();
    SendPosition("11.5E", "48.25N", "7");
    At(60);
    SendPosition("", "50.5N", "9");  // no longitude: only the raw latitude
    EXPECT_EQ(OnWindow([&] { return dialog->RawLatitude(); }), L"50.5");
    EXPECT_EQ(OnWindow([&] { return dialog->RawLongitude(); }), L"11.5");
    SendPosition("12.5E", "", "9");  // no latitude: nothing
    EXPECT_EQ(OnWindow([&] { return dialog->RawLatitude(); }), L"50.5");
    EXPECT_EQ(OnWindow([&] { return dialog->RawLongitude(); }), L"11.5");
    const wchar_t* rows[] = {L"E 11d 30.000000", L"N 48d 15.000000", L"7",
                             L"Sunday, December 06, 2026 19:55:17"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Cell(1 + i), rows[i]);
}

// A language change translates every text and shows the rows as the session left them.
TEST_F(GpsPosition, ALanguageChangeTranslatesTextsAndKeepsWhatTheRowsShow) {
    card->SetStandingAnswer("AT^GPSTYPE?", kAgpsCardAnswer);
    PlugPorts();
    Open();
    Raise({kReady});
    ASSERT_TRUE(PortShown());
    ASSERT_TRUE(user->Click(gps::kStart));
    SendPosition("-122.123456X", "37.5X", "7");
    ASSERT_TRUE(user->Choose(gps::kMapSite, 1));
    ASSERT_TRUE(user->Choose(gps::kLanguage, 1));
    EXPECT_EQ(user->Cell(gps::kList, 0, 0), L"GPS \u30DD\u30FC\u30C8");
    const std::wstring rows[] = {kGpsPortText, L"W 122d 7.407360", L"N 37d 30.000000", L"7",
                                 L"Sunday, December 06, 2026 19:55:17"};
    for (int row = 0; row < 5; ++row) EXPECT_EQ(Cell(row), rows[row]) << row;
    const std::vector<std::wstring> japaneseSites = {Lang(L"IDS_GOOGLE"), Lang(L"IDS_YAHOO"),
                                                     Lang(L"IDS_LIVE")};
    EXPECT_EQ(dialog->Combo(gps::kMapSite).Items(), japaneseSites);
    EXPECT_EQ(dialog->Combo(gps::kMapSite).GetCurSel(), 1) << "the chosen site stays chosen";
    EXPECT_NE(japaneseSites[1].find(L"\u5730\u56f3"), std::wstring::npos);  // "map"

    ASSERT_TRUE(user->Click(gps::kStop));
    ASSERT_TRUE(user->Choose(gps::kLanguage, 0));
    for (int row = 1; row < 5; ++row) EXPECT_EQ(Cell(row), L"") << "stopped, row " << row;
    EXPECT_EQ(Cell(0), kGpsPortText);
    EXPECT_EQ(dialog->Combo(gps::kMapSite).ItemText(1), Lang(L"IDS_YAHOO"));
    EXPECT_EQ(Status(), Lang(L"IDS_STATIC_STOP_GPSSUCCE"));

    // A typed site is the user's own text and stays as typed.
    ASSERT_TRUE(user->Type(gps::kMapSite, L"my yahoo"));
    ASSERT_TRUE(user->Choose(gps::kLanguage, 2));
    EXPECT_EQ(dialog->Combo(gps::kMapSite).CurrentText(), L"my yahoo");
    EXPECT_EQ(dialog->Combo(gps::kMapSite).ItemText(2), Lang(L"IDS_LIVE"));

    // A lost card empties the port row; a language change does not bring it back.
    Raise({framework::kEventCardUnavailable});
    ASSERT_EQ(Cell(0), L"");
    ASSERT_TRUE(user->Choose(gps::kLanguage, 0));
    EXPECT_EQ(Cell(0), L"");
    EXPECT_EQ(Status(), Lang(L"IDS_STATIC_DEVICE_Unavailable"));
}

// The status line of a session: waiting until the first position, started while positions
// come, waiting again once they stop.
TEST_F(GpsPosition, TheStatusLineSaysWhetherPositionsCome) {
    StartSession();
    const struct {
        std::int64_t at;     // seconds after the start
        bool withData;       // a position arrives just before the tick
        const wchar_t* key;  // the status line's key after the tick
    } ticks[] = {
        {0, false, L"IDS_STATIC_QUER_GPS"},      {3, false, L"IDS_STATIC_QUER_GPS"},
        {6, true, L"IDS_STATIC_START_GPSSUCCE"}, {7, true, L"IDS_STATIC_START_GPSSUCCE"},
        {10, false, L"IDS_STATIC_QUER_GPS"},     {11, true, L"IDS_STATIC_START_GPSSUCCE"},
    };
    for (const auto& t : ticks) {
        if (t.withData) {
            At(t.at);
            SendPosition("11.5E", "48.25N", "7");
        }
        TickAt(t.at);
        EXPECT_EQ(StatusKey(), t.key) << t.at;
        EXPECT_EQ(Status(), Lang(t.key)) << t.at;
    }
    // Once stopped, the stop's message stays.
    ASSERT_TRUE(user->Click(gps::kStop));
    SendPosition("11.5E", "48.25N", "7");
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_STOP_GPSSUCCE");
}

TEST_F(GpsPosition, TheWindowMenuRecordsTheSessionAsAGpxTrack) {
    testing_support::TempDir data;
    ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    ASSERT_TRUE(ui::headless::UseManualClock(true));
    Open();
    CardFound();
    auto entry = [&](unsigned command) {
        for (const ui::SystemMenuItem& item : user->SystemMenu()) {
            if (item.command == command) return item;
        }
        return ui::SystemMenuItem{};
    };
    EXPECT_EQ(
        entry(orbitpane::kRecordTrackCommand),
        (ui::SystemMenuItem{orbitpane::kRecordTrackCommand, L"Record GPX track", true, false}))
        << "off until turned on";
    EXPECT_EQ(entry(orbitpane::kOpenTracksCommand).text, L"Open tracks folder");
    ASSERT_TRUE(user->ChooseSystemMenu(orbitpane::kRecordTrackCommand));
    EXPECT_TRUE(entry(orbitpane::kRecordTrackCommand).checked);
    EXPECT_EQ(orbitpane::ReadIniString(L"track", L"record", orbitpane::kRunInfoFile), L"1");

    ASSERT_TRUE(user->Click(gps::kStart));
    SendPosition("139.766667E", "35.681236N", "7");
    At(1);
    SendPosition("", "1.0N", "7");  // no position: no point
    SendPosition("-122.500000W", "-37.250000S", "8");
    // The entries follow the language.
    ASSERT_TRUE(user->Choose(gps::kLanguage, 1));
    EXPECT_EQ(entry(orbitpane::kRecordTrackCommand).text, Lang(L"IDS_MENU_RECORD_TRACK"));
    EXPECT_NE(Lang(L"IDS_MENU_RECORD_TRACK"), L"Record GPX track");
    ASSERT_TRUE(user->Click(gps::kStop));
    SendPosition("10.0E", "10.0N", "7");  // after the session: not in its track

    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(data / "satview/tracks")) {
        files.push_back(e.path());
    }
    ASSERT_EQ(files.size(), 1u);
    std::string text = platform::ReadWholeFile(files[0]).value_or("");
    EXPECT_NE(text.find("<trkseg>\n"
                        "<trkpt lat=\"35.6812360\" lon=\"139.7666670\">"
                        "<time>2026-12-06T19:55:17Z</time></trkpt>\n"
                        "<trkpt lat=\"-37.2500000\" lon=\"-122.5000000\">"
                        "<time>2026-12-06T19:55:18Z</time></trkpt>\n"
                        "</trkseg></trk></gpx>\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<metadata><desc>First fix after 0.0 s "), std::string::npos) << text;

    ASSERT_TRUE(user->ChooseSystemMenu(orbitpane::kRecordTrackCommand));
    EXPECT_FALSE(entry(orbitpane::kRecordTrackCommand).checked);
    EXPECT_EQ(orbitpane::ReadIniString(L"track", L"record", orbitpane::kRunInfoFile), L"0");
    ::unsetenv("XDG_DATA_HOME");
}

TEST_F(GpsPosition, TheFirstFixRowTellsTheTimeFromStartInTheLanguageShown) {
    const int row = kListRows + 3;
    StartSession();
    EXPECT_EQ(Cell(row), L"");
    At(4);
    SendPosition("11.5E", "48.25N", "7");
    EXPECT_EQ(Cell(row), L"4.0 s");
    At(6);
    SendPosition("11.5E", "48.25N", "7");
    EXPECT_EQ(Cell(row), L"4.0 s") << "the session's first, not the last";
    ASSERT_TRUE(user->Choose(gps::kLanguage, 1));
    EXPECT_EQ(user->Cell(gps::kList, row, 0), Lang(L"IDS_LST_ITEM_FIRSTFIX"));
    EXPECT_EQ(Cell(row), L"4.0 " + Lang(L"IDS_UNIT_SECONDS"));
    ASSERT_TRUE(user->Choose(gps::kLanguage, 0));
    ASSERT_TRUE(user->Click(gps::kStop));
    EXPECT_EQ(Cell(row), L"");
    // The next session times its own.
    ASSERT_TRUE(user->Click(gps::kStart));
    At(8);
    SendPosition("11.5E", "48.25N", "7");
    EXPECT_EQ(Cell(row), L"2.0 s") << "Start was pressed at 6 s";
}

// A tracks folder that cannot be made: the session runs unrecorded, and the status line says
// so in the dialog's language, through the positions that follow.
TEST_F(GpsPosition, ATrackThatCannotBeWrittenIsToldOnTheStatusLine) {
    testing_support::TempDir data;
    data.Write("satview", "a file where the tracks folder's parent goes");
    ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    Open();
    CardFound();
    ASSERT_TRUE(user->ChooseSystemMenu(orbitpane::kRecordTrackCommand));
    ASSERT_TRUE(user->Click(gps::kStart));
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_ERROR_TRACK");
    SendPosition("139.766667E", "35.681236N", "7");
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_ERROR_TRACK");
    EXPECT_EQ(Status(), L"The GPX track cannot be written (see the log). GPS goes on.");
    EXPECT_EQ(Cell(1), L"E 139d 46.000020") << "the session goes on";
    ASSERT_TRUE(user->Choose(gps::kLanguage, 1));
    EXPECT_EQ(Status(), Lang(L"IDS_STATIC_ERROR_TRACK"));
    EXPECT_TRUE(Logged("The session is not recorded"));
    ASSERT_TRUE(user->Click(gps::kStop));
    ::unsetenv("XDG_DATA_HOME");
}

TEST(TrackPoint, TakesThePositionOfARecordThatHasOne) {
    const struct {
        const char* latitude;
        const char* longitude;
        bool point;
        double lat, lon;
    } cases[] = {
        {"35.681236N", "139.766667E", true, 35.681236, 139.766667},
        {"-0.000001S", "-179.999999W", true, -0.000001, -179.999999},
        {"90.000000N", "180.000000E", true, 90, 180},
        {"90.000001N", "1.0E", false, 0, 0},  // out of range
        {"1.0N", "180.5E", false, 0, 0},
        {"", "1.0E", false, 0, 0},  // missing
        {"1.0N", "E", false, 0, 0},
        {"1.0xN", "1.0E", false, 0, 0},  // not a number
        {"nanN", "1.0E", false, 0, 0},
    };
    for (const auto& c : cases) {
        framework::GpsDataRecord record{};
        std::strncpy(record.latitude, c.latitude, sizeof record.latitude - 1);
        std::strncpy(record.longitude, c.longitude, sizeof record.longitude - 1);
        auto point = session::TrackPointOf(record, 1796586917);
        ASSERT_EQ(point.has_value(), c.point) << c.latitude << " " << c.longitude;
        if (!point) continue;
        EXPECT_DOUBLE_EQ(point->latitude, c.lat);
        EXPECT_DOUBLE_EQ(point->longitude, c.lon);
        EXPECT_EQ(point->utc, 1796586917);
        EXPECT_FALSE(point->elevation || point->satellites) << "the record carries neither";
    }

    // What the receiver told: its UTC date and time, the altitude, the satellites used, the
    // fix and its dilutions of precision.
    framework::GpsDataRecord record{};
    std::strncpy(record.latitude, "35.681236N", sizeof record.latitude - 1);
    std::strncpy(record.longitude, "139.766667E", sizeof record.longitude - 1);
    record.utcDateTimeKnown = true;
    record.utcMilliseconds = 1796586000250;
    record.altitudeKnown = true;
    record.altitudeMetres = -12.5;
    record.satellitesUsedKnown = true;
    record.satellitesUsed = 9;
    record.fixModeKnown = true;
    record.fixMode = framework::kGpsFix2D;
    record.hdopKnown = record.pdopKnown = true;
    record.hdop = 0.9;
    record.pdop = 1.7;
    record.vdop = 2.0;  // not known: not taken
    auto point = session::TrackPointOf(record, 1796586917);
    ASSERT_TRUE(point);
    EXPECT_EQ(point->utc, 1796586000);
    EXPECT_EQ(point->milliseconds, 250);
    EXPECT_EQ(point->elevation, -12.5);
    EXPECT_EQ(point->satellites, 9);
    EXPECT_EQ(point->fixMode, 2);
    EXPECT_EQ(point->hdop, 0.9);
    EXPECT_EQ(point->pdop, 1.7);
    EXPECT_FALSE(point->vdop);
    // A receiver that says it has no fix while giving a position: GPX gets no fix element.
    record.fixMode = framework::kGpsFixNone;
    EXPECT_FALSE(session::TrackPointOf(record, 1796586917)->fixMode);
}

TEST_F(GpsPosition, TheNoDataLineCountsFromTheLastPosition) {
    StartSession();
    const struct {
        std::int64_t at;         // seconds after the start
        std::int64_t wallShift;  // the wall clock set back or forward by this much
        bool withData;           // a position arrives just before the tick
        const wchar_t* shown;    // null: hidden
    } ticks[] = {
        {2, 0, false, nullptr},     {3, 0, false, L"3"},         {10, 0, false, L"10"},
        {11, -3600, false, L"11"},  // the wall clock set back an hour: the count goes on
        {12, -3600, true, nullptr}, {14, 86400, false, nullptr}, {15, 0, false, L"3"},
    };
    for (const auto& t : ticks) {
        if (t.withData) {
            At(t.at, t.wallShift);
            SendPosition("11.5E", "48.25N", "7");
        }
        TickAt(t.at, t.wallShift);
        for (int id : {gps::kNoDataLabel, gps::kNoDataSeconds, gps::kSecondsUnit}) {
            EXPECT_EQ(user->Visible(id), t.shown != nullptr) << t.at << " " << id;
        }
        if (t.shown) {
            EXPECT_EQ(user->Text(gps::kNoDataSeconds), t.shown) << t.at;
        }
    }
    EXPECT_EQ(Probes(), 0);
}

TEST_F(GpsPosition, TheCardIsCheckedEveryTwentySecondsEvenWhileDataFlows) {
    StartSession();
    for (std::int64_t at : {3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 33, 36, 39, 42}) {
        At(at);
        SendPosition("11.5E", "48.25N", "7");
        TickAt(at);
        EXPECT_EQ(Probes(), at < 21 ? 0 : at < 42 ? 1 : 2) << at;
        EXPECT_FALSE(user->Visible(gps::kNoDataSeconds));
    }
    EXPECT_TRUE(Running());
}

TEST_F(GpsPosition, AFailedCheckDuringASessionMakesTheCardUnavailable) {
    StartSession();
    dialog->List(gps::kList).SetItemText(0, 1, kGpsPortText);
    card->SetStandingAnswer("AT^WPDGP", "\r\nERROR\r\n");
    TickAt(20);
    ASSERT_TRUE(ui::headless::WaitIdle());
    EXPECT_EQ(Probes(), 1);
    // Why the session ended, rather than only that the card is not available.
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_STOPPED_NOANSWER");
    EXPECT_EQ(Status(), Lang(L"IDS_STATIC_STOPPED_NOANSWER"));
    EXPECT_FALSE(Status().empty());
    EXPECT_EQ(DeviceStatus(), Lang(L"IDS_STATIC_DEVICE_Unavailable"));
    EXPECT_EQ(CardState(), session::CardState::kUnavailable);
    EXPECT_EQ(Cell(0), L"");
    EXPECT_FALSE(user->Enabled(gps::kStart)) << "no card to start on";
    EXPECT_FALSE(Running());
    EXPECT_TRUE(user->Timers().empty());
    TickAt(23);
    EXPECT_EQ(Probes(), 1) << "the timer no longer fires";
    EXPECT_TRUE(Logged("Data Card is Not OK!"));
    EXPECT_TRUE(Logged("The GPS Data determining Timer Killing failed!")) << "killed twice";
}

// A record already on its way when the session ends (the device manager's thread waits in its
// send meanwhile) reaches no row.
TEST_F(GpsPosition, NothingReachesTheRowsOnceTheSessionEnds) {
    const struct {
        const char* how;
        std::function<void()> end;
    } ways[] = {
        {"stop", [&] { user->Click(gps::kStop); }},
        {"suspend", [&] { dialog->Send(WM_POWERBROADCAST, ui::kPowerSuspend, 0); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        Open();
        CardFound();
        ASSERT_TRUE(user->Click(gps::kStart));
        SendPosition("11.5E", "48.25N", "7");
        ASSERT_EQ(Cell(1), L"E 11d 30.000000");
        way.end();
        ASSERT_FALSE(Running());
        At(5);
        SendPosition("12.5E", "49.5N", "8");
        for (int row = 1; row < 5; ++row) EXPECT_EQ(Cell(row), L"") << row;
        EXPECT_EQ(plugin->Context().LastPosition()[orbitpane::kRowLongitude], L"E 11d 30.000000");
        EXPECT_EQ(OnWindow([&] { return dialog->RawLongitude(); }), L"11.5");
        dialog.reset();
    }
}

// The watchdog gives the card up during a session: the receiver is told to stop and its
// positions no longer come; once the card is ready again the dialog is usable again.
TEST_F(GpsPosition, ALostSessionIsStoppedAndAReadyCardIsUsableAgain) {
    WriteConfig("Y", "AGPS", "High speed");
    card->SetStandingAnswer("AT^GPSTYPE?", kAgpsCardAnswer);
    PlugPorts();
    ASSERT_TRUE(ui::headless::UseManualClock(true));
    Open();
    Raise({kReady});
    ASSERT_TRUE(PortShown());
    ASSERT_TRUE(user->Click(gps::kStart));
    ASSERT_EQ(card->EventSinkCount(), 2);
    card->SetStandingAnswer("AT^WPDGP", "\r\nERROR\r\n");
    TickAt(20);
    Settle();
    EXPECT_EQ(Status(), Lang(L"IDS_STATIC_STOPPED_NOANSWER"));
    EXPECT_EQ(card->GetCounters().gpsCloses, 1) << "the lost session is stopped on the card";
    EXPECT_EQ(card->EventSinkCount(), 1) << "the plug-in's sink is gone with it";
    SendPosition("11.5E", "48.25N", "7");
    EXPECT_EQ(Cell(1), L"");

    Raise({kReady});  // the card answers again
    ASSERT_TRUE(PortShown());
    EXPECT_TRUE(Eventually([&] { return StatusKey() == L"IDS_STATIC_SUPPORT_AGPS"; }));
    EXPECT_TRUE(user->Enabled(gps::kStart));
    EXPECT_TRUE(user->Enabled(gps::kSetting));
    ASSERT_TRUE(user->Click(gps::kStart));
    EXPECT_TRUE(Running());
    EXPECT_EQ(card->GetCounters().gpsOpens, 2);
    SendPosition("11.5E", "48.25N", "7");
    EXPECT_EQ(Cell(1), L"E 11d 30.000000");
    ASSERT_TRUE(user->Click(gps::kStop));
    UnplugPorts();
}

namespace {

// Replaces xdg-open on PATH with a script that records the links it is given.
class MapLinks : public GpsPosition {
  protected:
    void SetUp() override {
        GpsPosition::SetUp();
        savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        std::string script =
            dir.Write("bin/xdg-open",
                      "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" >> '" + (dir / "opened") + "'\n");
        ::chmod(script.c_str(), 0755);
        ::setenv("PATH", ((dir / "bin") + ":" + savedPath_).c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", savedPath_.c_str(), 1);
        GpsPosition::TearDown();
    }
    // The links opened so far, once `count` have been.
    std::vector<std::string> Opened(size_t count) {
        std::vector<std::string> lines;
        Eventually([&] {
            lines.clear();
            std::ifstream in(dir / "opened");
            for (std::string line; std::getline(in, line);) lines.push_back(line);
            return lines.size() >= count;
        });
        return lines;
    }

  private:
    std::string savedPath_;
};

}  // namespace

TEST_F(MapLinks, OpenHandsTheSitesLinkToTheDefaultHandler) {
    Open();
    ASSERT_TRUE(user->Click(gps::kOpenMap));  // no position yet: nothing opened
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_NO_POSITION");
    size_t opened = 0;
    SendPosition("139.767100E", "35.681200N", "7");
    const struct {
        int choice;
        const wchar_t* typed;
    } steps[] = {{0, nullptr}, {1, nullptr}, {2, nullptr}, {-1, L"Google"}, {-1, L"my yahoo"}};
    for (const auto& s : steps) {
        ASSERT_TRUE(s.typed ? user->Type(gps::kMapSite, s.typed)
                            : user->Choose(gps::kMapSite, s.choice));
        ASSERT_TRUE(user->Click(gps::kOpenMap));
        Opened(++opened);  // one handler at a time keeps the order of the lines
    }
    EXPECT_EQ(Opened(5),
              (std::vector<std::string>{
                  "1|https://www.google.com/maps/search/?api=1&query=35.681200,139.767100",
                  "1|https://map.yahoo.co.jp/place?lat=35.681200&lon=139.767100&zoom=16",
                  "1|https://www.bing.com/maps?cp=35.681200~139.767100&lvl=16",
                  "1|https://www.bing.com/maps?cp=35.681200~139.767100&lvl=16",
                  "1|https://map.yahoo.co.jp/place?lat=35.681200&lon=139.767100&zoom=16",
              }));
}

TEST_F(MapLinks, ATemplateThatIsNotFourNumbersOpensNothing) {
    const std::string langFile = dir / "Plugins/Orbitpane/Orbitpane_en-us.lang";
    std::optional<std::string> read = platform::ReadWholeFile(langFile);
    ASSERT_TRUE(read.has_value());
    std::string text = *read;
    const std::string from = "IDS_LINK_GOOGLE=", to = "IDS_LINK_GOOGLE=https://x/?q=%s%n&";
    text.replace(text.find(from), from.size(), to);
    dir.Write("Plugins/Orbitpane/Orbitpane_en-us.lang", text);
    Open();
    SendPosition("139.767100E", "35.681200N", "7");
    ASSERT_TRUE(user->Click(gps::kOpenMap));
    ASSERT_TRUE(user->Choose(gps::kMapSite, 2));
    ASSERT_TRUE(user->Click(gps::kOpenMap));
    EXPECT_EQ(
        Opened(1),
        (std::vector<std::string>{"1|https://www.bing.com/maps?cp=35.681200~139.767100&lvl=16"}))
        << "only the second link";
    EXPECT_TRUE(Logged("The map link was not opened"));
}

namespace {

// The handler replaced by one that answers as told, from a thread of its own.
class MapLinkAnswers : public GpsPosition {
  protected:
    void TearDown() override {
        GpsPosition::TearDown();
        linkOpener = nullptr;
    }
};

}  // namespace

TEST_F(MapLinkAnswers, TheStatusLineSaysWhenTheMapCannotBeOpened) {
    const struct {
        const char* name;
        bool starts;
        int exitStatus;
        const char* output;
        const wchar_t* key;  // the status line's key afterwards
    } cases[] = {
        {"opened", true, 0, "", L"IDS_STATIC_QUER_DataCard"},
        {"no browser", true, 3, "xdg-open: no method available for opening 'x'\n",
         L"IDS_STATIC_ERROR_OPENMAP"},
        {"ended by a signal", true, -1, "", L"IDS_STATIC_ERROR_OPENMAP"},
        {"no handler at all", false, 0, "", L"IDS_STATIC_ERROR_OPENMAP"},
    };
    Open();
    SendPosition("139.767100E", "35.681200N", "7");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialog->ShowStatus(L"IDS_STATIC_QUER_DataCard");
        ui::headless::ClearRecords();
        std::vector<std::string> links;
        std::vector<std::thread> handlers;
        linkOpener = [&](const std::string& link, auto answered) {
            links.push_back(link);
            if (!c.starts) return false;
            platform::ProgramOutcome outcome{c.exitStatus, c.output};
            handlers.emplace_back([answered, outcome] { answered(outcome); });
            return true;
        };
        ASSERT_TRUE(user->Click(gps::kOpenMap));
        for (auto& handler : handlers) handler.join();
        ASSERT_TRUE(ui::headless::WaitIdle());
        EXPECT_EQ(links,
                  std::vector<std::string>{
                      "https://www.google.com/maps/search/?api=1&query=35.681200,139.767100"});
        EXPECT_EQ(StatusKey(), c.key);
        EXPECT_EQ(Status(), Lang(c.key));
        // The link, too long for the status line, is given in a box to copy it from.
        auto boxes = ui::headless::MessageBoxes();
        if (std::wstring(c.key) == L"IDS_STATIC_ERROR_OPENMAP") {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(
                boxes[0].text,
                Lang(L"IDS_STATIC_MAP_LINK") +
                    L"\n\nhttps://www.google.com/maps/search/?api=1&query=35.681200,139.767100");
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        if (*c.output) EXPECT_TRUE(Logged("said: xdg-open: no method")) << "words in the log";
    }
    EXPECT_TRUE(Logged("The map link handler ended with status 3."));
    EXPECT_TRUE(Logged("The map link handler was ended by a signal."));

    // An answer that comes after the dialog has gone reaches nothing.
    std::function<void(const platform::ProgramOutcome&)> late;
    linkOpener = [&](const std::string&, auto answered) {
        late = answered;
        return true;
    };
    ASSERT_TRUE(user->Click(gps::kOpenMap));
    dialog.reset();
    ASSERT_TRUE(late);
    late(platform::ProgramOutcome{3, "too late"});
}

TEST_F(MapLinkAnswers, ATracksFolderThatCannotBeOpenedIsNamedOnTheStatusLine) {
    testing_support::TempDir data;
    ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    const std::string folder = data / "satview/tracks";
    const struct {
        const char* name;
        bool fileInTheWay;  // a file where the folder goes: it cannot be made
        bool starts;
        int exitStatus;
        bool told;
    } cases[] = {
        {"opened", false, true, 0, false},
        {"no file manager", false, true, 3, true},
        {"no handler at all", false, false, 0, true},
        {"cannot be made", true, true, 0, true},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(data / "satview");
        if (c.fileInTheWay) data.Write("satview", "not a folder");
        dialog->ShowStatus(L"IDS_STATIC_QUER_DataCard");
        std::vector<std::string> opened;
        std::vector<std::thread> handlers;
        linkOpener = [&](const std::string& target, auto answered) {
            opened.push_back(target);
            if (!c.starts) return false;
            platform::ProgramOutcome outcome{c.exitStatus, ""};
            handlers.emplace_back([answered, outcome] { answered(outcome); });
            return true;
        };
        ASSERT_TRUE(user->ChooseSystemMenu(orbitpane::kOpenTracksCommand));
        for (auto& handler : handlers) handler.join();
        ASSERT_TRUE(ui::headless::WaitIdle());
        EXPECT_EQ(opened,
                  c.fileInTheWay ? std::vector<std::string>{} : std::vector<std::string>{folder});
        const std::wstring told =
            Lang(L"IDS_STATIC_ERROR_OPENTRACKS") + L" " + platform::Utf8ToWide(folder);
        EXPECT_EQ(Status(), c.told ? told : Lang(L"IDS_STATIC_QUER_DataCard"));
    }
    // A change of language says it again, path and all.
    ASSERT_TRUE(user->Choose(gps::kLanguage, 1));
    EXPECT_EQ(Status(), Lang(L"IDS_STATIC_ERROR_OPENTRACKS") + L" " + platform::Utf8ToWide(folder));
    EXPECT_NE(Lang(L"IDS_STATIC_ERROR_OPENTRACKS"), L"The tracks folder could not be opened:");
    ::unsetenv("XDG_DATA_HOME");
}
