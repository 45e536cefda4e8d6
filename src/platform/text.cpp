#include "text.h"

#include <iconv.h>

#include <cerrno>
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

}  // namespace platform
