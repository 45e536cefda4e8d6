// The inside of Dialog that back ends and the headless driver use: snapshots of the model
// for views, and the user's input and the system's events delivered to the handlers.
// Everything here that delivers runs on the window thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ui/detail/control_state.h"
#include "platform/ui/dialog.h"

namespace ui::detail {

struct WindowState {
    std::wstring title;
    Icon bigIcon;
    Icon smallIcon;
    Rect rect;
    bool visible = false;
    bool enabled = true;
    WindowHandle parent;  // the window it is shown inside, if re-parented
    WindowHandle owner;
    Theme theme;
    std::vector<SystemMenuItem> systemMenu;
};

struct DialogAccess {
    // Any thread.
    static std::vector<ControlState> Controls(const Dialog& dialog);
    static std::optional<ControlState> Control(const Dialog& dialog, int id);
    static WindowState Window(const Dialog& dialog);
    // The window and the control are enabled and shown, so a user could reach the control.
    static bool CanInput(const Dialog& dialog, int id);
    static bool WindowTakesInput(const Dialog& dialog);

    // Window thread.
    static View* ViewOf(Dialog& dialog) { return dialog.view_.get(); }
    static bool ModalDone(const Dialog& dialog) { return dialog.ended_ || !dialog.HasWindow(); }
    static void Flush(Dialog& dialog) { dialog.Flush(); }

    // The user's input, after the control has taken it (window thread). Each updates the
    // model and then calls the dialog's handler.
    static void Clicked(Dialog& dialog, int id);
    static void Checked(Dialog& dialog, int id, bool checked);
    static void Chose(Dialog& dialog, int id, int index);
    static void Typed(Dialog& dialog, int id, const std::wstring& text);
    static void Focused(Dialog& dialog, int id);
    // Runs the control's key hook; true when it handled the key.
    static bool KeyHook(Dialog& dialog, int id, int key);
    static void CloseRequested(Dialog& dialog) { dialog.OnClose(); }
    static void Command(Dialog& dialog, int id, Notify notify) { dialog.Dispatch(id, notify); }
    static void SysCommand(Dialog& dialog, unsigned command);
    // The window was moved or resized by the user or the window system.
    static void Moved(Dialog& dialog, const Rect& rect);

    // The system's events (window thread).
    static void Timer(Dialog& dialog, unsigned id) { dialog.OnTimer(id); }
    static LResult Message(Dialog& dialog, unsigned message, WParam wParam, LParam lParam) {
        return dialog.HandleMessage(message, wParam, lParam);
    }
    static LResult Power(Dialog& dialog, unsigned event, LParam data) {
        return dialog.OnPowerBroadcast(event, data);
    }
};

}  // namespace ui::detail
