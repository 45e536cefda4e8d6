// What a back end provides: a view per window, timers, the window thread, message boxes and
// the file-open dialog. The model (the dialog's control table) lives in Dialog; a view only
// shows it and reports the user's input back through DialogAccess.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/detail/queue.h"
#include "platform/ui/detail/registry.h"
#include "platform/ui/kit.h"
#include "platform/ui/types.h"

namespace ui::detail {

class View {
  public:
    virtual ~View() = default;
    // Pixels of a rectangle given in this window's dialog units.
    virtual Rect ToPixels(const Rect& dialogUnits) const = 0;
    // True when the view shows the model and must hear of its changes.
    virtual bool Shows() const = 0;
    virtual void SyncControl(int id) = 0;
    // Title, icons, geometry, visibility, enabled state, parent and theme.
    virtual void SyncWindow() = 0;
    virtual void Focus(int id) = 0;
    // Shows the window modally; returns once EndModal() was called.
    virtual void RunModal() = 0;
    virtual void EndModal() = 0;
    // Centres the window on its owner or the screen and reports the new place to the model.
    virtual void Center() = 0;
    virtual void Raise() = 0;
    virtual void Invalidate() = 0;
};

class Backend {
  public:
    virtual ~Backend() = default;
    virtual bool Start(int argc, char** argv) = 0;
    // After Start failed: why, in a few words for the user ("the display ... does not answer").
    virtual std::string StartFailure() const { return {}; }
    virtual void Stop() = 0;
    virtual bool IsWindowThread() const = 0;
    // Window thread: the view of a dialog whose control table has just been built.
    virtual std::unique_ptr<View> CreateView(Dialog& dialog) = 0;
    // Window thread.
    virtual unsigned SetTimer(WindowHandle window, unsigned id, unsigned milliseconds) = 0;
    virtual bool KillTimer(WindowHandle window, unsigned id) = 0;
    virtual void KillTimers(WindowHandle window) = 0;
    // Any thread.
    virtual std::vector<unsigned> Timers(WindowHandle window) const = 0;
    // Window thread.
    virtual int MessageBox(WindowHandle owner, const std::wstring& text,
                           const std::wstring& caption, unsigned style) = 0;
    // Window thread: ends the newest message box still open over `owner` as if `answer` were
    // chosen; false when none is.
    virtual bool EndMessageBox(WindowHandle owner, int answer) = 0;
    virtual std::optional<std::wstring> OpenFile(const FileDialogRequest& request) = 0;
    virtual void ProcessPending() = 0;
};

struct KitState {
    BackendKind kind = BackendKind::Headless;
    std::unique_ptr<Backend> backend;
    MessageQueue queue;
    Registry registry;
};

// The running kit, or null.
KitState* Kit();

}  // namespace ui::detail
