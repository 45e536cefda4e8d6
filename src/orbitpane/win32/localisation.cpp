#include "orbitpane/win32/localisation.h"

#include <algorithm>
#include <filesystem>

#include "framework/container/program_directory.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/services.h"
#include "markup/markup_stl.h"
#include "orbitpane/win32/container_lookup.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/user_files.h"

namespace orbitpane {
namespace {

std::string IniPath(const std::wstring& fileName) {
    return platform::UserFilePath(AppDirectory(), platform::WideToUtf8(fileName));
}

}  // namespace

std::string AppDirectory() {
    return framework::ProgramDirectory();
}

std::string PluginDirectory() {
    return platform::ResolveNoCase(AppDirectory(), "Plugins/Orbitpane");
}

std::wstring LanguageFileFor(const std::wstring& suffix) {
    return platform::Utf8ToWide(PluginDirectory()) + L"/Orbitpane" + suffix + L".lang";
}

std::wstring LoadLanguageText(framework::IPluginContainer* container,
                              const std::wstring& languageFile, const std::wstring& key) {
    auto* locale = LookUp<framework::ILocaleMgrService>(container, framework::kLocaleServiceId,
                                                        framework::kLocaleServiceFlag);
    if (!locale) return std::wstring();
    std::wstring text;
    try {
        const wchar_t* found = locale->LoadString(platform::WideToUtf8(key).c_str(), "Orbitpane",
                                                  languageFile.c_str());
        if (found) text = found;
    } catch (...) {
        text.clear();
    }
    locale->Release();
    return text;
}

std::wstring ReadIniString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& fileName) {
    if (section.empty() || key.empty()) return std::wstring();
    return platform::Utf8ToWide(platform::IniReadString(
        IniPath(fileName), platform::WideToUtf8(section), platform::WideToUtf8(key), ""));
}

bool WriteIniString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                    const std::wstring& fileName) {
    if (section.empty() || key.empty()) return false;
    std::string path = IniPath(fileName);
    if (platform::FileExists(path)) platform::ClearReadOnly(path);
    return platform::IniWriteString(path, platform::WideToUtf8(section), platform::WideToUtf8(key),
                                    platform::WideToUtf8(value));
}

LanguageTables LoadLanguageTable(const std::string& appDirectory) {
    LanguageTables tables;
    CMarkupSTL doc;
    if (!doc.LoadFromFile(platform::ResolveNoCase(appDirectory, "LangAreaForShort.xml")) ||
        !doc.FindSibling("plxadoc") || !doc.Descend()) {
        return tables;
    }
    while (doc.FindSibling("module")) {
        doc.Descend();
        while (doc.FindSibling("item")) {
            std::wstring code = platform::Utf8ToWide(doc.ElementText());
            tables.names.emplace(code, platform::Utf8ToWide(doc.AttributeValue("name")));
            tables.ids.emplace(code, platform::Utf8ToWide(doc.AttributeValue("id")));
        }
        doc.Ascend();
    }
    return tables;
}

std::vector<InstalledLanguage> ListInstalledLanguages(const std::string& pluginDirectory,
                                                      const LanguageTables& tables) {
    std::vector<std::string> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(pluginDirectory, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() > 5 && name.ends_with(".lang") && it->is_regular_file(ec)) {
            files.push_back(name);
        }
    }
    std::sort(files.begin(), files.end());

    std::vector<InstalledLanguage> languages;
    for (const std::string& name : files) {
        size_t underscore = name.rfind('_');
        if (underscore == std::string::npos) break;
        std::string rest = name.substr(underscore + 1);
        size_t dot = rest.rfind('.');
        if (dot == std::string::npos) break;
        InstalledLanguage language;
        language.code = platform::Utf8ToWide(rest.substr(0, dot));
        auto found = tables.names.find(language.code);
        if (found != tables.names.end()) language.displayName = found->second;
        languages.push_back(std::move(language));
    }
    return languages;
}

}  // namespace orbitpane
