// INI files with Windows private-profile semantics: section and key names compare without
// regard to case, reads take a default, writes create the file and the section.
#pragma once

#include <string>

namespace platform {

// The value of `key` in `section`, or `fallback` when the file, section or key is missing.
std::string IniReadString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& fallback);

// Sets `key` in `section`, creating the file and the section where needed. The file is
// replaced atomically; a read-only file is refused (callers clear the attribute first).
bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value);

}  // namespace platform
