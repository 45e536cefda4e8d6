// The NMEA of the simulated card: well-formed sentences along a route that moves, and the
// replay of a log.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

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
        int gsvSatellites = 0;
        for (const std::string& sentence : epoch) {
            ASSERT_TRUE(ValidSentence(sentence)) << sentence;
            std::vector<std::string> f = Fields(sentence);
            if (f[0] == "GPGSV") {
                EXPECT_EQ(std::atoi(f[3].c_str()), point.satellites);
                gsvSatellites += static_cast<int>((f.size() - 4) / 4);
            }
        }
        EXPECT_EQ(gsvSatellites, point.satellites);
        std::vector<std::string> rmc = Fields(epoch[0]);
        ASSERT_EQ(rmc[0], "GPRMC");
        EXPECT_EQ(rmc[1], "005320.00");
        EXPECT_EQ(rmc[2], "A");
        EXPECT_EQ(rmc[9], "301126");
        EXPECT_EQ(Fields(epoch[1])[0], "GPGGA");
        EXPECT_EQ(Fields(epoch[2])[0], "GPGSA");
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
