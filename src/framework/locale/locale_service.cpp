#include "framework/locale/locale_service.h"

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/user_files.h"

namespace framework {
namespace {

// A language file path as given, relative ones below the program directory; where that file is
// missing, one whose name differs only in letter case is taken.
std::string ResolveFile(const std::string& directory, const std::string& given) {
    std::string path = platform::JoinPath(directory, given);
    if (platform::FileExists(path)) return path;
    if (path.front() == '/') return platform::ResolveNoCase("/", path.substr(1));
    return path;
}

}  // namespace

LocaleService::LocaleService(std::string programDirectory)
    : programDirectory_(std::move(programDirectory)) {}

std::string LocaleService::ActiveLanguageFile(const std::string& owner) const {
    std::string ini = platform::UserFilePath(programDirectory_, "Runinfo.ini");
    std::string active = platform::IniReadString(ini, "language", "active", "");
    if (active.empty() || owner.empty()) return {};
    return platform::ResolveNoCase(programDirectory_,
                                   "Plugins/" + owner + "/" + owner + active + ".lang");
}

const wchar_t* LocaleService::Intern(std::wstring text) {
    return interned_.insert(std::move(text)).first->c_str();
}

const LocaleService::CachedFile& LocaleService::Refresh(const std::string& path) {
    CachedFile& cached = files_[path];
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    std::filesystem::file_time_type modified{};
    bool present = !error;
    if (present) {
        modified = std::filesystem::last_write_time(path, error);
        present = !error;
    }
    bool unchanged = present ? cached.present && size == cached.size && modified == cached.modified
                             : !cached.present;
    if (unchanged) return cached;

    cached = CachedFile{};
    if (!present) return cached;
    cached.present = true;
    cached.size = size;
    cached.modified = modified;
    std::optional<std::string> bytes = platform::ReadWholeFile(path);
    if (!bytes) return cached;
    std::optional<LanguageTexts> texts = ParseLanguageFile(*bytes);
    if (!texts) return cached;
    for (auto& [owner, keys] : *texts) {
        for (auto& [key, text] : keys) {
            cached.texts.emplace(owner + '\n' + key, Intern(std::move(text)));
        }
    }
    return cached;
}

const wchar_t* LocaleService::LoadString(const char* key, const char* owner,
                                         const wchar_t* languageFile) {
    const wchar_t* answer = nullptr;
    try {
        if (key && owner && *key) {
            std::string path;
            if (languageFile) {
                std::string given = platform::WideToUtf8(languageFile);
                if (!given.empty()) path = ResolveFile(programDirectory_, given);
            } else {
                path = ActiveLanguageFile(owner);
            }
            if (!path.empty()) {
                std::lock_guard<std::mutex> lock(mutex_);
                const CachedFile& file = Refresh(path);
                auto found = file.texts.find(LowerAscii(owner) + '\n' + LowerAscii(key));
                if (found != file.texts.end()) answer = found->second;
            }
        }
    } catch (...) {
        answer = nullptr;
    }
    lastError_.store(answer ? 0 : 1);
    return answer;
}

}  // namespace framework
