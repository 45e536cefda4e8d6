// The windows of the process by handle. Only the window thread adds and removes entries, so
// a look-up there stays valid until the window thread itself destroys the window; other
// threads use With(), which holds the registry's lock while they look.
#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "platform/ui/types.h"

namespace ui {
class Dialog;
}

namespace ui::detail {

class Registry {
  public:
    WindowHandle Add(Dialog* dialog);
    void Remove(WindowHandle handle);
    bool Contains(WindowHandle handle) const;
    // Window thread only.
    Dialog* Find(WindowHandle handle) const;
    // Any thread: calls `f(dialog)` under the registry's lock; false when there is no window.
    template <typename F>
    bool With(WindowHandle handle, F&& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = windows_.find(handle.value);
        if (it == windows_.end()) return false;
        f(*it->second);
        return true;
    }
    // Every window, oldest first.
    std::vector<WindowHandle> Handles() const;

  private:
    mutable std::mutex mutex_;
    std::map<std::uint64_t, Dialog*> windows_;
};

}  // namespace ui::detail
