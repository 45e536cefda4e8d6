// The window kit's process-wide services: choosing and starting the back end, messages to
// windows by handle, power broadcasts, message boxes and the file-open dialog.
//
// Threads. Each process has one window thread. Every handler of every window runs on it:
// commands, timers, messages, close, creation and initialisation. With the wx back end it is
// the thread that called Initialize (the main thread); the headless and terminal back ends
// start a thread of their own. Every operation of the kit may be called from any thread. Control
// and window state (texts, checks, items, cells, title, visibility, place) lives in each dialog's
// table under its lock, so reading and writing it never waits for the window thread; the wx back
// end brings the screen up to date on the window thread afterwards. Creating, destroying,
// modal runs, timers, focus, message boxes and sends are carried to the window thread and
// the caller waits; a thread the window thread waits for must therefore not send to it,
// unless the window thread waits with WaitServingSends.
//
// Keys. Dialog::SetKeyHook gives a control a key filter. Every back end, on the window
// thread, passes each key pressed in a control that takes the focus to
// detail::DialogAccess::KeyHook(dialog, id, key) before the control acts on it (Enter as
// kKeyEnter, Escape as kKeyEscape, other keys as their character code); when that answers
// true the key is dropped: the control, the default button and the dialog never see it.
//
// File dialogs. A back end honours FileDialogRequest's flags it can; with kFileExecutables
// it lists only the files the user may execute (platform::IsExecutableFile), under the
// description of the request's first filter.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/types.h"

namespace ui {

enum class BackendKind { Headless, Wx, Terminal };

// Headless when asked ("--headless" among the arguments, or SATVIEW_UI=headless); the
// terminal when asked ("--terminal", SATVIEW_UI=terminal) or when there is no display
// ($DISPLAY and $WAYLAND_DISPLAY unset or empty); wx otherwise.
BackendKind ChooseBackend(int argc, const char* const* argv, const char* uiVariable,
                          const char* display, const char* waylandDisplay);
// The same from the process environment.
BackendKind ChooseBackend(int argc, const char* const* argv);

// Starts the kit once per process. With wx the calling thread becomes the window thread and
// must be the main thread. A second call changes nothing and answers whether the running kit
// has `kind`. False when the back end cannot start (wx without a usable display).
bool Initialize(BackendKind kind, int argc = 0, char** argv = nullptr);
// Chooses with ChooseBackend, then starts. A terminal chosen for want of a display that
// cannot start (no terminal to draw on) gives way to headless. Windows that cannot be shown
// (the display does not answer, the window back end is not installed) give way to the
// terminal when standard input is one, after one line on standard error saying why; false
// otherwise. `*note`, when given, says why the chosen back end did not start.
bool Initialize(int argc, char** argv, std::string* note = nullptr);
// Destroys the windows left and stops the back end; call it on the thread that initialised
// the kit, after the threads that use windows have ended.
void Shutdown();
std::optional<BackendKind> CurrentBackend();

bool IsWindowThread();
bool IsWindow(WindowHandle window);

// Queues a message for `window`; false when there is no such window. A message whose window
// is destroyed before it is handled is dropped.
bool Post(WindowHandle window, unsigned message, WParam wParam = 0, LParam lParam = 0);
// Runs the window's handler of `message` on the window thread and waits for its result;
// on the window thread it calls the handler directly. 0 when there is no such window, or the
// window goes before the message is handled. Sent messages are served before posted ones.
LResult Send(WindowHandle window, unsigned message, WParam wParam = 0, LParam lParam = 0);
// Runs `work` on the window thread and waits for it (directly when already there). False when
// the kit is not running.
bool RunOnWindowThread(const std::function<void()>& work);

// The visible top-level windows (those without a parent), oldest first.
std::vector<WindowHandle> VisibleTopLevelWindows();
// Brings a window forward: shows it again when it is hidden, then raises it above the others.
// False when there is no such window.
bool BringToFront(WindowHandle window);

// Sends the power event to every top-level window (those without a parent).
void BroadcastPower(unsigned event, LParam data = 0);

// The kit's own texts, those the back ends write themselves: the terminal's window menu entry
// Close, the message boxes' buttons, the terminal's file dialog. English until the program
// gives them in the language it shows; windows opened after the change use the new texts.
struct OwnTexts {
    std::wstring close = L"Close";
    std::wstring ok = L"OK";
    std::wstring cancel = L"Cancel";
    std::wstring yes = L"Yes";
    std::wstring no = L"No";
    std::wstring open = L"Open";
    std::wstring folder = L"Folder:";
    std::wstring lookIn = L"Look in:";
    std::wstring fileName = L"File name:";
    std::wstring type = L"Type:";
};
void SetOwnTexts(const OwnTexts& texts);
OwnTexts CurrentOwnTexts();

// A modal message box; answers the id of the button chosen (kIdOk, kIdCancel, ...).
int ShowMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                   unsigned style = kMbOk);
// Window thread: ends the newest message box still open over `owner`, as if the user chose
// `answer`, for a box whose cause has gone while it was up. False when no box is open.
bool EndMessageBox(WindowHandle owner, int answer = kIdOk);
// The system's file-open dialog; the full path chosen, or nothing when cancelled.
std::optional<std::wstring> OpenFileDialog(const FileDialogRequest& request);

// Window thread: waits for `done()` while serving sent messages, so that a thread being
// waited for can finish a Send or a window operation it is blocked in. Checks `done()` every
// few milliseconds. False on timeout (negative: none). On another thread it simply waits.
// To stop a worker from the window thread: tell it to stop, WaitServingSends until it says
// it has finished (an atomic flag it sets last), then join it.
bool WaitServingSends(const std::function<bool()>& done, int timeoutMilliseconds = -1);

// Gives a window's controls a theme (the skin library's colours and font); false when there
// is no such window.
bool SetWindowTheme(WindowHandle window, const Theme& theme);

// Window thread: runs queued work and pending window events now (between two long steps
// of a caller that does not return to an event loop).
void ProcessPendingWork();

}  // namespace ui
