// The sky from NMEA 0183: the satellites a GSV run lists, from every talker and signal, merged
// into one satellite per system and number; the satellites GSA names as used in the fix; the
// view as a record for the device sinks.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/contracts/gps_sky.h"
#include "framework/devicemgr/gnss_systems.h"

namespace devicemgr {

struct SkySatellite {
    gnss::SatelliteId id;
    std::optional<int> elevation;  // degrees
    std::optional<int> azimuth;    // degrees
    std::optional<int> snr;        // dB-Hz, the strongest of its signals
    bool used = false;
    uint32_t signals = 0;  // bit n: signal ID n (bit 0: the sentence named none)
};

// One complete view: its satellites (by system in gnss::DisplayRank order, then by number)
// and what the receiver said of the fix's quality in the same epoch or the one before.
struct SkyView {
    std::vector<SkySatellite> satellites;
    std::optional<int> fixMode;  // framework::kGpsFix...
    std::optional<double> pdop, hdop, vdop;
    // GST's standard deviations, metres.
    std::optional<double> latitudeError, longitudeError, altitudeError;
    int Used() const;
};

framework::GpsSkyRecord MakeSkyRecord(const SkyView& view);

// Collects one GSV run: the GSV sentences of one epoch, whatever their talkers and signals,
// until the decoder closes it.
class SkyBuilder {
  public:
    enum class Gsv {
        kAdded,
        kMalformed,
        // The sentence begins again a group this run already holds whole: a new run starts
        // with it (close this one, then add it again).
        kNewRun,
    };
    // `f` are the sentence's fields, f[0] its address.
    Gsv Add(std::string_view talker, const std::vector<std::string_view>& f);
    bool Empty() const { return groups_.empty(); }
    // Whether every group of the run (a talker and a signal) came in all its parts.
    bool Whole() const;
    // The satellites in view as the GPS record counts them: per talker, the satellites it
    // listed or, when more, the count it announced.
    int Count() const;
    // The run's satellites, `used` marking those in the fix; the run is emptied.
    std::vector<SkySatellite> Take(const std::set<std::pair<int, int>>& used);

  private:
    struct Group {
        int total = 0;
        uint32_t parts = 0;  // bit n: part n + 1 came
    };
    struct TalkerCount {
        std::set<int> numbers;
        int announced = 0;
    };
    std::map<std::pair<std::string, int>, Group> groups_;     // by talker and signal
    std::map<std::string, TalkerCount> counts_;               // by talker (BD as GB)
    std::map<std::pair<int, int>, SkySatellite> satellites_;  // by gnssid and svid
};

// The satellites a GSA sentence names as used, by gnssid and svid: its system ID field where
// it has one, else its talker, tells how its numbers are read.
std::vector<std::pair<int, int>> UsedSatellites(std::string_view talker,
                                                const std::vector<std::string_view>& f);

}  // namespace devicemgr
