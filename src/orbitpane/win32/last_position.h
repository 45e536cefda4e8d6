// The texts last shown in the value column of the GPS dialog's list (port, longitude,
// latitude, satellites in view, time), kept for the whole process so that a language change
// can put them back. Written from the window thread and the GPS port polling, under one lock.
#pragma once

#include <array>
#include <string>

namespace orbitpane {

enum LastPositionRow { kRowPort = 0, kRowLongitude, kRowLatitude, kRowSatellites, kRowTime };
inline constexpr int kLastPositionRows = 5;

using LastPositionTexts = std::array<std::wstring, kLastPositionRows>;

LastPositionTexts LastPosition();
void SetLastPositionText(int row, const std::wstring& text);
// Forgets all five (the card was removed).
void ClearLastPosition();

}  // namespace orbitpane
