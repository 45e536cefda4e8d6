// Text measured in terminal columns: double-width (CJK) characters take two, combining marks
// none, control characters one (they are shown as '?').
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ui::terminal {

// Columns of one character: 0, 1 or 2.
int CharColumns(wchar_t c);
int Columns(std::wstring_view text);

// The longest start of `text` that fits `columns` (a double-width character never split);
// `clipped` says whether anything was left out.
std::wstring FitColumns(std::wstring_view text, int columns, bool* clipped = nullptr);
// Fits `text` into `columns`, ending in a mark ("…") when it had to be shortened.
std::wstring ClipWithMark(std::wstring_view text, int columns);

// Breaks `text` into lines of at most `columns`: at line feeds, after spaces where it can,
// and between any two characters of a word that is too long (Japanese has no spaces).
std::vector<std::wstring> Wrap(std::wstring_view text, int columns);

// A caption without its mnemonic marks: "&Save" shows as "Save", "&&" as "&".
std::wstring Caption(std::wstring_view text);

// UTF-8 for the terminal and back.
std::string ToUtf8(std::wstring_view text);

}  // namespace ui::terminal
