// satview-nmea on every recorded log of tests/data/nmea: the output must equal NAME.json.
// SATVIEW_REBUILD_EXPECTED=1 writes the expected files instead (then read the diff).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "nmea_logs.h"
#include "temp_dir.h"

namespace {

using nmea_logs::Names;
using nmea_logs::SatviewNmea;

TEST(NmeaLogs, EachLogGivesItsExpectedReports) {
    testing_support::TempDir dir;
    const bool rebuild = std::getenv("SATVIEW_REBUILD_EXPECTED") != nullptr;
    ASSERT_GE(Names().size(), 10u);
    for (const std::string& name : Names()) {
        SCOPED_TRACE(name);
        nmea_logs::Run run = SatviewNmea(nmea_logs::LogPath(name), dir.path());
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const std::string expected = std::string(NMEA_LOGS) + "/" + name + ".json";
        if (rebuild) {
            std::ofstream(expected, std::ios::binary) << run.out;
            continue;
        }
        ASSERT_TRUE(std::filesystem::exists(expected)) << "no " << expected;
        EXPECT_EQ(run.out, nmea_logs::ReadFile(expected));
    }
}

// What each log is there for, read from its report: a rebuilt expected file that lost it
// fails here.
TEST(NmeaLogs, EachLogShowsWhatItIsFor) {
    struct Row {
        const char* log;
        const char* holds;  // a piece of the report
        int times;          // how often; -1: at least once
    };
    const Row rows[] = {
        // QZSS and NavIC on their own talkers, BeiDou as BD; $GQRMC makes a fix.
        {"gq_bd_talkers",
         "{\"PRN\":193,\"gnssid\":5,\"svid\":1,\"el\":70.0,\"az\":180.0,"
         "\"ss\":45.0,\"used\":true}",
         2},
        {"gq_bd_talkers", "{\"PRN\":802,\"gnssid\":7,\"svid\":2,", 2},
        {"gq_bd_talkers", "{\"PRN\":411,\"gnssid\":3,\"svid\":11,", 2},
        {"gq_bd_talkers", "\"class\":\"TPV\"", 2},
        // Two signals: one satellite each, with its strongest signal.
        {"signal_ids", "\"nSat\":8,\"uSat\":7", 2},
        {"signal_ids", "{\"PRN\":2,\"gnssid\":0,\"svid\":2,\"el\":67.0,\"az\":40.0,\"ss\":47.0,",
         2},
        {"signal_ids",
         "{\"PRN\":308,\"gnssid\":2,\"svid\":8,\"el\":25.0,\"az\":250.0,\"ss\":44.0,"
         "\"used\":true}",
         2},
        // GSA's system IDs, GLONASS by its own slot, SBAS-free GPS numbers, GST's errors.
        {"four_systems",
         "{\"PRN\":437,\"gnssid\":3,\"svid\":37,\"el\":14.0,\"az\":20.0,"
         "\"ss\":31.0,\"used\":true}",
         1},
        {"four_systems", "\"nSat\":17,", 3},
        {"four_systems", "\"epx\":1.400,\"epy\":1.800,\"eph\":2.280,\"epv\":3.100}", 3},
        // A GN GSA without system IDs: GLONASS 73 used in the second epoch only.
        {"gn_gsa_split",
         "{\"PRN\":73,\"gnssid\":6,\"svid\":9,\"el\":22.0,\"az\":210.0,"
         "\"ss\":33.0,\"used\":true}",
         1},
        {"talker_gsa", "\"uSat\":12,", 1},
        // Announced 16, listed 12: the view holds the 12.
        {"more_announced", "\"nSat\":12,\"uSat\":9,", 2},
        // Padding and missing values name no satellite and make no value.
        {"padded_gsv", "\"nSat\":8,\"uSat\":4,", 2},
        {"padded_gsv", "{\"PRN\":9,\"gnssid\":0,\"svid\":9,\"used\":false}", 2},
        {"empty_blocks", "\"nSat\":0,\"uSat\":0,\"satellites\":[]}", 2},
        {"empty_blocks", "\"nSat\":2,", 1},
        // No fix at all: views, never a TPV; satellites without a signal have no ss.
        {"cold_start", "\"class\":\"TPV\"", 0},
        {"cold_start", "\"class\":\"SKY\"", 8},
        {"cold_start",
         "{\"PRN\":29,\"gnssid\":0,\"svid\":29,\"el\":50.0,\"az\":180.0,"
         "\"used\":false}",
         2},
        // Four fixes of seven epochs; the lost ones still show the sky.
        {"fix_lost", "\"class\":\"TPV\"", 4},
        {"fix_lost", "\"uSat\":0,", 3},
        // The date turns with the time, even where GGA comes before RMC.
        {"midnight", "\"time\":\"2026-12-07T23:59:59.000Z\"", 1},
        {"midnight", "\"time\":\"2026-12-08T00:00:00.000Z\"", 1},
    };
    testing_support::TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.log) + ": " + row.holds);
        nmea_logs::Run run = SatviewNmea(nmea_logs::LogPath(row.log), dir.path());
        int times = 0;
        for (size_t at = run.out.find(row.holds); at != std::string::npos;
             at = run.out.find(row.holds, at + 1)) {
            ++times;
        }
        EXPECT_EQ(times, row.times) << run.out;
    }
}

