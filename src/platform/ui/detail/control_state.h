// One control in a dialog's table: the model that the back ends show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/charts.h"
#include "platform/ui/controls.h"
#include "platform/ui/template.h"

namespace ui::detail {

struct ControlState {
    ControlTemplate control;  // id, kind, template text and rectangle, styles
    Rect pixels;              // in the client area
    std::wstring text;        // caption, edit text, combo box text
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    std::vector<std::wstring> items;  // combo boxes
    int selection = -1;
    std::vector<ListColumn> columns;  // list views
    std::vector<std::vector<std::wstring>> rows;
    std::uint32_t extendedStyle = 0;
    std::vector<PlotMark> marks;  // sky plots
    std::vector<LegendEntry> legend;
    std::vector<ChartBar> bars;  // bar charts
    double fullScale = 0;

    int id() const { return control.id; }
    ControlKind kind() const { return control.kind; }
    bool IsCombo() const {
        return control.kind == ControlKind::DropDownList ||
               control.kind == ControlKind::DropDownCombo;
    }
    bool TakesFocus() const {
        return control.kind != ControlKind::Static && control.kind != ControlKind::GroupBox &&
               control.kind != ControlKind::Icon && control.kind != ControlKind::SkyPlot &&
               control.kind != ControlKind::BarChart;
    }
};

}  // namespace ui::detail
