#include "platform/ui/terminal/view.h"

#include <algorithm>
#include <cwctype>

#include "platform/ui/detail/units.h"
#include "platform/ui/kit.h"
#include "platform/ui/terminal/backend.h"
#include "platform/ui/terminal/charts.h"
#include "platform/ui/terminal/text.h"

namespace ui::terminal {

using detail::ControlState;
using detail::DialogAccess;

namespace {

// The command of the system menu's own Close entry (no dialog appends 0xF060 itself).
constexpr unsigned kCloseCommand = 0xF060;
constexpr wchar_t kEscape = 27;

Cells Intersect(const Cells& a, const Cells& b) {
    int top = std::max(a.row, b.row), left = std::max(a.col, b.col);
    int bottom = std::min(a.row + a.rows, b.row + b.rows);
    int right = std::min(a.col + a.cols, b.col + b.cols);
    return Cells{top, left, std::max(0, bottom - top), std::max(0, right - left)};
}

bool IsEnter(const Input& in) {
    return (in.kind == Input::Kind::Char && (in.ch == L'\r' || in.ch == L'\n')) ||
           (in.kind == Input::Kind::Key && in.key == KEY_ENTER);
}
bool IsChar(const Input& in, wchar_t c) {
    return in.kind == Input::Kind::Char && in.ch == c;
}
bool IsKey(const Input& in, int key) {
    return in.kind == Input::Kind::Key && in.key == key;
}
bool IsPrintable(const Input& in) {
    return in.kind == Input::Kind::Char && in.ch >= 0x20 && in.ch != 0x7F;
}

// The key a dialog's key hook sees: Enter, Escape, Tab and printable characters.
int HookKey(const Input& in) {
    if (IsEnter(in)) return kKeyEnter;
    if (in.kind == Input::Kind::Char && (in.ch == kEscape || in.ch == L'\t' || in.ch >= 0x20)) {
        return static_cast<int>(in.ch);
    }
    return 0;
}

const ControlState* FindIn(const std::vector<ControlState>& controls, int id) {
    for (const ControlState& c : controls) {
        if (c.id() == id && id != kIdStatic) return &c;
    }
    return nullptr;
}

}  // namespace

TerminalView::TerminalView(TerminalBackend& backend, Dialog& dialog)
    : backend_(backend),
      dialog_(dialog),
      handle_(dialog.Handle()),
      layout_(dialog.Template()),
      client_(layout_.Client()) {
    backend_.Raise(handle_);
}

TerminalView::~TerminalView() {
    backend_.Forget(handle_);
}

Rect TerminalView::ToPixels(const Rect& r) const {
    return detail::DialogUnitsToPixels(r);
}

void TerminalView::SyncControl(int id) {
    if (popup_ && popup_->id == id && id != 0) {
        auto c = DialogAccess::Control(dialog_, id);
        if (!c || !c->visible || !c->enabled || c->items.empty()) {
            popup_.reset();
        } else {
            popup_->items = c->items;
            popup_->selected = std::clamp(popup_->selected, 0, int(c->items.size()) - 1);
        }
    }
    backend_.MarkDirty();
}

void TerminalView::SyncWindow() {
    detail::WindowState window = DialogAccess::Window(dialog_);
    if (window.rect != reported_ && reported_.width >= 0) placed_ = true;
    if (!window.visible || !window.enabled) popup_.reset();
    backend_.MarkDirty();
}

void TerminalView::Focus(int id) {
    auto c = DialogAccess::Control(dialog_, id);
    if (c && (c->kind() == ControlKind::Edit || c->kind() == ControlKind::DropDownCombo)) {
        edits_[id].caret = c->text.size();
    }
    backend_.MarkDirty();
}

void TerminalView::RunModal() {
    backend_.Raise(handle_);
    backend_.RunUntil([this] { return DialogAccess::ModalDone(dialog_); });
}

void TerminalView::EndModal() {
    backend_.MarkDirty();
}

void TerminalView::Center() {
    detail::WindowState window = DialogAccess::Window(dialog_);
    Screen& screen = backend_.screen();
    Relayout(screen);
    Cells area{0, 0, screen.Rows(), screen.Cols()};
    WindowHandle around = window.parent ? window.parent : window.owner;
    if (TerminalView* other = around ? backend_.ViewOf(around) : nullptr) {
        area = window.parent ? Cells{0, 0, other->client_.rows, other->client_.cols}
                             : other->Outer(screen);
    }
    Cells size = Size();
    int row = std::max(0, area.row + (area.rows - size.rows) / 2);
    int col = std::max(0, area.col + (area.cols - size.cols) / 2);
    Rect rect{ColsToPixels(col), RowsToPixels(row), window.rect.width, window.rect.height};
    DialogAccess::Moved(dialog_, rect);
    reported_ = rect;
    placed_ = true;
    backend_.MarkDirty();
}

void TerminalView::Raise() {
    backend_.Raise(handle_);
}

void TerminalView::Invalidate() {
    backend_.MarkDirty();
}

Cells TerminalView::Outer(const Screen& screen) const {
    Cells size = Size();
    if (placed_) {
        Rect rect = DialogAccess::Window(dialog_).rect;
        size.row = PixelsToRows(rect.y);
        size.col = PixelsToCols(rect.x);
    } else {
        size.row = std::max(0, (screen.Rows() - size.rows) / 2);
        size.col = std::max(0, (screen.Cols() - size.cols) / 2);
    }
    return size;
}

void TerminalView::Relayout(const Screen& screen) {
    if (DialogAccess::Window(dialog_).parent) {
        layout_ = Layout(dialog_.Template());
    } else {
        if (screen.Cols() != fittedCols_) widest_ = 0;
        layout_ = Fit(dialog_.Template(), Controls(), screen.Rows(), screen.Cols(), widest_);
        widest_ = layout_.Cols();
        fittedCols_ = screen.Cols();
    }
    client_ = layout_.Client();
}

// ---- drawing ----

void TerminalView::SyncScroll(const Screen& screen, const Cells& outer) {
    // A window taller or wider than the screen scrolls to keep the focused control in view.
    scrollRow_ = std::clamp(scrollRow_, 0, std::max(0, outer.row + outer.rows - screen.Rows()));
    scrollCol_ = std::clamp(scrollCol_, 0, std::max(0, outer.col + outer.cols - screen.Cols()));
    auto focused = DialogAccess::Control(dialog_, dialog_.Focus());
    if (!focused) return;
    Cells at = layout_.Control(focused->control);
    int top = outer.row + 1 + at.row - scrollRow_;
    int bottom = top + at.rows;
    if (top < 0) scrollRow_ += top;
    if (bottom > screen.Rows()) scrollRow_ += bottom - screen.Rows();
    int left = outer.col + 1 + at.col - scrollCol_;
    int right = left + std::min(at.cols, screen.Cols());
    if (left < 0) scrollCol_ += left;
    if (right > screen.Cols()) scrollCol_ += right - screen.Cols();
}

void TerminalView::Draw(Screen& screen, const Cells& where, bool focused, int* cursorRow,
                        int* cursorCol) {
    detail::WindowState window = DialogAccess::Window(dialog_);
    if (!placed_ && !window.parent) {
        Rect rect{ColsToPixels(where.col), RowsToPixels(where.row), window.rect.width,
                  window.rect.height};
        if (rect != reported_) {
            DialogAccess::Moved(dialog_, rect);
            reported_ = rect;
        }
    }
    SyncScroll(screen, where);
    Cells outer = where;
    outer.row -= scrollRow_;
    outer.col -= scrollCol_;
    const Cells screenCells{0, 0, screen.Rows(), screen.Cols()};
    Style base;
    base.pair = screen.Pair(window.theme.text, window.theme.background);
    base.dim = !window.enabled;
    screen.SetClip(Intersect(outer, screenCells));
    for (int r = 0; r < outer.rows; ++r)
        screen.Fill(outer.row + r, outer.col, outer.cols, L' ', base);
    Style frame = base;
    frame.bold = focused;
    screen.Frame(outer, frame);
    std::wstring title = ClipWithMark(window.title, std::max(0, outer.cols - 10));
    if (!title.empty()) {
        title = L" " + title + L" ";
        screen.Put(outer.row, outer.col + (outer.cols - Columns(title)) / 2, title, frame);
    }
    closeMark_ = Cells{};
    if (dialog_.HasSystemMenu() && outer.cols >= 8) {
        closeMark_ = Cells{outer.row, outer.col + outer.cols - 4, 1, 3};
        screen.Put(closeMark_.row, closeMark_.col, L"[x]", frame);
    }

    Cells client{outer.row + 1, outer.col + 1, client_.rows, client_.cols};
    Cells clip = Intersect(client, screenCells);
    std::vector<ControlState> controls = Controls();
    std::vector<Placed> places = Place(layout_, controls);
    int focus = dialog_.Focus();
    drawn_.clear();
    // Group boxes first: they frame what lies inside them.
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < controls.size(); ++i) {
            const ControlState& c = controls[i];
            if (!c.visible || (c.kind() == ControlKind::GroupBox) != (pass == 0)) continue;
            screen.SetClip(clip);
            Placed placed = places[i];
            placed.at.row += client.row;
            placed.at.col += client.col;
            drawn_.emplace_back(c.id(), placed.at);
            DrawControl(screen, c, placed, focused && c.id() == focus, base, cursorRow, cursorCol);
        }
    }
    // Marks where the window goes on past the screen.
    screen.ClipToScreen();
    Style mark = base;
    mark.reverse = true;
    if (outer.row < 0) screen.Put(0, std::max(0, outer.col + outer.cols - 2), L"^", mark);
    if (outer.row + outer.rows > screen.Rows()) {
        screen.Put(screen.Rows() - 1, std::min(screen.Cols(), outer.col + outer.cols) - 2, L"v",
                   mark);
    }
    if (outer.col + outer.cols > screen.Cols()) {
        screen.Put(std::max(0, outer.row) + 1, screen.Cols() - 1, L">", mark);
    }
    if (outer.col < 0) screen.Put(std::max(0, outer.row) + 1, 0, L"<", mark);
    if (focused) DrawPopup(screen, base);
    if (focused && popup_) {
        *cursorRow = popup_->cells.row + 1 + popup_->selected - popup_->top;
        *cursorCol = popup_->cells.col + 1;
    }
}

