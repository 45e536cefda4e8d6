#include "framework/config/config_service.h"

#include <cwchar>

#include "platform/text.h"

namespace framework {
namespace {

bool IsFlag(int current) {
    return current == 0 || current == 1;
}

}  // namespace

int ConfigService::ReadValue(const wchar_t* section, const wchar_t* key, wchar_t* buffer,
                             int capacity, int current) {
    int answer = 0;
    try {
        if (buffer && capacity > 0) buffer[0] = L'\0';
        if (section && key && buffer && capacity > 0 && IsFlag(current)) {
            std::optional<std::string> value =
                store_.Read(platform::WideToUtf8(section), platform::WideToUtf8(key), current == 1);
            std::wstring wide = value ? platform::Utf8ToWide(*value) : std::wstring();
            bool converted = value && (value->empty() || !wide.empty());
            if (converted && wide.size() < static_cast<size_t>(capacity)) {
                std::wmemcpy(buffer, wide.c_str(), wide.size() + 1);
                answer = static_cast<int>(wide.size()) + 1;
            }
        }
    } catch (...) {
        answer = 0;
    }
    lastError_.store(answer > 0 ? 0 : -1);
    return answer;
}

bool ConfigService::WriteValue(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                               int current) {
    bool written = false;
    try {
        if (section && key && value && IsFlag(current)) {
            std::string text = platform::WideToUtf8(value);
            if (!text.empty() || !*value) {
                written = store_.Write(platform::WideToUtf8(section), platform::WideToUtf8(key),
                                       text, current == 1);
            }
        }
    } catch (...) {
        written = false;
    }
    lastError_.store(written ? 0 : -1);
    return written;
}

}  // namespace framework
