#include "platform/ui/terminal/text.h"

#include <cwchar>

#include "platform/text.h"

namespace ui::terminal {

int CharColumns(wchar_t c) {
    int width = ::wcwidth(c);
    if (width < 0) return 1;  // a control or unknown character, drawn as one mark
    return width > 2 ? 2 : width;
}

int Columns(std::wstring_view text) {
    int columns = 0;
    for (wchar_t c : text) columns += CharColumns(c);
    return columns;
}

std::wstring FitColumns(std::wstring_view text, int columns, bool* clipped) {
    int used = 0;
    size_t end = 0;
    for (; end < text.size(); ++end) {
        int width = CharColumns(text[end]);
        if (used + width > columns) break;
        used += width;
    }
    // Combining marks right after the cut belong to the last character kept.
    while (end < text.size() && CharColumns(text[end]) == 0) ++end;
    if (clipped != nullptr) *clipped = end < text.size();
    return std::wstring(text.substr(0, end));
}

std::wstring ClipWithMark(std::wstring_view text, int columns) {
    if (columns <= 0) return std::wstring();
    bool clipped = false;
    std::wstring fitted = FitColumns(text, columns, &clipped);
    if (!clipped) return fitted;
    return FitColumns(text, columns - 1) + L"\u2026";
}

std::vector<std::wstring> Wrap(std::wstring_view text, int columns) {
    std::vector<std::wstring> lines;
    if (columns < 2) columns = 2;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        std::wstring_view paragraph = text.substr(
            start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start);
        if (!paragraph.empty() && paragraph.back() == L'\r') paragraph.remove_suffix(1);
        do {
            bool clipped = false;
            std::wstring line = FitColumns(paragraph, columns, &clipped);
            if (clipped) {
                size_t space = line.find_last_of(L' ');
                if (space != std::wstring::npos && space > 0) line.resize(space);
            }
            paragraph.remove_prefix(line.size());
            while (!paragraph.empty() && paragraph.front() == L' ') paragraph.remove_prefix(1);
            while (!line.empty() && line.back() == L' ') line.pop_back();
            lines.push_back(std::move(line));
        } while (!paragraph.empty());
        if (end == std::wstring_view::npos) break;
        start = end + 1;
    }
    return lines;
}

std::wstring Caption(std::wstring_view text) {
    std::wstring shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return shown;
}

std::string ToUtf8(std::wstring_view text) {
    return platform::WideToUtf8(text);
}

}  // namespace ui::terminal
