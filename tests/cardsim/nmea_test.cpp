// The NMEA of the simulated card: well-formed sentences along a route that moves, and the
// replay of a log.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "cardsim/card.h"
#include "framework/devicemgr/nmea_decoder.h"
#include "nmea.h"
#include "temp_dir.h"

namespace {

// True when `sentence` is "$body*hh\r\n" with the right checksum.
bool ValidSentence(const std::string& sentence) {
    if (sentence.size() < 6 || sentence.front() != '$' || !sentence.ends_with("\r\n")) return false;
    size_t star = sentence.rfind('*');
    if (star == std::string::npos || star + 5 != sentence.size()) return false;
    unsigned value = std::strtoul(sentence.substr(star + 1, 2).c_str(), nullptr, 16);
    return value == cardsim::NmeaChecksum(sentence.substr(1, star - 1));
}

std::vector<std::string> Fields(const std::string& sentence) {
    std::vector<std::string> fields;
    std::string body = sentence.substr(1, sentence.rfind('*') - 1);
    size_t start = 0;
    for (size_t comma; (comma = body.find(',', start)) != std::string::npos; start = comma + 1) {
        fields.push_back(body.substr(start, comma - start));
    }
    fields.push_back(body.substr(start));
    return fields;
}

TEST(Nmea, EpochHoldsValidSentencesWithTheSatelliteCount) {
    std::time_t utc = 1796000000;  // 2026-11-30 00:53:20 UTC
    for (long second : {0L, 25L, 77L}) {
        cardsim::RoutePoint point = cardsim::RouteAt(second);
        std::vector<std::string> epoch = cardsim::RouteEpoch(point, utc);
        int gsvSatellites = 0, glonass = 0, gsa = 0;
        for (const std::string& sentence : epoch) {
            ASSERT_TRUE(ValidSentence(sentence)) << sentence;
            std::vector<std::string> f = Fields(sentence);
            if (f[0] == "GPGSV") {
                EXPECT_EQ(std::atoi(f[3].c_str()), point.satellites);
                gsvSatellites += static_cast<int>((f.size() - 4) / 4);
            }
            if (f[0] == "GLGSV") glonass += static_cast<int>((f.size() - 4) / 4);
            gsa += f[0].ends_with("GSA");
        }
        EXPECT_EQ(gsvSatellites, point.satellites);
        EXPECT_EQ(glonass, point.glonass);
        EXPECT_EQ(gsa, 4) << "one GSA per system";
        std::vector<std::string> rmc = Fields(epoch[0]);
        ASSERT_EQ(rmc[0], "GPRMC");
        EXPECT_EQ(rmc[1], "005320.00");
        EXPECT_EQ(rmc[2], "A");
        EXPECT_EQ(rmc[9], "301126");
        EXPECT_EQ(Fields(epoch[1])[0], "GPGGA");
        EXPECT_EQ(Fields(epoch[2])[0], "GPGST");
        EXPECT_EQ(Fields(epoch[3])[0], "GPGSA");
        EXPECT_EQ(Fields(epoch.back())[0], "GPGLL");
    }
}

TEST(Nmea, PositionMovesAndStaysNearTheRoute) {
    cardsim::RoutePoint first = cardsim::RouteAt(0);
    cardsim::RoutePoint later = cardsim::RouteAt(5);
    EXPECT_NE(first.latitude, later.latitude);
    EXPECT_NE(first.longitude, later.longitude);
    for (long s = 0; s < 600; s += 37) {
        cardsim::RoutePoint p = cardsim::RouteAt(s);
        EXPECT_NEAR(p.latitude, 37.654, 0.01);
        EXPECT_NEAR(p.longitude, -122.123, 0.01);
    }
    std::vector<std::string> rmc = Fields(cardsim::RouteEpoch(first, 0)[0]);
    double minutes = std::atof(rmc[3].substr(2).c_str());
    EXPECT_NEAR(std::atoi(rmc[3].substr(0, 2).c_str()) + minutes / 60, first.latitude, 1e-5);
    EXPECT_EQ(rmc[4], "N");
    EXPECT_EQ(rmc[6], "W");
}

// A start read by the device manager's decoder: no fix while the receiver searches, the
// satellites it acquired growing in number, their places known early unless the start is
// cold, their signals measured as they are tracked; then the route's four systems.
TEST(Nmea, ASearchingReceiverShowsTheSkyRisingAndNoFix) {
    const std::time_t utc = 1796000000;
    for (bool skyKnown : {false, true}) {
        SCOPED_TRACE(skyKnown ? "almanac" : "cold");
        devicemgr::NmeaDecoder decoder;
        size_t seen = 0;
        int placed = 0, measured = 0, views = 0;
        for (double progress : {0.05, 0.2, 0.4, 0.6, 0.8, 0.95}) {
            SCOPED_TRACE(progress);
            for (const std::string& line :
                 cardsim::SearchEpoch(cardsim::RouteAt(3), progress, skyKnown, utc)) {
                ASSERT_TRUE(ValidSentence(line)) << line;
                EXPECT_FALSE(decoder.Decode(line.substr(0, line.size() - 2))) << line;
            }
            decoder.Finish();
            auto view = decoder.TakeSky();
            ASSERT_TRUE(view);
            ++views;
            EXPECT_GE(view->satellites.size(), seen);
            seen = view->satellites.size();
            EXPECT_EQ(view->Used(), 0);
            int placedHere = 0;
            for (const auto& satellite : view->satellites) {
                placedHere += satellite.elevation.has_value();
                measured += satellite.snr.has_value();
            }
            if (progress < 0.7 && seen > 0) EXPECT_EQ(placedHere > 0, skyKnown);
            placed += placedHere;
        }
        // Then the fix, with GST closing the epoch's run.
        std::optional<devicemgr::SkyView> last;
        for (const std::string& line : cardsim::RouteEpoch(cardsim::RouteAt(4), utc + 1)) {
            decoder.Decode(line.substr(0, line.size() - 2));
            if (auto view = decoder.TakeSky()) last = view;
        }
        ASSERT_TRUE(last);
        EXPECT_EQ(last->satellites.size(), 18u) << "8 GPS, 4 GLONASS, 3 Galileo, 3 BeiDou";
        EXPECT_EQ(last->Used(), 13);
        EXPECT_TRUE(last->latitudeError && last->altitudeError);
        EXPECT_EQ(views, 6);
        EXPECT_GT(placed, 0);
        EXPECT_GT(seen, 3u);
        EXPECT_GT(measured, 0);
        EXPECT_EQ(decoder.Counters().malformed + decoder.Counters().badChecksum, 0u);
    }
}

TEST(Nmea, TheStartsTakeTheirTimeAndAssistanceShortensThem) {
    const struct {
        cardsim::StartKind kind;
        bool assisted;
        long ms;
    } rows[] = {
        {cardsim::StartKind::Cold, false, 35000}, {cardsim::StartKind::Warm, false, 25000},
        {cardsim::StartKind::Hot, false, 1000},   {cardsim::StartKind::Cold, true, 7000},
        {cardsim::StartKind::Warm, true, 5000},   {cardsim::StartKind::Hot, true, 1000},
    };
    cardsim::CardOptions options;
    options.hotStart = std::chrono::milliseconds(1000);
    for (const auto& row : rows) {
        options.start = row.kind;
        EXPECT_EQ(cardsim::TimeToFirstFix(options, row.assisted).count(), row.ms)
            << cardsim::ToString(row.kind) << row.assisted;
    }
    // A short cold start, assisted, is not quicker than a hot one.
    options.start = cardsim::StartKind::Cold;
    options.coldStart = std::chrono::milliseconds(3000);
    EXPECT_EQ(cardsim::TimeToFirstFix(options, true).count(), 1000);
}

TEST(Nmea, ReplayGroupsEpochsByTimeAndLoops) {
    testing_support::TempDir dir;
    std::string path =
        dir.Write("log.nmea",
                  "$GPGSV,1,1,01,02,67,040,44*4A\r\n"
                  "$GPRMC,235958.00,A,3739.259,N,12207.407,W,0.1,0.0,071226,,,A*00\n"
                  "$GPGGA,235958.00,3739.259,N,12207.407,W,1,05,0.9,35.2,M,,M,,*00\n"
                  "\n"
                  "$GPRMC,000000.50,A,3739.259,N,12207.407,W,0.1,0.0,081226,,,A*00\n");
    cardsim::NmeaReplay replay;
    ASSERT_TRUE(replay.Load(path));
    EXPECT_EQ(replay.Next().size(), 3u);
    EXPECT_EQ(replay.Gap(std::chrono::milliseconds(1000)), std::chrono::milliseconds(2500));
    EXPECT_EQ(replay.Next().size(), 1u);
    EXPECT_EQ(replay.Gap(std::chrono::milliseconds(1000)), std::chrono::milliseconds(1000));
    EXPECT_EQ(replay.Next().size(), 3u) << "starts over";
    EXPECT_FALSE(replay.Load(dir / "missing.nmea"));
}

}  // namespace
