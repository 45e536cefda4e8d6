// The locale service: texts by key and owner module from language files.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "framework/contracts/services.h"
#include "framework/locale/language_file.h"

namespace framework {

class LocaleService final : public ILocaleMgrService {
  public:
    // `programDirectory` holds Runinfo.ini and Plugins/<owner>/ (used when no file is given)
    // and is where relative language file paths start.
    explicit LocaleService(std::string programDirectory);

    // Owned by the container or plug-in that made it; a release changes nothing.
    void Release() override {}
    // 0 after a text was found, 1 after a lookup that answered null.
    int GetLastErrorCode() override { return lastError_.load(); }

    // A file is read on first use and read again when its size or modification time changes;
    // every text handed out stays valid until the service is destroyed.
    const wchar_t* LoadString(const char* key, const char* owner,
                              const wchar_t* languageFile) override;

    // The language file used for `owner` when none is given: below Plugins/<owner>/, named
    // <owner> + the active value of Runinfo.ini's [language] section + ".lang". Empty when no
    // language is active.
    std::string ActiveLanguageFile(const std::string& owner) const;

  private:
    struct CachedFile {
        bool present = false;
        std::uintmax_t size = 0;
        std::filesystem::file_time_type modified{};
        // lower-case owner, '\n', lower-case key -> interned text
        std::unordered_map<std::string, const wchar_t*> texts;
    };

    const CachedFile& Refresh(const std::string& path);
    const wchar_t* Intern(std::wstring text);

    std::string programDirectory_;
    std::atomic<int> lastError_{0};
    std::mutex mutex_;
    std::unordered_map<std::string, CachedFile> files_;
    std::unordered_set<std::wstring> interned_;  // nodes never move: pointers stay valid
};

}  // namespace framework
