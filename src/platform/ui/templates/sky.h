// The GPS plug-in's satellites view: the counts, dilutions, error estimate and first fix of
// the session above the satellites, as a table (terminal) or as a sky plot with signal bars
// (window).
#pragma once

#include "platform/ui/template.h"

namespace ui::templates {

inline constexpr int kSkyDialogId = 6100;

namespace sky {
inline constexpr int kCounts = 6101;    // seen and used per system
inline constexpr int kDops = 6102;      // PDOP, HDOP, VDOP
inline constexpr int kError = 6103;     // the receiver's error estimate
inline constexpr int kFirstFix = 6104;  // the session's time to its first fix
inline constexpr int kTable = 6105;     // a row per satellite
inline constexpr int kPlot = 6106;      // the sky plot
inline constexpr int kBars = 6107;      // a signal bar per satellite
inline constexpr int kClose = 6108;
}  // namespace sky

// Template 6100 as a table, 75 columns wide in a terminal.
const DialogTemplate& SkyTableDialog();
// Template 6100 as a sky plot with the signal bars beside it, for a window.
const DialogTemplate& SkyPlotDialog();

}  // namespace ui::templates
