#include "framework/devicemgr/nmea_sky.h"

#include <algorithm>

#include "framework/devicemgr/nmea_fields.h"

namespace devicemgr {
namespace {

using nmea::Integer;

// The system ID field of NMEA 4.10 holds one hexadecimal digit.
std::optional<int> HexDigit(std::string_view text) {
    if (text.size() != 1) return std::nullopt;
    char c = text[0];
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return std::nullopt;
}

// The parts of a group of `total` parts, as bits: part n is bit n - 1.
uint32_t AllParts(int total) {
    return total == 32 ? ~0u : (1u << total) - 1;
}

std::optional<int> Degrees(std::string_view text, int limit) {
    auto value = Integer(text);
    if (!value || *value > limit) return std::nullopt;
    return value;
}

}  // namespace

int SkyView::Used() const {
    return static_cast<int>(std::count_if(satellites.begin(), satellites.end(),
                                          [](const SkySatellite& s) { return s.used; }));
}

framework::GpsSkyRecord MakeSkyRecord(const SkyView& view) {
    framework::GpsSkyRecord record{};
    for (const SkySatellite& s : view.satellites) {
        if (record.count == static_cast<int32_t>(framework::kSkyMaxSatellites)) break;
        framework::GpsSkySatellite& out = record.satellites[record.count++];
        out.gnssid = s.id.gnssid;
        out.svid = s.id.svid;
        out.prn = s.id.prn;
        out.elevationKnown = s.elevation.has_value();
        out.azimuthKnown = s.azimuth.has_value();
        out.snrKnown = s.snr.has_value();
        out.used = s.used;
        out.elevation = s.elevation.value_or(0);
        out.azimuth = s.azimuth.value_or(0);
        out.snr = s.snr.value_or(0);
        out.signals = s.signals;
    }
    nmea::PutKnown(view.fixMode, record.fixModeKnown, record.fixMode);
    nmea::PutKnown(view.pdop, record.pdopKnown, record.pdop);
    nmea::PutKnown(view.hdop, record.hdopKnown, record.hdop);
    nmea::PutKnown(view.vdop, record.vdopKnown, record.vdop);
    nmea::PutKnown(view.latitudeError, record.latitudeErrorKnown, record.latitudeErrorMetres);
    nmea::PutKnown(view.longitudeError, record.longitudeErrorKnown, record.longitudeErrorMetres);
    nmea::PutKnown(view.altitudeError, record.altitudeErrorKnown, record.altitudeErrorMetres);
    return record;
}

SkyBuilder::Gsv SkyBuilder::Add(std::string_view talker, const std::vector<std::string_view>& f) {
    // total parts, part, satellites in view, then blocks of (number, elevation, azimuth, SNR),
    // then, from NMEA 4.10 on, a signal ID.
    if (f.size() < 4) return Gsv::kMalformed;
    auto total = Integer(f[1]);
    auto part = Integer(f[2]);
    auto inView = Integer(f[3]);
    if (!total || !part || !inView || *part == 0 || *part > *total || *total > 32) {
        return Gsv::kMalformed;
    }
    auto numbering = gnss::NumberingOfTalker(talker);
    if (!numbering) return Gsv::kMalformed;
    const size_t blocks = (f.size() - 4) / 4;
    int signal = 0;
    if ((f.size() - 4) % 4 == 1) {
        auto id = HexDigit(f.back());
        if (!f.back().empty() && !id) return Gsv::kMalformed;
        signal = id.value_or(0);
    }
    Group& group = groups_[{std::string(talker), signal}];
    const uint32_t bit = 1u << (*part - 1);
    if (group.total == *total && (group.parts & bit)) {
        // This part again: a new run when the group was whole, else a repeat of the part.
        if (group.parts == AllParts(*total)) return Gsv::kNewRun;
    }
    group.total = *total;
    group.parts |= bit;

    TalkerCount& count = counts_[talker == "BD" ? std::string("GB") : std::string(talker)];
    count.announced = std::max(count.announced, *inView);
    for (size_t b = 0; b < blocks; ++b) {
        size_t i = 4 + 4 * b;
        // An empty or padded block names no satellite.
        auto number = Integer(f[i]);
        if (!number || *number == 0) continue;
        count.numbers.insert(*number);
        auto id = gnss::Identify(*numbering, *number);
        if (!id) continue;
        SkySatellite& s = satellites_[{id->gnssid, id->svid}];
        s.id = *id;
        s.signals |= 1u << signal;
        if (auto el = Degrees(f[i + 1], 90)) s.elevation = el;
        if (auto az = Degrees(f[i + 2], 359)) s.azimuth = az;
        if (auto snr = Degrees(f[i + 3], 99); snr && (!s.snr || *snr > *s.snr)) s.snr = snr;
    }
    return Gsv::kAdded;
}

bool SkyBuilder::Whole() const {
    return std::all_of(groups_.begin(), groups_.end(), [](const auto& entry) {
        return entry.second.parts == AllParts(entry.second.total);
    });
}

int SkyBuilder::Count() const {
    int count = 0;
    for (const auto& [talker, c] : counts_) {
        count += std::max(static_cast<int>(c.numbers.size()), c.announced);
    }
    return count;
}

std::vector<SkySatellite> SkyBuilder::Take(const std::set<std::pair<int, int>>& used) {
    std::vector<SkySatellite> out;
    out.reserve(satellites_.size());
    for (auto& [key, s] : satellites_) {
        s.used = used.count(key) > 0;
        out.push_back(s);
    }
    std::stable_sort(out.begin(), out.end(), [](const SkySatellite& a, const SkySatellite& b) {
        int ra = gnss::DisplayRank(a.id.gnssid), rb = gnss::DisplayRank(b.id.gnssid);
        return ra != rb ? ra < rb : a.id.svid < b.id.svid;
    });
    groups_.clear();
    counts_.clear();
    satellites_.clear();
    return out;
}

std::vector<std::pair<int, int>> UsedSatellites(std::string_view talker,
                                                const std::vector<std::string_view>& f) {
    // selection, mode, 12 satellite numbers, PDOP, HDOP, VDOP[, system ID]
    std::optional<gnss::Numbering> numbering;
    if (f.size() > 18) {
        if (auto system = HexDigit(f[18])) numbering = gnss::NumberingOfSystemId(*system);
    }
    if (!numbering) numbering = gnss::NumberingOfTalker(talker);
    std::vector<std::pair<int, int>> used;
    if (!numbering) return used;
    for (size_t i = 3; i < 15 && i < f.size(); ++i) {
        auto number = Integer(f[i]);
        if (!number) continue;
        if (auto id = gnss::Identify(*numbering, *number)) used.emplace_back(id->gnssid, id->svid);
    }
    return used;
}

}  // namespace devicemgr
