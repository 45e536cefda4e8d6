// The wx back end's native windows, for tools and GUI tests. Window thread only; null or
// false when the kit does not run with wx or there is no such window. The kit answers them
// through the wx module once it is loaded; the caller links wxWidgets itself to use them.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/types.h"

class wxWindow;

namespace ui::wxkit {

// The window's top-level native window, or its panel once re-parented.
wxWindow* NativeWindow(WindowHandle window);
wxWindow* NativeControl(WindowHandle window, int id);

// Runs queued work and window events until `done()`; false on timeout.
bool PumpUntil(const std::function<bool()>& done, int timeoutMilliseconds = 5000);

// Waits until the window is on screen and painted, then saves what the screen shows of its
// client area as a PNG file (creating the file's folder).
bool SaveScreenshot(WindowHandle window, const std::string& pngPath);

}  // namespace ui::wxkit
