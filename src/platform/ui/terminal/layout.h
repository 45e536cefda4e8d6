// Dialog units to character cells. A cell is as wide as 4 horizontal dialog units and as
// tall as 8 vertical ones (the average character of the dialog font), which keeps a dialog's
// proportions. Controls that hold one line of text take the one row their middle falls in;
// list views, group boxes and taller labels keep their height.
//
// That base layout is what a dialog gets when its texts fit. A terminal character is not as
// narrow as the average letter of a proportional font, so texts made for the window often do
// not: the dialog is then spread over more columns (every position scaled alike, so that
// controls stay lined up), up to the screen's width, and a list view with more rows than it
// shows gets more rows (what lies below it moves down), up to the screen's height.
#pragma once

#include <vector>

#include "platform/ui/detail/control_state.h"
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

// A control's cells in its window's client area, in the base layout.
Cells ControlCells(const ControlTemplate& control);
// The client area's size in the base layout (row and col 0).
Cells ClientCells(const DialogTemplate& dialog);

// Rows added to a dialog: `rows` more from base row `at` on (the first row under a list view
// that needs them).
struct Growth {
    int at = 0;
    int rows = 0;
    friend bool operator==(const Growth&, const Growth&) = default;
};

// A dialog's layout in cells: its client area `cols` wide (at least the base width) and
// grown by `growth`.
class Layout {
  public:
    Layout() = default;
    explicit Layout(const DialogTemplate& dialog, int cols = 0, std::vector<Growth> growth = {});

    int Cols() const { return cols_; }
    int BaseCols() const { return baseCols_; }
    Cells Client() const;
    Cells Control(const ControlTemplate& control) const;
    // A list view column of `pixels` (as the dialog set it) in cells.
    int ColumnCells(int pixels) const;

    friend bool operator==(const Layout&, const Layout&) = default;

  private:
    int ScaleX(int units) const;

    int baseRows_ = 1;
    int baseCols_ = 1;
    int cols_ = 1;
    std::vector<Growth> growth_;
};

// Where a control is drawn, and the columns its text may take there: a label, check box or
// radio button followed on its row by another control leaves one column free before it.
//
// A label that follows another one it touches in the template starts one blank after that
// one's text (`pulled`: its text is then drawn from its start, even when centred).
struct Placed {
    Cells at;
    int room = 0;
    bool pulled = false;
};
std::vector<Placed> Place(const Layout& layout, const std::vector<detail::ControlState>& controls);

// The widths in cells of list view `list`'s columns when it is `innerCols` wide inside its
// border. A column narrower than its header or a cell (all but the last) takes what it
// needs from the last column, as long as that keeps a third of the width.
std::vector<int> ListColumns(const Layout& layout, const detail::ControlState& list, int innerCols);

// The layout of `dialog` (showing `controls`) on a screen of `screenRows` x `screenCols`:
// the narrowest, not under `minCols`, in which every shown text fits; the widest the screen
// holds when none does; the base width when the screen is narrower still. List views get
// the rows they need, as far as the screen has them.
Layout Fit(const DialogTemplate& dialog, const std::vector<detail::ControlState>& controls,
           int screenRows, int screenCols, int minCols = 0);

// The kit's pixels (6 x 13 a cell, see detail/units.h) to cells and back.
int PixelsToCols(int pixels);
int PixelsToRows(int pixels);
int ColsToPixels(int cols);
int RowsToPixels(int rows);

}  // namespace ui::terminal
