#include "platform/ui/charts.h"

#include "platform/ui/detail/control_state.h"
#include "platform/ui/dialog.h"

namespace ui {

using detail::ControlState;
using Lock = std::lock_guard<std::mutex>;

ControlState* SkyPlot::Find() const {
    ControlState* c = dialog_.FindLocked(id_);
    return c != nullptr && c->kind() == ControlKind::SkyPlot ? c : nullptr;
}

bool SkyPlot::SetMarks(std::vector<PlotMark> marks) {
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr) return false;
        if (c->marks == marks) return true;
        c->marks = std::move(marks);
    }
    dialog_.Changed(id_);
    return true;
}

std::vector<PlotMark> SkyPlot::Marks() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? c->marks : std::vector<PlotMark>();
}

bool SkyPlot::SetLegend(std::vector<LegendEntry> legend) {
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr) return false;
        if (c->legend == legend) return true;
        c->legend = std::move(legend);
    }
    dialog_.Changed(id_);
    return true;
}

std::vector<LegendEntry> SkyPlot::Legend() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? c->legend : std::vector<LegendEntry>();
}

ControlState* BarChart::Find() const {
    ControlState* c = dialog_.FindLocked(id_);
    return c != nullptr && c->kind() == ControlKind::BarChart ? c : nullptr;
}

bool BarChart::SetBars(std::vector<ChartBar> bars, double fullScale) {
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr) return false;
        if (c->bars == bars && c->fullScale == fullScale) return true;
        c->bars = std::move(bars);
        c->fullScale = fullScale;
    }
    dialog_.Changed(id_);
    return true;
}

std::vector<ChartBar> BarChart::Bars() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? c->bars : std::vector<ChartBar>();
}

double BarChart::FullScale() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? c->fullScale : 0;
}

wchar_t MarkGlyph(MarkShape shape, bool filled) {
    switch (shape) {
        case MarkShape::Circle:
            return filled ? L'\u25CF' : L'\u25CB';  // ● ○
        case MarkShape::Square:
            return filled ? L'\u25A0' : L'\u25A1';  // ■ □
        case MarkShape::Triangle:
            return filled ? L'\u25B2' : L'\u25B3';  // ▲ △
        case MarkShape::Diamond:
            return filled ? L'\u25C6' : L'\u25C7';  // ◆ ◇
        case MarkShape::Star:
            return filled ? L'\u2605' : L'\u2606';  // ★ ☆
        case MarkShape::DownTriangle:
            return filled ? L'\u25BC' : L'\u25BD';  // ▼ ▽
        case MarkShape::Cross:
            return filled ? L'\u271A' : L'\u271B';  // ✚ ✛
    }
    return L'?';
}

}  // namespace ui
