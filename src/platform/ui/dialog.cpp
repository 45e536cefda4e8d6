#include "platform/ui/dialog.h"

#include "platform/ui/charts.h"

#include <algorithm>
#include <cstdio>

#include "platform/ui/controls.h"
#include "platform/ui/detail/access.h"
#include "platform/ui/detail/backend.h"
#include "platform/ui/kit.h"

namespace ui {

using detail::ControlState;
using detail::Kit;
using detail::KitState;

Dialog::Dialog(DialogTemplate dialogTemplate) : template_(std::move(dialogTemplate)) {}

Dialog::~Dialog() {
    if (HasWindow()) DestroyWindow();
}

bool Dialog::OnWindowThread(const std::function<void()>& f) const {
    return RunOnWindowThread(f);
}

ControlState* Dialog::FindLocked(int id) {
    if (id == kIdStatic) return nullptr;
    for (ControlState& c : controls_) {
        if (c.id() == id) return &c;
    }
    return nullptr;
}

const ControlState* Dialog::FindLocked(int id) const {
    return const_cast<Dialog*>(this)->FindLocked(id);
}

// ---- the window's life ----

bool Dialog::Create(WindowHandle owner) {
    bool created = false;
    OnWindowThread([&] { created = CreateOnWindowThread(owner, false); });
    return created;
}

bool Dialog::CreateOnWindowThread(WindowHandle owner, bool modal) {
    KitState* kit = Kit();
    if (kit == nullptr) {
        std::fprintf(stderr, "window kit: not initialised, no window for dialog %d\n",
                     template_.id);
        return false;
    }
    if (HasWindow()) return false;
    WindowHandle handle = kit->registry.Add(this);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        controls_.clear();
        for (const ControlTemplate& control : template_.controls) {
            ControlState state;
            state.control = control;
            state.text = control.text;
            state.enabled = !(control.styles & kStyleDisabled);
            state.visible = !(control.styles & kStyleHidden);
            controls_.push_back(std::move(state));
        }
        title_ = template_.title;
        bigIcon_ = smallIcon_ = Icon{};
        windowRect_ = Rect{};
        visible_ = false;
        enabled_ = true;
        parent_ = WindowHandle{};
        owner_ = owner;
        focus_ = 0;
        theme_ = Theme{};
        systemMenu_.clear();
        dirty_.clear();
        flushQueued_ = false;
        handle_ = handle.value;
    }
    modal_ = modal;
    ended_ = false;
    result_ = 0;
    view_ = kit->backend->CreateView(*this);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (ControlState& c : controls_) c.pixels = view_->ToPixels(c.control.rect);
        if (windowRect_.width == 0) {
            Rect size = view_->ToPixels(Rect{0, 0, template_.width, template_.height});
            windowRect_.width = size.width;
            windowRect_.height = size.height;
        }
    }
    viewShows_ = view_->Shows();

    if (OnCreate() == -1) {
        DestroyOnWindowThread();
        return false;
    }
    if (Handle() != handle) return false;
    bool defaultFocus = OnInitDialog();
    if (Handle() != handle) return false;
    if (defaultFocus) {
        int first = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const ControlState& c : controls_) {
                if (c.id() != kIdStatic && c.TakesFocus() && c.enabled && c.visible) {
                    first = c.id();
                    break;
                }
            }
            // A radio group is entered at its checked button, as Tab enters it.
            for (int member : RadioGroup(template_, first)) {
                for (const ControlState& c : controls_) {
                    if (c.id() == member && c.checked && c.enabled && c.visible) first = member;
                }
            }
        }
        if (first != 0) SetFocus(first);
    }
    if (!modal && (template_.styles & kDialogVisible)) ShowWindow(ShowCommand::Normal);
    return true;
}

int Dialog::DoModal(WindowHandle owner) {
    int result = -1;
    OnWindowThread([&] { result = ModalOnWindowThread(owner); });
    return result;
}

