#include "platform/ui/terminal/charts.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "platform/ui/terminal/text.h"

namespace ui::terminal {
namespace {

// A style in `colour` on the base's background, where the terminal has colours.
Style Coloured(Screen& screen, const Style& base, std::uint32_t colour) {
    Style style = base;
    if (screen.HasColours()) style.pair = screen.Pair(static_cast<std::int64_t>(colour), -1);
    return style;
}

}  // namespace

void DrawSkyPlot(Screen& screen, const detail::ControlState& c, const Cells& at,
                 const Style& style) {
    if (at.rows < 3 || at.cols < 5) return;
    const bool legend = !c.legend.empty();
    const int rows = at.rows - (legend ? 1 : 0);
    // A cell is about twice as tall as it is wide: the circle is twice as wide in columns.
    const int radius = std::max(1, std::min((rows - 1) / 2, (at.cols - 1) / 4));
    const int centreRow = at.row + rows / 2;
    const int centreCol = at.col + at.cols / 2;
    auto place = [&](double azimuth, double elevation, int& row, int& col) {
        double r = std::clamp((90.0 - elevation) / 90.0, 0.0, 1.0) * radius;
        double angle = azimuth * std::numbers::pi / 180.0;
        row = centreRow - static_cast<int>(std::lround(std::cos(angle) * r));
        col = centreCol + static_cast<int>(std::lround(std::sin(angle) * r * 2));
    };
    for (double ring : {0.0, 30.0, 60.0}) {
        for (int step = 0; step < 72; ++step) {
            int row, col;
            place(step * 5.0, ring, row, col);
            screen.Put(row, col, L"\u00B7", style);
        }
    }
    screen.Put(centreRow, centreCol, L"+", style);
    const struct {
        double azimuth;
        const wchar_t* name;
    } kPoints[] = {{0, L"N"}, {90, L"E"}, {180, L"S"}, {270, L"W"}};
    for (const auto& point : kPoints) {
        int row, col;
        place(point.azimuth, 0, row, col);
        screen.Put(row, col, point.name, style);
    }
    for (const PlotMark& mark : c.marks) {
        int row, col;
        place(mark.azimuth, mark.elevation, row, col);
        Style look = Coloured(screen, style, mark.colour);
        look.bold = mark.filled;
        screen.Put(row, col, std::wstring(1, MarkGlyph(mark.shape, mark.filled)) + mark.label,
                   look);
    }
    if (legend) {
        int col = at.col;
        for (const LegendEntry& entry : c.legend) {
            std::wstring text = std::wstring(1, MarkGlyph(entry.shape, true)) + L" " + entry.text;
            if (col + Columns(text) > at.col + at.cols) break;
            screen.Put(at.row + at.rows - 1, col, text, Coloured(screen, style, entry.colour));
            col += Columns(text) + 2;
        }
    }
}

void DrawBarChart(Screen& screen, const detail::ControlState& c, const Cells& at,
                  const Style& style) {
    static const wchar_t kEighths[] = L" \u258F\u258E\u258D\u258C\u258B\u258A\u2589";
    int labelCols = 0;
    for (const ChartBar& bar : c.bars) labelCols = std::max(labelCols, Columns(bar.label));
    const int barCols = std::max(1, at.cols - labelCols - 6);  // " " and " 99 *"
    int row = at.row;
    const std::wstring* group = nullptr;
    for (const ChartBar& bar : c.bars) {
        if (group == nullptr || *group != bar.group) {
            group = &bar.group;
            if (row >= at.row + at.rows) break;
            Style heading = style;
            heading.bold = true;
            screen.Put(row++, at.col, ClipWithMark(bar.group, at.cols), heading);
        }
        if (row >= at.row + at.rows) break;
        double share = c.fullScale > 0 ? std::clamp(bar.value / c.fullScale, 0.0, 1.0) : 0;
        int eighths = static_cast<int>(share * barCols * 8);
        std::wstring drawn(static_cast<size_t>(eighths / 8), L'\u2588');
        if (eighths % 8) drawn += kEighths[eighths % 8];
        drawn.resize(static_cast<size_t>(barCols), L' ');
        screen.Put(row, at.col, bar.label, style);
        screen.Put(row, at.col + labelCols + 1, drawn, Coloured(screen, style, bar.colour));
        std::wstring value = std::to_wstring(static_cast<long>(std::lround(bar.value)));
        screen.Put(row, at.col + labelCols + 1 + barCols, L" " + value + (bar.marked ? L" *" : L""),
                   style);
        ++row;
    }
}

}  // namespace ui::terminal
