#include "platform/ui/detail/registry.h"

#include <atomic>

namespace ui::detail {
namespace {
// Handles are never reused within a process, even across kit restarts.
std::atomic<std::uint64_t> nextHandle{1};
}  // namespace

WindowHandle Registry::Add(Dialog* dialog) {
    WindowHandle handle{nextHandle.fetch_add(1)};
    std::lock_guard<std::mutex> lock(mutex_);
    windows_[handle.value] = dialog;
    return handle;
}

void Registry::Remove(WindowHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.erase(handle.value);
}

bool Registry::Contains(WindowHandle handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return windows_.count(handle.value) != 0;
}

Dialog* Registry::Find(WindowHandle handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = windows_.find(handle.value);
    return it == windows_.end() ? nullptr : it->second;
}

std::vector<WindowHandle> Registry::Handles() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<WindowHandle> handles;
    for (const auto& entry : windows_) handles.push_back(WindowHandle{entry.first});
    return handles;
}

}  // namespace ui::detail
