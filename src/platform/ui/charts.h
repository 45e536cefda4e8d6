// The kit's two charts, drawn by each back end: a sky plot (marks at an azimuth and elevation,
// north up, rings at 0, 30 and 60 degrees, with a legend of the marks' kinds) and a bar chart
// (a bar per item, in labelled groups, a mark on the bars that stand out). Like the list
// views, light handles on the dialog's table, safe from any thread; false or empty when the
// control is missing or of another kind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

class Dialog;
namespace detail {
struct ControlState;
}

enum class MarkShape { Circle, Square, Triangle, Diamond, Star, DownTriangle, Cross };

struct PlotMark {
    double azimuth = 0;    // degrees clockwise from north
    double elevation = 0;  // degrees above the horizon, 0 (the rim) to 90 (the centre)
    MarkShape shape = MarkShape::Circle;
    std::uint32_t colour = 0;  // 0xRRGGBB
    bool filled = false;
    std::wstring label;
    friend bool operator==(const PlotMark&, const PlotMark&) = default;
};

struct LegendEntry {
    MarkShape shape = MarkShape::Circle;
    std::uint32_t colour = 0;
    std::wstring text;
    friend bool operator==(const LegendEntry&, const LegendEntry&) = default;
};

struct ChartBar {
    std::wstring group;  // consecutive bars of one group are drawn together under its name
    std::wstring label;
    double value = 0;  // 0 to the chart's full scale
    std::uint32_t colour = 0;
    bool marked = false;
    friend bool operator==(const ChartBar&, const ChartBar&) = default;
};

class SkyPlot {
  public:
    SkyPlot(Dialog& dialog, int id) : dialog_(dialog), id_(id) {}
    bool SetMarks(std::vector<PlotMark> marks);
    std::vector<PlotMark> Marks() const;
    bool SetLegend(std::vector<LegendEntry> legend);
    std::vector<LegendEntry> Legend() const;

  private:
    detail::ControlState* Find() const;
    Dialog& dialog_;
    int id_;
};

class BarChart {
  public:
    BarChart(Dialog& dialog, int id) : dialog_(dialog), id_(id) {}
    // The bars, each drawn as its value's share of `fullScale` (values beyond it full).
    bool SetBars(std::vector<ChartBar> bars, double fullScale);
    std::vector<ChartBar> Bars() const;
    double FullScale() const;

  private:
    detail::ControlState* Find() const;
    Dialog& dialog_;
    int id_;
};

// The glyph a text back end draws for a mark (filled: the solid one).
wchar_t MarkGlyph(MarkShape shape, bool filled);

}  // namespace ui
