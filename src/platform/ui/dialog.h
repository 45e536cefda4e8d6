// A dialog: a template, the table of its controls and the handlers of its messages.
//
// A dialog writer derives from Dialog, registers command and message handlers in the
// constructor and overrides the virtual handlers it needs:
//
//   class CSettingsDlg : public ui::Dialog {
//   public:
//       CSettingsDlg() : Dialog(ui::templates::SettingsDialog()) {
//           OnClicked(kSave, [this] { Save(); });
//           OnMessage(kMyMessage, [this](ui::WParam w, ui::LParam) { ...; return 0; });
//       }
//       ~CSettingsDlg() override { DestroyWindow(); }
//   protected:
//       bool OnInitDialog() override { SetItemText(kApn, L"..."); return true; }
//       void OnTimer(unsigned id) override;
//   };
//
// Handlers run on the window thread. Every public operation may be called from any thread
// (see kit.h): the state of the controls and of the window (texts, checks, items, cells,
// title, icons, visibility, place, parent) is the dialog's own table and changes at once,
// the screen follows on the window thread; creation, destruction, modal runs, timers, focus,
// centring and message boxes run on the window thread while the caller waits.
// The object outlives its window: Create or DoModal make a window, DestroyWindow (or the end
// of a modal run) removes it, and a later Create makes a new one with a new handle.
// Control operations answer false or empty while there is no window. A derived dialog calls
// DestroyWindow() in its destructor so that no handler runs while it is half destroyed, and
// a dialog is never deleted while one of its handlers is still running (for example waiting
// in a modal run it started).
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/template.h"
#include "platform/ui/types.h"

namespace ui {

namespace detail {
class View;
struct ControlState;
struct DialogAccess;
}  // namespace detail

class ComboBox;
class ListView;
class SkyPlot;
class BarChart;

struct SystemMenuItem {
    unsigned command = 0;  // 0: a separator
    std::wstring text;
    bool checkable = false;  // shows a check mark when checked (CheckSystemMenuItem)
    bool checked = false;
    friend bool operator==(const SystemMenuItem&, const SystemMenuItem&) = default;
};

// A key reaching a control: answer true when the hook handled it, so the control and the
// dialog never see it.
using KeyHook = std::function<bool(int key)>;
using MessageHandler = std::function<LResult(WParam, LParam)>;

class Dialog {
  public:
    explicit Dialog(DialogTemplate dialogTemplate);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    const DialogTemplate& Template() const { return template_; }

    // ---- the window's life ----
    // A modeless window, shown at once when the template says so; `owner` (none: the
    // desktop) keeps it above itself. False when the window exists already or creation
    // failed (OnCreate answered -1).
    bool Create(WindowHandle owner = {});
    // Runs the dialog modally until EndDialog; `owner` is disabled meanwhile. Answers the
    // result given to EndDialog, -1 when the window could not be made or was destroyed.
    // From another thread it runs on the window thread and the caller waits.
    int DoModal(WindowHandle owner = {});
    // Ends a modal run with `result`; a modeless window is hidden.
    void EndDialog(int result);
    // Destroys the window (the object stays). False when there was none.
    bool DestroyWindow();
    WindowHandle Handle() const { return WindowHandle{handle_.load()}; }
    bool HasWindow() const { return handle_.load() != 0; }

    // ---- the window ----
    bool SetTitle(std::wstring_view title);
    std::wstring Title() const;
    bool SetIcon(Icon icon, bool big);
    Icon GetIcon(bool big) const;
    bool ShowWindow(ShowCommand command);
    bool IsVisible() const;
    // Pixels; in the parent's client area once re-parented, on the screen otherwise.
    bool MoveWindow(const Rect& rect, bool repaint = true);
    Rect WindowRect() const;
    // Makes the window a child shown inside `parent` (the empty handle: top-level again).
    bool SetParent(WindowHandle parent);
    WindowHandle Parent() const;
    // The window given to Create or DoModal.
    WindowHandle Owner() const;
    bool EnableWindow(bool enable);
    bool IsWindowEnabled() const;
    bool CenterWindow();
    bool SetForeground();
    bool Invalidate();
    bool HasSystemMenu() const;
    // Appends to the window's system menu; its choice calls OnSysCommand(command).
    bool AppendSystemMenuItem(unsigned command, std::wstring_view text);
    bool AppendSystemMenuSeparator();
    // Makes the entry of `command` one with a check mark, set or not. False when there is
    // no such entry.
    bool CheckSystemMenuItem(unsigned command, bool checked);
    // Gives the entry of `command` another text (a language change). False without it.
    bool SetSystemMenuItemText(unsigned command, std::wstring_view text);
    std::vector<SystemMenuItem> SystemMenu() const;
    bool SetTheme(const Theme& theme);
    Theme GetTheme() const;

