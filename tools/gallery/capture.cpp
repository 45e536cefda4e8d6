#include "capture.h"

#include <wx/window.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/ui/kit.h"
#include "platform/ui/wx/native.h"

namespace gallery {

bool Capture(ui::Dialog& dialog, const std::string& pngPath) {
    wxWindow* window = ui::wxkit::NativeWindow(dialog.Handle());
    if (window == nullptr) return false;
    if (!ui::wxkit::PumpUntil([&] { return window->IsShownOnScreen(); })) return false;
    // Let the window system map and expose the window, then paint everything now.
    auto settled = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    ui::wxkit::PumpUntil([&] { return std::chrono::steady_clock::now() >= settled; });
    window->Refresh();
    window->Update();
    ui::ProcessPendingWork();
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(pngPath).parent_path(), ignored);
    return ui::wxkit::SaveScreenshot(dialog.Handle(), pngPath);
}

}  // namespace gallery