void TerminalView::DrawControl(Screen& screen, const ControlState& c, const Placed& placed,
                               bool focused, const Style& base, int* cursorRow, int* cursorCol) {
    const Cells& at = placed.at;
    Style style = base;
    style.dim = base.dim || !c.enabled;
    Style lit = style;
    lit.reverse = focused;
    std::wstring text = (c.control.styles & kStyleNoPrefix) ? c.text : Caption(c.text);
    auto cursor = [&](int row, int col) {
        if (!focused) return;
        *cursorRow = row;
        *cursorCol = col;
    };
    switch (c.kind()) {
        case ControlKind::Static: {
            int room = at.rows > 1 ? at.cols : placed.room;
            std::vector<std::wstring> lines =
                at.rows > 1 ? Wrap(text, at.cols) : std::vector<std::wstring>{text};
            for (int i = 0; i < at.rows && i < static_cast<int>(lines.size()); ++i) {
                std::wstring line = ClipWithMark(lines[i], room);
                int offset = (c.control.styles & kStyleCentre) && !placed.pulled
                                 ? (room - Columns(line)) / 2
                                 : 0;
                screen.Put(at.row + i, at.col + offset, line, style);
            }
            break;
        }
        case ControlKind::Icon:
            screen.Put(at.row, at.col, L"(i)", style);
            break;
        case ControlKind::GroupBox: {
            screen.Frame(at, style);
            std::wstring label = ClipWithMark(text, at.cols - 4);
            if (!label.empty()) screen.Put(at.row, at.col + 1, L" " + label + L" ", style);
            break;
        }
        case ControlKind::PushButton: {
            int focus = dialog_.Focus();
            auto focusedControl = DialogAccess::Control(dialog_, focus);
            bool buttonFocused =
                focusedControl && focusedControl->kind() == ControlKind::PushButton;
            bool isDefault = c.enabled && (buttonFocused ? c.id() == focus
                                                         : (c.control.styles & kStyleDefault) != 0);
            // A disabled button loses its brackets as well as its brightness: on a terminal
            // that shows no dim text it must still not look like one that can be pressed.
            const wchar_t* open = !c.enabled ? L" " : isDefault ? L"<" : L"[";
            const wchar_t* close = !c.enabled ? L" " : isDefault ? L">" : L"]";
            screen.Fill(at.row, at.col, at.cols, L' ', style);
            screen.Put(at.row, at.col, open, style);
            screen.Put(at.row, at.col + at.cols - 1, close, style);
            std::wstring label = ClipWithMark(text, std::max(0, at.cols - 2));
            int labelCol = at.col + std::max(0, (at.cols - Columns(label)) / 2);
            screen.Put(at.row, labelCol, label, lit);
            cursor(at.row, labelCol);
            break;
        }
        case ControlKind::CheckBox:
        case ControlKind::RadioButton: {
            bool box = c.kind() == ControlKind::CheckBox;
            std::wstring mark = box ? (c.checked ? L"[x]" : L"[ ]") : (c.checked ? L"(*)" : L"( )");
            screen.Put(at.row, at.col, mark, lit);
            screen.Put(at.row, at.col + 4, ClipWithMark(text, placed.room), style);
            cursor(at.row, at.col + 1);
            break;
        }
        case ControlKind::Edit:
        case ControlKind::DropDownList:
        case ControlKind::DropDownCombo: {
            bool edits = c.kind() != ControlKind::DropDownList;
            int field = c.kind() == ControlKind::Edit ? at.cols : std::max(1, at.cols - 1);
            // Disabled, the field loses its underline: it takes no input.
            Style look = style;
            look.underline = c.enabled;
            look.reverse = focused && c.kind() == ControlKind::DropDownList;
            screen.Fill(at.row, at.col, field, L' ', look);
            if (!edits) {
                screen.Put(at.row, at.col, ClipWithMark(c.text, field), look);
                cursor(at.row, at.col);
            } else {
                EditState& edit = edits_[c.id()];
                edit.caret = std::min(edit.caret, c.text.size());
                int caretCol = Columns(std::wstring_view(c.text).substr(0, edit.caret));
                if (!focused) edit.scroll = 0;
                if (caretCol < edit.scroll) edit.scroll = caretCol;
                if (caretCol - edit.scroll > field - 1) edit.scroll = caretCol - (field - 1);
                // Skip the hidden columns, never half a double-width character.
                size_t from = 0;
                int skipped = 0;
                while (from < c.text.size() && skipped < edit.scroll) {
                    skipped += CharColumns(c.text[from++]);
                }
                int shift = skipped - edit.scroll;
                screen.Put(at.row, at.col + shift,
                           FitColumns(std::wstring_view(c.text).substr(from), field - shift), look);
                cursor(at.row, at.col + caretCol - edit.scroll);
            }
            if (c.kind() != ControlKind::Edit) {
                Style arrow = style;
                arrow.reverse = c.enabled;
                screen.Put(at.row, at.col + at.cols - 1, L"v", arrow);
            }
            break;
        }
        case ControlKind::ListView:
            DrawList(screen, c, at, focused, style, cursorRow, cursorCol);
            break;
        case ControlKind::SkyPlot:
            DrawSkyPlot(screen, c, at, style);
            break;
        case ControlKind::BarChart:
            DrawBarChart(screen, c, at, style);
            break;
    }
}

