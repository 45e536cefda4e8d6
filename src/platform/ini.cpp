#include "ini.h"

// Narrow text is stored as the UTF-8 bytes it is; no converter is needed.
#define SI_NO_CONVERSION
// The template's code from the header itself (Debian's library holds only other conversions).
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "files.h"

namespace platform {
namespace {

// Case-insensitive names, UTF-8 text, one value per key (a later duplicate wins on write).
using Ini = CSimpleIniA;

bool Load(Ini& ini, const std::string& path) {
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    std::optional<std::string> data = ReadWholeFile(path);
    if (!data) return false;
    return ini.LoadData(data->data(), data->size()) >= 0;
}

}  // namespace

std::string IniReadString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& fallback) {
    Ini ini;
    if (!Load(ini, path)) return fallback;
    const char* value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return value ? std::string(value) : fallback;
}

bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) {
    if (IsReadOnly(path)) return false;
    Ini ini;
    if (FileExists(path) && !Load(ini, path)) return false;
    ini.SetUnicode(true);
    if (ini.SetValue(section.c_str(), key.c_str(), value.c_str()) < 0) return false;
    std::string out;
    if (ini.Save(out) < 0) return false;
    return WriteFileAtomic(path, out);
}

}  // namespace platform
