// The satellites view's texts: counts per system in their order, dilutions, error estimates,
// signal bars, the rows of the table and the first fix line.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "orbitpane/win32/sky_texts.h"

using namespace orbitpane;

namespace {

std::wstring English(const wchar_t* key) {
    static const std::map<std::wstring, std::wstring> kTexts = {
        {L"IDS_GNSS_GPS", L"GPS"},
        {L"IDS_GNSS_GLONASS", L"GLONASS"},
        {L"IDS_GNSS_GALILEO", L"Galileo"},
        {L"IDS_GNSS_BEIDOU", L"BeiDou"},
        {L"IDS_GNSS_QZSS", L"QZSS"},
        {L"IDS_GNSS_NAVIC", L"NavIC"},
        {L"IDS_GNSS_SBAS", L"SBAS"},
        {L"IDS_SKY_ALL", L"All"},
        {L"IDS_SKY_USED", L"yes"},
        {L"IDS_SKY_ERROR", L"Error %1 m h, %2 m v"},
        {L"IDS_SKY_NO_ERROR", L"no estimate"},
        {L"IDS_SKY_SEARCHING", L"searching"},
        {L"IDS_SKY_NO_SESSION", L"idle"},
        {L"IDS_LST_ITEM_FIRSTFIX", L"First fix after"},
        {L"IDS_UNIT_SECONDS", L"s"},
    };
    auto found = kTexts.find(key);
    return found == kTexts.end() ? L"<" + std::wstring(key) + L">" : found->second;
}

struct Sat {
    int gnssid, svid;
    bool used;
    int snr = -1;  // -1: unknown
    int elevation = -1, azimuth = -1;
};

framework::GpsSkyRecord Sky(const std::vector<Sat>& satellites) {
    framework::GpsSkyRecord sky{};
    for (const Sat& s : satellites) {
        framework::GpsSkySatellite& out = sky.satellites[sky.count++];
        out.gnssid = s.gnssid;
        out.svid = s.svid;
        out.used = s.used;
        out.snrKnown = s.snr >= 0;
        out.snr = s.snr;
        out.elevationKnown = s.elevation >= 0;
        out.elevation = s.elevation;
        out.azimuthKnown = s.azimuth >= 0;
        out.azimuth = s.azimuth;
    }
    return sky;
}

}  // namespace

TEST(SkyTexts, CountsPerSystemInTheirOrder) {
    const struct {
        std::vector<Sat> satellites;
        const wchar_t* counts;
    } rows[] = {
        {{}, L"All 0/0"},
        {{{6, 1, true}, {0, 5, true}, {2, 3, false}, {0, 7, false}, {6, 2, false}},
         L"GPS 2/1 \u00B7 GLONASS 2/1 \u00B7 Galileo 1/0 \u00B7 All 5/2"},
        {{{1, 135, false}, {5, 1, true}, {3, 11, true}, {7, 2, false}},
         L"BeiDou 1/1 \u00B7 QZSS 1/1 \u00B7 NavIC 1/0 \u00B7 SBAS 1/0 \u00B7 All 4/2"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SkyCounts(Sky(row.satellites), English), row.counts);
    }
}

TEST(SkyTexts, DopsAndErrorsOnlyAsTheReceiverGaveThem) {
    framework::GpsSkyRecord sky{};
    EXPECT_EQ(SkyDops(sky), L"");
    EXPECT_EQ(SkyError(sky, English), L"no estimate");
    sky.hdopKnown = true;
    sky.hdop = 0.94;
    EXPECT_EQ(SkyDops(sky), L"HDOP 0.9");
    sky.pdopKnown = sky.vdopKnown = true;
    sky.pdop = 1.55;
    sky.vdop = 1.3;
    EXPECT_EQ(SkyDops(sky), L"PDOP 1.6 \u00B7 HDOP 0.9 \u00B7 VDOP 1.3");
    sky.altitudeErrorKnown = true;
    sky.altitudeErrorMetres = 4.2;
    EXPECT_EQ(SkyError(sky, English), L"Error ? m h, 4.2 m v");
    sky.latitudeErrorKnown = sky.longitudeErrorKnown = true;
    sky.latitudeErrorMetres = 3;
    sky.longitudeErrorMetres = 4;
    EXPECT_EQ(SkyError(sky, English), L"Error 5.0 m h, 4.2 m v") << "both together";
}

