// The kit's charts drawn with characters: the sky plot as rings of dots with the compass
// points, each mark's glyph (charts.h MarkGlyph) and label in its colour where the terminal
// has colours, and the legend on its last row; the bar chart as a row per bar under its
// group's name, the bar in eighths of a cell, its value after it and a star on marked bars.
#pragma once

#include "platform/ui/detail/control_state.h"
#include "platform/ui/terminal/layout.h"
#include "platform/ui/terminal/screen.h"

namespace ui::terminal {

void DrawSkyPlot(Screen& screen, const detail::ControlState& c, const Cells& at,
                 const Style& style);
void DrawBarChart(Screen& screen, const detail::ControlState& c, const Cells& at,
                  const Style& style);

}  // namespace ui::terminal
