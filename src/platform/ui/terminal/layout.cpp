#include "platform/ui/terminal/layout.h"

#include <algorithm>

#include "platform/ui/detail/units.h"
#include "platform/ui/terminal/text.h"

namespace ui::terminal {

using detail::ControlState;

namespace {

// Rounds units / per to the nearest whole, halves away from zero.
int Round(int units, int per) {
    return units >= 0 ? (2 * units + per) / (2 * per) : -((-2 * units + per) / (2 * per));
}

int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

bool OneLine(const ControlTemplate& c) {
    switch (c.kind) {
        case ControlKind::ListView:
        case ControlKind::GroupBox:
        case ControlKind::SkyPlot:
        case ControlKind::BarChart:
            return false;
        case ControlKind::Static:
        case ControlKind::Icon:
            return c.rect.height < 16;
        default:
            return true;
    }
}

// Columns the control's own text needs beyond what its room counts (see Place); 0 for
// controls whose text scrolls or wraps.
int TextNeed(const ControlState& c) {
    switch (c.kind()) {
        case ControlKind::Static:
            if (!OneLine(c.control)) return 0;
            return Columns((c.control.styles & kStyleNoPrefix) ? c.text : Caption(c.text));
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
        case ControlKind::GroupBox:
            return Columns(Caption(c.text));
        case ControlKind::DropDownList:
        case ControlKind::DropDownCombo: {
            // Whichever item is chosen, it shows whole.
            int need = Columns(c.text);
            for (const std::wstring& item : c.items) need = std::max(need, Columns(item));
            return need;
        }
        default:
            return 0;
    }
}

bool Grid(const ControlState& list) {
    return (list.extendedStyle & kListGridLines) != 0;
}
int BorderCells(const ControlState& list) {
    return (list.control.styles & kStyleBorder) ? 2 : 0;
}

// Columns of list column `i`: its header and its widest cell, and the grid's line.
int ColumnNeed(const ControlState& list, size_t i) {
    int need = Columns(Caption(list.columns[i].text));
    for (const auto& row : list.rows) {
        if (i < row.size()) need = std::max(need, Columns(row[i]));
    }
    return need + (Grid(list) ? 1 : 0);
}

// Rows a list view needs to show all its rows: border, header, the grid's line under it.
int ListRowsNeed(const ControlState& list) {
    int header = list.columns.empty() ? 0 : 1;
    return BorderCells(list) + header + (Grid(list) && header ? 1 : 0) +
           static_cast<int>(list.rows.size());
}

bool ListFits(const Layout& layout, const ControlState& list, const Cells& at) {
    if (list.columns.size() < 2) return true;
    int inner = at.cols - BorderCells(list);
    std::vector<int> widths = ListColumns(layout, list, inner);
    int x = 0;
    size_t last = list.columns.size() - 1;
    for (size_t i = 0; i < last && x < inner; ++i) {
        if (ColumnNeed(list, i) > widths[i]) return false;
        x += widths[i];
    }
    return x >= inner || ColumnNeed(list, last) <= inner - x;
}

// Whether every text fits in `layout`; `needs` holds TextNeed of each control.
bool Fits(const Layout& layout, const std::vector<ControlState>& controls,
          const std::vector<int>& needs) {
    std::vector<Placed> placed = Place(layout, controls);
    for (size_t i = 0; i < controls.size(); ++i) {
        const ControlState& c = controls[i];
        if (!c.visible) continue;
        if (c.kind() == ControlKind::ListView) {
            if (!ListFits(layout, c, placed[i].at)) return false;
        } else if (needs[i] > placed[i].room) {
            return false;
        }
    }
    return true;
}

}  // namespace

Cells ControlCells(const ControlTemplate& c) {
    Cells cells;
    cells.col = Round(c.rect.x, 4);
    cells.cols = std::max(1, Round(c.rect.x + c.rect.width, 4) - cells.col);
    Rect visible = VisibleRect(c);
    if (OneLine(c)) {
        cells.row = FloorDiv(visible.y + visible.height / 2, 8);
        cells.rows = 1;
    } else {
        cells.row = Round(visible.y, 8);
        cells.rows = std::max(1, Round(visible.y + visible.height, 8) - cells.row);
    }
    return cells;
}

Cells ClientCells(const DialogTemplate& dialog) {
    return Cells{0, 0, std::max(1, Round(dialog.height, 8)), std::max(1, Round(dialog.width, 4))};
}

Layout::Layout(const DialogTemplate& dialog, int cols, std::vector<Growth> growth)
    : growth_(std::move(growth)) {
    Cells base = ClientCells(dialog);
    baseRows_ = base.rows;
    baseCols_ = base.cols;
    cols_ = std::max(cols, baseCols_);
}

int Layout::ScaleX(int units) const {
    // At the base width this is Round(units, 4).
    return Round(units * cols_, 4 * baseCols_);
}

Cells Layout::Client() const {
    int rows = baseRows_;
    for (const Growth& g : growth_) rows += g.rows;
    return Cells{0, 0, rows, cols_};
}

Cells Layout::Control(const ControlTemplate& control) const {
    Cells base = ControlCells(control);
    Cells cells = base;
    cells.col = ScaleX(control.rect.x);
    cells.cols = std::max(1, ScaleX(control.rect.x + control.rect.width) - cells.col);
    for (const Growth& g : growth_) {
        if (base.row >= g.at) {
            cells.row += g.rows;
        } else if (!OneLine(control) && base.row + base.rows >= g.at) {
            cells.rows += g.rows;
        }
    }
    return cells;
}

int Layout::ColumnCells(int pixels) const {
    // At the base width this is PixelsToCols(pixels).
    return std::max(1, Round(pixels * cols_, detail::kBaseUnitX * baseCols_));
}

namespace {

// A one-line label that follows another one on its row, the two touching in the template (a
// title and its value, a value and its unit): the terminal's letters are not as narrow as the
// window's, so the second starts one blank after the text of the first, wherever that ends,
// rather than at its scaled place.
void PullLabelsTogether(const std::vector<ControlState>& controls, std::vector<Placed>& placed) {
    auto label = [&](size_t i) {
        return controls[i].visible && controls[i].kind() == ControlKind::Static &&
               OneLine(controls[i].control);
    };
    std::vector<size_t> order;
    for (size_t i = 0; i < controls.size(); ++i) {
        if (label(i)) order.push_back(i);
    }
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return placed[a].at.col < placed[b].at.col; });
    for (size_t i : order) {
        const Rect& own = controls[i].control.rect;
        for (size_t j : order) {
            const Rect& before = controls[j].control.rect;
            const int gap = own.x - (before.x + before.width);
            if (j == i || placed[j].at.row != placed[i].at.row || gap < 0 || gap > 4) continue;
            const ControlState& c = controls[j];
            const std::wstring text =
                (c.control.styles & kStyleNoPrefix) ? c.text : Caption(c.text);
            const int offset = placed[j].pulled || !(c.control.styles & kStyleCentre)
                                   ? 0
                                   : std::max(0, (placed[j].at.cols - Columns(text)) / 2);
            const int col = placed[j].at.col + offset + Columns(text) + 1;
            Cells& at = placed[i].at;
            if (col < at.col) {
                at.cols += at.col - col;
                at.col = col;
                placed[i].pulled = true;
                // The first keeps the cells up to the blank.
                Cells& first = placed[j].at;
                first.cols = std::min(first.cols, col - 1 - first.col);
            }
            break;
        }
    }
}

}  // namespace