void TerminalView::DrawList(Screen& screen, const ControlState& c, const Cells& at, bool focused,
                            const Style& style, int* cursorRow, int* cursorCol) {
    Cells inner = at;
    bool border = (c.control.styles & kStyleBorder) != 0;
    if (border) {
        screen.Frame(at, style);
        inner = Cells{at.row + 1, at.col + 1, at.rows - 2, at.cols - 2};
    }
    if (inner.rows <= 0 || inner.cols <= 0) return;
    bool grid = (c.extendedStyle & kListGridLines) != 0;
    ListState& list = lists_[c.id()];
    int rows = static_cast<int>(c.rows.size());
    int header = c.columns.empty() ? 0 : 1;
    int dataTop = inner.row + header + (grid && header ? 1 : 0);
    int shown = std::max(0, inner.row + inner.rows - dataTop);
    list.selected = std::min(list.selected, rows - 1);
    if (list.selected >= 0) {
        if (list.selected < list.top) list.top = list.selected;
        if (list.selected >= list.top + shown) list.top = list.selected - shown + 1;
    }
    list.top = std::clamp(list.top, 0, std::max(0, rows - shown));
    std::vector<int> widths = ListColumns(layout_, c, inner.cols);
    int total = 0;
    for (int width : widths) total += width;
    list.left = std::clamp(list.left, 0, std::max(0, total - inner.cols));
    list.dataRow = dataTop;

    Cells saved = Intersect(inner, Cells{0, 0, screen.Rows(), screen.Cols()});
    screen.SetClip(saved);
    Style head = style;
    head.bold = true;
    auto cell = [&](int row, int x, int width, const std::wstring& text, ColumnAlign align,
                    const Style& look) {
        int room = width - (grid ? 1 : 0);
        std::wstring shown = ClipWithMark(text, room);
        int pad = room - Columns(shown);
        int offset = align == ColumnAlign::Right ? pad : align == ColumnAlign::Centre ? pad / 2 : 0;
        screen.Put(row, x + offset, shown, look);
        if (grid) screen.Put(row, x + width - 1, L"\u2502", style);
    };
    int x = inner.col - list.left;
    for (size_t i = 0; i < c.columns.size(); ++i) {
        int width = widths[i];
        cell(inner.row, x, width, Caption(c.columns[i].text), c.columns[i].align, head);
        if (grid) {
            screen.HorizontalLine(inner.row + 1, x, width - 1, style);
            screen.Put(inner.row + 1, x + width - 1, L"\u253c", style);
        }
        x += width;
    }
    if (grid && header && x < inner.col + inner.cols) {
        screen.HorizontalLine(inner.row + 1, x, inner.col + inner.cols - x, style);
    }
    bool fullRow = (c.extendedStyle & kListFullRowSelect) != 0;
    for (int r = 0; r < shown && list.top + r < rows; ++r) {
        int index = list.top + r;
        const auto& cells = c.rows[index];
        bool selected = focused && index == list.selected;
        int row = dataTop + r;
        Style look = style;
        look.reverse = selected;
        if (selected && fullRow) screen.Fill(row, inner.col, inner.cols, L' ', look);
        x = inner.col - list.left;
        size_t columns = std::max<size_t>(c.columns.size(), 1);
        for (size_t col = 0; col < columns; ++col) {
            int width = c.columns.empty() ? inner.cols : widths[col];
            std::wstring text = col < cells.size() ? cells[col] : std::wstring();
            ColumnAlign align = c.columns.empty() ? ColumnAlign::Left : c.columns[col].align;
            cell(row, x, width, text, align, (fullRow || col == 0) ? look : style);
            x += width;
        }
    }
    Style mark = style;
    mark.reverse = true;
    screen.SetClip(Cells{0, 0, screen.Rows(), screen.Cols()});
    if (border && list.top > 0) screen.Put(at.row, at.col + at.cols - 2, L"^", mark);
    if (border && list.top + shown < rows) {
        screen.Put(at.row + at.rows - 1, at.col + at.cols - 2, L"v", mark);
    }
    if (focused) {
        *cursorRow = list.selected >= 0 ? dataTop + list.selected - list.top : dataTop;
        *cursorCol = inner.col;
    }
}

