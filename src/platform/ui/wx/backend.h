// The wx back end: wxWidgets windows on the main thread, wxTimers, and a pump that runs the
// kit's queue from the wx event loop.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ui/detail/backend.h"
#include "platform/ui/detail/open_boxes.h"

class wxEvtHandler;
class wxMessageDialog;
class wxTimer;
class wxWindow;

namespace ui::wxkit {

class WxView;

class WxBackend : public detail::Backend {
  public:
    explicit WxBackend(detail::KitState& kit);
    ~WxBackend() override;

    bool Start(int argc, char** argv) override;
    std::string StartFailure() const override { return failure_; }
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

    detail::KitState& kit() { return kit_; }
    // Window thread: the view of a live window.
    WxView* ViewOf(WindowHandle window) const;
    // Window thread: deletes killed timers once no timer handler is running.
    void BuryTimers();
    void EnterTimer() { ++timersNotifying_; }
    void LeaveTimer() { --timersNotifying_; }

    struct Waker;

  private:
    using TimerKey = std::pair<std::uint64_t, unsigned>;

    detail::KitState& kit_;
    std::thread::id mainThread_;
    bool started_ = false;
    std::string failure_;
    std::unique_ptr<wxEvtHandler> pump_;
    std::unique_ptr<wxTimer> screenText_;  // see screen_text.h; null unless asked for
    std::shared_ptr<Waker> waker_;
    mutable std::mutex timerMutex_;
    std::map<TimerKey, std::unique_ptr<wxTimer>> timers_;
    std::vector<std::unique_ptr<wxTimer>> killed_;  // stopped, deleted by BuryTimers
    int timersNotifying_ = 0;                       // window thread only
    detail::OpenBoxes<wxMessageDialog> openBoxes_;  // window thread only
};

// The running wx back end, or null.
WxBackend* Running();

// Native access for the kit (see platform/ui/wx_native.h).
wxWindow* OuterWindowOf(WindowHandle window);
wxWindow* ControlOf(WindowHandle window, int id);
bool ScreenshotOf(WindowHandle window, const std::string& pngPath);

}  // namespace ui::wxkit
