// Conversions between UTF-8 narrow strings and wide strings, trimming, and keeping only what
// can be shown of a text from outside.
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

// The printable characters of `text`, for a text from a device or another program that is
// logged, shown or stored: control characters (C0, DEL, C1), and bytes that are not UTF-8 are
// left out; printable UTF-8 characters stay as they are.
std::string PrintableOnly(std::string_view text);

// `text` with its ASCII letters in upper or lower case; every other byte (UTF-8 included) stays.
// AT commands, device identifiers and the like compare this way, whatever the locale.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);
// Whether `a` and `b` are the same text but for the case of their ASCII letters.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace platform
