#include "platform/ui/headless/driver.h"

#include <algorithm>
#include <chrono>

#include "platform/ui/detail/access.h"
#include "platform/ui/headless/backend.h"

namespace ui::headless {

using detail::ControlState;
using detail::DialogAccess;

bool WaitIdle(int timeoutMilliseconds) {
    HeadlessBackend* backend = Running();
    return backend != nullptr && backend->WaitIdle(timeoutMilliseconds);
}

bool UseManualClock(bool manual) {
    HeadlessBackend* backend = Running();
    return backend != nullptr && backend->UseManualClock(manual);
}

bool AdvanceClock(int milliseconds) {
    HeadlessBackend* backend = Running();
    return backend != nullptr && backend->AdvanceClock(milliseconds);
}

std::vector<unsigned> RunningTimers(WindowHandle window) {
    HeadlessBackend* backend = Running();
    return backend ? backend->Timers(window) : std::vector<unsigned>();
}

void ScriptMessageBoxAnswer(int answer) {
    if (HeadlessBackend* backend = Running()) backend->ScriptMessageBoxAnswer(answer);
}

void ScriptFileDialogAnswer(std::optional<std::wstring> path) {
    if (HeadlessBackend* backend = Running()) backend->ScriptFileDialogAnswer(std::move(path));
}

std::vector<MessageBoxRecord> MessageBoxes() {
    HeadlessBackend* backend = Running();
    return backend ? backend->MessageBoxes() : std::vector<MessageBoxRecord>();
}

std::vector<FileDialogRequest> FileDialogs() {
    HeadlessBackend* backend = Running();
    return backend ? backend->FileDialogs() : std::vector<FileDialogRequest>();
}

void ClearRecords() {
    if (HeadlessBackend* backend = Running()) backend->ClearRecords();
}

std::vector<WindowHandle> Windows() {
    if (Running() == nullptr) return {};
    return detail::Kit()->registry.Handles();
}

WindowHandle FindWindow(int templateId) {
    if (Running() == nullptr) return {};
    auto& registry = detail::Kit()->registry;
    auto handles = registry.Handles();
    for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
        bool match = false;
        registry.With(*it, [&](Dialog& d) { match = d.Template().id == templateId; });
        if (match) return *it;
    }
    return {};
}

