#include "framework/devicemgr/nmea_decoder.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace devicemgr {
namespace {

using nmea::Coordinate;
using nmea::Decimal;
using nmea::Integer;

constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600.0;
constexpr int64_t kMillisecondsPerDay = 86'400'000;

bool Printable(unsigned char c) {
    return c >= 0x20 && c < 0x7F;
}

// Talkers whose sentences are read: GPS, GLONASS, Galileo, BeiDou and QZSS (two spellings
// each), NavIC, mixed.
bool KnownTalker(std::string_view talker) {
    return gnss::NumberingOfTalker(talker).has_value();
}

// The time field as one epoch's key: "195959" and "195959.00" are the same time.
std::string TimeKey(std::string_view time) {
    if (auto ms = nmea::TimeOfDay(time)) return std::to_string(*ms);
    return std::string(time);
}

void FormatDegrees(int64_t micro, char positive, char negative, char* out) {
    int64_t magnitude = micro < 0 ? -micro : micro;
    std::snprintf(out, framework::kGpsFieldSize, "%s%lld.%06lld%c", micro < 0 ? "-" : "",
                  static_cast<long long>(magnitude / 1'000'000),
                  static_cast<long long>(magnitude % 1'000'000), micro < 0 ? negative : positive);
}

}  // namespace

void NmeaLexer::Feed(std::string_view bytes, std::vector<std::string>& out) {
    size_t i = 0;
    while (i < bytes.size()) {
        if (!inSentence_) {
            // Bytes before a '$' are noise.
            i = bytes.find('$', i);
            if (i == std::string_view::npos) return;
        } else {
            // A sentence's body is taken a run at a time, up to the next byte that is not of it.
            size_t end = i;
            while (end < bytes.size() && bytes[end] != '$' &&
                   Printable(static_cast<unsigned char>(bytes[end]))) {
                ++end;
            }
            const size_t room = kMaxSentence - line_.size();
            if (end - i > room) {
                // Too long: thrown away from the byte that would not fit.
                ++discarded_;
                line_.clear();
                inSentence_ = false;
                i += room + 1;
                continue;
            }
            line_.append(bytes.substr(i, end - i));
            i = end;
            if (i == bytes.size()) return;
        }
        const auto c = static_cast<unsigned char>(bytes[i++]);
        if (c == '$') {
            if (inSentence_ && line_.size() > 1) ++discarded_;
            line_.assign(1, '$');
            inSentence_ = true;
        } else if (c == '\r' || c == '\n') {
            if (line_.size() > 1) out.push_back(line_);
            line_.clear();
            inSentence_ = false;
        } else {
            ++discarded_;  // a byte that is not printable, inside a sentence
            line_.clear();
            inSentence_ = false;
        }
    }
}

framework::GpsDataRecord MakeRecord(const GpsFix& fix) {
    framework::GpsDataRecord record{};
    FormatDegrees(fix.longitude, 'E', 'W', record.longitude);
    FormatDegrees(fix.latitude, 'N', 'S', record.latitude);
    if (fix.satellites) {
        std::snprintf(record.satellites, sizeof record.satellites, "%d", *fix.satellites);
    }
    nmea::PutKnown(fix.altitudeMetres, record.altitudeKnown, record.altitudeMetres);
    nmea::PutKnown(fix.speedMetresPerSecond, record.speedKnown, record.speedMetresPerSecond);
    nmea::PutKnown(fix.courseDegrees, record.courseKnown, record.courseDegrees);
    nmea::PutKnown(fix.fixMode, record.fixModeKnown, record.fixMode);
    nmea::PutKnown(fix.satellitesUsed, record.satellitesUsedKnown, record.satellitesUsed);
    nmea::PutKnown(fix.pdop, record.pdopKnown, record.pdop);
    nmea::PutKnown(fix.hdop, record.hdopKnown, record.hdop);
    nmea::PutKnown(fix.vdop, record.vdopKnown, record.vdop);
    nmea::PutKnown(fix.utcMillisecondOfDay, record.utcTimeKnown, record.utcMillisecondOfDay);
    nmea::PutKnown(fix.utcMilliseconds, record.utcDateTimeKnown, record.utcMilliseconds);
    return record;
}