TEST(SkyTexts, SignalBarsInEighthsOfACell) {
    const struct {
        int snr;
        const wchar_t* bar;
    } rows[] = {
        {0, L"    "},
        {1, L"    "},  // under an eighth
        {3, L"\u258F   "},
        {7, L"\u258C   "},
        {25, L"\u2588\u2588  "},
        {44, L"\u2588\u2588\u2588\u258C"},
        {50, L"\u2588\u2588\u2588\u2588"},
        {63, L"\u2588\u2588\u2588\u2588"},
        {-5, L"    "},
    };
    for (const auto& row : rows) EXPECT_EQ(SignalBar(row.snr, 4), row.bar) << row.snr;
}

TEST(SkyTexts, RowsBySystemThenNumberWithWhatIsKnown) {
    auto rows = SkyRows(Sky({{6, 9, false, 31, 18, 305},
                             {0, 12, true, 43, 55, 275},
                             {0, 2, true, 44, 67, 40},
                             {2, 3, false}}),
                        4, English);
    ASSERT_EQ(rows.size(), 4u);
    std::vector<std::wstring> order;
    for (const auto& r : rows) order.push_back(r.system + L" " + r.number);
    EXPECT_EQ(order, (std::vector<std::wstring>{L"GPS 2", L"GPS 12", L"GLONASS 9", L"Galileo 3"}));
    EXPECT_EQ(rows[0].elevation, L"67\u00B0");
    EXPECT_EQ(rows[0].azimuth, L"40\u00B0");
    EXPECT_EQ(rows[0].signal, L"\u2588\u2588\u2588\u258C 44");
    EXPECT_EQ(rows[0].usedText, L"yes");
    EXPECT_EQ(rows[2].usedText, L"");
    // Tracked but not yet placed, or placed without a signal: those cells stay empty.
    EXPECT_EQ(rows[3].elevation + rows[3].azimuth + rows[3].signal, L"");
}

TEST(SkyTexts, TheFirstFixLine) {
    EXPECT_EQ(FirstFixLine(false, std::nullopt, English), L"idle");
    EXPECT_EQ(FirstFixLine(true, std::nullopt, English), L"searching");
    EXPECT_EQ(FirstFixLine(true, std::chrono::milliseconds(4249), English),
              L"First fix after 4.2 s");
    EXPECT_EQ(FirstFixLine(false, std::chrono::milliseconds(35012), English),
              L"First fix after 35.0 s");
}

TEST(SkyTexts, PlotMarksLegendAndBarsBySystem) {
    // GLONASS 9 placed and heard, GPS 2 used, GPS 5 heard but not yet placed, Galileo 3 placed
    // but not heard.
    auto sky = Sky({{6, 9, false, 31, 18, 305},
                    {0, 5, false, 20},
                    {0, 2, true, 44, 67, 40},
                    {2, 3, false, -1, 48, 60}});
    auto marks = SkyMarks(sky);
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[0], (ui::PlotMark{40, 67, ui::MarkShape::Circle, 0x1F77B4, true, L"2"}));
    EXPECT_EQ(marks[1], (ui::PlotMark{305, 18, ui::MarkShape::Square, 0xD62728, false, L"9"}));
    EXPECT_EQ(marks[2].shape, ui::MarkShape::Triangle);
    auto legend = SkyLegend(sky, English);
    ASSERT_EQ(legend.size(), 3u);
    EXPECT_EQ(legend[0].text + legend[1].text + legend[2].text, L"GPSGLONASSGalileo");
    auto bars = SkyBars(sky, English);
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_EQ(bars[0], (ui::ChartBar{L"GPS", L"2", 44, 0x1F77B4, true}));
    EXPECT_EQ(bars[1], (ui::ChartBar{L"GPS", L"5", 20, 0x1F77B4, false}));
    EXPECT_EQ(bars[2].group, L"GLONASS");
    // Every system its own shape and colour.
    std::set<std::pair<int, std::uint32_t>> looks;
    for (int gnssid : {0, 2, 3, 5, 6, 7}) {
        looks.emplace(static_cast<int>(SystemShape(gnssid)), SystemColour(gnssid));
    }
    EXPECT_EQ(looks.size(), 6u);
}
