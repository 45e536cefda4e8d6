#include "text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace platform {
namespace {

// Converts a whole buffer with iconv; any error makes the result empty.
template <typename Out, typename In>
Out Convert(const char* to, const char* from, const In* data, size_t count) {
    if (count == 0) return Out();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return Out();
    size_t inBytes = count * sizeof(In);
    std::vector<char> out(count * 4 * sizeof(typename Out::value_type) + 16);
    char* inPtr = const_cast<char*>(reinterpret_cast<const char*>(data));
    char* outPtr = out.data();
    size_t outLeft = out.size();
    size_t rc = iconv(cd, &inPtr, &inBytes, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || inBytes != 0) return Out();
    size_t produced = out.size() - outLeft;
    Out result(produced / sizeof(typename Out::value_type), typename Out::value_type());
    std::copy(out.data(), out.data() + produced, reinterpret_cast<char*>(result.data()));
    return result;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) {
    return Convert<std::wstring>("WCHAR_T", "UTF-8", text.data(), text.size());
}

std::string WideToUtf8(std::wstring_view text) {
    // iconv lets lone surrogates through; they are not characters and have no UTF-8 form.
    for (wchar_t c : text) {
        auto v = static_cast<unsigned long>(c);
        if ((v >= 0xD800 && v <= 0xDFFF) || v > 0x10FFFF) return std::string();
    }
    return Convert<std::string>("UTF-8", "WCHAR_T", text.data(), text.size());
}

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::string PrintableOnly(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            if (lead >= 0x20 && lead != 0x7F) kept += static_cast<char>(lead);
            ++i;
            continue;
        }
        // A UTF-8 sequence: its length from the lead byte, the shortest form only.
        size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        if (length == 0 || i + length > text.size()) {
            ++i;
            continue;
        }
        uint32_t code = lead & (0xFF >> (length + 1));
        bool valid = true;
        for (size_t k = 1; k < length && valid; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        valid = valid && !(length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) &&
                !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
        if (!valid) {
            ++i;
            continue;
        }
        // C1 controls and the line and paragraph separators act on a terminal or a log reader.
        bool control = code < 0xA0 || code == 0x2028 || code == 0x2029;
        if (!control) kept.append(text.substr(i, length));
        i += length;
    }
    return kept;
}

namespace {

char UpperOf(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char LowerOf(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string AsciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = UpperOf(c);
    return upper;
}

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = LowerOf(c);
    return lower;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperOf(x) == UpperOf(y);
           });
}

}  // namespace platform