std::optional<GpsFix> NmeaDecoder::Decode(std::string_view sentence) {
    std::string_view body;
    if (!VerifyChecksum(sentence, body)) {
        ++counters_.badChecksum;
        return std::nullopt;
    }
    Fields fields = nmea::Split(body);
    std::string_view address = fields[0];
    if (address.size() != 5 || !KnownTalker(address.substr(0, 2))) {
        ++counters_.malformed;
        return std::nullopt;
    }
    std::string_view talker = address.substr(0, 2);
    std::string_view type = address.substr(2);
    if (type == "GSV" || type == "GSA") {
        bool wellFormed = type == "GSV" ? OnGsv(talker, fields) : OnGsa(talker, fields);
        ++(wellFormed ? counters_.accepted : counters_.malformed);
        return std::nullopt;
    }
    // The first sentence of another type after a run of GSV closes that run.
    if (!sky_.Empty()) CommitSky();
    using Handler = std::optional<GpsFix> (NmeaDecoder::*)(const Fields&, bool&);
    static const std::pair<std::string_view, Handler> kPositions[] = {
        {"RMC", &NmeaDecoder::OnRmc},
        {"GGA", &NmeaDecoder::OnGga},
        {"GNS", &NmeaDecoder::OnGns},
        {"GLL", &NmeaDecoder::OnGll},
    };
    for (const auto& [name, handler] : kPositions) {
        if (type != name) continue;
        bool wellFormed = true;
        std::optional<GpsFix> fix = (this->*handler)(fields, wellFormed);
        ++(wellFormed ? counters_.accepted : counters_.malformed);
        return fix;
    }
    if (type == "VTG" || type == "GST") {
        bool wellFormed = type == "VTG" ? OnVtg(fields) : OnGst(fields);
        ++(wellFormed ? counters_.accepted : counters_.malformed);
        return std::nullopt;
    }
    ++counters_.ignored;
    return std::nullopt;
}

std::optional<GpsFix> NmeaDecoder::OnRmc(const Fields& f, bool& wellFormed) {
    // time, status, lat, N/S, lon, E/W, speed, course, date[, magvar, E/W[, mode[, nav status]]]
    if (f.size() < 10) {
        wellFormed = false;
        return std::nullopt;
    }
    EnterEpoch(f[1]);
    if (f[2] != "A") return std::nullopt;
    if (f.size() > 12 && f[12] == "N") return std::nullopt;  // mode: data not valid
    auto at = PositionAt(f, 3, wellFormed);
    if (!at) return std::nullopt;
    if (auto knots = Decimal(f[7]); knots && *knots >= 0) {
        speed_.Set(*knots * kMetresPerSecondPerKnot, epoch_);
    }
    if (auto course = Decimal(f[8]); course && *course >= 0 && *course <= 360) {
        course_.Set(course, epoch_);
    }
    auto day = nmea::Date(f[9]);
    auto time = nmea::TimeOfDay(f[1]);
    if (day && time) date_.Set(DateAt{*day, *time}, epoch_);
    return Emit(f[1], at->latitude, at->longitude);
}

std::optional<GpsFix> NmeaDecoder::OnGga(const Fields& f, bool& wellFormed) {
    // time, lat, N/S, lon, E/W, quality, satellites used, hdop, altitude, ...
    if (f.size() < 10) {
        wellFormed = false;
        return std::nullopt;
    }
    EnterEpoch(f[1]);
    auto quality = Integer(f[6]);
    if (!quality || *quality == 0) return std::nullopt;
    auto at = PositionAt(f, 2, wellFormed);
    if (!at) return std::nullopt;
    ReadFixQuality(f);
    return Emit(f[1], at->latitude, at->longitude);
}

std::optional<GpsFix> NmeaDecoder::OnGns(const Fields& f, bool& wellFormed) {
    // time, lat, N/S, lon, E/W, mode (one letter per system), satellites used, hdop, altitude,
    // ...
    if (f.size() < 10) {
        wellFormed = false;
        return std::nullopt;
    }
    EnterEpoch(f[1]);
    // A fix when any system has one ('N': none). A receiver may add a GNS per system with
    // the mode and position left empty: no fix of its own.
    if (f[6].empty() || f[6].find_first_not_of('N') == std::string_view::npos) {
        return std::nullopt;
    }
    auto at = PositionAt(f, 2, wellFormed);
    if (!at) return std::nullopt;
    ReadFixQuality(f);
    return Emit(f[1], at->latitude, at->longitude);
}

