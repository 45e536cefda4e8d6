// ASCII case folding for identifiers, device names and file extensions.
#pragma once

#include <string>

namespace launcher {

inline std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace launcher
