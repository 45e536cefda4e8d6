// The message box and the file-open dialog of the terminal back end: dialogs of the kit
// itself, laid out for the text they show and run modally on the window thread.
#pragma once

#include <optional>
#include <string>

#include "platform/ui/types.h"

namespace ui::terminal {

// Window thread. `screenCols` bounds the box's width.
int RunMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                  unsigned style, int screenCols);
// Window thread: ends the newest box RunMessageBox has open over `owner` with `answer`.
bool EndOpenMessageBox(WindowHandle owner, int answer);
std::optional<std::wstring> RunFileDialog(const FileDialogRequest& request, int screenCols);

}  // namespace ui::terminal