WindowHandle WaitForWindow(int templateId, int timeoutMilliseconds) {
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || Running() == nullptr) return {};
        // A window appears only through work on the window thread. Once that thread is idle the
        // window, if there is one, has been created, initialised and shown, and takes input;
        // otherwise wait for the next burst of work.
        if (WaitIdle(static_cast<int>(left.count()))) {
            if (WindowHandle found = FindWindow(templateId)) return found;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

// ---- the driver ----

namespace {

// Reads from the window under the registry's lock; `fallback` when it is gone.
template <typename T, typename F>
T Read(WindowHandle window, T fallback, F f) {
    detail::KitState* kit = detail::Kit();
    if (kit == nullptr) return fallback;
    T value = fallback;
    kit->registry.With(window, [&](Dialog& d) { value = f(d); });
    return value;
}

// The user's action: `check` decides now, on the caller's thread, whether the user could do
// it; `act` does it on the window thread (checking again there, as things may have moved
// on). Returns once the window thread is idle again.
template <typename Check, typename Act>
bool Perform(WindowHandle window, Check check, Act act) {
    HeadlessBackend* backend = Running();
    if (backend == nullptr || !Read(window, false, check)) return false;
    detail::KitState* kit = detail::Kit();
    kit->queue.Post([kit, window, check, act] {
        Dialog* d = kit->registry.Find(window);
        if (d != nullptr && check(*d)) act(*d);
    });
    return backend->WaitIdle(10000);
}

std::optional<ControlState> Control(WindowHandle window, int id) {
    return Read(window, std::optional<ControlState>(),
                [id](Dialog& d) { return DialogAccess::Control(d, id); });
}

bool IsClickable(ControlKind kind) {
    return kind == ControlKind::PushButton || kind == ControlKind::CheckBox ||
           kind == ControlKind::RadioButton;
}

// A click as the user gives it: focus, then the control's own reaction, then the command.
void ClickOnWindowThread(Dialog& d, int id) {
    auto c = DialogAccess::Control(d, id);
    if (!c) return;
    DialogAccess::Focused(d, id);
    switch (c->kind()) {
        case ControlKind::CheckBox:
            DialogAccess::Checked(d, id, !c->checked);
            break;
        case ControlKind::RadioButton:
            DialogAccess::Checked(d, id, true);
            break;
        default:
            DialogAccess::Clicked(d, id);
    }
}

// Enter and Escape as the dialog manager treats them when no hook took them.
void DefaultKey(Dialog& d, int id, int key) {
    if (key == kKeyEscape) {
        DialogAccess::Command(d, kIdCancel, Notify::Clicked);
        return;
    }
    if (key != kKeyEnter) return;
    auto c = DialogAccess::Control(d, id);
    if (c && c->kind() == ControlKind::PushButton) {
        DialogAccess::Clicked(d, id);
        return;
    }
    for (const ControlState& control : DialogAccess::Controls(d)) {
        if (control.kind() == ControlKind::PushButton && (control.control.styles & kStyleDefault)) {
            if (control.enabled && control.visible) DialogAccess::Clicked(d, control.id());
            return;
        }
    }
    DialogAccess::Command(d, kIdOk, Notify::Clicked);
}

}  // namespace

bool Driver::Alive() const {
    return IsWindow(window_);
}

bool Driver::Click(int id) {
    return Perform(
        window_,
        [id](Dialog& d) {
            auto c = DialogAccess::Control(d, id);
            return c && IsClickable(c->kind()) && DialogAccess::CanInput(d, id);
        },
        [id](Dialog& d) { ClickOnWindowThread(d, id); });
}

bool Driver::SetChecked(int id, bool checked) {
    auto c = Control(window_, id);
    if (!c) return false;
    if (c->checked == checked) {
        return (c->kind() == ControlKind::CheckBox || c->kind() == ControlKind::RadioButton) &&
               Read(window_, false, [id](Dialog& d) { return DialogAccess::CanInput(d, id); });
    }
    if (c->kind() == ControlKind::RadioButton && !checked) return false;  // not by clicking
    return Click(id);
}

bool Driver::Choose(int id, int index) {
    return Perform(
        window_,
        [id, index](Dialog& d) {
            auto c = DialogAccess::Control(d, id);
            return c && c->IsCombo() && index >= 0 &&
                   static_cast<size_t>(index) < c->items.size() && DialogAccess::CanInput(d, id);
        },
        [id, index](Dialog& d) {
            DialogAccess::Focused(d, id);
            DialogAccess::Chose(d, id, index);
        });
}

bool Driver::Choose(int id, std::wstring_view itemText) {
    auto items = ComboItems(id);
    auto it = std::find(items.begin(), items.end(), itemText);
    if (it == items.end()) return false;
    return Choose(id, static_cast<int>(it - items.begin()));
}

bool Driver::Type(int id, std::wstring_view text) {
    std::wstring typed(text);
    return Perform(
        window_,
        [id](Dialog& d) {
            auto c = DialogAccess::Control(d, id);
            return c &&
                   (c->kind() == ControlKind::Edit || c->kind() == ControlKind::DropDownCombo) &&
                   DialogAccess::CanInput(d, id);
        },
        [id, typed](Dialog& d) {
            DialogAccess::Focused(d, id);
            DialogAccess::Typed(d, id, typed);
        });
}

bool Driver::PressKey(int id, int key) {
    return Perform(
        window_,
        [id](Dialog& d) {
            auto c = DialogAccess::Control(d, id);
            return c && c->TakesFocus() && DialogAccess::CanInput(d, id);
        },
        [id, key](Dialog& d) {
            DialogAccess::Focused(d, id);
            if (!DialogAccess::KeyHook(d, id, key)) DefaultKey(d, id, key);
        });
}

bool Driver::Close() {
    return Perform(
        window_, [](Dialog& d) { return DialogAccess::WindowTakesInput(d); },
        [](Dialog& d) { DialogAccess::CloseRequested(d); });
}

bool Driver::ChooseSystemMenu(unsigned command) {
    return Perform(
        window_,
        [command](Dialog& d) {
            auto menu = d.SystemMenu();
            return command != 0 && DialogAccess::WindowTakesInput(d) &&
                   std::any_of(menu.begin(), menu.end(),
                               [&](const SystemMenuItem& item) { return item.command == command; });
        },
        [command](Dialog& d) { DialogAccess::SysCommand(d, command); });
}

// ---- what the user sees ----

std::wstring Driver::Text(int id) const {
    return Read(window_, std::wstring(), [id](Dialog& d) { return d.ItemText(id); });
}
bool Driver::Has(int id) const {
    return Read(window_, false, [id](Dialog& d) { return d.HasItem(id); });
}
bool Driver::Enabled(int id) const {
    return Read(window_, false, [id](Dialog& d) { return d.IsItemEnabled(id); });
}
bool Driver::Visible(int id) const {
    return Read(window_, false, [id](Dialog& d) { return d.IsItemVisible(id); });
}
bool Driver::Checked(int id) const {
    return Read(window_, false, [id](Dialog& d) { return d.IsItemChecked(id); });
}
int Driver::Focused() const {
    return Read(window_, 0, [](Dialog& d) { return d.Focus(); });
}
std::vector<std::wstring> Driver::ComboItems(int id) const {
    return Read(window_, std::vector<std::wstring>(),
                [id](Dialog& d) { return d.Combo(id).Items(); });
}
int Driver::ComboSelection(int id) const {
    return Read(window_, -1, [id](Dialog& d) { return d.Combo(id).GetCurSel(); });
}
int Driver::Rows(int id) const {
    return Read(window_, -1, [id](Dialog& d) { return d.List(id).ItemCount(); });
}
std::vector<ListColumn> Driver::Columns(int id) const {
    return Read(window_, std::vector<ListColumn>(),
                [id](Dialog& d) { return d.List(id).Columns(); });
}
std::wstring Driver::Cell(int id, int row, int column) const {
    return Read(window_, std::wstring(),
                [&](Dialog& d) { return d.List(id).GetItemText(row, column); });
}
std::vector<PlotMark> Driver::Marks(int id) const {
    return Read(window_, std::vector<PlotMark>(), [id](Dialog& d) { return d.Plot(id).Marks(); });
}
std::vector<LegendEntry> Driver::Legend(int id) const {
    return Read(window_, std::vector<LegendEntry>(),
                [id](Dialog& d) { return d.Plot(id).Legend(); });
}
std::vector<ChartBar> Driver::Bars(int id) const {
    return Read(window_, std::vector<ChartBar>(), [id](Dialog& d) { return d.Bars(id).Bars(); });
}
double Driver::FullScale(int id) const {
    return Read(window_, 0.0, [id](Dialog& d) { return d.Bars(id).FullScale(); });
}
std::uint32_t Driver::ListStyle(int id) const {
    return Read(window_, 0u, [id](Dialog& d) { return d.List(id).ExtendedStyle(); });
}
Rect Driver::ControlRect(int id) const {
    return Read(window_, Rect{}, [id](Dialog& d) { return d.ItemRect(id); });
}
std::wstring Driver::Title() const {
    return Read(window_, std::wstring(), [](Dialog& d) { return d.Title(); });
}
bool Driver::WindowVisible() const {
    return Read(window_, false, [](Dialog& d) { return d.IsVisible(); });
}
bool Driver::WindowEnabled() const {
    return Read(window_, false, [](Dialog& d) { return d.IsWindowEnabled(); });
}
Rect Driver::WindowRect() const {
    return Read(window_, Rect{}, [](Dialog& d) { return d.WindowRect(); });
}
WindowHandle Driver::Parent() const {
    return Read(window_, WindowHandle{}, [](Dialog& d) { return d.Parent(); });
}
Icon Driver::BigIcon() const {
    return Read(window_, Icon{}, [](Dialog& d) { return d.GetIcon(true); });
}
Icon Driver::SmallIcon() const {
    return Read(window_, Icon{}, [](Dialog& d) { return d.GetIcon(false); });
}
Theme Driver::GetTheme() const {
    return Read(window_, Theme{}, [](Dialog& d) { return d.GetTheme(); });
}
std::vector<SystemMenuItem> Driver::SystemMenu() const {
    return Read(window_, std::vector<SystemMenuItem>(), [](Dialog& d) { return d.SystemMenu(); });
}
int Driver::TemplateId() const {
    return Read(window_, 0, [](Dialog& d) { return d.Template().id; });
}

}  // namespace ui::headless
