#include "platform/ui/terminal/layout.h"

#include <algorithm>

#include "platform/ui/detail/units.h"

namespace ui::terminal {

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
            return false;
        case ControlKind::Static:
        case ControlKind::Icon:
            return c.rect.height < 16;
        default:
            return true;
    }
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
