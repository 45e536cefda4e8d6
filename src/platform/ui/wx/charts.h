// The kit's charts as wx windows that draw themselves: the sky plot (rings at 0, 30 and 60
// degrees of elevation, north up, each mark's shape in its colour, filled or open, with its
// label, and the legend below) and the bar chart (vertical bars in groups, the group's name
// under them, each bar's label under it and its value above; marked bars solid, the others
// pale). Each tells what it shows as text for the screen-text copy.
#pragma once

#include <wx/window.h>

#include <string>
#include <vector>

#include "platform/ui/charts.h"

namespace ui::wxkit {

class SkyPlotWindow : public wxWindow {
  public:
    SkyPlotWindow(wxWindow* parent, const wxPoint& at, const wxSize& size);
    void SetChart(const std::vector<PlotMark>& marks, const std::vector<LegendEntry>& legend);
    // One line per mark: "mark: <label> <shape> az <a> el <e> filled|open".
    std::string Describe() const;

  private:
    void OnPaint(wxPaintEvent& event);
    std::vector<PlotMark> marks_;
    std::vector<LegendEntry> legend_;
};

class BarChartWindow : public wxWindow {
  public:
    BarChartWindow(wxWindow* parent, const wxPoint& at, const wxSize& size);
    void SetChart(const std::vector<ChartBar>& bars, double fullScale);
    // One line per bar: "bar: <group> <label> <value>[ marked]".
    std::string Describe() const;

  private:
    void OnPaint(wxPaintEvent& event);
    std::vector<ChartBar> bars_;
    double fullScale_ = 0;
};

}  // namespace ui::wxkit
