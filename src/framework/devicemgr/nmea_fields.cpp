#include "framework/devicemgr/nmea_fields.h"

#include <algorithm>
#include <charconv>
#include <chrono>

namespace devicemgr {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int TwoDigits(std::string_view text) {
    return (text[0] - '0') * 10 + (text[1] - '0');
}

}  // namespace

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

namespace nmea {

std::vector<std::string_view> Split(std::string_view body) {
    std::vector<std::string_view> fields;
    fields.reserve(static_cast<size_t>(std::count(body.begin(), body.end(), ',')) + 1);
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

std::optional<int> Integer(std::string_view text) {
    if (!AllDigits(text) || text.size() > 6) return std::nullopt;
    int value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

std::optional<double> Decimal(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '-') digits.remove_prefix(1);
    size_t dot = digits.find('.');
    std::string_view whole = digits.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? "" : digits.substr(dot + 1);
    // "12", "12.5", ".5" and "12." are numbers; "", ".", "1e5", "nan" are not.
    if (whole.empty() && fraction.empty()) return std::nullopt;
    if ((!whole.empty() && !AllDigits(whole)) || (!fraction.empty() && !AllDigits(fraction))) {
        return std::nullopt;
    }
    if (text.size() > 24) return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

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
    int64_t degrees = 0;
    for (char c : whole.substr(0, whole.size() - 2)) degrees = degrees * 10 + (c - '0');
    int64_t minutes = TwoDigits(whole.substr(whole.size() - 2));
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

std::optional<int32_t> TimeOfDay(std::string_view text) {
    size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? "" : text.substr(dot + 1);
    if (whole.size() != 6 || !AllDigits(whole)) return std::nullopt;
    if (!fraction.empty() && !AllDigits(fraction)) return std::nullopt;
    int hours = TwoDigits(whole.substr(0, 2));
    int minutes = TwoDigits(whole.substr(2, 2));
    int seconds = TwoDigits(whole.substr(4, 2));
    if (hours > 23 || minutes > 59 || seconds > 60) return std::nullopt;
    int32_t millis = 0;
    int32_t scale = 100;
    for (size_t i = 0; i < fraction.size() && i < 3; ++i, scale /= 10) {
        millis += (fraction[i] - '0') * scale;
    }
    return ((hours * 60 + minutes) * 60 + seconds) * 1000 + millis;
}

std::optional<int64_t> Date(std::string_view text) {
    if (text.size() != 6 || !AllDigits(text)) return std::nullopt;
    int yy = TwoDigits(text.substr(4, 2));
    std::chrono::year_month_day date{
        std::chrono::year{yy >= 80 ? 1900 + yy : 2000 + yy},
        std::chrono::month{static_cast<unsigned>(TwoDigits(text.substr(2, 2)))},
        std::chrono::day{static_cast<unsigned>(TwoDigits(text))}};
    if (!date.ok()) return std::nullopt;
    return std::chrono::sys_days{date}.time_since_epoch().count();
}

}  // namespace nmea
}  // namespace devicemgr