void TerminalView::DrawPopup(Screen& screen, const Style& base) {
    if (!popup_) return;
    Popup& p = *popup_;
    int width = 0;
    for (const auto& item : p.items) width = std::max(width, Columns(Caption(item)));
    Cells box;
    int wanted = static_cast<int>(p.items.size());
    if (p.id != 0) {
        auto found = std::find_if(drawn_.begin(), drawn_.end(),
                                  [&](const auto& entry) { return entry.first == p.id; });
        auto c = DialogAccess::Control(dialog_, p.id);
        if (found == drawn_.end() || !c) return;
        const Cells& at = found->second;
        int listRows = std::max(1, (c->control.rect.height + 4) / 8 - 1);
        wanted = std::min(wanted, std::max(3, listRows));
        box = Cells{at.row + 1, at.col, wanted + 2, std::max(at.cols, std::min(width + 2, 40))};
    } else {
        Cells outer = drawn_.empty() ? Cells{} : Cells{};
        (void)outer;
        box = Cells{closeMark_.row + 1, std::max(0, closeMark_.col - width - 1), wanted + 2,
                    width + 4};
    }
    // Below when it fits, else above, else as much as the screen holds.
    if (box.row + box.rows > screen.Rows()) {
        int above = box.row - 1 - box.rows;
        if (above >= 0) {
            box.row = above;
        } else {
            box.row = 0;
            box.rows = std::min(box.rows, screen.Rows());
        }
    }
    box.col = std::clamp(box.col, 0, std::max(0, screen.Cols() - box.cols));
    int visible = std::max(1, box.rows - 2);
    if (p.selected < p.top) p.top = p.selected;
    if (p.selected >= p.top + visible) p.top = p.selected - visible + 1;
    p.cells = box;
    screen.ClipToScreen();
    Style look = base;
    look.dim = false;
    for (int r = 0; r < box.rows; ++r) screen.Fill(box.row + r, box.col, box.cols, L' ', look);
    screen.Frame(box, look);
    screen.SetClip(Cells{box.row + 1, box.col + 1, box.rows - 2, box.cols - 2});
    for (int r = 0; r < visible && p.top + r < static_cast<int>(p.items.size()); ++r) {
        Style item = look;
        item.reverse = p.top + r == p.selected;
        if (item.reverse) screen.Fill(box.row + 1 + r, box.col + 1, box.cols - 2, L' ', item);
        screen.Put(box.row + 1 + r, box.col + 1,
                   ClipWithMark(Caption(p.items[p.top + r]), box.cols - 2), item);
    }
    screen.ClipToScreen();
}

