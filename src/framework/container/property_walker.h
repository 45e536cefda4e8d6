// IQueryPluginConfigProperty over the entries of the plug-in list: every entry as listed,
// whether or not its library loaded.
#pragma once

#include <vector>

#include "framework/container/plugin_list.h"
#include "framework/contracts/container.h"

namespace framework {

class PropertyWalker final : public IQueryPluginConfigProperty {
  public:
    explicit PropertyWalker(std::vector<PluginEntry> entries) : entries_(std::move(entries)) {}

    // Each lookup hands out a walker of its own; releasing it frees it.
    void Release() override { delete this; }
    int GetLastErrorCode() override { return 0; }
    // The first call moves onto the first entry; false once past the last.
    bool MoveNext() override;
    // Null while not on an entry.
    const char* GetUrl() override;
    const char* GetId() override;

  private:
    std::vector<PluginEntry> entries_;
    size_t next_ = 0;  // one past the current entry; 0 before the first
};

}  // namespace framework
