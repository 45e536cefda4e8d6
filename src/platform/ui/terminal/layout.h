// Dialog units to character cells. A cell is as wide as 4 horizontal dialog units and as
// tall as 8 vertical ones (the average character of the dialog font), which keeps a dialog's
// proportions. Controls that hold one line of text take the one row their middle falls in;
// list views, group boxes and taller labels keep their height.
#pragma once

#include "platform/ui/template.h"
#include "platform/ui/types.h"

namespace ui::terminal {

struct Cells {
    int row = 0;
    int col = 0;
    int rows = 0;
    int cols = 0;
    bool Contains(int r, int c) const {
        return r >= row && r < row + rows && c >= col && c < col + cols;
    }
    friend bool operator==(const Cells&, const Cells&) = default;
};

// A control's cells in its window's client area.
Cells ControlCells(const ControlTemplate& control);
// The client area's size (row and col 0).
Cells ClientCells(const DialogTemplate& dialog);

// The kit's pixels (6 x 13 a cell, see detail/units.h) to cells and back.
int PixelsToCols(int pixels);
int PixelsToRows(int pixels);
int ColsToPixels(int cols);
int RowsToPixels(int rows);

}  // namespace ui::terminal