TEST(NmeaLogs, CommandLine) {
    testing_support::TempDir dir;
    const std::string logs = NMEA_LOGS;
    // A log with one sentence of each kind the decoder refuses before good ones: a wrong
    // checksum, a GGA cut short.
    const std::string good = logs + "/fix_lost.nmea";
    std::string damaged =
        dir.Write("damaged.nmea", "$GPGGA,1*00\r\n$GPGGA,1*4B\r\n" + nmea_logs::ReadFile(good));
    std::string coldThenFix =
        dir.Write("cold_then_fix.nmea",
                  nmea_logs::ReadFile(logs + "/cold_start.nmea") + nmea_logs::ReadFile(good));
    struct Row {
        std::string arguments;
        int status;
        std::string out;  // a piece of standard output
        std::string err;  // a piece of standard error ("" : none at all)
    };
    const Row rows[] = {
        {"--version", 0, "satview-nmea " + std::string(SATVIEW_VERSION_TEXT), ""},
        {"--help", 0, "gnssid", ""},
        {"--bogus", 2, "", "--bogus"},
        {"a.nmea b.nmea", 2, "", "b.nmea"},
        {dir / "missing.nmea", 1, "", "cannot read " + dir / "missing.nmea" + ": No such file"},
        {dir.path(), 1, "", "cannot read " + dir.path() + ": Is a directory"},
        {damaged, 0, "\"time\":\"2026-12-07T12:06:06.000Z\"",
         "2 sentences skipped (1 wrong checksums, 1 unreadable"},
        {"- < " + damaged, 0, "\"time\":\"2026-12-07T12:06:00.000Z\"", "2 sentences skipped"},
        {"--gpx " + logs + "/cold_start.nmea", 1, "", "holds no fix with a date: no track"},
        {"--gpx " + coldThenFix, 0, "<metadata><desc>First fix after 60.0 s</desc>", ""},
        {"--gpx " + good, 0,
         "<trkpt lat=\"48.1173000\" lon=\"11.5166670\"><ele>545.4</ele>"
         "<time>2026-12-07T12:06:00Z</time><fix>3d</fix><sat>5</sat><hdop>1.0</hdop>"
         "<vdop>1.6</vdop><pdop>1.9</pdop></trkpt>",
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        nmea_logs::Run run = SatviewNmea(row.arguments, dir.path());
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_NE(run.out.find(row.out), std::string::npos) << run.out;
        if (row.err.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
        }
    }
}

}  // namespace
