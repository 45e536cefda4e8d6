// The plug-in libraries built for the framework's tests: where they are, the identifiers they
// answer to, and the exports through which a test steers them.
#pragma once

#include <ostream>
#include <string>

namespace test_plugins {

// Library names (lib<name>.so in SATVIEW_TEST_PLUGIN_DIR).
inline constexpr const char* kScriptedDeviceMgr = "scripted_device_mgr";
inline constexpr const char* kUiPlugin = "test_ui_plugin";
inline constexpr const char* kMainFrame = "test_main_frame";
inline constexpr const char* kNoCreatePlugin = "test_no_create_plugin";
inline constexpr const char* kNullPlugin = "test_null_plugin";
inline constexpr const char* kThrowingPlugin = "test_throwing_plugin";
// The lifecycle plug-in, working and in each of its failing builds.
inline constexpr const char* kLifecyclePlugin = "test_lifecycle_plugin";
inline constexpr const char* kInitFalsePlugin = "test_init_false_plugin";
inline constexpr const char* kInitThrowsPlugin = "test_init_throws_plugin";
inline constexpr const char* kInitThrowsOtherPlugin = "test_init_throws_other_plugin";
inline constexpr const char* kSetContainerThrowsPlugin = "test_set_container_throws_plugin";

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

// The lifecycle plug-in: a UI plug-in whose DoModal calls the hook set with
// kLifecycleDuringModal and answers kLifecycleModalResult. Each build counts the calls into it;
// kLifecycleCalls copies the counts out.
inline constexpr int kLifecycleModalResult = 11;
struct LifecycleCalls {
    int setContainer = 0;
    int initialize = 0;
    int uninitialize = 0;
    int release = 0;
    int doModal = 0;
    bool operator==(const LifecycleCalls&) const = default;
};
inline constexpr const char* kLifecycleCalls = "TestLifecycleCalls";
using LifecycleCallsFn = void (*)(LifecycleCalls* calls);
inline std::ostream& operator<<(std::ostream& out, const LifecycleCalls& c) {
    return out << "{set " << c.setContainer << ", init " << c.initialize << ", uninit "
               << c.uninitialize << ", release " << c.release << ", modal " << c.doModal << "}";
}
inline constexpr const char* kLifecycleDuringModal = "TestLifecycleDuringModal";
using LifecycleDuringModalFn = void (*)(void (*hook)(void* context), void* context);

}  // namespace test_plugins
