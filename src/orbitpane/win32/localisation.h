// Texts of the GPS plug-in by language key, the language files it offers and the
// Runinfo.ini entries that remember the user's choice.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "framework/contracts/container.h"

namespace orbitpane {

// The program directory, as the framework keeps it for the whole process ("" when it cannot
// be read).
std::string AppDirectory();
// Where the plug-in's language files live: <program>/Plugins/Orbitpane.
std::string PluginDirectory();

// The language file for `suffix` ("_" + code): <plug-in dir>/Orbitpane<suffix>.lang.
std::wstring LanguageFileFor(const std::wstring& suffix);

// The text of `key` in `languageFile`, through the container's locale service; empty when the
// container, the service, the file or the key is missing.
std::wstring LoadLanguageText(framework::IPluginContainer* container,
                              const std::wstring& languageFile, const std::wstring& key);

// INI values of a file below the program directory. An empty section or key reads as empty
// and is never written; a read-only file is made writable before a write.
std::wstring ReadIniString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& fileName);
bool WriteIniString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                    const std::wstring& fileName);

inline constexpr const wchar_t* kRunInfoFile = L"Runinfo.ini";
inline constexpr const wchar_t* kLanguageSection = L"language";

// The languages LangAreaForShort.xml names: code to display name and code to identifier.
// When a code occurs twice, the first entry stays.
struct LanguageTables {
    std::map<std::wstring, std::wstring> names;
    std::map<std::wstring, std::wstring> ids;
};
LanguageTables LoadLanguageTable(const std::string& appDirectory);

// One installed language file.
struct InstalledLanguage {
    std::wstring code;         // between the last '_' and the last '.' of the file name
    std::wstring displayName;  // from the tables; empty when the code is unknown
};
// The language files of the plug-in directory, sorted by file name. A file name without '_'
// or '.' ends the list there.
std::vector<InstalledLanguage> ListInstalledLanguages(const std::string& pluginDirectory,
                                                      const LanguageTables& tables);

}  // namespace orbitpane
