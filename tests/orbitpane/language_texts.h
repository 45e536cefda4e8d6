// The GPS plug-in's texts as its language files hold them, for tests that read a screen.
#pragma once

#include <fstream>
#include <map>
#include <string>

#include "platform/text.h"

namespace orbitpane_test {

// The texts in `language` ("pt-br"), by key.
inline std::map<std::string, std::wstring> LanguageTexts(const std::string& language) {
    std::ifstream in(std::string(SATVIEW_DATA_DIR) + "/Plugins/Orbitpane/Orbitpane_" + language +
                     ".lang");
    std::map<std::string, std::wstring> texts;
    bool ours = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("[")) ours = line == "[Orbitpane]";
        size_t equals = line.find('=');
        if (ours && equals != std::string::npos && !line.starts_with(";")) {
            texts[line.substr(0, equals)] = platform::Utf8ToWide(line.substr(equals + 1));
        }
    }
    return texts;
}

}  // namespace orbitpane_test
