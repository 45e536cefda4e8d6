// The terminal as the back end draws on it: an ncurses screen on a pair of descriptors,
// drawing clipped to a rectangle in columns (double-width characters never split), colours
// from 0xRRGGBB values where the terminal has colours, keys and mouse reports, and its
// restoration on every way out (see restore.h). Window thread only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ui/terminal/layout.h"
#include "platform/ui/terminal/ncurses_wide.h"

namespace ui::terminal {

// Drawing attributes: bits of the kinds below plus a colour pair.
struct Style {
    bool reverse = false;
    bool bold = false;
    bool dim = false;
    bool underline = false;
    short pair = 0;
};

// One key or mouse report read from the terminal.
struct Input {
    enum class Kind { None, Char, Key, Mouse, Resize } kind = Kind::None;
    wchar_t ch = 0;  // Kind::Char: the character (Tab 9, Enter 10 or 13, Escape 27, ...)
    int key = 0;     // Kind::Key: the ncurses key code (KEY_UP, KEY_BTAB, ...)
    int row = 0;     // Kind::Mouse: where a button went down
    int col = 0;
};

class Screen {
  public:
    Screen() = default;
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // Takes over the terminal on `inFd` and `outFd`. False when they are no terminal or its
    // type is unknown.
    bool Open(int inFd, int outFd);
    void Close();
    bool IsOpen() const { return screen_ != nullptr; }
    int InputFd() const { return inFd_; }

    int Rows() const;
    int Cols() const;
    // Takes the terminal's new size after a resize.
    void Resize();

    void Erase();
    // Limits drawing to `clip` (screen cells) until the next SetClip.
    void SetClip(const Cells& clip) { clip_ = clip; }
    void ClipToScreen();
    // Draws `text` from (row, col), cut at the clip; answers the columns used.
    int Put(int row, int col, std::wstring_view text, const Style& style);
    void Fill(int row, int col, int cols, wchar_t c, const Style& style);
    void Frame(const Cells& outer, const Style& style);
    void HorizontalLine(int row, int col, int cols, const Style& style);
    void VerticalLine(int row, int col, int rows, const Style& style);
    // Places the cursor (shown) or hides it.
    void Cursor(int row, int col);
    void HideCursor();
    void Present();
    // Forgets what the terminal shows, so the next Present draws everything again.
    void Invalidate();

    // A colour pair for text colour `fg` on `bg` (0xRRGGBB, -1 for the terminal's own);
    // 0 without colours.
    short Pair(std::int64_t fg, std::int64_t bg);
    bool HasColours() const { return colours_; }

    Input Read();

    // What the screen holds, one line per row, trailing blanks cut.
    std::wstring Text() const;

  private:
    // Writes `cell` (`width` columns) at (row, col). A double-width character of which it
    // covers one half only gives way to a blank in the other half, in its own colours.
    void PutCell(int row, int col, const std::wstring& cell, int width, const Style& style);
    void BlankCell(int row, int col);
    // What each cell holds, as this program drew it: which cells are halves of a
    // double-width character (ncurses' own record goes wrong when only one half is drawn over).
    enum class Half : unsigned char { kNone, kLeft, kRight };
    Half& HalfAt(int row, int col);
    void ForgetHalves();
    short Colour(std::int64_t rgb) const;

    SCREEN* screen_ = nullptr;
    FILE* in_ = nullptr;
    FILE* out_ = nullptr;
    int inFd_ = -1;
    int outFd_ = -1;
    bool colours_ = false;
    Cells clip_;
    std::map<std::pair<short, short>, short> pairs_;
    std::vector<Half> halves_;
    int halvesRows_ = 0;
    int halvesCols_ = 0;
};

}  // namespace ui::terminal
