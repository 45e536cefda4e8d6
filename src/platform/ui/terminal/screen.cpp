#include "platform/ui/terminal/screen.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/ui/terminal/restore.h"
#include "platform/ui/terminal/text.h"

// Last: term.h defines a macro for every capability name.
#include <term.h>

namespace ui::terminal {

namespace {

std::string Capability(const char* name) {
    char* value = tigetstr(name);
    if (value == nullptr || value == reinterpret_cast<char*>(-1)) return std::string();
    return value;
}

int Channel(std::int64_t rgb, int shift) {
    return static_cast<int>((rgb >> shift) & 0xFF);
}

int Distance(std::int64_t a, int r, int g, int b) {
    int dr = Channel(a, 16) - r, dg = Channel(a, 8) - g, db = Channel(a, 0) - b;
    return dr * dr + dg * dg + db * db;
}

}  // namespace

Screen::~Screen() {
    Close();
}

bool Screen::Open(int inFd, int outFd) {
    if (!::isatty(inFd) || !::isatty(outFd)) return false;
    const char* type = std::getenv("TERM");
    if (type == nullptr || *type == '\0' || std::strcmp(type, "dumb") == 0) return false;
    struct termios saved {};
    if (::tcgetattr(outFd, &saved) != 0) return false;
    int inCopy = ::dup(inFd);
    int outCopy = ::dup(outFd);
    in_ = inCopy >= 0 ? ::fdopen(inCopy, "r") : nullptr;
    out_ = outCopy >= 0 ? ::fdopen(outCopy, "w") : nullptr;
    if (in_ == nullptr || out_ == nullptr) {
        if (in_ == nullptr && inCopy >= 0) ::close(inCopy);
        if (out_ == nullptr && outCopy >= 0) ::close(outCopy);
        Close();
        return false;
    }
    // Ours before ncurses looks: it then leaves SIGINT and SIGTERM to us (and to the
    // program's own handlers, which ours pass on to).
    ArmRestore(outFd, saved, std::string());
    screen_ = ::newterm(type, out_, in_);
    if (screen_ == nullptr) {
        Close();
        return false;
    }
    inFd_ = inFd;
    outFd_ = outFd;
    ::set_term(screen_);
    // Everything that leaves the program's screen, written by the crash and signal handlers.
    std::string leave = Capability("sgr0") + Capability("cnorm") + Capability("rmkx");
    ::cbreak();
    ::noecho();
    ::nonl();
    ::intrflush(stdscr, FALSE);
    ::keypad(stdscr, TRUE);
    // A short wait rather than none: a lone Escape is told from the start of a key's
    // sequence only by waiting a little for the rest.
    ::wtimeout(stdscr, 30);
    ::set_escdelay(25);
    if (::mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED, nullptr) != 0) {
        ::mouseinterval(0);
        leave += "\033[?1000l\033[?1002l\033[?1006l";
    }
    leave += Capability("rmcup");
    if (::has_colors()) {
        colours_ = ::start_color() == OK;
        if (colours_) ::use_default_colors();
    }
    ArmRestore(outFd, saved, leave);
    ClipToScreen();
    ::erase();
    ForgetHalves();
    return true;
}

void Screen::Close() {
    if (screen_ != nullptr) {
        ::set_term(screen_);
        ::endwin();
        ::delscreen(screen_);
        screen_ = nullptr;
    }
    DisarmRestore();
    if (in_ != nullptr) ::fclose(in_);
    if (out_ != nullptr) ::fclose(out_);
    in_ = out_ = nullptr;
    pairs_.clear();
}

int Screen::Rows() const {
    return LINES;
}

int Screen::Cols() const {
    return COLS;
}