// ---- input ----

std::vector<ControlState> TerminalView::Controls() const {
    return DialogAccess::Controls(dialog_);
}

std::vector<int> TerminalView::TabStops(const std::vector<ControlState>& controls) const {
    std::vector<int> stops;
    int focus = dialog_.Focus();
    for (const ControlState& c : controls) {
        if (c.id() == kIdStatic || !c.TakesFocus() || !c.visible || !c.enabled) continue;
        if (c.kind() == ControlKind::RadioButton && c.id() != focus) {
            // One stop a group: its checked button, or its first when none is.
            std::vector<int> group = RadioGroup(dialog_.Template(), c.id());
            int stop = 0;
            for (int id : group) {
                const ControlState* member = FindIn(controls, id);
                if (member != nullptr && member->checked && member->enabled && member->visible) {
                    stop = id;
                }
            }
            if (stop == 0) {
                for (int id : group) {
                    const ControlState* member = FindIn(controls, id);
                    if (member != nullptr && member->enabled && member->visible) {
                        stop = id;
                        break;
                    }
                }
            }
            bool focusInGroup = std::find(group.begin(), group.end(), focus) != group.end();
            if (stop != c.id() || focusInGroup) continue;
        }
        stops.push_back(c.id());
    }
    // Tab goes in reading order: by row, then from left to right, whatever order the
    // template lists the controls in.
    auto place = [&](int id) {
        const ControlState* c = FindIn(controls, id);
        const Cells at = layout_.Control(c->control);
        return std::pair{at.row, at.col};
    };
    std::stable_sort(stops.begin(), stops.end(), [&](int a, int b) { return place(a) < place(b); });
    return stops;
}

