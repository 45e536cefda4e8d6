// The main frame's windows: the frame itself (hidden while a user-interface plug-in runs,
// shown with a short message when the plug-in list has none) and the splash window.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/dialog.h"

namespace mainframe {

inline constexpr int kFrameDialogId = 7000;
inline constexpr int kFrameMessage = 7001;
inline constexpr int kSplashDialogId = 7010;
inline constexpr int kSplashMessage = 7011;
// How long the splash window stays up.
inline constexpr unsigned kSplashMilliseconds = 1500;

// Messages the frame's window handles on the window thread.
inline constexpr unsigned kRaiseMessage = 0x8101;    // a later instance asked for the window
inline constexpr unsigned kRebuildMessage = 0x8102;  // the run must end (rebuild, or the end)

inline constexpr unsigned kRebuildTimer = 1;  // retries ending a plug-in's run

class FrameWindow : public ui::Dialog {
  public:
    // `onInit` runs on the window thread once the window exists; `onTimer` for its timers.
    FrameWindow(std::function<void()> onInit, std::function<void(unsigned)> onTimer);
    ~FrameWindow() override { DestroyWindow(); }

  protected:
    bool OnInitDialog() override;
    void OnTimer(unsigned id) override { onTimer_(id); }

  private:
    std::function<void()> onInit_;
    std::function<void(unsigned)> onTimer_;
};

// Shows itself once created and goes away on its own after kSplashMilliseconds.
class SplashWindow : public ui::Dialog {
  public:
    explicit SplashWindow(std::wstring text);
    ~SplashWindow() override { DestroyWindow(); }

  protected:
    bool OnInitDialog() override;
    void OnTimer(unsigned id) override;

  private:
    std::wstring text_;
};

}  // namespace mainframe