    // ---- controls ----
    bool HasItem(int id) const;
    // Texts: a button's or label's caption, an edit's text, a combo box's current text (what
    // the user typed, or the chosen item). Setting a drop-down list's text selects the item
    // with that text.
    bool SetItemText(int id, std::wstring_view text);
    std::wstring ItemText(int id) const;
    bool EnableItem(int id, bool enable);
    bool IsItemEnabled(int id) const;
    bool ShowItem(int id, bool show);
    bool IsItemVisible(int id) const;
    bool SetFocus(int id);
    int Focus() const;  // the focused control's id, 0 for none
    // Check boxes and radio buttons; checking a radio button clears the rest of its group.
    bool CheckItem(int id, bool checked);
    bool IsItemChecked(int id) const;
    // The control's rectangle in pixels, in the window's client area.
    Rect ItemRect(int id) const;
    ComboBox Combo(int id);
    ListView List(int id);
    SkyPlot Plot(int id);
    BarChart Bars(int id);
    // The hook sees keys pressed in control `id` before the control does.
    void SetKeyHook(int id, KeyHook hook);

    // ---- messages, timers, message boxes ----
    bool Post(unsigned message, WParam wParam = 0, LParam lParam = 0);
    LResult Send(unsigned message, WParam wParam = 0, LParam lParam = 0);
    // Starts (or restarts) timer `id`; answers `id`, or 0 without a window.
    unsigned SetTimer(unsigned id, unsigned milliseconds);
    // True when the timer was running.
    bool KillTimer(unsigned id);
    int ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                       unsigned style = kMbOk);

    // ---- the message map ----
    void OnCommand(int id, Notify notify, std::function<void()> handler);
    void OnClicked(int id, std::function<void()> handler) {
        OnCommand(id, Notify::Clicked, std::move(handler));
    }
    void OnSelectionChanged(int id, std::function<void()> handler) {
        OnCommand(id, Notify::SelectionChanged, std::move(handler));
    }
    void OnMessage(unsigned message, MessageHandler handler);

  protected:
    // Window creation, before the controls are initialised; -1 fails the creation.
    virtual int OnCreate() { return 0; }
    // Initialisation; true gives the focus to the first control that takes it.
    virtual bool OnInitDialog() { return true; }
    // The close request (close box). Default: ends a modal run with kIdCancel, destroys a
    // modeless window.
    virtual void OnClose();
    // Commands kIdOk and kIdCancel without a registered handler (Enter, Escape, the buttons).
    virtual void OnOK() { EndDialog(kIdOk); }
    virtual void OnCancel() { EndDialog(kIdCancel); }
    virtual void OnTimer(unsigned id) { (void)id; }
    // Power broadcast; the answer goes back to the sender (true grants a query).
    virtual LResult OnPowerBroadcast(unsigned event, LParam data) {
        (void)event;
        (void)data;
        return 1;
    }
    // A system menu entry appended with AppendSystemMenuItem.
    virtual void OnSysCommand(unsigned command) { (void)command; }
    // The window is about to go.
    virtual void OnDestroy() {}

  private:
    friend struct detail::DialogAccess;
    friend class ComboBox;
    friend class ListView;
    friend class SkyPlot;
    friend class BarChart;

    bool CreateOnWindowThread(WindowHandle owner, bool modal);
    bool DestroyOnWindowThread();
    int ModalOnWindowThread(WindowHandle owner);
    // Runs `f` on the window thread and waits; false without a running kit.
    bool OnWindowThread(const std::function<void()>& f) const;
    bool ChangeSystemMenuItem(unsigned command, const std::function<void(SystemMenuItem&)>& change);
    detail::ControlState* FindLocked(int id);
    const detail::ControlState* FindLocked(int id) const;
    // Tells the view that control `id` (0: the window) changed.
    void Changed(int id);
    void Flush();
    void Dispatch(int id, Notify notify);
    LResult HandleMessage(unsigned message, WParam wParam, LParam lParam);

    const DialogTemplate template_;
    std::atomic<std::uint64_t> handle_{0};

    // The model, under mutex_.
    mutable std::mutex mutex_;
    std::vector<detail::ControlState> controls_;
    std::wstring title_;
    Icon bigIcon_;
    Icon smallIcon_;
    Rect windowRect_;
    bool visible_ = false;
    bool enabled_ = true;
    WindowHandle parent_;
    WindowHandle owner_;
    int focus_ = 0;
    Theme theme_;
    std::vector<SystemMenuItem> systemMenu_;
    std::set<int> dirty_;
    bool flushQueued_ = false;

    // Handlers, under handlersMutex_.
    mutable std::mutex handlersMutex_;
    std::map<std::pair<int, Notify>, std::function<void()>> commands_;
    std::map<unsigned, MessageHandler> messages_;
    std::map<int, KeyHook> keyHooks_;

    // Window thread only.
    std::unique_ptr<detail::View> view_;
    std::unique_ptr<detail::View> retiredView_;  // a view destroyed during its modal run
    std::atomic<bool> viewShows_{false};
    bool modal_ = false;
    bool inModalRun_ = false;
    bool ended_ = false;
    int result_ = 0;
};

}  // namespace ui
