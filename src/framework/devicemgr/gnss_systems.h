// The satellite systems a receiver reports and how its satellite numbers are read: every
// number a GSV or GSA sentence gives becomes a system, the satellite's number within that
// system and one PRN over all systems, numbered as gpsd's JSON reports number them (gnssid,
// svid, PRN), so that what Satview says can be set beside what gpsd says.
#pragma once

#include <optional>
#include <string_view>

namespace devicemgr::gnss {

// System ids (gpsd's gnssid).
inline constexpr int kGps = 0;
inline constexpr int kSbas = 1;
inline constexpr int kGalileo = 2;
inline constexpr int kBeiDou = 3;
inline constexpr int kImes = 4;
inline constexpr int kQzss = 5;
inline constexpr int kGlonass = 6;
inline constexpr int kNavic = 7;
inline constexpr int kSystems = 8;

struct SatelliteId {
    int gnssid = kGps;
    int svid = 0;  // within its system
    int prn = 0;   // over all systems
    friend bool operator==(const SatelliteId&, const SatelliteId&) = default;
};

// How the numbers of a sentence are to be read: in the shared NMEA ranges (1-32 GPS, 33-64
// SBAS, 65-96 GLONASS, 193-202 QZSS, ...) or as the numbers of one system.
enum class Numbering { kShared, kGlonass, kGalileo, kBeiDou, kQzss, kNavic };

// The numbering of a talker ("GP", "GN", "GL", "GA", "GB", "BD", "GQ", "QZ", "GI"); none for a
// talker that is not a satellite system's.
std::optional<Numbering> NumberingOfTalker(std::string_view talker);
// The numbering of the system ID field that NMEA 4.10 added to GSA and GSV (1 GPS, 2
// GLONASS, 3 Galileo, 4 BeiDou, 5 QZSS, 6 NavIC); none for another value.
std::optional<Numbering> NumberingOfSystemId(int systemId);

// The satellite that `number` names under `numbering`; none for 0 or a number outside every
// range.
std::optional<SatelliteId> Identify(Numbering numbering, int number);

// The order systems are listed in: GPS, GLONASS, Galileo, BeiDou, QZSS, NavIC, SBAS, IMES.
int DisplayRank(int gnssid);

}  // namespace devicemgr::gnss
