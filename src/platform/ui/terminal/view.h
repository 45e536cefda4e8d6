// A dialog drawn in the terminal: a frame with the title around the client area, the
// controls laid out in cells (layout.h), and the keys and clicks that reach them. The view
// keeps what only the screen has: an edit's caret and scroll, a list's selected row and
// scroll, an open drop-down list or system menu.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/detail/access.h"
#include "platform/ui/detail/backend.h"
#include "platform/ui/terminal/layout.h"
#include "platform/ui/terminal/screen.h"

namespace ui::terminal {

class TerminalBackend;

class TerminalView : public detail::View {
  public:
    TerminalView(TerminalBackend& backend, Dialog& dialog);
    ~TerminalView() override;

    Rect ToPixels(const Rect& dialogUnits) const override;
    bool Shows() const override { return true; }
    void SyncControl(int id) override;
    void SyncWindow() override;
    void Focus(int id) override;
    void RunModal() override;
    void EndModal() override;
    void Center() override;
    void Raise() override;
    void Invalidate() override;

    WindowHandle handle() const { return handle_; }
    Dialog& dialog() { return dialog_; }
    // The window's cells on the screen, frame included (a child's: in its host's client).
    Cells Outer(const Screen& screen) const;
    // Window thread. Lays the window out again for what it shows now on `screen` (layout.h):
    // a top-level window grows to fit its texts, never narrower than it already was on a
    // screen of this width, so that it does not jump as texts change. A window shown inside
    // another keeps the base layout.
    void Relayout(const Screen& screen);

    // Window thread. Draws the window at `outer`; `focused` puts the cursor mark on its
    // focused control, reported through `cursorRow`/`cursorCol`.
    void Draw(Screen& screen, const Cells& outer, bool focused, int* cursorRow, int* cursorCol);
    // The window's size in cells, frame included.
    Cells Size() const { return Cells{0, 0, client_.rows + 2, client_.cols + 2}; }
    // A key or a click (screen cells) for this window.
    void Key(const Input& input);
    void Click(Screen& screen, int row, int col);

  private:
    struct EditState {
        size_t caret = 0;
        int scroll = 0;  // columns hidden on the left
    };
    struct ListState {
        int selected = -1;
        int top = 0;
        int left = 0;     // columns hidden on the left
        int dataRow = 0;  // the screen row of the first row shown, as last drawn
    };
    // An open drop-down list (of combo box `id`) or the system menu (id 0).
    struct Popup {
        int id = 0;
        std::vector<std::wstring> items;
        std::vector<unsigned> commands;  // system menu: the command of each item
        int selected = 0;
        int top = 0;
        Cells cells;  // where it was drawn
    };

    void DrawControl(Screen& screen, const detail::ControlState& c, const Placed& placed,
                     bool focused, const Style& base, int* cursorRow, int* cursorCol);
    void DrawList(Screen& screen, const detail::ControlState& c, const Cells& at, bool focused,
                  const Style& base, int* cursorRow, int* cursorCol);
    void DrawPopup(Screen& screen, const Style& base);
    void SyncScroll(const Screen& screen, const Cells& outer);

    // Input.
    std::vector<detail::ControlState> Controls() const;
    std::vector<int> TabStops(const std::vector<detail::ControlState>& controls) const;
    void MoveFocus(int step);
    void SetFocusTo(int id);
    void Activate(const detail::ControlState& c);
    void PressEnter(const detail::ControlState* c);
    bool EditKey(const detail::ControlState& c, const Input& input);
    bool ComboKey(const detail::ControlState& c, const Input& input);
    bool ListKey(const detail::ControlState& c, const Input& input);
    bool RadioKey(const detail::ControlState& c, const Input& input);
    void OpenPopup(const detail::ControlState& c);
    void OpenSystemMenu();
    void PopupKey(const Input& input);
    void ChoosePopup(int index);
    int ListRows(const detail::ControlState& c) const;

    TerminalBackend& backend_;
    Dialog& dialog_;
    WindowHandle handle_;
    Layout layout_;
    Cells client_;
    int widest_ = 0;  // the widest layout so far on a screen `fittedCols_` wide
    int fittedCols_ = -1;
    bool placed_ = false;  // moved or centred on purpose; else kept centred
    Rect reported_{-1, -1, -1, -1};
    int scrollRow_ = 0;  // rows of a window taller than the screen hidden above
    int scrollCol_ = 0;
    std::map<int, EditState> edits_;
    std::map<int, ListState> lists_;
    std::optional<Popup> popup_;
    Cells closeMark_;                           // the close box on the frame, in screen cells
    std::vector<std::pair<int, Cells>> drawn_;  // controls by id where last drawn, in order
};

}  // namespace ui::terminal
