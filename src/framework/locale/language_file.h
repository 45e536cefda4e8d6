// Language files: UTF-8 INI text, one section per owner module, KEY=text per line.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace framework {

// Texts of one language file by owner and key; both names are kept in lower case, because
// they compare without regard to case.
using LanguageTexts = std::map<std::string, std::map<std::string, std::wstring>>;

// Parses a language file's bytes. Nothing when the text is not INI; a value that is not valid
// UTF-8 is left out (its key reads as missing).
std::optional<LanguageTexts> ParseLanguageFile(std::string_view bytes);

std::string LowerAscii(std::string_view text);

}  // namespace framework