std::vector<Placed> Place(const Layout& layout, const std::vector<ControlState>& controls) {
    std::vector<Placed> placed(controls.size());
    for (size_t i = 0; i < controls.size(); ++i) placed[i].at = layout.Control(controls[i].control);
    PullLabelsTogether(controls, placed);
    for (size_t i = 0; i < controls.size(); ++i) {
        const ControlState& c = controls[i];
        Placed& p = placed[i];
        int prefix = 0;
        switch (c.kind()) {
            case ControlKind::PushButton:
                p.room = p.at.cols - 2;  // the brackets
                continue;
            case ControlKind::GroupBox:
                p.room = p.at.cols - 4;  // the corners and a blank on each side
                continue;
            case ControlKind::DropDownList:
            case ControlKind::DropDownCombo:
                p.room = p.at.cols - 1;  // the arrow
                continue;
            case ControlKind::CheckBox:
            case ControlKind::RadioButton:
                prefix = 4;  // "[x] "
                break;
            case ControlKind::Static:
                break;
            default:
                p.room = p.at.cols;
                continue;
        }
        int end = p.at.col + p.at.cols;
        for (size_t j = 0; j < controls.size(); ++j) {
            const Cells& other = placed[j].at;
            if (j == i || !controls[j].visible || controls[j].kind() == ControlKind::GroupBox ||
                other.row > p.at.row || other.row + other.rows <= p.at.row) {
                continue;
            }
            if (other.col > p.at.col && other.col <= end) end = other.col - 1;
        }
        p.room = std::max(0, end - p.at.col - prefix);
    }
    return placed;
}

