#include "framework/devicemgr/nmea_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace devicemgr {
namespace {

bool Printable(unsigned char c) {
    return c >= 0x20 && c < 0x7F;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Splits at every ','; an empty field stays an empty view.
std::vector<std::string_view> Split(std::string_view body) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        size_t comma = body.find(',', start);
        if (comma == std::string_view::npos) {
            fields.push_back(body.substr(start));
            return fields;
        }
        fields.push_back(body.substr(start, comma - start));
        start = comma + 1;
    }
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A small non-negative decimal integer; nothing when the field is empty or not a number.
std::optional<int> Integer(std::string_view text) {
    if (!AllDigits(text) || text.size() > 6) return std::nullopt;
    int value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

// "ddmm.mmmm" or "dddmm.mmmm" with its hemisphere letter, in micro-degrees; minutes are read
// as an integer so that no float rounding creeps in.
std::optional<int64_t> Coordinate(std::string_view value, std::string_view hemisphere,
                                  bool longitude) {
    if (hemisphere.size() != 1) return std::nullopt;
    char h = hemisphere[0];
    bool negative;
    if (longitude && (h == 'E' || h == 'W')) {
        negative = h == 'W';
    } else if (!longitude && (h == 'N' || h == 'S')) {
        negative = h == 'S';
    } else {
        return std::nullopt;
    }
    size_t dot = value.find('.');
    std::string_view whole = value.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? "" : value.substr(dot + 1);
    if (whole.size() < 3 || whole.size() > 5 || !AllDigits(whole)) return std::nullopt;
    if (!fraction.empty() && !AllDigits(fraction)) return std::nullopt;
    int64_t degrees = std::atoll(std::string(whole.substr(0, whole.size() - 2)).c_str());
    int64_t minutes = (whole[whole.size() - 2] - '0') * 10 + (whole.back() - '0');
    if (minutes >= 60) return std::nullopt;
    // Minutes in units of 1e-9, from at most nine fraction digits.
    int64_t nano = minutes * 1'000'000'000;
    int64_t scale = 100'000'000;
    for (size_t i = 0; i < fraction.size() && i < 9; ++i, scale /= 10) {
        nano += (fraction[i] - '0') * scale;
    }
    int64_t micro = degrees * 1'000'000 + (nano + 30'000) / 60'000;
    if (micro > (longitude ? 180'000'000 : 90'000'000)) return std::nullopt;
    return negative ? -micro : micro;
}

// Talkers whose sentences are read: GPS, GLONASS, Galileo, BeiDou (two spellings), mixed.
bool KnownTalker(std::string_view talker) {
    static constexpr std::string_view kTalkers[] = {"GP", "GL", "GA", "GB", "BD", "GN"};
    return std::find(std::begin(kTalkers), std::end(kTalkers), talker) != std::end(kTalkers);
}

// BeiDou has two talker spellings; they count as one system.
std::string SystemOf(std::string_view talker) {
    return talker == "BD" ? std::string("GB") : std::string(talker);
}

void FormatDegrees(int64_t micro, char positive, char negative, char* out) {
    int64_t magnitude = micro < 0 ? -micro : micro;
    std::snprintf(out, framework::kGpsFieldSize, "%s%lld.%06lld%c", micro < 0 ? "-" : "",
                  static_cast<long long>(magnitude / 1'000'000),
                  static_cast<long long>(magnitude % 1'000'000), micro < 0 ? negative : positive);
}

}  // namespace

void NmeaLexer::Feed(std::string_view bytes, std::vector<std::string>& out) {
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '$') {
            if (inSentence_ && line_.size() > 1) ++discarded_;
            line_.assign(1, '$');
            inSentence_ = true;
        } else if (c == '\r' || c == '\n') {
            if (inSentence_ && line_.size() > 1) out.push_back(line_);
            line_.clear();
            inSentence_ = false;
        } else if (!inSentence_) {
            // Bytes before a '$' are noise.
        } else if (!Printable(c) || line_.size() >= kMaxSentence) {
            ++discarded_;
            line_.clear();
            inSentence_ = false;
        } else {
            line_.push_back(ch);
        }
    }
}

bool VerifyChecksum(std::string_view sentence, std::string_view& body) {
    if (sentence.size() < 4 || sentence[0] != '$') return false;
    size_t star = sentence.rfind('*');
    if (star == std::string_view::npos || star + 3 != sentence.size()) return false;
    int high = HexValue(sentence[star + 1]);
    int low = HexValue(sentence[star + 2]);
    if (high < 0 || low < 0) return false;
    unsigned char sum = 0;
    for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(sentence[i]);
    if (sum != high * 16 + low) return false;
    body = sentence.substr(1, star - 1);
    return true;
}

