// The sky from GSV and GSA: how satellite numbers are read under each talker and system ID,
// and when a run makes a view.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/devicemgr/gnss_systems.h"
#include "framework/devicemgr/nmea_decoder.h"
#include "nmea_sentences.h"

namespace {

using devicemgr::NmeaDecoder;
using devicemgr::gnss::Numbering;
using nmea_test::Sentence;

TEST(GnssNumbering, EachTalkerAndRangeAsGpsdNumbersIt) {
    struct Row {
        Numbering numbering;
        int number;
        int gnssid, svid, prn;  // gnssid -1: no satellite
    };
    const Row rows[] = {
        {Numbering::kShared, 7, 0, 7, 7},      {Numbering::kShared, 32, 0, 32, 32},
        {Numbering::kShared, 48, 1, 135, 48},  {Numbering::kShared, 65, 6, 1, 65},
        {Numbering::kShared, 96, 6, 32, 96},   {Numbering::kShared, 133, 1, 133, 46},
        {Numbering::kShared, 195, 5, 3, 195},  {Numbering::kShared, 210, 3, 10, 410},
        {Numbering::kShared, 305, 2, 5, 305},  {Numbering::kShared, 437, 3, 37, 437},
        {Numbering::kShared, 0, -1, 0, 0},     {Numbering::kShared, 99, -1, 0, 0},
        {Numbering::kGlonass, 5, 6, 5, 69},    {Numbering::kGlonass, 72, 6, 8, 72},
        {Numbering::kGalileo, 36, 2, 36, 336}, {Numbering::kGalileo, 301, 2, 1, 301},
        {Numbering::kBeiDou, 37, 3, 37, 437},  {Numbering::kBeiDou, 63, 3, 63, 463},
        {Numbering::kBeiDou, 401, 3, 1, 401},  {Numbering::kQzss, 1, 5, 1, 193},
        {Numbering::kQzss, 194, 5, 2, 194},    {Numbering::kNavic, 14, 7, 14, 814},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(static_cast<int>(row.numbering)) + " " +
                     std::to_string(row.number));
        auto id = devicemgr::gnss::Identify(row.numbering, row.number);
        if (row.gnssid < 0) {
            EXPECT_FALSE(id);
            continue;
        }
        ASSERT_TRUE(id);
        EXPECT_EQ(*id, (devicemgr::gnss::SatelliteId{row.gnssid, row.svid, row.prn}));
    }
}

struct Views {
    std::vector<devicemgr::SkyView> views;
    NmeaDecoder decoder;
    void Feed(const std::vector<std::string>& bodies) {
        for (const std::string& body : bodies) {
            decoder.Decode(Sentence(body));
            if (auto view = decoder.TakeSky()) views.push_back(*view);
        }
    }
};

// A receiver's no-fix RMC at second `second` (a new epoch each).
std::string Void(const char* talker, int second) {
    return std::string(talker) + "RMC,00000" + std::to_string(second) + ",V,,,,,,,071226,,,N";
}

std::string Listed(const devicemgr::SkyView& view) {
    std::string text;
    for (const auto& s : view.satellites) {
        text += std::to_string(s.id.prn) + (s.used ? "* " : " ");
    }
    return text;
}