std::vector<int> ListColumns(const Layout& layout, const ControlState& list, int innerCols) {
    std::vector<int> widths;
    for (const ListColumn& column : list.columns)
        widths.push_back(layout.ColumnCells(column.width));
    if (widths.size() < 2) return widths;
    // The last column keeps a third of the width; what it shows does not move the others.
    size_t last = widths.size() - 1;
    int planned = 0;
    for (size_t i = 0; i < last; ++i) planned += widths[i];
    for (size_t i = 0; i < last; ++i) {
        int need = ColumnNeed(list, i);
        if (need <= widths[i]) continue;
        int spare = innerCols - planned - innerCols / 3;
        int wider = std::max(widths[i], std::min(need, widths[i] + spare));
        planned += wider - widths[i];
        widths[i] = wider;
    }
    return widths;
}

Layout Fit(const DialogTemplate& dialog, const std::vector<ControlState>& controls, int screenRows,
           int screenCols, int minCols) {
    std::vector<int> needs;
    for (const ControlState& c : controls) needs.push_back(TextNeed(c));
    Layout base(dialog);
    int widest = std::max(base.Cols(), screenCols - 2);  // the frame takes a column each side
    int cols = widest;
    for (int tried = std::clamp(minCols, base.Cols(), widest); tried <= widest; ++tried) {
        if (Fits(Layout(dialog, tried), controls, needs)) {
            cols = tried;
            break;
        }
    }
    Layout wide(dialog, cols);
    int spare = std::max(0, screenRows - 2 - wide.Client().rows);
    std::vector<Growth> growth;
    for (const ControlState& c : controls) {
        if (!c.visible || c.kind() != ControlKind::ListView || spare == 0) continue;
        Cells at = wide.Control(c.control);
        int more = std::min(spare, ListRowsNeed(c) - at.rows);
        if (more <= 0) continue;
        growth.push_back(Growth{at.row + at.rows, more});
        spare -= more;
    }
    if (growth.empty()) return wide;
    return Layout(dialog, cols, std::move(growth));
}

int PixelsToCols(int pixels) {
    return FloorDiv(pixels + detail::kBaseUnitX / 2, detail::kBaseUnitX);
}
int PixelsToRows(int pixels) {
    return FloorDiv(pixels + detail::kBaseUnitY / 2, detail::kBaseUnitY);
}
int ColsToPixels(int cols) {
    return cols * detail::kBaseUnitX;
}
int RowsToPixels(int rows) {
    return rows * detail::kBaseUnitY;
}

}  // namespace ui::terminal
