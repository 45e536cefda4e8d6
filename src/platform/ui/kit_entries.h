// The kit's serving wait as C entry points of its library, for code in the same process that
// does not link the kit (the device manager's plug-in): platform::WindowKitWait finds them
// with dlsym in the loaded library.
#pragma once

extern "C" {
// 1 on the window thread (ui::IsWindowThread).
__attribute__((visibility("default"))) int satview_ui_is_window_thread(void);
// ui::WaitServingSends for `done(context)` (non-zero: done); 1 when it held, 0 on time-out.
__attribute__((visibility("default"))) int satview_ui_wait_serving_sends(int (*done)(void* context),
                                                                         void* context,
                                                                         int timeoutMilliseconds);
}

namespace ui {

inline constexpr const char* kKitLibrary = "libsatview_ui.so";  // the kit library's soname
inline constexpr const char* kIsWindowThreadEntry = "satview_ui_is_window_thread";
inline constexpr const char* kWaitServingSendsEntry = "satview_ui_wait_serving_sends";

}  // namespace ui
