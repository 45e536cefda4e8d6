// What the decoder reads beyond the position, from receivers' own sentences: GNS and GLL
// positions, altitude, satellites used, HDOP, speed, course, fix mode, DOP and UTC time, and
// how these carry over between the sentences of an epoch and into the record.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "framework/devicemgr/nmea_decoder.h"
#include "nmea_sentences.h"

namespace {

using devicemgr::GpsFix;
using devicemgr::NmeaDecoder;
using nmea_test::Sentence;

std::vector<GpsFix> Fixes(const std::vector<std::string>& sentences) {
    NmeaDecoder decoder;
    std::vector<GpsFix> fixes;
    for (const std::string& s : sentences) {
        if (auto fix = decoder.Decode(s)) fixes.push_back(*fix);
        EXPECT_EQ(decoder.Counters().malformed + decoder.Counters().badChecksum, 0u) << s;
    }
    return fixes;
}

std::string Text(const char* field) {
    return field;
}

// One sentence alone, as the only one of its epoch.
TEST(NmeaFixValues, GnsGllAndGgaGivePositionsWithAltitudeAndQuality) {
    struct Case {
        std::string sentence;
        const char* longitude;
        const char* latitude;
        std::optional<double> altitude;
        std::optional<int> used;
        std::optional<double> hdop;
        int32_t timeOfDay;
    };
    const Case cases[] = {
        // Multi-system receiver, NMEA 4.11 (status field V as it always sends).
        {"$GNGNS,221459.00,3647.747738,N,13644.829895,E,AAAAAN,24,0.6,16.5,34.0,,,V*1C",
         "136.747165E", "36.795796N", 16.5, 24, 0.6, (22 * 3600 + 14 * 60 + 59) * 1000},
        // RTK fix on two systems, south of the equator.
        {"$GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,*70", "172.591425E",
         "-43.544877S", 25.63, 13, 0.9, (1 * 3600 + 40 * 60 + 35) * 1000},
        // GPS fixed, GLONASS not; altitude left empty; the fields after it missing.
        {"$GPGNS,112257.00,3844.24011,N,00908.43828,W,AN,03,10.5,,*57", "-9.140638W", "38.737335N",
         std::nullopt, 3, 10.5, (11 * 3600 + 22 * 60 + 57) * 1000},
        // Units written after altitude and separation, milliseconds in the time.
        {"$GNGNS,053106.000,3149.334190,N,11706.948654,E,DANN,16,0.63,51.287,M,-0.335,M,,,V*05",
         "117.115811E", "31.822237N", 51.287, 16, 0.63, (5 * 3600 + 31 * 60 + 6) * 1000},
        // Ship's receiver: differential GLL with eight decimals of minutes.
        {"$GPGLL,1541.31258893,N,05130.51204125,W,195959.00,A,D*7B", "-51.508534W", "15.688543N",
         std::nullopt, std::nullopt, std::nullopt, (19 * 3600 + 59 * 60 + 59) * 1000},
        // Below sea level.
        {"$GNGGA,172814.00,2803.208136,N,08225.981423,W,1,08,1.1,-19.7,M,-24.8,M,,*5F",
         "-82.433024W", "28.053469N", -19.7, 8, 1.1, (17 * 3600 + 28 * 60 + 14) * 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sentence);
        auto fixes = Fixes({c.sentence});
        ASSERT_EQ(fixes.size(), 1u);
        framework::GpsDataRecord record = devicemgr::MakeRecord(fixes[0]);
        EXPECT_EQ(Text(record.longitude), c.longitude);
        EXPECT_EQ(Text(record.latitude), c.latitude);
        EXPECT_EQ(record.altitudeKnown, c.altitude.has_value());
        if (c.altitude) EXPECT_DOUBLE_EQ(record.altitudeMetres, *c.altitude);
        EXPECT_EQ(record.satellitesUsedKnown, c.used.has_value());
        if (c.used) EXPECT_EQ(record.satellitesUsed, *c.used);
        EXPECT_EQ(record.hdopKnown, c.hdop.has_value());
        if (c.hdop) EXPECT_DOUBLE_EQ(record.hdop, *c.hdop);
        EXPECT_TRUE(record.utcTimeKnown);
        EXPECT_EQ(record.utcMillisecondOfDay, c.timeOfDay);
        // Nothing said about speed, course, mode or date.
        EXPECT_FALSE(record.speedKnown || record.courseKnown || record.fixModeKnown ||
                     record.pdopKnown || record.vdopKnown || record.utcDateTimeKnown);
    }
}

// A ship's receiver, one epoch a second: GGA, GLL, VTG, ZDA, RMC, GSA, GSV. The fix comes
// with GGA; speed, course, mode, DOP and date come later in the epoch and reach the next fix.
TEST(NmeaFixValues, ValuesSentAfterThePositionReachTheNextFix) {
    auto fixes = Fixes({
        "$GPGGA,195959.00,1541.31258893,N,05130.51204125,W,2,06,1.5,9.2,M,-37.6,M,4.0,0138*7E",
        "$GPGLL,1541.31258893,N,05130.51204125,W,195959.00,A,D*7B",
        "$GPVTG,147.44,T,164.31,M,0.26,N,0.49,K,D*2C",
        "$GPZDA,195959.00,14,01,2020,00,00*6A",
        "$GPRMC,195959.00,A,1541.31258893,N,05130.51204125,W,0.26,147.44,140120,16.9,W,D*0B",
        "$GPGSA,M,3,14,16,26,27,29,31,,,,,,,2.7,1.5,2.3*34",
        "$GPGSV,3,1,12,03,09,280,,04,11,322,,08,11,209,35,14,68,160,42*70",
        "$GPGGA,200000.00,1541.31248595,N,05130.51199976,W,2,06,1.5,8.8,M,-37.6,M,5.0,0138*7D",
        "$GPGLL,1541.31248595,N,05130.51199976,W,200000.00,A,D*72",
        "$GPVTG,154.37,T,171.24,M,0.59,N,1.09,K,D*27",
        "$GPGGA,200001.00,1541.31235466,N,05130.51197862,W,2,06,1.5,8.9,M,-37.6,M,6.0,0138*73",
    });
    ASSERT_EQ(fixes.size(), 3u);
    EXPECT_DOUBLE_EQ(*fixes[0].altitudeMetres, 9.2);
    EXPECT_FALSE(fixes[0].speedMetresPerSecond || fixes[0].fixMode || fixes[0].utcMilliseconds);

    const GpsFix& second = fixes[1];
    EXPECT_DOUBLE_EQ(*second.altitudeMetres, 8.8);
    EXPECT_NEAR(*second.speedMetresPerSecond, 0.26 * 1852 / 3600, 1e-9);  // RMC after VTG
    EXPECT_DOUBLE_EQ(*second.courseDegrees, 147.44);
    EXPECT_EQ(second.fixMode, framework::kGpsFix3D);
    EXPECT_DOUBLE_EQ(*second.pdop, 2.7);
    EXPECT_DOUBLE_EQ(*second.hdop, 1.5);
    EXPECT_DOUBLE_EQ(*second.vdop, 2.3);
    EXPECT_EQ(second.utcMilliseconds, 1579032000000);  // 2020-01-14 20:00:00 UTC

    // VTG of the second epoch gives km/h; the GSA and date from two epochs back are kept.
    const GpsFix& third = fixes[2];
    EXPECT_NEAR(*third.speedMetresPerSecond, 1.09 / 3.6, 1e-9);
    EXPECT_DOUBLE_EQ(*third.courseDegrees, 154.37);
    EXPECT_FALSE(third.fixMode) << "a mode not said for two epochs is forgotten";
    EXPECT_FALSE(third.utcMilliseconds);
    EXPECT_EQ(third.utcMillisecondOfDay, 72001000);
}

// A multi-system receiver every ten seconds: RMC, GNS, GGA; then an epoch with GNS alone.
TEST(NmeaFixValues, RmcFirstReceiverAndGnsOnlyEpoch) {
    auto fixes = Fixes({
        "$GNRMC,221459.00,A,3647.747738,N,13644.829895,E,0.0,,110921,5.4,W,A,V*62",
        "$GNGNS,221459.00,3647.747738,N,13644.829895,E,AAAAAN,24,0.6,16.5,34.0,,,V*1C",
        "$GNGGA,221459.00,3647.747738,N,13644.829895,E,1,12,0.6,16.5,M,34.0,M,,*46",
        "$GNGNS,221509.00,3647.742993,N,13644.829098,E,AAAAAN,24,0.6,15.7,34.0,,,V*16",
        "$GNRMC,221509.00,A,3647.742993,N,13644.829098,E,5.3,182.5,110921,5.4,W,A,V*4F",
    });
    ASSERT_EQ(fixes.size(), 2u);
    const GpsFix& first = fixes[0];
    EXPECT_EQ(first.speedMetresPerSecond, 0.0);
    EXPECT_FALSE(first.courseDegrees) << "course left empty while standing";
    EXPECT_FALSE(first.altitudeMetres) << "GNS comes after RMC";
    EXPECT_EQ(first.utcMilliseconds, 1631398499000);  // 2021-09-11 22:14:59 UTC

    // The GNS-only epoch: its own position and altitude; the date of the epoch before.
    const GpsFix& second = fixes[1];
    EXPECT_EQ(Text(devicemgr::MakeRecord(second).latitude), "36.795717N");
    EXPECT_DOUBLE_EQ(*second.altitudeMetres, 15.7);
    EXPECT_EQ(second.satellitesUsed, 24);
    EXPECT_EQ(second.utcMilliseconds, 1631398509000);
    EXPECT_EQ(second.speedMetresPerSecond, 0.0) << "the RMC of this epoch comes after";
}

// GLL only, after one GGA: one fix per epoch, altitude forgotten when GGA stops.
TEST(NmeaFixValues, GllOnlyEpochs) {
    auto fixes = Fixes({
        "$GPGGA,195959.00,1541.31258893,N,05130.51204125,W,2,06,1.5,9.2,M,-37.6,M,4.0,0138*7E",
        "$GPGLL,1541.31258893,N,05130.51204125,W,195959.00,A,D*7B",
        "$GPGLL,1541.31248595,N,05130.51199976,W,200000.00,A,D*72",
        "$GPGLL,1541.31235466,N,05130.51197862,W,200001.00,A,D*7E",
    });
    ASSERT_EQ(fixes.size(), 3u);
    EXPECT_EQ(Text(devicemgr::MakeRecord(fixes[1]).latitude), "15.688541N");
    EXPECT_EQ(Text(devicemgr::MakeRecord(fixes[2]).longitude), "-51.508533W");
    EXPECT_EQ(fixes[1].altitudeMetres, 9.2);
    EXPECT_FALSE(fixes[2].altitudeMetres);
    EXPECT_EQ(fixes[2].utcMillisecondOfDay, 72001000);
}

// The textbook GGA with whole seconds, then the same epoch's GLL with hundredths: one fix,
// and the altitude still counts at the next epoch.
TEST(NmeaFixValues, OneTimeWrittenTwoWaysIsOneEpoch) {
    auto fixes = Fixes({
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
        Sentence("GPGLL,4807.038,N,01131.000,E,123519.00,A,A"),
        Sentence("GPGLL,4807.039,N,01131.001,E,123520.00,A,A"),
    });
    ASSERT_EQ(fixes.size(), 2u);
    EXPECT_EQ(fixes[1].altitudeMetres, 545.4);
}

TEST(NmeaFixValues, DateTurnsAtMidnightBeforeTheNewRmc) {
    auto fixes = Fixes({
        Sentence("GPRMC,235959.00,A,1541.3125,N,05130.5120,W,0.26,147.44,310124,,,D"),
        Sentence("GPGGA,000000.00,1541.3125,N,05130.5120,W,2,06,1.5,9.2,M,-37.6,M,,"),
    });
    ASSERT_EQ(fixes.size(), 2u);
    EXPECT_EQ(fixes[0].utcMilliseconds, 1706745600000 - 1000);
    EXPECT_EQ(fixes[1].utcMilliseconds, 1706745600000);  // 2024-02-01 00:00:00 UTC
}

}  // namespace
