// Screenshots of the gallery's windows (wx back end, window thread).
#pragma once

#include <string>

#include "platform/ui/dialog.h"

namespace gallery {

// Waits until the window is on screen and painted, then saves its client area as PNG.
bool Capture(ui::Dialog& dialog, const std::string& pngPath);

}  // namespace gallery
