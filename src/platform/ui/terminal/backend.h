// The terminal back end: dialogs drawn with ncurses on the terminal the program runs in.
// The window thread is a thread of its own, the only one that touches ncurses; a second
// thread only watches the terminal and the resize signal and hands the window thread the
// work of reading them. Windows stack in the order they were shown or raised; keys and
// mouse clicks go to the topmost window that takes input.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/ui/detail/backend.h"
#include "platform/ui/detail/timers.h"
#include "platform/ui/terminal/screen.h"

namespace ui::terminal {

class TerminalView;

class TerminalBackend : public detail::Backend {
  public:
    using Clock = detail::MessageQueue::Clock;

    explicit TerminalBackend(detail::KitState& kit) : kit_(kit) {}
    ~TerminalBackend() override;

    bool Start(int argc, char** argv) override;
    void Stop() override;
    bool IsWindowThread() const override;
    std::unique_ptr<detail::View> CreateView(Dialog& dialog) override;
    unsigned SetTimer(WindowHandle window, unsigned id, unsigned milliseconds) override;
    bool KillTimer(WindowHandle window, unsigned id) override;
    void KillTimers(WindowHandle window) override;
    std::vector<unsigned> Timers(WindowHandle window) const override;
    int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                   unsigned style) override;
    bool EndMessageBox(WindowHandle owner, int answer) override;
    std::optional<std::wstring> OpenFile(const FileDialogRequest& request) override;
    void ProcessPending() override;

    // Window thread.
    void RunUntil(const std::function<bool()>& done);
    void MarkDirty() { dirty_ = true; }
    void Raise(WindowHandle window);
    void Forget(WindowHandle window);
    Screen& screen() { return screen_; }
    detail::KitState& kit() { return kit_; }
    TerminalView* ViewOf(WindowHandle window) const;
    // Visible windows shown inside `parent`, bottom first.
    std::vector<TerminalView*> Children(WindowHandle parent) const;
    std::wstring ScreenText();
    bool Cursor(int* row, int* col) const;

    // Any other thread.
    bool WaitIdle(int timeoutMilliseconds);

  private:
    void WindowThread(std::promise<bool>& opened);
    void Watch();
    void Wake();
    void ReadInput();
    void Resized();
    void Draw();
    // The window keys go to: the topmost visible top-level window that takes input.
    TerminalView* InputView() const;
    bool FireDueTimer();
    bool TimerDue() const;
    std::optional<Clock::time_point> NextDeadline() const;

    detail::KitState& kit_;
    Screen screen_;
    std::thread thread_;
    std::thread watcher_;
    std::atomic<std::thread::id> windowThread_{};
    std::atomic<bool> stop_{false};
    std::atomic<bool> dirty_{true};
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int inFd_ = 0;
    int outFd_ = 1;

    // The watcher hands readable input over and watches again once it is read.
    std::atomic<bool> inputPending_{false};

    std::deque<Input> unread_;          // window thread: read, not yet handled
    std::vector<std::uint64_t> order_;  // window thread; bottom first
    int cursorRow_ = -1;
    int cursorCol_ = -1;

    mutable std::mutex timerMutex_;
    detail::TimerTable timers_;
};

// The running terminal back end, or null.
TerminalBackend* Running();

}  // namespace ui::terminal
