#include "orbitpane/win32/gps_data_format.h"

#include <locale.h>

#include <charconv>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform/text.h"

namespace orbitpane {
namespace {

// The leading decimal integer of `text` (blanks and a sign allowed), clamped to 32 bits.
int LeadingInteger(const std::string& text) {
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// The number at the start of `text`, 0 when there is none.
double LeadingDouble(const std::string& text) {
    double value = 0.0;
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) {
        return 0.0;
    }
    return value;
}

}  // namespace

bool FormatCoordinate(const std::wstring& text, bool& isPlus, std::wstring& result) {
    if (text.empty()) return false;
    const bool negative = text.front() == L'-';
    const std::wstring body = text.substr(0, text.size() - 1);  // the final character goes
    const size_t start = negative ? 1 : 0;
    const std::wstring number = body.size() > start ? body.substr(start) : std::wstring();
    // Digits, signs and the point are ASCII; anything else only ends the number.
    const std::string narrow = platform::WideToUtf8(number);

    std::string formatted = std::to_string(LeadingInteger(narrow)) + "d";
    size_t point = narrow.find('.');
    if (point != std::string::npos) {
        double minutes = LeadingDouble(narrow.substr(point)) * 60.0;
        char buffer[400];
        auto [end, ec] =
            std::to_chars(buffer, buffer + sizeof buffer, minutes, std::chars_format::fixed, 6);
        formatted += " ";
        if (ec == std::errc()) formatted.append(buffer, end);
    }
    isPlus = !negative;
    result = platform::Utf8ToWide(formatted);
    return true;
}

std::wstring FormatArrivalTime(std::int64_t seconds) {
    std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) return {};
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    if (cLocale == static_cast<locale_t>(0)) return {};
    char buffer[128];
    size_t length = strftime_l(buffer, sizeof buffer, "%A, %B %d, %Y %H:%M:%S", &local, cLocale);
    if (length == 0) return {};
    return platform::Utf8ToWide(std::string(buffer, length));
}

}  // namespace orbitpane
