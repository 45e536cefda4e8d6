#include "orbitpane/win32/map_link.h"

#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orbitpane {
namespace {

constexpr int kMaxConversions = 4;
constexpr size_t kLinkBufferSize = 256;

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

// Checks that every '%' of `format` starts "%%" or a floating-point conversion, at most
// kMaxConversions of them.
bool CheckTemplate(const std::string& format, std::string& why) {
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        size_t j = i + 1;
        if (j < format.size() && format[j] == '%') {
            i = j;
            continue;
        }
        while (j < format.size() && std::strchr("-+ #0", format[j])) ++j;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
        if (j < format.size() && format[j] == '.') {
            ++j;
            while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
        }
        if (j >= format.size() || !std::strchr("fFeEgGaA", format[j])) {
            why = "conversion at offset " + std::to_string(i) + " is not a floating-point one";
            return false;
        }
        if (++conversions > kMaxConversions) {
            why = "more than four conversions";
            return false;
        }
        i = j;
    }
    return true;
}

}  // namespace

const wchar_t* LinkTemplateKey(const std::wstring& siteText) {
    if (siteText.find(L"google") != std::wstring::npos) return L"IDS_LINK_GOOGLE";
    if (siteText.find(L"yahoo") != std::wstring::npos) return L"IDS_LINK_YAHOO";
    return L"IDS_LINK_LIVE";
}

double ReadCoordinate(const std::string& text) {
    if (CLocale() == static_cast<locale_t>(0)) return std::atof(text.c_str());
    return strtod_l(text.c_str(), nullptr, CLocale());
}

std::optional<std::string> BuildMapLink(const std::string& linkTemplate, double latitude,
                                        double longitude, std::string& why) {
    if (!CheckTemplate(linkTemplate, why)) return std::nullopt;
    char buffer[kLinkBufferSize];
    locale_t previous = static_cast<locale_t>(0);
    if (CLocale() != static_cast<locale_t>(0)) previous = uselocale(CLocale());
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    // The template was checked above: floating-point conversions only, at most four.
    int length = std::snprintf(buffer, sizeof buffer, linkTemplate.c_str(), latitude, longitude,
                               latitude, longitude);
#pragma GCC diagnostic pop
    if (previous != static_cast<locale_t>(0)) uselocale(previous);
    if (length < 0) {
        why = "the template could not be formatted";
        return std::nullopt;
    }
    if (static_cast<size_t>(length) >= sizeof buffer) {
        why = "the link is longer than 255 characters";
        return std::nullopt;
    }
    return std::string(buffer, static_cast<size_t>(length));
}

bool OpenWithDesktop(const std::string& link,
                     std::function<void(const platform::ProgramOutcome&)> answered) {
    return platform::RunCollectingOutput("xdg-open", {link}, std::move(answered));
}

}  // namespace orbitpane
