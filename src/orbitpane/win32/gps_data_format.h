// Texts of the GPS dialog's value rows: coordinates in degrees and decimal minutes, and the
// arrival time of a position.
#pragma once

#include <cstdint>
#include <string>

namespace orbitpane {

// `text`: a coordinate in decimal degrees with an optional leading "-" and one final
// character that is not part of it ("-122.123456X"). `isPlus` is false for a leading "-";
// `result` is "<degrees>d <minutes>" with six decimals ("122d 7.407360"), or "<degrees>d"
// when the number has no ".". False, with both outputs untouched, for an empty text.
bool FormatCoordinate(const std::wstring& text, bool& isPlus, std::wstring& result);

// `seconds` since 1970-01-01 UTC as local time, "Sunday, December 06, 2026 19:55:17" (English
// names whatever the process locale); empty when the time cannot be converted.
std::wstring FormatArrivalTime(std::int64_t seconds);

}  // namespace orbitpane