std::optional<GpsFix> NmeaDecoder::OnGll(const Fields& f, bool& wellFormed) {
    // lat, N/S, lon, E/W, time, status[, mode]. Without a status nothing tells whether the
    // position holds.
    if (f.size() < 7) {
        wellFormed = false;
        return std::nullopt;
    }
    EnterEpoch(f[5]);
    if (f[6] != "A") return std::nullopt;
    if (f.size() > 7 && f[7] == "N") return std::nullopt;  // mode: data not valid
    auto at = PositionAt(f, 1, wellFormed);
    if (!at) return std::nullopt;
    return Emit(f[5], at->latitude, at->longitude);
}

std::optional<NmeaDecoder::LatLon> NmeaDecoder::PositionAt(const Fields& f, size_t at,
                                                           bool& wellFormed) {
    auto lat = Coordinate(f[at], f[at + 1], false);
    auto lon = Coordinate(f[at + 2], f[at + 3], true);
    if (!lat || !lon) {
        wellFormed = false;
        return std::nullopt;
    }
    return LatLon{*lat, *lon};
}

void NmeaDecoder::ReadFixQuality(const Fields& f) {
    auto used = Integer(f[7]);
    if (used) ggaCount_ = *used;
    usedCount_.Set(used, epoch_);
    if (auto hdop = Decimal(f[8]); hdop && *hdop >= 0) hdop_.Set(hdop, epoch_);
    altitude_.Set(Decimal(f[9]), epoch_);
    // GGA: altitude, M, geoid separation, M; GNS: altitude, geoid separation.
    if (f.size() > 11 && f[10] == "M") {
        geoid_.Set(Decimal(f[11]), epoch_);
    } else if (f.size() > 10 && f[10] != "M") {
        geoid_.Set(Decimal(f[10]), epoch_);
    }
}

bool NmeaDecoder::OnGsa(std::string_view talker, const Fields& f) {
    // selection (M/A), mode (1 none, 2 2D, 3 3D), 12 satellite numbers, PDOP, HDOP, VDOP[,
    // system]. One per system in a multi-system fix, all with the same mode and DOP.
    if (f.size() < 18) return false;
    if (!f[2].empty()) {
        auto mode = Integer(f[2]);
        if (!mode || *mode < framework::kGpsFixNone || *mode > framework::kGpsFix3D) return false;
        fixMode_.Set(mode, epoch_);
    }
    auto dop = [&](std::string_view text, Reading<double>& into) {
        if (auto value = Decimal(text); value && *value >= 0) into.Set(value, epoch_);
    };
    dop(f[15], pdop_);
    dop(f[16], hdop_);
    dop(f[17], vdop_);
    // One GSA per system, in one epoch: their satellites make one set.
    if (usedEpoch_ != epoch_ || usedTaken_) {
        used_.clear();
        usedEpoch_ = epoch_;
        usedTaken_ = false;
    }
    for (const auto& id : UsedSatellites(talker, f)) used_.insert(id);
    return true;
}

bool NmeaDecoder::OnGst(const Fields& f) {
    // time, RMS, semi-major, semi-minor, orientation, latitude, longitude and altitude
    // standard deviations (metres)
    if (f.size() < 9) return false;
    EnterEpoch(f[1]);
    auto error = [&](std::string_view text, Reading<double>& into) {
        if (auto value = Decimal(text); value && *value >= 0) into.Set(value, epoch_);
    };
    error(f[6], latError_);
    error(f[7], lonError_);
    error(f[8], altError_);
    return true;
}

bool NmeaDecoder::OnVtg(const Fields& f) {
    // course true, T, course magnetic, M, speed knots, N, speed km/h, K[, mode]
    if (f.size() < 9) return false;
    if (f.size() > 9 && f[9] == "N") return true;  // mode: data not valid
    if (f[2] == "T") {
        if (auto course = Decimal(f[1]); course && *course >= 0 && *course <= 360) {
            course_.Set(course, epoch_);
        }
    }
    if (auto kmh = Decimal(f[7]); kmh && *kmh >= 0 && f[8] == "K") {
        speed_.Set(*kmh / 3.6, epoch_);
    } else if (auto knots = Decimal(f[5]); knots && *knots >= 0 && f[6] == "N") {
        speed_.Set(*knots * kMetresPerSecondPerKnot, epoch_);
    }
    return true;
}

bool NmeaDecoder::OnGsv(std::string_view talker, const Fields& f) {
    SkyBuilder::Gsv added = sky_.Add(talker, f);
    if (added == SkyBuilder::Gsv::kNewRun) {
        // A receiver that sends nothing but GSV between its runs.
        CommitSky();
        added = sky_.Add(talker, f);
    }
    return added == SkyBuilder::Gsv::kAdded;
}