void TerminalView::SetFocusTo(int id) {
    DialogAccess::Focused(dialog_, id);
    Focus(id);
}

void TerminalView::MoveFocus(int step) {
    std::vector<int> stops = TabStops(Controls());
    if (stops.empty()) return;
    int n = static_cast<int>(stops.size());
    auto it = std::find(stops.begin(), stops.end(), dialog_.Focus());
    int index = it == stops.end() ? (step > 0 ? -1 : 0) : static_cast<int>(it - stops.begin());
    SetFocusTo(stops[((index + step) % n + n) % n]);
}

// Space or a click on a control: what pressing it means. The last thing it does is to call
// the dialog, which may destroy this view.
void TerminalView::Activate(const ControlState& c) {
    Dialog& dialog = dialog_;
    switch (c.kind()) {
        case ControlKind::PushButton:
            DialogAccess::Clicked(dialog, c.id());
            break;
        case ControlKind::CheckBox:
            DialogAccess::Checked(dialog, c.id(), !c.checked);
            break;
        case ControlKind::RadioButton:
            DialogAccess::Checked(dialog, c.id(), true);
            break;
        case ControlKind::DropDownList:
        case ControlKind::DropDownCombo:
            OpenPopup(c);
            break;
        default:
            break;
    }
}

void TerminalView::PressEnter(const ControlState* c) {
    Dialog& dialog = dialog_;
    if (c != nullptr && c->kind() == ControlKind::PushButton) {
        DialogAccess::Clicked(dialog, c->id());
        return;
    }
    for (const ControlState& control : Controls()) {
        if (control.kind() == ControlKind::PushButton && (control.control.styles & kStyleDefault)) {
            if (control.enabled && control.visible) DialogAccess::Clicked(dialog, control.id());
            return;
        }
    }
    DialogAccess::Command(dialog, kIdOk, Notify::Clicked);
}

bool TerminalView::EditKey(const ControlState& c, const Input& in) {
    EditState& edit = edits_[c.id()];
    std::wstring text = c.text;
    edit.caret = std::min(edit.caret, text.size());
    if (IsKey(in, KEY_LEFT)) {
        if (edit.caret > 0) --edit.caret;
    } else if (IsKey(in, KEY_RIGHT)) {
        if (edit.caret < text.size()) ++edit.caret;
    } else if (IsKey(in, KEY_HOME)) {
        edit.caret = 0;
    } else if (IsKey(in, KEY_END)) {
        edit.caret = text.size();
    } else if (IsKey(in, KEY_BACKSPACE) || IsChar(in, 0x7F) || IsChar(in, 8)) {
        if (edit.caret == 0) return true;
        text.erase(--edit.caret, 1);
        DialogAccess::Typed(dialog_, c.id(), text);
    } else if (IsKey(in, KEY_DC)) {
        if (edit.caret >= text.size()) return true;
        text.erase(edit.caret, 1);
        DialogAccess::Typed(dialog_, c.id(), text);
    } else if (IsPrintable(in)) {
        text.insert(edit.caret++, 1, in.ch);
        DialogAccess::Typed(dialog_, c.id(), text);
    } else {
        return false;
    }
    return true;
}

