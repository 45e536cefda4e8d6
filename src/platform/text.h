// Conversions between UTF-8 narrow strings and wide strings, and trimming.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-8 to wide. Invalid UTF-8 gives an empty string, never a partial one.
std::wstring Utf8ToWide(std::string_view text);

// Wide to UTF-8. A value that is not a Unicode scalar gives an empty string.
std::string WideToUtf8(std::wstring_view text);

// `text` without the blanks (space, tab, carriage return, line feed) at either end.
std::string_view TrimBlanks(std::string_view text);

}  // namespace platform
