#include "framework/locale/language_file.h"

// Narrow text is kept as the UTF-8 bytes it is (the same configuration as the platform's INI).
#define SI_NO_CONVERSION
// The template's code from the header itself (Debian's library holds only other conversions).
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <list>

#include "platform/text.h"

namespace framework {

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::optional<LanguageTexts> ParseLanguageFile(std::string_view bytes) {
    CSimpleIniA ini;
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    if (ini.LoadData(bytes.data(), bytes.size()) < 0) return std::nullopt;

    LanguageTexts texts;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    for (const auto& section : sections) {
        auto& owner = texts[LowerAscii(section.pItem)];
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys(section.pItem, keys);
        for (const auto& key : keys) {
            const char* value = ini.GetValue(section.pItem, key.pItem, nullptr);
            if (!value) continue;
            std::string_view utf8(value);
            std::wstring wide = platform::Utf8ToWide(utf8);
            if (wide.empty() && !utf8.empty()) continue;  // not UTF-8
            owner.emplace(LowerAscii(key.pItem), std::move(wide));
        }
    }
    return texts;
}

}  // namespace framework
