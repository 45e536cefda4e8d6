// The main-frame plug-in ("XFramePlugin"): runs the user-interface plug-ins of the plug-in
// list one after the other, each through DoModal, and ends when the last one is closed (0) or
// when the device manager says that the plug-in set must be rebuilt (4, the launcher runs the
// container again) or the program is asked to end (0). It shows a short splash window unless
// "xframemodule"/"nosplashscreen" is "1", and brings its window forward when a later instance of
// the program asks.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "framework/contracts/device.h"
#include "framework/contracts/plugin_object.h"
#include "framework/mainframe/main_frame_windows.h"
#include "platform/single_instance.h"

namespace mainframe {

// The socket name the window is known by to a later instance.
inline constexpr const char* kRaiseWindowName = "Tarvek Ferrolink 1.00";
inline constexpr const char* kOwner = "XFramePlugin";

class MainFramePlugin final : public framework::PluginObject<framework::IUIPlugin>,
                              public framework::IPluginSetChangedSink {
  public:
    MainFramePlugin();
    ~MainFramePlugin() override;

    bool QueryInterface(uint32_t number, framework::IBaseInterface** object) override;
    bool ShowWindow(framework::WindowHandle, int, int, int, int) override { return true; }
    // The run: answers 0 when the user closed the last plug-in, 4 when the plug-in set must be
    // rebuilt, -1 without a container.
    int DoModal() override;
    void HideWindow() override {}
    void FitSize(int, int, int, int) override {}
    bool GetStateFlag() override { return running_; }

    // Device manager's thread: ends the run with 4.
    void OnPluginSetChanged() override;
    // Any thread (the launcher's signal watcher): the program is to end. The run ends with 0
    // as when the user closes the last plug-in: the running plug-in's window goes first.
    void OnDestroyEvent() override;

  private:
    std::wstring Text(const char* key, const wchar_t* fallback);
    std::string ReadSetting(const wchar_t* section, const wchar_t* key);
    std::vector<framework::IUIPlugin*> UiPlugins();
    void WatchPluginSet(bool watch);
    void Raise();
    void Rebuild();
    void FrameReady();

    std::unique_ptr<FrameWindow> frame_;
    std::unique_ptr<SplashWindow> splash_;
    std::unique_ptr<platform::RaiseListener> listener_;
    framework::IBaseInterface* managerObject_ = nullptr;
    framework::IPluginSetNotifier* notifier_ = nullptr;
    std::atomic<framework::IUIPlugin*> current_{nullptr};
    std::atomic<bool> rebuild_{false};
    std::atomic<bool> ending_{false};
    std::atomic<bool> running_{false};
    // The frame's window, for the threads that ask it to raise or to rebuild.
    std::atomic<std::uint64_t> frameHandle_{0};
    std::wstring noPluginText_;
    bool frameModal_ = false;
};

}  // namespace mainframe
