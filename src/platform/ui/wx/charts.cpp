#include "platform/ui/wx/charts.h"

#include <wx/dcbuffer.h>
#include <wx/dcgraph.h>
#include <wx/settings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace ui::wxkit {
namespace {

wxColour Rgb(std::uint32_t rgb) {
    return wxColour((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// `colour` mixed with white: the pale form of an unmarked bar.
wxColour Pale(std::uint32_t rgb) {
    auto mix = [](unsigned c) { return static_cast<unsigned char>((c + 2 * 255) / 3); };
    return wxColour(mix((rgb >> 16) & 0xFF), mix((rgb >> 8) & 0xFF), mix(rgb & 0xFF));
}

std::string Utf8(const std::wstring& text) {
    return std::string(wxString(text.c_str(), text.size()).utf8_str().data());
}

const char* ShapeName(MarkShape shape) {
    switch (shape) {
        case MarkShape::Circle:
            return "circle";
        case MarkShape::Square:
            return "square";
        case MarkShape::Triangle:
            return "triangle";
        case MarkShape::Diamond:
            return "diamond";
        case MarkShape::Star:
            return "star";
        case MarkShape::DownTriangle:
            return "down-triangle";
        case MarkShape::Cross:
            return "cross";
    }
    return "?";
}

// The shape of `size` pixels across, centred on `at`.
void DrawShape(wxDC& dc, MarkShape shape, wxPoint at, int size) {
    const int r = size / 2;
    auto polygon = [&](std::vector<wxPoint> points) {
        dc.DrawPolygon(static_cast<int>(points.size()), points.data(), at.x, at.y);
    };
    switch (shape) {
        case MarkShape::Circle:
            dc.DrawCircle(at, r);
            break;
        case MarkShape::Square:
            dc.DrawRectangle(at.x - r, at.y - r, 2 * r, 2 * r);
            break;
        case MarkShape::Triangle:
            polygon({{0, -r}, {r, r}, {-r, r}});
            break;
        case MarkShape::DownTriangle:
            polygon({{-r, -r}, {r, -r}, {0, r}});
            break;
        case MarkShape::Diamond:
            polygon({{0, -r}, {r, 0}, {0, r}, {-r, 0}});
            break;
        case MarkShape::Star: {
            std::vector<wxPoint> points;
            for (int i = 0; i < 10; ++i) {
                double angle = std::numbers::pi * i / 5 - std::numbers::pi / 2;
                double radius = i % 2 ? r * 0.45 : r;
                points.emplace_back(static_cast<int>(std::lround(std::cos(angle) * radius)),
                                    static_cast<int>(std::lround(std::sin(angle) * radius)));
            }
            polygon(points);
            break;
        }
        case MarkShape::Cross: {
            int t = std::max(1, r / 3);
            polygon({{-t, -r},
                     {t, -r},
                     {t, -t},
                     {r, -t},
                     {r, t},
                     {t, t},
                     {t, r},
                     {-t, r},
                     {-t, t},
                     {-r, t},
                     {-r, -t},
                     {-t, -t}});
            break;
        }
    }
}

}  // namespace

SkyPlotWindow::SkyPlotWindow(wxWindow* parent, const wxPoint& at, const wxSize& size)
    : wxWindow(parent, wxID_ANY, at, size, wxFULL_REPAINT_ON_RESIZE) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &SkyPlotWindow::OnPaint, this);
}

void SkyPlotWindow::SetChart(const std::vector<PlotMark>& marks,
                             const std::vector<LegendEntry>& legend) {
    if (marks == marks_ && legend == legend_) return;
    marks_ = marks;
    legend_ = legend;
    Refresh();
}

std::string SkyPlotWindow::Describe() const {
    std::string text;
    for (const PlotMark& m : marks_) {
        char line[160];
        std::snprintf(line, sizeof line, "  mark: %s %s az %.0f el %.0f %s\n",
                      Utf8(m.label).c_str(), ShapeName(m.shape), m.azimuth, m.elevation,
                      m.filled ? "filled" : "open");
        text += line;
    }
    for (const LegendEntry& e : legend_) {
        text += "  legend: " + std::string(ShapeName(e.shape)) + " " + Utf8(e.text) + "\n";
    }
    return text;
}

void SkyPlotWindow::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC paint(this);
    wxGCDC dc(paint);
    const wxColour background = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    const wxColour ink = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    dc.SetBackground(wxBrush(background));
    dc.Clear();
    const wxSize size = GetClientSize();
    dc.SetFont(GetFont());
    const int line = dc.GetCharHeight();
    const int legendRows = legend_.empty() ? 0 : 1;
    const int side = std::min(size.x, size.y - legendRows * (line + 4)) - 2 * line - 4;
    if (side <= 10) return;
    const int radius = side / 2;
    const wxPoint centre(size.x / 2, line + 2 + radius);
    auto place = [&](double azimuth, double elevation) {
        double r = std::clamp((90.0 - elevation) / 90.0, 0.0, 1.0) * radius;
        double angle = azimuth * std::numbers::pi / 180.0;
        return wxPoint(centre.x + static_cast<int>(std::lround(std::sin(angle) * r)),
                       centre.y - static_cast<int>(std::lround(std::cos(angle) * r)));
    };
    // The rings (horizon, 30 and 60 degrees), the cross and the compass points.
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.SetPen(wxPen(wxColour(160, 160, 160), 1));
    for (double ring : {0.0, 30.0, 60.0}) {
        dc.DrawCircle(centre, static_cast<int>(std::lround((90.0 - ring) / 90.0 * radius)));
    }
    dc.DrawLine(centre.x - radius, centre.y, centre.x + radius, centre.y);
    dc.DrawLine(centre.x, centre.y - radius, centre.x, centre.y + radius);
    dc.SetTextForeground(ink);
    const struct {
        double azimuth;
        const char* name;
    } kPoints[] = {{0, "N"}, {90, "E"}, {180, "S"}, {270, "W"}};
    for (const auto& point : kPoints) {
        wxPoint at = place(point.azimuth, -line * 90.0 / radius);
        wxSize extent = dc.GetTextExtent(point.name);
        dc.DrawText(point.name, at.x - extent.x / 2, at.y - extent.y / 2);
    }
    dc.SetTextForeground(wxColour(120, 120, 120));
    for (double ring : {30.0, 60.0}) {
        wxPoint at = place(135, ring);
        dc.DrawText(wxString::Format(L"%.0f\u00B0", ring), at.x + 2, at.y);
    }
    // The marks, used ones filled, each with its label.
    const int mark = std::max(8, line * 3 / 4);
    for (const PlotMark& m : marks_) {
        wxPoint at = place(m.azimuth, m.elevation);
        dc.SetPen(wxPen(Rgb(m.colour), 2));
        dc.SetBrush(m.filled ? wxBrush(Rgb(m.colour)) : wxBrush(background));
        DrawShape(dc, m.shape, at, mark);
        dc.SetTextForeground(ink);
        dc.DrawText(wxString(m.label.c_str(), m.label.size()), at.x + mark / 2 + 2,
                    at.y - line / 2);
    }
    // The legend: each kind's shape and name.
    int x = 4;
    const int y = size.y - line - 2;
    for (const LegendEntry& e : legend_) {
        dc.SetPen(wxPen(Rgb(e.colour), 2));
        dc.SetBrush(wxBrush(Rgb(e.colour)));
        DrawShape(dc, e.shape, wxPoint(x + mark / 2, y + line / 2), mark);
        x += mark + 4;
        wxString text(e.text.c_str(), e.text.size());
        dc.SetTextForeground(ink);
        dc.DrawText(text, x, y);
        x += dc.GetTextExtent(text).x + 12;
    }
}

