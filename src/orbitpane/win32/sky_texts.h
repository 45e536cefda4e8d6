// What the satellites view says of a view of the sky, in the language of `text` (a key's
// text): the satellites seen and used per system and in all, the dilutions of precision, the
// receiver's error estimate, the session's first fix, and a row per satellite.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/contracts/gps_sky.h"
#include "platform/ui/charts.h"

namespace orbitpane {

using TextOf = std::function<std::wstring(const wchar_t*)>;

// A system's name ("GPS", "GLONASS", ...) by its gnssid.
std::wstring SystemName(int gnssid, const TextOf& text);

// "GPS 9/7 · GLONASS 6/4 · Galileo 3/0 · All 18/11": seen/used, systems in display order.
std::wstring SkyCounts(const framework::GpsSkyRecord& sky, const TextOf& text);
// "PDOP 1.6 · HDOP 0.9 · VDOP 1.3", the ones the receiver gave; empty for none.
std::wstring SkyDops(const framework::GpsSkyRecord& sky);
// The error estimate, horizontal (of latitude and longitude together) and vertical, one
// standard deviation; the line that says there is none when the receiver gives none.
std::wstring SkyError(const framework::GpsSkyRecord& sky, const TextOf& text);
// The session's first fix: its time, the search still going on, or no session.
std::wstring FirstFixLine(bool running, std::optional<std::chrono::milliseconds> after,
                          const TextOf& text);

// The signal strength as a bar of `cells` characters (eighths of a cell), full at 50 dB-Hz.
inline constexpr int kFullSignal = 50;
std::wstring SignalBar(int snr, int cells);

struct SkyRow {
    int gnssid = 0;
    int svid = 0;
    bool used = false;
    std::optional<int> snr;
    std::wstring system, number, elevation, azimuth, signal, usedText;
};
// The satellites by system (display order) then number; `barCells` wide bars before the value.
std::vector<SkyRow> SkyRows(const framework::GpsSkyRecord& sky, int barCells, const TextOf& text);

// How a system's satellites look in the sky plot and the bars: a shape and a colour of their
// own.
ui::MarkShape SystemShape(int gnssid);
std::uint32_t SystemColour(int gnssid);
// The sky plot's marks (satellites whose place is known; used ones filled, labelled with their
// number) and its legend (the systems in view, in display order).
std::vector<ui::PlotMark> SkyMarks(const framework::GpsSkyRecord& sky);
std::vector<ui::LegendEntry> SkyLegend(const framework::GpsSkyRecord& sky, const TextOf& text);
// A bar per satellite with a signal, grouped by system, used ones marked.
std::vector<ui::ChartBar> SkyBars(const framework::GpsSkyRecord& sky, const TextOf& text);

}  // namespace orbitpane
