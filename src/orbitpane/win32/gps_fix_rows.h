// The GPS dialog's rows below the position rows: altitude, speed and course, the fix (2D/3D
// with its HDOP), and the session's time to its first fix. Each shows what the last record
// (or the session) said and is empty while unknown.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "framework/contracts/ids.h"

namespace orbitpane {

inline constexpr int kFixRows = 4;
// Titles of the rows, in their order below the position rows.
inline constexpr const wchar_t* kFixRowKeys[kFixRows] = {
    L"IDS_LST_ITEM_ALTITUDE", L"IDS_LST_ITEM_SPEED", L"IDS_LST_ITEM_FIX", L"IDS_LST_ITEM_FIRSTFIX"};

// What the rows show, taken from a record's extra fields (empty: not known).
struct FixReadings {
    std::optional<double> altitudeMetres;
    std::optional<double> speedMetresPerSecond;
    std::optional<double> courseDegrees;
    std::optional<int> fixMode;
    std::optional<double> hdop;
    std::optional<std::chrono::milliseconds> firstFixAfter;  // the session's
};

FixReadings ReadingsOf(const framework::GpsDataRecord& record);
// A duration in seconds with one decimal and the unit of `text`: "4.2 s".
std::wstring SecondsText(std::chrono::milliseconds duration,
                         const std::function<std::wstring(const wchar_t*)>& text);

// The rows' texts in the language of `text` (a key's text): "35.2 m", "41.5 km/h / 84°",
// "3D (HDOP 0.9)", "4.2 s"; numbers with a '.' in every language.
std::array<std::wstring, kFixRows> FixRowTexts(
    const FixReadings& readings, const std::function<std::wstring(const wchar_t*)>& text);

}  // namespace orbitpane