bool TerminalView::ComboKey(const ControlState& c, const Input& in) {
    if (IsEnter(in) || IsKey(in, KEY_F(4)) ||
        (c.kind() == ControlKind::DropDownList && IsChar(in, L' '))) {
        OpenPopup(c);
        return true;
    }
    int count = static_cast<int>(c.items.size());
    int next = -2;
    if (IsKey(in, KEY_UP)) next = std::max(0, c.selection - 1);
    if (IsKey(in, KEY_DOWN)) next = std::min(count - 1, c.selection + 1);
    if (IsKey(in, KEY_HOME)) next = 0;
    if (IsKey(in, KEY_END)) next = count - 1;
    if (next != -2) {
        if (count > 0 && next != c.selection) DialogAccess::Chose(dialog_, c.id(), next);
        return true;
    }
    return c.kind() == ControlKind::DropDownCombo && EditKey(c, in);
}

int TerminalView::ListRows(const ControlState& c) const {
    Cells at = layout_.Control(c.control);
    int rows = at.rows - ((c.control.styles & kStyleBorder) ? 2 : 0) - (c.columns.empty() ? 0 : 1) -
               ((c.extendedStyle & kListGridLines) && !c.columns.empty() ? 1 : 0);
    return std::max(1, rows);
}

bool TerminalView::ListKey(const ControlState& c, const Input& in) {
    ListState& list = lists_[c.id()];
    int rows = static_cast<int>(c.rows.size());
    int page = ListRows(c);
    if (IsKey(in, KEY_UP)) {
        list.selected = std::max(0, list.selected - 1);
    } else if (IsKey(in, KEY_DOWN)) {
        list.selected = std::min(rows - 1, list.selected + 1);
    } else if (IsKey(in, KEY_PPAGE)) {
        list.selected = std::max(0, list.selected - page);
    } else if (IsKey(in, KEY_NPAGE)) {
        list.selected = std::min(rows - 1, std::max(0, list.selected) + page);
    } else if (IsKey(in, KEY_HOME)) {
        list.selected = rows > 0 ? 0 : -1;
    } else if (IsKey(in, KEY_END)) {
        list.selected = rows - 1;
    } else if (IsKey(in, KEY_LEFT)) {
        list.left = std::max(0, list.left - 4);
    } else if (IsKey(in, KEY_RIGHT)) {
        list.left += 4;
    } else {
        return false;
    }
    return true;
}

bool TerminalView::RadioKey(const ControlState& c, const Input& in) {
    int step = IsKey(in, KEY_UP) || IsKey(in, KEY_LEFT)      ? -1
               : IsKey(in, KEY_DOWN) || IsKey(in, KEY_RIGHT) ? 1
                                                             : 0;
    if (step == 0) return false;
    std::vector<int> group = RadioGroup(dialog_.Template(), c.id());
    std::vector<ControlState> controls = Controls();
    int n = static_cast<int>(group.size());
    int at = static_cast<int>(std::find(group.begin(), group.end(), c.id()) - group.begin());
    for (int i = 1; i < n; ++i) {
        const ControlState* next = FindIn(controls, group[((at + step * i) % n + n) % n]);
        if (next != nullptr && next->enabled && next->visible) {
            SetFocusTo(next->id());
            DialogAccess::Checked(dialog_, next->id(), true);
            return true;
        }
    }
    return true;
}

void TerminalView::OpenPopup(const ControlState& c) {
    if (c.items.empty()) return;
    Popup p;
    p.id = c.id();
    p.items = c.items;
    p.selected = std::max(0, c.selection);
    popup_ = std::move(p);
    backend_.MarkDirty();
}

void TerminalView::OpenSystemMenu() {
    if (!dialog_.HasSystemMenu()) return;
    Popup p;
    for (const SystemMenuItem& item : dialog_.SystemMenu()) {
        if (item.command == 0) continue;
        p.items.push_back(item.checkable ? (item.checked ? L"[x] " : L"[ ] ") + item.text
                                         : item.text);
        p.commands.push_back(item.command);
    }
    p.items.push_back(CurrentOwnTexts().close);
    p.commands.push_back(kCloseCommand);
    popup_ = std::move(p);
    backend_.MarkDirty();
}

void TerminalView::ChoosePopup(int index) {
    Popup p = std::move(*popup_);
    popup_.reset();
    if (index < 0 || index >= static_cast<int>(p.items.size())) return;
    if (p.id != 0) {
        DialogAccess::Chose(dialog_, p.id, index);
    } else if (p.commands[index] == kCloseCommand) {
        DialogAccess::CloseRequested(dialog_);
    } else {
        DialogAccess::SysCommand(dialog_, p.commands[index]);
    }
}