void NmeaDecoder::CommitSky() {
    skyCount_ = sky_.Count();
    fixesSinceSky_ = 0;
    bool whole = sky_.Whole();
    // GSA sentences older than the epoch before mark nothing.
    std::set<std::pair<int, int>> none;
    bool usedHold = epoch_ - usedEpoch_ <= 1;
    std::vector<SkySatellite> satellites = sky_.Take(usedHold ? used_ : none);
    usedTaken_ = true;
    if (!whole) {
        ++counters_.partialSkies;
        return;
    }
    SkyView view;
    view.satellites = std::move(satellites);
    view.fixMode = Recent(fixMode_);
    view.pdop = Recent(pdop_);
    view.hdop = Recent(hdop_);
    view.vdop = Recent(vdop_);
    view.latitudeError = Recent(latError_);
    view.longitudeError = Recent(lonError_);
    view.altitudeError = Recent(altError_);
    skyReady_ = std::move(view);
}

void NmeaDecoder::Finish() {
    if (!sky_.Empty()) CommitSky();
    EndEpoch();
}

std::optional<SkyView> NmeaDecoder::TakeSky() {
    return std::exchange(skyReady_, std::nullopt);
}

std::optional<GpsFix> NmeaDecoder::TakeEpochFix() {
    return std::exchange(endedFix_, std::nullopt);
}

std::optional<GpsFix> NmeaDecoder::Emit(std::string_view time, int64_t lat, int64_t lon) {
    // The position sentences of one epoch carry the same time: one fix.
    if (!time.empty() && TimeKey(time) == lastFixTime_) return std::nullopt;
    lastFixTime_ = TimeKey(time);
    GpsFix fix;
    fix.latitude = lat;
    fix.longitude = lon;
    // A GSV run counts for a few fixes; after that, or when there never was one, GGA's count;
    // before either, no count at all (a fix from RMC alone says nothing about satellites).
    constexpr int kSkyLifetime = 5;
    if (skyCount_ && fixesSinceSky_ < kSkyLifetime) {
        fix.satellites = *skyCount_;
    } else {
        fix.satellites = ggaCount_;
    }
    ++fixesSinceSky_;
    fix.utcMillisecondOfDay = nmea::TimeOfDay(time);
    FillExtras(fix);
    epochFix_ = fix;
    return fix;
}

void NmeaDecoder::FillExtras(GpsFix& fix) const {
    fix.altitudeMetres = Recent(altitude_);
    fix.speedMetresPerSecond = Recent(speed_);
    fix.courseDegrees = Recent(course_);
    fix.fixMode = Recent(fixMode_);
    fix.satellitesUsed = Recent(usedCount_);
    fix.pdop = Recent(pdop_);
    fix.hdop = Recent(hdop_);
    fix.vdop = Recent(vdop_);
    fix.geoidSeparationMetres = Recent(geoid_);
    fix.latitudeError = Recent(latError_);
    fix.longitudeError = Recent(lonError_);
    fix.altitudeError = Recent(altError_);
    fix.utcMilliseconds.reset();
    if (auto date = Recent(date_); date && fix.utcMillisecondOfDay) {
        int32_t now = *fix.utcMillisecondOfDay;
        int64_t days = date->days;
        // A fix just after midnight before the RMC that brings the new date.
        constexpr int32_t kHour = 3'600'000;
        if (now < kHour && date->timeOfDay >= 23 * kHour) ++days;
        fix.utcMilliseconds = days * kMillisecondsPerDay + now;
    }
}

void NmeaDecoder::EnterEpoch(std::string_view time) {
    if (!time.empty() && TimeKey(time) == epochTime_) return;
    EndEpoch();
    ++epoch_;
    epochTime_ = TimeKey(time);
    epochTimeOfDay_ = nmea::TimeOfDay(time);
}

void NmeaDecoder::EndEpoch() {
    if (!epochFix_) return;
    FillExtras(*epochFix_);
    endedFix_ = std::exchange(epochFix_, std::nullopt);
}

bool RepeatedUnchanged(std::string_view sentence) {
    if (sentence.size() < 7) return false;
    std::string_view type = sentence.substr(3, 3);
    return type == "GSA" || type == "VTG";
}

}  // namespace devicemgr
