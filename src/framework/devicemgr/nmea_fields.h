// The fields of an NMEA 0183 sentence: splitting, checksum, and the value forms its sentences
// share (integers, decimals, coordinates, times of day, dates). Every reader answers nothing
// for an empty field or one that is not of its form.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace devicemgr {

// Checks "$...*hh": the XOR of the bytes between '$' and '*' against two hex digits. On
// success `body` is the text between them.
bool VerifyChecksum(std::string_view sentence, std::string_view& body);

namespace nmea {

// Splits at every ','; an empty field stays an empty view.
std::vector<std::string_view> Split(std::string_view body);

// A small non-negative decimal integer.
std::optional<int> Integer(std::string_view text);

// A decimal number: an optional '-', digits and at most one '.'.
std::optional<double> Decimal(std::string_view text);

// "ddmm.mmmm" or "dddmm.mmmm" with its hemisphere letter, in micro-degrees (negative: south,
// west); minutes are read as an integer so that no float rounding creeps in.
std::optional<int64_t> Coordinate(std::string_view value, std::string_view hemisphere,
                                  bool longitude);

// "hhmmss" with an optional fraction of a second, in milliseconds since midnight; a leap
// second (ss = 60) is allowed.
std::optional<int32_t> TimeOfDay(std::string_view text);

// "ddmmyy" in days since 1970-01-01; years 80 to 99 are 1980 to 1999, the others 2000 on.
std::optional<int64_t> Date(std::string_view text);

// A value read into a record's pair of fields: whether it is known, and the value when it is.
template <class From, class To>
void PutKnown(const std::optional<From>& from, bool& known, To& to) {
    known = from.has_value();
    if (from) to = *from;
}

}  // namespace nmea
}  // namespace devicemgr
