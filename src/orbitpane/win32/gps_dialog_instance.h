// The GPS dialog as the plug-in object sees it.
#pragma once

#include <memory>

#include "framework/contracts/plugin.h"

class COrbitpaneImpl;

namespace orbitpane {

class PluginContext;

// What the plug-in object asks of the GPS dialog. Every operation is harmless when the
// dialog has no window.
class IGpsDialog {
  public:
    virtual ~IGpsDialog() = default;
    virtual bool HasWindow() = 0;
    virtual void Reparent(framework::WindowHandle parent) = 0;
    virtual void MoveWindow(int x, int y, int width, int height) = 0;  // with repainting
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
    virtual void DestroyWindow() = 0;
    // The back-pointer that Start, Stop, the type query and the card probe go through.
    virtual void SetPluginObject(COrbitpaneImpl* plugin) = 0;
    // Creates the window from its template and runs it modally; the dialog's result.
    virtual int RunModal() = 0;
    // Hands a GPS data record to the window thread and waits until it has been read.
    virtual void SendGpsData(void* record) = 0;
    // The same for a view of the sky (a GpsSkyRecord).
    virtual void SendGpsSky(void* record) { (void)record; }
};

// The real GPS dialog, sharing the plug-in's context.
std::unique_ptr<IGpsDialog> MakeGpsDialog(PluginContext& context);

}  // namespace orbitpane