int Dialog::ModalOnWindowThread(WindowHandle owner) {
    KitState* kit = Kit();
    if (kit == nullptr) return -1;
    Dialog* ownerDialog = owner ? kit->registry.Find(owner) : nullptr;
    if (!CreateOnWindowThread(owner, true)) return -1;
    WindowHandle handle = Handle();
    bool disabledOwner = ownerDialog != nullptr && ownerDialog->IsWindowEnabled();
    if (disabledOwner) ownerDialog->EnableWindow(false);
    if (!ended_) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            visible_ = true;
        }
        inModalRun_ = true;
        view_->RunModal();
        inModalRun_ = false;
    }
    int result = ended_ ? result_ : -1;
    if (disabledOwner && kit->registry.Find(owner) == ownerDialog) ownerDialog->EnableWindow(true);
    if (Handle() == handle) DestroyOnWindowThread();
    retiredView_.reset();
    return result;
}

void Dialog::EndDialog(int result) {
    OnWindowThread([&] {
        if (!HasWindow()) return;
        result_ = result;
        ended_ = true;
        if (inModalRun_) {
            view_->EndModal();
        } else if (!modal_) {
            ShowWindow(ShowCommand::Hide);
        }
    });
}

bool Dialog::DestroyWindow() {
    bool destroyed = false;
    OnWindowThread([&] { destroyed = DestroyOnWindowThread(); });
    return destroyed;
}

bool Dialog::DestroyOnWindowThread() {
    WindowHandle handle = Handle();
    if (!handle) return false;
    OnDestroy();
    if (Handle() != handle) return true;  // OnDestroy destroyed it already
    if (KitState* kit = Kit()) {
        kit->backend->KillTimers(handle);
        kit->registry.Remove(handle);
    }
    viewShows_ = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handle_ = 0;
        controls_.clear();
        visible_ = false;
        focus_ = 0;
        systemMenu_.clear();
        dirty_.clear();
        flushQueued_ = false;
    }
    if (inModalRun_) {
        // The view's modal loop is still on the stack: end it and keep the view until the
        // run returns.
        view_->EndModal();
        retiredView_ = std::move(view_);
    } else {
        view_.reset();
    }
    return true;
}

// ---- keeping the view in step ----

void Dialog::Changed(int id) {
    if (!viewShows_) return;
    KitState* kit = Kit();
    if (kit == nullptr) return;
    if (kit->backend->IsWindowThread()) {
        if (view_) id == 0 ? view_->SyncWindow() : view_->SyncControl(id);
        return;
    }
    WindowHandle handle;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ == 0) return;
        dirty_.insert(id);
        if (flushQueued_) return;
        flushQueued_ = true;
        handle = Handle();
    }
    kit->queue.Post([kit, handle] {
        if (Dialog* dialog = kit->registry.Find(handle)) dialog->Flush();
    });
}

void Dialog::Flush() {
    std::set<int> ids;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ids.swap(dirty_);
        flushQueued_ = false;
    }
    if (!view_) return;
    for (int id : ids) id == 0 ? view_->SyncWindow() : view_->SyncControl(id);
}

// ---- the window ----

bool Dialog::SetTitle(std::wstring_view title) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ == 0) return false;
        title_ = title;
    }
    Changed(0);
    return true;
}

std::wstring Dialog::Title() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return title_;
}

bool Dialog::SetIcon(Icon icon, bool big) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ == 0) return false;
        (big ? bigIcon_ : smallIcon_) = icon;
    }
    Changed(0);
    return true;
}

Icon Dialog::GetIcon(bool big) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return big ? bigIcon_ : smallIcon_;
}

bool Dialog::ShowWindow(ShowCommand command) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ == 0) return false;
        visible_ = command != ShowCommand::Hide;
    }
    Changed(0);
    return true;
}

bool Dialog::IsVisible() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return visible_;
}

bool Dialog::MoveWindow(const Rect& rect, bool repaint) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ == 0) return false;
        windowRect_ = rect;
    }
    Changed(0);
    if (repaint) Invalidate();
    return true;
}

Rect Dialog::WindowRect() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return windowRect_;
}

bool Dialog::SetParent(WindowHandle parent) {
    if (parent && (parent == Handle() || !IsWindow(parent))) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ == 0) return false;
        parent_ = parent;
    }
    Changed(0);
    return true;
}

WindowHandle Dialog::Parent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return parent_;
}

WindowHandle Dialog::Owner() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return owner_;
}