BarChartWindow::BarChartWindow(wxWindow* parent, const wxPoint& at, const wxSize& size)
    : wxWindow(parent, wxID_ANY, at, size, wxFULL_REPAINT_ON_RESIZE) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &BarChartWindow::OnPaint, this);
}

void BarChartWindow::SetChart(const std::vector<ChartBar>& bars, double fullScale) {
    if (bars == bars_ && fullScale == fullScale_) return;
    bars_ = bars;
    fullScale_ = fullScale;
    Refresh();
}

std::string BarChartWindow::Describe() const {
    std::string text;
    for (const ChartBar& b : bars_) {
        char value[32];
        std::snprintf(value, sizeof value, "%.0f", b.value);
        text += "  bar: " + Utf8(b.group) + " " + Utf8(b.label) + " " + value +
                (b.marked ? " marked" : "") + "\n";
    }
    return text;
}

void BarChartWindow::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC paint(this);
    wxGCDC dc(paint);
    const wxColour background = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    const wxColour ink = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    dc.SetBackground(wxBrush(background));
    dc.Clear();
    if (bars_.empty()) return;
    const wxSize size = GetClientSize();
    wxFont small = GetFont();
    small.SetFractionalPointSize(small.GetFractionalPointSize() * 0.85);
    dc.SetFont(small);
    const int line = dc.GetCharHeight();
    // Groups are set apart by half a bar.
    int groups = 1;
    for (size_t i = 1; i < bars_.size(); ++i) groups += bars_[i].group != bars_[i - 1].group;
    const double slots = static_cast<double>(bars_.size()) + 0.5 * (groups - 1);
    const double slot = (size.x - 8) / std::max(1.0, slots);
    const int top = line + 2;
    const int bottom = size.y - 2 * line - 6;  // labels, then group names
    if (bottom - top < 10 || slot < 2) return;
    dc.SetPen(wxPen(wxColour(200, 200, 200), 1));
    dc.DrawLine(4, bottom, size.x - 4, bottom);
    double x = 4, groupLeft = 4;
    for (size_t i = 0; i < bars_.size(); ++i) {
        const ChartBar& b = bars_[i];
        if (i > 0 && b.group != bars_[i - 1].group) {
            x += slot / 2;
            groupLeft = x;
        }
        double share = fullScale_ > 0 ? std::clamp(b.value / fullScale_, 0.0, 1.0) : 0;
        int height = static_cast<int>(std::lround(share * (bottom - top)));
        int left = static_cast<int>(std::lround(x + slot * 0.15));
        int width = std::max(1, static_cast<int>(std::lround(slot * 0.7)));
        dc.SetPen(wxPen(Rgb(b.colour), 1));
        dc.SetBrush(wxBrush(b.marked ? Rgb(b.colour) : Pale(b.colour)));
        dc.DrawRectangle(left, bottom - height, width, height);
        dc.SetTextForeground(ink);
        wxString value = wxString::Format("%.0f", b.value);
        wxSize valueExtent = dc.GetTextExtent(value);
        if (valueExtent.x <= slot + 2) {
            dc.DrawText(value, left + width / 2 - valueExtent.x / 2, bottom - height - line);
        }
        wxString label(b.label.c_str(), b.label.size());
        wxSize labelExtent = dc.GetTextExtent(label);
        dc.DrawText(label, left + width / 2 - labelExtent.x / 2, bottom + 2);
        x += slot;
        if (i + 1 == bars_.size() || bars_[i + 1].group != b.group) {
            // The group's name, centred under its bars.
            wxString name(b.group.c_str(), b.group.size());
            wxSize extent = dc.GetTextExtent(name);
            int middle = static_cast<int>(std::lround((groupLeft + x) / 2));
            dc.SetTextForeground(Rgb(b.colour));
            dc.DrawText(name, middle - extent.x / 2, bottom + line + 4);
        }
    }
}

}  // namespace ui::wxkit