TEST(SkyView, ARunMakesAViewOnlyWhole) {
    const struct Row {
        const char* what;
        std::vector<std::string> bodies;
        std::vector<std::string> views;  // Listed() of each
        uint64_t partial;
    } rows[] = {
        {"a part missing: no view, the next run whole",
         {"GPGSV,2,1,05,01,40,083,46,02,17,308,41,03,07,344,39,04,22,228,45", Void("GP", 1),
          "GPGSV,2,2,05,05,10,100,30", Void("GP", 2), "GPGSV,1,1,01,09,40,083,46", Void("GP", 3)},
         {"9 "},
         2},
        {"GSA between GSV and after them, one set per epoch",
         {Void("GP", 1), "GPGSA,A,3,01,,,,,,,,,,,,1.8,0.9,1.5",
          "GPGSV,1,1,02,01,40,083,46,02,17,308,41", "GLGSA,A,3,65,,,,,,,,,,,,1.8,0.9,1.5",
          "GLGSV,1,1,01,65,40,083,46", Void("GP", 2), "GPGSV,1,1,02,01,40,083,46,02,17,308,41",
          "GPGSA,A,3,02,,,,,,,,,,,,1.8,0.9,1.5", Void("GP", 3)},
         {"1* 2 65* ", "1 2* "},
         0},
        {"GSV only: a group begun again starts the next run",
         {"GPGSV,1,1,01,01,40,083,46", "GPGSV,1,1,01,02,40,083,46", "GPGSV,1,1,01,03,40,083,46"},
         {"1 ", "2 "},
         0},
        {"GSA of an older epoch marks nothing",
         {Void("GP", 1), "GPGSA,A,3,01,,,,,,,,,,,,1.8,0.9,1.5", Void("GP", 2), Void("GP", 3),
          "GPGSV,1,1,01,01,40,083,46", Void("GP", 4)},
         {"1 "},
         0},
        {"a GN GSA by number ranges, system IDs over talkers",
         {Void("GN", 1), "GNGSA,A,3,01,66,305,,,,,,,,,,1.8,0.9,1.5",
          "GNGSA,A,3,07,,,,,,,,,,,,1.8,0.9,1.5,4", "GPGSV,1,1,01,01,40,083,46",
          "GLGSV,1,1,01,66,40,083,46", "GAGSV,1,1,01,05,40,083,46", "GBGSV,1,1,01,07,40,083,46",
          Void("GN", 2)},
         {"1* 66* 305* 407* "},
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Views v;
        v.Feed(row.bodies);
        std::vector<std::string> listed;
        for (const auto& view : v.views) listed.push_back(Listed(view));
        EXPECT_EQ(listed, row.views);
        EXPECT_EQ(v.decoder.Counters().partialSkies, row.partial);
        EXPECT_EQ(v.decoder.Counters().malformed, 0u);
    }
}

TEST(SkyView, MalformedGsvIsCountedAndLeavesTheRun) {
    for (const char* body :
         {"GPGSV,1,1,01,01,40,083,46,Z", "GPGSV,0,1,01", "GPGSV,40,1,01", "GPGSV,1,1"}) {
        SCOPED_TRACE(body);
        Views v;
        v.Feed({body, Void("GP", 1)});
        EXPECT_TRUE(v.views.empty());
        EXPECT_EQ(v.decoder.Counters().malformed, 1u);
    }
}

TEST(SkyView, TheRecordHoldsWhatTheViewHas) {
    devicemgr::SkyView view;
    for (int i = 0; i < 100; ++i) {
        devicemgr::SkySatellite s;
        s.id = {devicemgr::gnss::kGps, i + 1, i + 1};
        s.used = i == 0;
        if (i == 1) s.snr = 40;
        view.satellites.push_back(s);
    }
    view.hdop = 0.9;
    view.altitudeError = 3.5;
    framework::GpsSkyRecord record = devicemgr::MakeSkyRecord(view);
    EXPECT_EQ(record.count, static_cast<int32_t>(framework::kSkyMaxSatellites));
    EXPECT_TRUE(record.satellites[0].used);
    EXPECT_FALSE(record.satellites[0].snrKnown);
    EXPECT_TRUE(record.satellites[1].snrKnown);
    EXPECT_EQ(record.satellites[1].snr, 40);
    EXPECT_TRUE(record.hdopKnown && !record.pdopKnown && !record.vdopKnown);
    EXPECT_TRUE(record.altitudeErrorKnown && !record.latitudeErrorKnown);
    EXPECT_EQ(record.altitudeErrorMetres, 3.5);
}

}  // namespace