bool Dialog::EnableWindow(bool enable) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ == 0) return false;
        enabled_ = enable;
    }
    Changed(0);
    return true;
}

bool Dialog::IsWindowEnabled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return handle_ != 0 && enabled_;
}

bool Dialog::CenterWindow() {
    bool done = false;
    OnWindowThread([&] {
        if (!view_) return;
        view_->Center();
        done = true;
    });
    return done;
}

bool Dialog::SetForeground() {
    bool done = false;
    OnWindowThread([&] {
        if (!view_) return;
        view_->Raise();
        done = true;
    });
    return done;
}

bool Dialog::Invalidate() {
    KitState* kit = Kit();
    WindowHandle handle = Handle();
    if (kit == nullptr || !handle) return false;
    if (!viewShows_) return true;
    auto repaint = [kit, handle] {
        Dialog* dialog = kit->registry.Find(handle);
        if (detail::View* view = dialog ? detail::DialogAccess::ViewOf(*dialog) : nullptr) {
            view->Invalidate();
        }
    };
    if (kit->backend->IsWindowThread()) {
        repaint();
    } else {
        kit->queue.Post(repaint);
    }
    return true;
}

bool Dialog::HasSystemMenu() const {
    return (template_.styles & kDialogSysMenu) != 0;
}

bool Dialog::AppendSystemMenuItem(unsigned command, std::wstring_view text) {
    if (!HasSystemMenu() || command == 0) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ == 0) return false;
        systemMenu_.push_back(SystemMenuItem{command, std::wstring(text)});
    }
    Changed(0);
    return true;
}

bool Dialog::AppendSystemMenuSeparator() {
    if (!HasSystemMenu()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (handle_ == 0) return false;
    systemMenu_.push_back(SystemMenuItem{});
    return true;
}

bool Dialog::CheckSystemMenuItem(unsigned command, bool checked) {
    return ChangeSystemMenuItem(command, [&](SystemMenuItem& item) {
        item.checkable = true;
        item.checked = checked;
    });
}

bool Dialog::SetSystemMenuItemText(unsigned command, std::wstring_view text) {
    return ChangeSystemMenuItem(command, [&](SystemMenuItem& item) { item.text = text; });
}

bool Dialog::ChangeSystemMenuItem(unsigned command,
                                  const std::function<void(SystemMenuItem&)>& change) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found =
            std::find_if(systemMenu_.begin(), systemMenu_.end(),
                         [&](const SystemMenuItem& item) { return item.command == command; });
        if (command == 0 || found == systemMenu_.end()) return false;
        change(*found);
    }
    Changed(0);
    return true;
}

std::vector<SystemMenuItem> Dialog::SystemMenu() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return systemMenu_;
}

bool Dialog::SetTheme(const Theme& theme) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ == 0) return false;
        theme_ = theme;
    }
    Changed(0);
    return true;
}

Theme Dialog::GetTheme() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return theme_;
}

// ---- controls ----

bool Dialog::HasItem(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return FindLocked(id) != nullptr;
}

bool Dialog::SetItemText(int id, std::wstring_view text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ControlState* c = FindLocked(id);
        if (c == nullptr) return false;
        if (c->IsCombo()) {
            auto it = std::find(c->items.begin(), c->items.end(), text);
            int match = it == c->items.end() ? -1 : static_cast<int>(it - c->items.begin());
            if (c->kind() == ControlKind::DropDownList && match < 0) return false;
            c->selection = match;
        }
        c->text = text;
    }
    Changed(id);
    return true;
}

std::wstring Dialog::ItemText(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const ControlState* c = FindLocked(id);
    return c ? c->text : std::wstring();
}

bool Dialog::EnableItem(int id, bool enable) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ControlState* c = FindLocked(id);
        if (c == nullptr) return false;
        c->enabled = enable;
    }
    Changed(id);
    return true;
}

bool Dialog::IsItemEnabled(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const ControlState* c = FindLocked(id);
    return c && c->enabled;
}

bool Dialog::ShowItem(int id, bool show) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ControlState* c = FindLocked(id);
        if (c == nullptr) return false;
        c->visible = show;
    }
    Changed(id);
    return true;
}

