// The plug-in libraries built for the framework's tests: where they are, the identifiers they
// answer to, and the exports through which a test steers them.
#pragma once

#include <string>

namespace test_plugins {

// Library names (lib<name>.so in SATVIEW_TEST_PLUGIN_DIR).
inline constexpr const char* kScriptedDeviceMgr = "scripted_device_mgr";
inline constexpr const char* kUiPlugin = "test_ui_plugin";
inline constexpr const char* kMainFrame = "test_main_frame";
inline constexpr const char* kNoCreatePlugin = "test_no_create_plugin";
inline constexpr const char* kNullPlugin = "test_null_plugin";
inline constexpr const char* kThrowingPlugin = "test_throwing_plugin";

inline std::string LibraryPath(const char* name) {
    return std::string(SATVIEW_TEST_PLUGIN_DIR) + "/lib" + name + ".so";
}

// The UI plug-in: QueryInterface(0x5001) gives the plug-in as IUIPlugin; QueryInterface(1)
// gives an IDeviceMgrUI. Its DoModal answers kUiModalResult.
inline constexpr const char* kUiPluginId = "0A7E57A1-0000-4000-8000-0000000000A1";
inline constexpr int kUiModalResult = 7;

// The main frame: DoModal runs the UI plug-in kUiPluginId (when the container has it) and
// answers the next code of the list set with kMainFrameSetResults, then 0 once the list is
// used up. Every run records what it saw; kMainFrameLastRun copies the last record out.
inline constexpr const char* kMainFrameSetResults = "TestMainFrameSetResults";
using MainFrameSetResultsFn = void (*)(const int* codes, int count);

struct MainFrameRun {
    int runs = 0;            // DoModal calls since the library was loaded
    int uiModalResult = -1;  // what the UI plug-in's DoModal answered; -1: not reached
    // "xframemodule"/"nosplashscreen" from the configuration service, "" when unread.
    char noSplashScreen[16] = {};
};
inline constexpr const char* kMainFrameLastRun = "TestMainFrameLastRun";
using MainFrameLastRunFn = void (*)(MainFrameRun* run);

}  // namespace test_plugins