void Screen::Resize() {
    struct winsize size {};
    if (::ioctl(outFd_, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
        ::resize_term(size.ws_row, size.ws_col);
    }
    ClipToScreen();
    ForgetHalves();
    Invalidate();
}

void Screen::Erase() {
    ::erase();
    ForgetHalves();
}

void Screen::ForgetHalves() {
    halvesRows_ = LINES;
    halvesCols_ = COLS;
    halves_.assign(static_cast<size_t>(std::max(0, halvesRows_ * halvesCols_)), Half::kNone);
}

Screen::Half& Screen::HalfAt(int row, int col) {
    if (halvesRows_ != LINES || halvesCols_ != COLS) ForgetHalves();
    return halves_[static_cast<size_t>(row * halvesCols_ + col)];
}

void Screen::BlankCell(int row, int col) {
    cchar_t old;
    wchar_t chars[CCHARW_MAX + 1] = {};
    attr_t attrs = A_NORMAL;
    short pair = 0;
    if (::mvin_wch(row, col, &old) == OK) ::getcchar(&old, chars, &attrs, &pair, nullptr);
    cchar_t blank;
    if (::setcchar(&blank, L" ", attrs, pair, nullptr) == OK) ::mvadd_wch(row, col, &blank);
    HalfAt(row, col) = Half::kNone;
}

void Screen::ClipToScreen() {
    clip_ = Cells{0, 0, LINES, COLS};
}

void Screen::PutCell(int row, int col, const std::wstring& cell, int width, const Style& style) {
    if (row < 0 || col < 0 || row >= LINES || col + width > COLS) return;
    // The left half of a character whose right half this covers, and the right half of one
    // whose left half it ends on, become blanks.
    if (HalfAt(row, col) == Half::kRight && col > 0) BlankCell(row, col - 1);
    const int last = col + width - 1;
    const bool cutsRight = HalfAt(row, last) == Half::kLeft && last + 1 < COLS;
    if (cutsRight) BlankCell(row, last + 1);
    attr_t attrs = A_NORMAL;
    if (style.reverse) attrs |= A_REVERSE;
    if (style.bold) attrs |= A_BOLD;
    if (style.dim) attrs |= A_DIM;
    if (style.underline) attrs |= A_UNDERLINE;
    cchar_t c;
    if (::setcchar(&c, cell.c_str(), attrs, style.pair, nullptr) == OK) {
        ::mvadd_wch(row, col, &c);
    }
    HalfAt(row, col) = width == 2 ? Half::kLeft : Half::kNone;
    if (width == 2) HalfAt(row, col + 1) = Half::kRight;
}

int Screen::Put(int row, int col, std::wstring_view text, const Style& style) {
    int start = col;
    if (row < clip_.row || row >= clip_.row + clip_.rows) return 0;
    const int right = clip_.col + clip_.cols;
    for (size_t i = 0; i < text.size();) {
        wchar_t c = text[i];
        int width = CharColumns(c);
        std::wstring cell(1, width == 1 && (c < 0x20 || ::wcwidth(c) < 0) ? L'?' : c);
        if (width == 0) {  // a lone combining mark
            cell = L" ";
            cell += c;
            width = 1;
        }
        ++i;
        // Combining marks ride on the character before them.
        while (i < text.size() && CharColumns(text[i]) == 0 && cell.size() < CCHARW_MAX) {
            cell += text[i++];
        }
        if (col + width > right) break;
        if (col >= clip_.col) PutCell(row, col, cell, width, style);
        col += width;
    }
    return col - start;
}

void Screen::Fill(int row, int col, int cols, wchar_t c, const Style& style) {
    if (cols <= 0) return;
    Put(row, col, std::wstring(static_cast<size_t>(cols), c), style);
}

void Screen::HorizontalLine(int row, int col, int cols, const Style& style) {
    Fill(row, col, cols, L'\u2500', style);
}

void Screen::VerticalLine(int row, int col, int rows, const Style& style) {
    for (int r = 0; r < rows; ++r) Put(row + r, col, L"\u2502", style);
}

void Screen::Frame(const Cells& outer, const Style& style) {
    if (outer.rows < 2 || outer.cols < 2) return;
    int bottom = outer.row + outer.rows - 1;
    int right = outer.col + outer.cols - 1;
    HorizontalLine(outer.row, outer.col + 1, outer.cols - 2, style);
    HorizontalLine(bottom, outer.col + 1, outer.cols - 2, style);
    VerticalLine(outer.row + 1, outer.col, outer.rows - 2, style);
    VerticalLine(outer.row + 1, right, outer.rows - 2, style);
    Put(outer.row, outer.col, L"\u250c", style);
    Put(outer.row, right, L"\u2510", style);
    Put(bottom, outer.col, L"\u2514", style);
    Put(bottom, right, L"\u2518", style);
}

void Screen::Cursor(int row, int col) {
    if (row < 0 || col < 0 || row >= LINES || col >= COLS) {
        HideCursor();
        return;
    }
    ::curs_set(1);
    ::move(row, col);
}

void Screen::HideCursor() {
    ::curs_set(0);
}

void Screen::Present() {
    ::refresh();
}

void Screen::Invalidate() {
    ::clearok(curscr, TRUE);
}

short Screen::Colour(std::int64_t rgb) const {
    if (rgb < 0) return -1;
    int r = Channel(rgb, 16), g = Channel(rgb, 8), b = Channel(rgb, 0);
    if (COLORS >= 256) {
        // The 6 x 6 x 6 cube or the grey ramp of 256-colour terminals, whichever is nearer.
        auto level = [](int v) { return v < 48 ? 0 : v < 115 ? 1 : (v - 35) / 40; };
        static const int steps[] = {0, 95, 135, 175, 215, 255};
        int ri = level(r), gi = level(g), bi = level(b);
        int cube = 16 + 36 * ri + 6 * gi + bi;
        int grey = std::clamp(((r + g + b) / 3 - 8 + 5) / 10, 0, 23);
        int greyValue = 8 + 10 * grey;
        bool greyNearer = Distance(rgb, greyValue, greyValue, greyValue) <
                          Distance(rgb, steps[ri], steps[gi], steps[bi]);
        return static_cast<short>(greyNearer ? 232 + grey : cube);
    }
    // The eight basic colours.
    static const int basic[8][3] = {{0, 0, 0},   {205, 0, 0},   {0, 205, 0},   {205, 205, 0},
                                    {0, 0, 238}, {205, 0, 205}, {0, 205, 205}, {229, 229, 229}};
    short best = 0;
    int bestDistance = Distance(rgb, basic[0][0], basic[0][1], basic[0][2]);
    for (short i = 1; i < 8; ++i) {
        int d = Distance(rgb, basic[i][0], basic[i][1], basic[i][2]);
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

short Screen::Pair(std::int64_t fg, std::int64_t bg) {
    if (!colours_ || (fg < 0 && bg < 0)) return 0;
    std::pair<short, short> key{Colour(fg), Colour(bg)};
    auto it = pairs_.find(key);
    if (it != pairs_.end()) return it->second;
    short number = static_cast<short>(pairs_.size() + 1);
    if (number >= COLOR_PAIRS || ::init_pair(number, key.first, key.second) != OK) return 0;
    pairs_[key] = number;
    return number;
}

Input Screen::Read() {
    Input input;
    wint_t ch = 0;
    int result = ::get_wch(&ch);
    if (result == ERR) return input;
    if (result == KEY_CODE_YES) {
        if (ch == KEY_RESIZE) {
            input.kind = Input::Kind::Resize;
            return input;
        }
        if (ch == KEY_MOUSE) {
            MEVENT event{};
            if (::getmouse(&event) == OK &&
                (event.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)) != 0) {
                input.kind = Input::Kind::Mouse;
                input.row = event.y;
                input.col = event.x;
            }
            return input;
        }
        input.kind = Input::Kind::Key;
        input.key = static_cast<int>(ch);
        return input;
    }
    input.kind = Input::Kind::Char;
    input.ch = static_cast<wchar_t>(ch);
    return input;
}

std::wstring Screen::Text() const {
    std::wstring text;
    for (int row = 0; row < LINES; ++row) {
        std::wstring line;
        for (int col = 0; col < COLS; ++col) {
            cchar_t cell;
            if (::mvin_wch(row, col, &cell) == ERR) break;
            wchar_t chars[CCHARW_MAX + 1] = {};
            attr_t attrs = 0;
            short pair = 0;
            if (::getcchar(&cell, chars, &attrs, &pair, nullptr) == ERR) continue;
            if ((cell.attr & A_CHARTEXT) == 0 && chars[0] == 0) continue;
            // The right half of a double-width character reads back as nothing.
            if (col > 0 && !line.empty() && CharColumns(line.back()) == 2 &&
                chars[0] == line.back()) {
                continue;
            }
            line += chars;
        }
        while (!line.empty() && line.back() == L' ') line.pop_back();
        text += line;
        text += L'\n';
    }
    return text;
}

}  // namespace ui::terminal