void TerminalView::PopupKey(const Input& in) {
    Popup& p = *popup_;
    int last = static_cast<int>(p.items.size()) - 1;
    int page = std::max(1, p.cells.rows - 2);
    if (IsKey(in, KEY_UP)) {
        p.selected = std::max(0, p.selected - 1);
    } else if (IsKey(in, KEY_DOWN)) {
        p.selected = std::min(last, p.selected + 1);
    } else if (IsKey(in, KEY_PPAGE)) {
        p.selected = std::max(0, p.selected - page);
    } else if (IsKey(in, KEY_NPAGE)) {
        p.selected = std::min(last, p.selected + page);
    } else if (IsKey(in, KEY_HOME)) {
        p.selected = 0;
    } else if (IsKey(in, KEY_END)) {
        p.selected = last;
    } else if (IsEnter(in) || IsChar(in, L' ')) {
        ChoosePopup(p.selected);
    } else if (IsChar(in, kEscape) || IsChar(in, L'\t') || IsKey(in, KEY_BTAB) ||
               IsKey(in, KEY_F(10)) || IsKey(in, KEY_F(4))) {
        popup_.reset();
    } else if (IsPrintable(in)) {
        // The next item starting with the character typed.
        for (int i = 1; i <= last + 1; ++i) {
            int index = (p.selected + i) % (last + 1);
            const std::wstring& item = p.items[index];
            if (!item.empty() && std::towlower(item[0]) == std::towlower(in.ch)) {
                p.selected = index;
                break;
            }
        }
    }
}

void TerminalView::Key(const Input& in) {
    if (popup_) {
        PopupKey(in);
        return;
    }
    std::vector<ControlState> controls = Controls();
    const ControlState* focused = FindIn(controls, dialog_.Focus());
    if (focused != nullptr && (!focused->visible || !focused->enabled)) focused = nullptr;
    int hookKey = HookKey(in);
    if (focused != nullptr && hookKey != 0 &&
        DialogAccess::KeyHook(dialog_, focused->id(), hookKey)) {
        return;
    }
    if (IsChar(in, L'\t')) return MoveFocus(1);
    if (IsKey(in, KEY_BTAB)) return MoveFocus(-1);
    if (IsKey(in, KEY_F(10))) return OpenSystemMenu();
    if (IsChar(in, kEscape)) return DialogAccess::Command(dialog_, kIdCancel, Notify::Clicked);
    if (focused != nullptr) {
        bool handled = false;
        switch (focused->kind()) {
            case ControlKind::Edit:
                handled = EditKey(*focused, in);
                break;
            case ControlKind::DropDownList:
            case ControlKind::DropDownCombo:
                handled = ComboKey(*focused, in);
                break;
            case ControlKind::ListView:
                handled = ListKey(*focused, in);
                break;
            case ControlKind::RadioButton:
                handled = RadioKey(*focused, in);
                break;
            default:
                break;
        }
        if (handled) return;
    }
    if (IsEnter(in)) return PressEnter(focused);
    if (IsChar(in, L' ')) {
        if (focused != nullptr) Activate(*focused);
        return;
    }
    if (IsKey(in, KEY_LEFT) || IsKey(in, KEY_UP)) return MoveFocus(-1);
    if (IsKey(in, KEY_RIGHT) || IsKey(in, KEY_DOWN)) return MoveFocus(1);
}

void TerminalView::Click(Screen&, int row, int col) {
    if (popup_) {
        const Cells& box = popup_->cells;
        Cells items{box.row + 1, box.col + 1, box.rows - 2, box.cols - 2};
        if (items.Contains(row, col)) {
            ChoosePopup(popup_->top + row - items.row);
        } else {
            popup_.reset();
        }
        return;
    }
    if (closeMark_.Contains(row, col)) return DialogAccess::CloseRequested(dialog_);
    std::vector<ControlState> controls = Controls();
    for (auto it = drawn_.rbegin(); it != drawn_.rend(); ++it) {
        if (!it->second.Contains(row, col)) continue;
        const ControlState* c = FindIn(controls, it->first);
        if (c == nullptr || !c->TakesFocus()) continue;
        if (!c->enabled || !c->visible) return;
        SetFocusTo(c->id());
        if (c->kind() == ControlKind::ListView) {
            ListState& list = lists_[c->id()];
            int index = list.top + row - list.dataRow;
            if (row >= list.dataRow && index < static_cast<int>(c->rows.size())) {
                list.selected = index;
            }
            return;
        }
        if (c->kind() == ControlKind::Edit) {
            EditState& edit = edits_[c->id()];
            int wanted = col - it->second.col + edit.scroll;
            size_t caret = 0;
            for (int used = 0; caret < c->text.size() && used < wanted; ++caret) {
                used += CharColumns(c->text[caret]);
            }
            edit.caret = caret;
            return;
        }
        return Activate(*c);
    }
}

}  // namespace ui::terminal
