// The GPS dialog's fix rows (altitude, speed and course, fix with HDOP) below the position
// rows: what each record says, empty while unknown, in the chosen language, emptied by Stop.
#include <cstring>

#include "framework/devicemgr/nmea_decoder.h"
#include "monitoring_fixture.h"

using namespace orbitpane_test;

namespace {

constexpr int kAltitudeRow = kListRows;
constexpr int kSpeedRow = kListRows + 1;
constexpr int kFixRow = kListRows + 2;

class FixRows : public MonitoringFixture {
  protected:
    void Send(framework::GpsDataRecord record) {
        std::strcpy(record.longitude, "11.516667E");
        std::strcpy(record.latitude, "48.117300N");
        std::strcpy(record.satellites, "8");
        dialog->Send(WM_GPS_DATA, reinterpret_cast<ui::WParam>(&record), 0);
    }
    // The records the device manager makes of these sentences, handed to the dialog.
    void SendSentences(const std::vector<std::string>& sentences) {
        for (const std::string& s : sentences) {
            if (auto fix = decoder.Decode(s)) {
                auto record = devicemgr::MakeRecord(*fix);
                dialog->Send(WM_GPS_DATA, reinterpret_cast<ui::WParam>(&record), 0);
            }
        }
    }
    std::wstring Cell(int row, int column = 1) { return user->Cell(gps::kList, row, column); }
    std::vector<std::wstring> FixCells() {
        return {Cell(kAltitudeRow), Cell(kSpeedRow), Cell(kFixRow)};
    }
    devicemgr::NmeaDecoder decoder;
};

framework::GpsDataRecord With(void (*set)(framework::GpsDataRecord&)) {
    framework::GpsDataRecord record{};
    set(record);
    return record;
}

}  // namespace

TEST_F(FixRows, EachRecordShowsWhatItKnows) {
    const struct {
        const char* what;
        framework::GpsDataRecord record;
        std::vector<std::wstring> rows;
    } cases[] = {
        {"nothing known", framework::GpsDataRecord{}, {L"", L"", L""}},
        {"all known",
         With([](framework::GpsDataRecord& r) {
             r.altitudeKnown = r.speedKnown = r.courseKnown = r.fixModeKnown = r.hdopKnown = true;
             r.altitudeMetres = 35.2;
             r.speedMetresPerSecond = 11.5;
             r.courseDegrees = 84.4;
             r.fixMode = framework::kGpsFix3D;
             r.hdop = 0.9;
         }),
         {L"35.2 m", L"41.4 km/h / 84\u00B0", L"3D (HDOP 0.9)"}},
        {"below the sea, standing, course unknown, 2D",
         With([](framework::GpsDataRecord& r) {
             r.altitudeKnown = r.speedKnown = r.fixModeKnown = true;
             r.altitudeMetres = -19.7;
             r.speedMetresPerSecond = 0.0;
             r.courseDegrees = 123;  // not known: not shown
             r.fixMode = framework::kGpsFix2D;
         }),
         {L"-19.7 m", L"0.0 km/h", L"2D"}},
        {"no fix said, HDOP of a fix without a mode",
         With([](framework::GpsDataRecord& r) {
             r.hdopKnown = true;
             r.hdop = 1.5;
         }),
         {L"", L"", L"HDOP 1.5"}},
        {"the receiver says no fix",
         With([](framework::GpsDataRecord& r) {
             r.fixModeKnown = r.hdopKnown = true;
             r.fixMode = framework::kGpsFixNone;
             r.hdop = 99.99;
         }),
         {L"", L"", L"No fix"}},
    };
    Open();
    for (int i = 0; i < orbitpane::kFixRows; ++i) {
        EXPECT_EQ(Cell(kListRows + i, 0), Lang(orbitpane::kFixRowKeys[i]));
        EXPECT_FALSE(Lang(orbitpane::kFixRowKeys[i]).empty());
    }
    for (const auto& c : cases) {
        Send(c.record);
        EXPECT_EQ(FixCells(), c.rows) << c.what;
        EXPECT_EQ(Cell(1), L"E 11d 31.000020") << "the position rows as before";
    }
}

// A ship's receiver through the decoder: the first fix knows its altitude only, the next
// the speed, course and fix of the epoch before; Stop empties the rows and a language change
// does not bring them back; a new session shows them in the new language.
TEST_F(FixRows, RealSentencesFillTheRowsWhichFollowTheLanguage) {
    card->SetStandingAnswer("AT^GPSTYPE?", kAgpsCardAnswer);
    PlugPorts();
    Open();
    Raise({kReady});
    ASSERT_TRUE(PortShown());
    EXPECT_EQ(user->Rows(gps::kList), kListRows + orbitpane::kFixRows);
    ASSERT_TRUE(user->Click(gps::kStart));
    EXPECT_EQ(FixCells(), (std::vector<std::wstring>{L"", L"", L""}));
    const std::vector<std::string> epochs = {
        "$GPGGA,195959.00,1541.31258893,N,05130.51204125,W,2,06,1.5,9.2,M,-37.6,M,4.0,0138*7E",
        "$GPVTG,147.44,T,164.31,M,0.26,N,0.49,K,D*2C",
        "$GPRMC,195959.00,A,1541.31258893,N,05130.51204125,W,0.26,147.44,140120,16.9,W,D*0B",
        "$GPGSA,M,3,14,16,26,27,29,31,,,,,,,2.7,1.5,2.3*34",
    };
    SendSentences({epochs[0]});
    EXPECT_EQ(FixCells(), (std::vector<std::wstring>{L"9.2 m", L"", L"HDOP 1.5"}));
    SendSentences({epochs.begin() + 1, epochs.end()});
    SendSentences(
        {"$GPGGA,200000.00,1541.31248595,N,05130.51199976,W,2,06,1.5,8.8,M,-37.6,M,5.0,0138*7D"});
    const std::vector<std::wstring> english = {L"8.8 m", L"0.5 km/h / 147\u00B0", L"3D (HDOP 1.5)"};
    EXPECT_EQ(FixCells(), english);

    ASSERT_TRUE(user->Choose(gps::kLanguage, 1));  // Japanese
    EXPECT_EQ(Cell(kAltitudeRow, 0), L"\u9AD8\u5EA6");
    EXPECT_EQ(FixCells(),
              (std::vector<std::wstring>{L"8.8 m", english[1], L"3D \u6E2C\u4F4D (HDOP 1.5)"}));

    ASSERT_TRUE(user->Click(gps::kStop));
    EXPECT_EQ(FixCells(), (std::vector<std::wstring>{L"", L"", L""}));
    ASSERT_TRUE(user->Choose(gps::kLanguage, 2));  // Portuguese
    EXPECT_EQ(Cell(kFixRow, 0), L"Posicionamento");
    EXPECT_EQ(FixCells(), (std::vector<std::wstring>{L"", L"", L""})) << "nothing comes back";
}