framework::GpsDataRecord MakeRecord(const GpsFix& fix) {
    framework::GpsDataRecord record{};
    FormatDegrees(fix.longitude, 'E', 'W', record.longitude);
    FormatDegrees(fix.latitude, 'N', 'S', record.latitude);
    if (fix.satellites) {
        std::snprintf(record.satellites, sizeof record.satellites, "%d", *fix.satellites);
    }
    return record;
}

std::optional<GpsFix> NmeaDecoder::Decode(std::string_view sentence) {
    std::string_view body;
    if (!VerifyChecksum(sentence, body)) {
        ++counters_.badChecksum;
        return std::nullopt;
    }
    Fields fields = Split(body);
    std::string_view address = fields[0];
    if (address.size() != 5 || !KnownTalker(address.substr(0, 2))) {
        ++counters_.malformed;
        return std::nullopt;
    }
    std::string_view talker = address.substr(0, 2);
    std::string_view type = address.substr(2);
    if (type == "GSV") {
        if (!OnGsv(talker, fields)) {
            ++counters_.malformed;
            return std::nullopt;
        }
        ++counters_.accepted;
        return std::nullopt;
    }
    // The first other sentence after a run of GSV closes that run.
    if (lastWasGsv_) CommitSky();
    if (type == "RMC" || type == "GGA") {
        bool wellFormed = true;
        std::optional<GpsFix> fix =
            type == "RMC" ? OnRmc(fields, wellFormed) : OnGga(fields, wellFormed);
        ++(wellFormed ? counters_.accepted : counters_.malformed);
        return fix;
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
    if (f[2] != "A") return std::nullopt;
    if (f.size() > 12 && f[12] == "N") return std::nullopt;  // mode: data not valid
    auto lat = Coordinate(f[3], f[4], false);
    auto lon = Coordinate(f[5], f[6], true);
    if (!lat || !lon) {
        wellFormed = false;
        return std::nullopt;
    }
    return Emit(f[1], *lat, *lon);
}

std::optional<GpsFix> NmeaDecoder::OnGga(const Fields& f, bool& wellFormed) {
    // time, lat, N/S, lon, E/W, quality, satellites used, hdop, altitude, ...
    if (f.size() < 10) {
        wellFormed = false;
        return std::nullopt;
    }
    auto quality = Integer(f[6]);
    if (!quality || *quality == 0) return std::nullopt;
    auto lat = Coordinate(f[2], f[3], false);
    auto lon = Coordinate(f[4], f[5], true);
    if (!lat || !lon) {
        wellFormed = false;
        return std::nullopt;
    }
    if (auto used = Integer(f[7])) ggaCount_ = *used;
    return Emit(f[1], *lat, *lon);
}

bool NmeaDecoder::OnGsv(std::string_view talker, const Fields& f) {
    // total parts, part, satellites in view, then blocks of (number, elevation, azimuth, SNR),
    // possibly followed by a signal identifier.
    if (f.size() < 4) return false;
    auto total = Integer(f[1]);
    auto part = Integer(f[2]);
    auto inView = Integer(f[3]);
    if (!total || !part || !inView || *part == 0 || *part > *total) return false;
    if (!lastWasGsv_) building_.clear();
    lastWasGsv_ = true;
    SystemSky& sky = building_[SystemOf(talker)];
    sky.announced = std::max(sky.announced, *inView);
    // Whole blocks only; a trailing signal identifier is not a block.
    for (size_t i = 4; i + 4 <= f.size(); i += 4) {
        if (auto number = Integer(f[i])) sky.numbers.insert(*number);
    }
    return true;
}

void NmeaDecoder::CommitSky() {
    int count = 0;
    for (const auto& [system, sky] : building_) {
        count += std::max(static_cast<int>(sky.numbers.size()), sky.announced);
    }
    skyCount_ = count;
    fixesSinceSky_ = 0;
    building_.clear();
    lastWasGsv_ = false;
}

std::optional<GpsFix> NmeaDecoder::Emit(std::string_view time, int64_t lat, int64_t lon) {
    // RMC and GGA of the same epoch carry the same time: one fix.
    if (!time.empty() && time == lastFixTime_) return std::nullopt;
    lastFixTime_ = std::string(time);
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
    return fix;
}

}  // namespace devicemgr
