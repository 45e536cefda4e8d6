// The wx back end lives in a module of its own (libsatview_ui_wx.so in the kit's folder),
// opened the first time a process asks for windows, so that a terminal or headless run never
// maps the toolkit. The module's one entry point, SatviewWxModule, answers this table.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/detail/backend.h"

class wxWindow;

namespace ui::detail {

struct WxModule {
    std::unique_ptr<Backend> (*create)(KitState& kit);
    // See platform/ui/wx_native.h.
    wxWindow* (*nativeWindow)(WindowHandle window);
    wxWindow* (*nativeControl)(WindowHandle window, int id);
    bool (*saveScreenshot)(WindowHandle window, const std::string& pngPath);
};

inline constexpr char kWxModuleFile[] = "libsatview_ui_wx.so";
inline constexpr char kWxModuleEntry[] = "SatviewWxModule";

// The module, opened on the first call and kept for the process's life; null when it cannot
// be opened, with the reason in `*why`.
const WxModule* LoadWxModule(std::string* why);
// The module when it was opened, else null.
const WxModule* LoadedWxModule();

}  // namespace ui::detail
