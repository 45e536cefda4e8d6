// The headless back end: no view, a window thread of its own, timers on a clock a test may
// drive, message boxes and file dialogs answered from a script.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/ui/detail/backend.h"
#include "platform/ui/detail/timers.h"
#include "platform/ui/headless/driver.h"

namespace ui::headless {

class HeadlessBackend : public detail::Backend {
  public:
    using Clock = detail::MessageQueue::Clock;

    explicit HeadlessBackend(detail::KitState& kit) : kit_(kit) {}
    ~HeadlessBackend() override;

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
    // Boxes answer at once here: none is ever open.
    bool EndMessageBox(WindowHandle, int) override { return false; }
    std::optional<std::wstring> OpenFile(const FileDialogRequest& request) override;
    void ProcessPending() override;

    // Window thread: runs queued work and timers until `done()` (or the back end stops).
    void RunUntil(const std::function<bool()>& done);

    bool WaitIdle(int timeoutMilliseconds);
    bool UseManualClock(bool manual);
    bool AdvanceClock(int milliseconds);
    void ScriptMessageBoxAnswer(int answer);
    void ScriptFileDialogAnswer(std::optional<std::wstring> path);
    std::vector<MessageBoxRecord> MessageBoxes() const;
    std::vector<FileDialogRequest> FileDialogs() const;
    void ClearRecords();

  private:
    Clock::time_point NowLocked() const;
    bool FireDueTimer();
    bool TimerDue() const;
    std::optional<Clock::time_point> NextDeadline() const;

    detail::KitState& kit_;
    std::thread thread_;
    std::atomic<std::thread::id> windowThread_{};
    std::atomic<bool> stop_{false};

    mutable std::mutex timerMutex_;
    detail::TimerTable timers_;
    bool manualClock_ = false;
    Clock::time_point manualNow_;

    mutable std::mutex scriptMutex_;
    std::deque<int> boxAnswers_;
    std::deque<std::optional<std::wstring>> fileAnswers_;
    std::vector<MessageBoxRecord> boxes_;
    std::vector<FileDialogRequest> fileRequests_;
};

// The running headless back end, or null.
HeadlessBackend* Running();

}  // namespace ui::headless
