// The texts last shown in the value column of the GPS dialog's list (port, longitude,
// latitude, satellites in view, time), kept so that a language change can put them back.
#pragma once

#include <array>
#include <string>

namespace orbitpane {

enum LastPositionRow { kRowPort = 0, kRowLongitude, kRowLatitude, kRowSatellites, kRowTime };
inline constexpr int kLastPositionRows = 5;

using LastPositionTexts = std::array<std::wstring, kLastPositionRows>;

}  // namespace orbitpane
