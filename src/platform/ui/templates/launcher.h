// The launcher's dialog templates: the initializing window and the about box, with the
// system menu entry that opens the latter.
#pragma once

#include "platform/ui/template.h"

namespace ui::templates {

inline constexpr int kAppIcon = 5;  // the launcher's icon

inline constexpr int kStartupDialogId = 102;
namespace startup {
inline constexpr int kMessage = 1000;
// The system menu entry of the about box (string 101) and its command.
inline constexpr unsigned kAboutCommand = 0x10;
inline constexpr const wchar_t* kAboutMenuText = L"\u5173\u4e8e Startup(&A)...";
}  // namespace startup

// Template 102: the initializing window, one line of text.
const DialogTemplate& StartupDialog();

inline constexpr int kAboutDialogId = 100;

// Template 100: the about box.
const DialogTemplate& AboutDialog();

}  // namespace ui::templates
