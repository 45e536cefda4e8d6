// The configuration service: wide-text access to the settings store.
#pragma once

#include <atomic>

#include "framework/config/setting_store.h"
#include "framework/contracts/services.h"

namespace framework {

class ConfigService final : public IConfigService {
  public:
    explicit ConfigService(std::string programDirectory) : store_(std::move(programDirectory)) {}

    // Owned by the container or the configuration plug-in; a release changes nothing.
    void Release() override {}
    // 0 after a successful read or write, -1 after a failed one.
    int GetLastErrorCode() override { return lastError_.load(); }

    // `current`: 1 the current value, 0 the default value (any other flag fails). On success
    // the value and its terminator are in `buffer` and the answer is the value's length plus
    // one; 0 when the value is missing, does not fit, or the arguments are unusable (then the
    // buffer holds an empty text when it has room for one).
    int ReadValue(const wchar_t* section, const wchar_t* key, wchar_t* buffer, int capacity,
                  int current) override;
    bool WriteValue(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                    int current) override;

    const SettingStore& Store() const { return store_; }

  private:
    SettingStore store_;
    std::atomic<int> lastError_{0};
};

}  // namespace framework
