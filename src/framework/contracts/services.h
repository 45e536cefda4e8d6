// Services the container hands out: trace, locale and configuration.
// Operations are declared in table order; slot 0 releases, slot 1 answers the last error.
#pragma once

#include "framework/contracts/plugin.h"

namespace framework {

// Not released by its callers.
class ITraceService : public IBaseInterface {
  public:
    virtual void Trace(int level, const char* module, const char* sourceFile, int line,
                       const char* message) = 0;

  protected:
    ~ITraceService() = default;
};

class ILocaleMgrService : public IBaseInterface {
  public:
    FRAMEWORK_RESERVED_SLOT(2)
    FRAMEWORK_RESERVED_SLOT(3)
    FRAMEWORK_RESERVED_SLOT(4)
    FRAMEWORK_RESERVED_SLOT(5)
    // The text of `key` for `owner`, read from `languageFile` (null: the active language's
    // file of that owner). Null when there is none. A text once handed out stays valid for the
    // service's life, so callers on several threads may use it at once.
    virtual const wchar_t* LoadString(const char* key, const char* owner,
                                      const wchar_t* languageFile) = 0;

  protected:
    ~ILocaleMgrService() = default;
};

class IConfigService : public IBaseInterface {
  public:
    // Reads into `buffer` (capacity in characters, terminator included); `current` 1 reads the
    // current value, 0 the default. Above 0 on success.
    virtual int ReadValue(const wchar_t* section, const wchar_t* key, wchar_t* buffer, int capacity,
                          int current) = 0;
    virtual bool WriteValue(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                            int current) = 0;

  protected:
    ~IConfigService() = default;
};

}  // namespace framework
