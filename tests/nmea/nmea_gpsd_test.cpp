// gpsd reading the same recorded logs: each view of the sky gpsd reports, at the end of its
// GSV run, holds the satellites (PRN) and used flags of satview-nmea's view of that run.
// gpsd tells no view of an empty sky; those of satview-nmea are left out of the comparison.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "nmea_logs.h"
#include "temp_dir.h"

namespace {

using Satellites = std::vector<std::pair<int, bool>>;  // PRN, used; sorted

Satellites SatellitesOf(const std::string& sky) {
    static const std::regex kSatellite("\\{\"PRN\":(\\d+)[^}]*?\"used\":(true|false)");
    Satellites list;
    for (std::sregex_iterator it(sky.begin(), sky.end(), kSatellite), end; it != end; ++it) {
        list.emplace_back(std::stoi((*it)[1]), (*it)[2] == "true");
    }
    std::sort(list.begin(), list.end());
    return list;
}

// satview-nmea's views.
std::vector<Satellites> OurViews(const std::string& out) {
    std::vector<Satellites> views;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"class\":\"SKY\"") == std::string::npos) continue;
        Satellites s = SatellitesOf(line);
        if (!s.empty()) views.push_back(s);
    }
    return views;
}

// gpsfake's output: the sentences it fed (echoed) and gpsd's reports between them. gpsd
// reports the sky after each GSV sentence; its view of a run is the last one before the next
// sentence of another type.
std::vector<Satellites> GpsdViews(const std::string& out) {
    std::vector<Satellites> views;
    std::string pending;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("$", 0) == 0) {
            std::string type = line.substr(3, 3);
            if (type != "GSV" && type != "GSA" && !pending.empty()) {
                views.push_back(SatellitesOf(pending));
                pending.clear();
            }
        } else if (line.find("\"class\":\"SKY\"") != std::string::npos) {
            pending = line;
        }
    }
    if (!pending.empty()) views.push_back(SatellitesOf(pending));
    std::erase_if(views, [](const Satellites& s) { return s.empty(); });
    return views;
}

enum class Compare { kSatellitesAndUsed, kSatellites, kNot };
struct Expectation {
    Compare compare;
    const char* why;  // where gpsd 3.22 reads the log otherwise
};

// Every log is listed: a new one is compared once it is given its row.
const std::map<std::string, Expectation> kLogs = {
    {"cold_start", {Compare::kSatellitesAndUsed, ""}},
    {"empty_blocks", {Compare::kSatellitesAndUsed, ""}},
    {"fix_lost", {Compare::kSatellitesAndUsed, ""}},
    {"gn_gsa_split", {Compare::kSatellitesAndUsed, ""}},
    {"midnight", {Compare::kSatellitesAndUsed, ""}},
    {"more_announced", {Compare::kSatellitesAndUsed, ""}},
    {"padded_gsv", {Compare::kSatellitesAndUsed, ""}},
    {"talker_gsa", {Compare::kSatellitesAndUsed, ""}},
    {"four_systems",
     {Compare::kSatellites, "gpsd 3.22 marks no satellite used from GSA system IDs 3 and 4"}},
    {"gq_bd_talkers", {Compare::kNot, "gpsd 3.22 reads neither the GQ nor the GI talker"}},
    {"signal_ids",
     {Compare::kNot,
      "gpsd 3.22 lists a satellite once a signal, a second signal's run replacing the first"}},
};

class GpsdReadsTheLog : public testing::TestWithParam<std::string> {};

TEST_P(GpsdReadsTheLog, SameSatellitesAndUsedFlags) {
    const std::string name = GetParam();
    auto row = kLogs.find(name);
    ASSERT_NE(row, kLogs.end()) << name << " has no row in kLogs";
    if (row->second.compare == Compare::kNot) GTEST_SKIP() << row->second.why;
    if (::access("/usr/bin/gpsfake", X_OK) != 0) GTEST_SKIP() << "gpsd's gpsfake is not installed";

    testing_support::TempDir dir;
    nmea_logs::Run ours = nmea_logs::SatviewNmea(nmea_logs::LogPath(name), dir.path());
    ASSERT_EQ(ours.status, 0) << ours.err;
    // One pass, gpsd's JSON with the sentences it was fed; a 10 ms pause between sentences.
    nmea_logs::Run gpsd = nmea_logs::Shell(
        "timeout 60 /usr/bin/gpsfake -1 -p -q -c 0.01 " + nmea_logs::LogPath(name), dir.path());
    ASSERT_EQ(gpsd.status, 0) << gpsd.err;

    std::vector<Satellites> mine = OurViews(ours.out), theirs = GpsdViews(gpsd.out);
    ASSERT_FALSE(theirs.empty()) << gpsd.out;
    if (row->second.compare == Compare::kSatellites) {
        for (auto* views : {&mine, &theirs}) {
            for (Satellites& s : *views) {
                for (auto& satellite : s) satellite.second = false;
            }
        }
    }
    EXPECT_EQ(mine, theirs) << "gpsd:\n" << gpsd.out << "\nsatview-nmea:\n" << ours.out;
}

INSTANTIATE_TEST_SUITE_P(RecordedLogs, GpsdReadsTheLog, testing::ValuesIn(nmea_logs::Names()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

}  // namespace