bool Dialog::IsItemVisible(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const ControlState* c = FindLocked(id);
    return c && c->visible;
}

bool Dialog::SetFocus(int id) {
    bool done = false;
    OnWindowThread([&] {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (FindLocked(id) == nullptr) return;
            focus_ = id;
        }
        if (view_) view_->Focus(id);
        done = true;
    });
    return done;
}

int Dialog::Focus() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return focus_;
}

bool Dialog::CheckItem(int id, bool checked) {
    std::vector<int> changed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ControlState* c = FindLocked(id);
        if (c == nullptr) return false;
        if (c->kind() != ControlKind::CheckBox && c->kind() != ControlKind::RadioButton) {
            return false;
        }
        if (c->kind() == ControlKind::RadioButton && checked) {
            for (int other : RadioGroup(template_, id)) {
                ControlState* o = FindLocked(other);
                if (o != nullptr && other != id && o->checked) {
                    o->checked = false;
                    changed.push_back(other);
                }
            }
        }
        c->checked = checked;
        changed.push_back(id);
    }
    for (int changedId : changed) Changed(changedId);
    return true;
}

bool Dialog::IsItemChecked(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const ControlState* c = FindLocked(id);
    return c && c->checked;
}

Rect Dialog::ItemRect(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const ControlState* c = FindLocked(id);
    return c ? c->pixels : Rect{};
}

ComboBox Dialog::Combo(int id) {
    return ComboBox(*this, id);
}
ListView Dialog::List(int id) {
    return ListView(*this, id);
}
SkyPlot Dialog::Plot(int id) {
    return SkyPlot(*this, id);
}
BarChart Dialog::Bars(int id) {
    return BarChart(*this, id);
}

void Dialog::SetKeyHook(int id, KeyHook hook) {
    std::lock_guard<std::mutex> lock(handlersMutex_);
    keyHooks_[id] = std::move(hook);
}

// ---- messages, timers, message boxes ----

bool Dialog::Post(unsigned message, WParam wParam, LParam lParam) {
    return ui::Post(Handle(), message, wParam, lParam);
}

LResult Dialog::Send(unsigned message, WParam wParam, LParam lParam) {
    return ui::Send(Handle(), message, wParam, lParam);
}

unsigned Dialog::SetTimer(unsigned id, unsigned milliseconds) {
    unsigned result = 0;
    OnWindowThread([&] {
        if (HasWindow() && id != 0) result = Kit()->backend->SetTimer(Handle(), id, milliseconds);
    });
    return result;
}

bool Dialog::KillTimer(unsigned id) {
    bool killed = false;
    OnWindowThread([&] {
        if (HasWindow()) killed = Kit()->backend->KillTimer(Handle(), id);
    });
    return killed;
}

int Dialog::ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) {
    return ui::ShowMessageBox(Handle(), text, caption, style);
}

// ---- the message map ----

void Dialog::OnCommand(int id, Notify notify, std::function<void()> handler) {
    std::lock_guard<std::mutex> lock(handlersMutex_);
    commands_[{id, notify}] = std::move(handler);
}

void Dialog::OnMessage(unsigned message, MessageHandler handler) {
    std::lock_guard<std::mutex> lock(handlersMutex_);
    messages_[message] = std::move(handler);
}

void Dialog::OnClose() {
    if (modal_) {
        EndDialog(kIdCancel);
    } else {
        DestroyWindow();
    }
}

void Dialog::Dispatch(int id, Notify notify) {
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> lock(handlersMutex_);
        auto it = commands_.find({id, notify});
        if (it != commands_.end()) handler = it->second;
    }
    if (handler) {
        handler();
    } else if (notify == Notify::Clicked && id == kIdOk) {
        OnOK();
    } else if (notify == Notify::Clicked && id == kIdCancel) {
        OnCancel();
    }
}

LResult Dialog::HandleMessage(unsigned message, WParam wParam, LParam lParam) {
    MessageHandler handler;
    {
        std::lock_guard<std::mutex> lock(handlersMutex_);
        auto it = messages_.find(message);
        if (it != messages_.end()) handler = it->second;
    }
    return handler ? handler(wParam, lParam) : 0;
}

}  // namespace ui
