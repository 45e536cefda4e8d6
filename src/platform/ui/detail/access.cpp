#include "platform/ui/detail/access.h"

#include <algorithm>

namespace ui::detail {

using Lock = std::lock_guard<std::mutex>;

std::vector<ControlState> DialogAccess::Controls(const Dialog& dialog) {
    Lock lock(dialog.mutex_);
    return dialog.controls_;
}

std::optional<ControlState> DialogAccess::Control(const Dialog& dialog, int id) {
    Lock lock(dialog.mutex_);
    const ControlState* c = dialog.FindLocked(id);
    if (c == nullptr) return std::nullopt;
    return *c;
}

WindowState DialogAccess::Window(const Dialog& dialog) {
    Lock lock(dialog.mutex_);
    WindowState state;
    state.title = dialog.title_;
    state.bigIcon = dialog.bigIcon_;
    state.smallIcon = dialog.smallIcon_;
    state.rect = dialog.windowRect_;
    state.visible = dialog.visible_;
    state.enabled = dialog.enabled_;
    state.parent = dialog.parent_;
    state.owner = dialog.owner_;
    state.theme = dialog.theme_;
    state.systemMenu = dialog.systemMenu_;
    return state;
}

bool DialogAccess::WindowTakesInput(const Dialog& dialog) {
    Lock lock(dialog.mutex_);
    return dialog.handle_ != 0 && dialog.visible_ && dialog.enabled_;
}

bool DialogAccess::CanInput(const Dialog& dialog, int id) {
    Lock lock(dialog.mutex_);
    const ControlState* c = dialog.FindLocked(id);
    return dialog.handle_ != 0 && dialog.visible_ && dialog.enabled_ && c != nullptr &&
           c->enabled && c->visible;
}

void DialogAccess::Clicked(Dialog& dialog, int id) {
    dialog.Dispatch(id, Notify::Clicked);
}

void DialogAccess::Checked(Dialog& dialog, int id, bool checked) {
    dialog.CheckItem(id, checked);
    dialog.Dispatch(id, Notify::Clicked);
}

void DialogAccess::Chose(Dialog& dialog, int id, int index) {
    {
        Lock lock(dialog.mutex_);
        ControlState* c = dialog.FindLocked(id);
        if (c == nullptr || !c->IsCombo() || index < 0 ||
            static_cast<size_t>(index) >= c->items.size()) {
            return;
        }
        c->selection = index;
        c->text = c->items[index];
    }
    dialog.Changed(id);
    dialog.Dispatch(id, Notify::SelectionChanged);
}

void DialogAccess::Typed(Dialog& dialog, int id, const std::wstring& text) {
    {
        Lock lock(dialog.mutex_);
        ControlState* c = dialog.FindLocked(id);
        if (c == nullptr) return;
        if (c->kind() != ControlKind::Edit && c->kind() != ControlKind::DropDownCombo) return;
        if (c->text == text) return;
        c->text = text;
        if (c->IsCombo()) {
            auto it = std::find(c->items.begin(), c->items.end(), text);
            c->selection = it == c->items.end() ? -1 : static_cast<int>(it - c->items.begin());
        }
    }
    dialog.Changed(id);
    dialog.Dispatch(id, Notify::EditChanged);
}

void DialogAccess::Focused(Dialog& dialog, int id) {
    Lock lock(dialog.mutex_);
    if (dialog.FindLocked(id) != nullptr) dialog.focus_ = id;
}

bool DialogAccess::KeyHook(Dialog& dialog, int id, int key) {
    ui::KeyHook hook;
    {
        Lock lock(dialog.handlersMutex_);
        auto it = dialog.keyHooks_.find(id);
        if (it != dialog.keyHooks_.end()) hook = it->second;
    }
    return hook && hook(key);
}

void DialogAccess::SysCommand(Dialog& dialog, unsigned command) {
    {
        Lock lock(dialog.mutex_);
        auto& menu = dialog.systemMenu_;
        bool listed = std::any_of(menu.begin(), menu.end(), [&](const SystemMenuItem& item) {
            return item.command == command;
        });
        if (!listed || command == 0) return;
    }
    dialog.OnSysCommand(command);
}

void DialogAccess::Moved(Dialog& dialog, const Rect& rect) {
    Lock lock(dialog.mutex_);
    if (dialog.handle_ != 0) dialog.windowRect_ = rect;
}

}  // namespace ui::detail
