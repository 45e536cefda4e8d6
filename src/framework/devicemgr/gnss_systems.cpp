#include "framework/devicemgr/gnss_systems.h"

namespace devicemgr::gnss {
namespace {

// A system's satellite `svid` with its PRN: the PRN of its satellite 1 counted on.
SatelliteId Own(int gnssid, int svid) {
    static constexpr int kFirstPrn[kSystems] = {
        1,    // GPS
        0,    // SBAS: by its own number, see Shared
        301,  // Galileo
        401,  // BeiDou
        173,  // IMES
        193,  // QZSS
        65,   // GLONASS
        801,  // NavIC
    };
    return SatelliteId{gnssid, svid, kFirstPrn[gnssid] + svid - 1};
}

// The shared ranges of NMEA 0183 and of receivers that number every system in one space.
std::optional<SatelliteId> Shared(int n) {
    if (n >= 1 && n <= 32) return Own(kGps, n);
    if (n >= 33 && n <= 64) return SatelliteId{kSbas, n + 87, n};
    if (n >= 65 && n <= 96) return Own(kGlonass, n - 64);
    if (n >= 120 && n <= 158) return SatelliteId{kSbas, n, n <= 151 ? n - 87 : n};
    if (n >= 173 && n <= 182) return Own(kImes, n - 172);
    if (n >= 193 && n <= 202) return Own(kQzss, n - 192);
    if (n >= 201 && n <= 263) return Own(kBeiDou, n - 200);
    if (n >= 301 && n <= 336) return Own(kGalileo, n - 300);
    if (n >= 401 && n <= 463) return Own(kBeiDou, n - 400);
    return std::nullopt;
}

}  // namespace

std::optional<Numbering> NumberingOfTalker(std::string_view talker) {
    if (talker == "GP" || talker == "GN") return Numbering::kShared;
    if (talker == "GL") return Numbering::kGlonass;
    if (talker == "GA") return Numbering::kGalileo;
    if (talker == "GB" || talker == "BD") return Numbering::kBeiDou;
    if (talker == "GQ" || talker == "QZ") return Numbering::kQzss;
    if (talker == "GI") return Numbering::kNavic;
    return std::nullopt;
}

std::optional<Numbering> NumberingOfSystemId(int systemId) {
    switch (systemId) {
        case 1:
            return Numbering::kShared;
        case 2:
            return Numbering::kGlonass;
        case 3:
            return Numbering::kGalileo;
        case 4:
            return Numbering::kBeiDou;
        case 5:
            return Numbering::kQzss;
        case 6:
            return Numbering::kNavic;
        default:
            return std::nullopt;
    }
}

std::optional<SatelliteId> Identify(Numbering numbering, int n) {
    if (n <= 0) return std::nullopt;
    // A system's own talker numbers its satellites from 1 (NMEA 4.11), or in the shared
    // ranges (older receivers): a number past the system's own is read as shared.
    switch (numbering) {
        case Numbering::kShared:
            return Shared(n);
        case Numbering::kGlonass:
            if (n <= 32) return Own(kGlonass, n);
            break;
        case Numbering::kGalileo:
            if (n <= 36) return Own(kGalileo, n);
            break;
        case Numbering::kBeiDou:
            if (n <= 63) return Own(kBeiDou, n);
            break;
        case Numbering::kQzss:
            if (n <= 10) return Own(kQzss, n);
            break;
        case Numbering::kNavic:
            if (n <= 14) return Own(kNavic, n);
            break;
    }
    return Shared(n);
}

int DisplayRank(int gnssid) {
    static constexpr int kRank[kSystems] = {
        0,  // GPS
        6,  // SBAS
        2,  // Galileo
        3,  // BeiDou
        7,  // IMES
        4,  // QZSS
        1,  // GLONASS
        5,  // NavIC
    };
    return gnssid >= 0 && gnssid < kSystems ? kRank[gnssid] : kSystems;
}

}  // namespace devicemgr::gnss
