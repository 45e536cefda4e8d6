#include "orbitpane/win32/gps_dialog_instance.h"

#include <mutex>

#include "framework/contracts/ids.h"
#include "orbitpane/win32/container_ref.h"

namespace orbitpane {
namespace {

std::mutex g_mutex;
GpsDialogFactory g_factory;
std::unique_ptr<IGpsDialog> g_instance;

void TraceError(const char* message, int line) {
    Trace(Container(), framework::kTraceWarning, "Orbitpane", __FILE__, line, message);
}

}  // namespace

void SetGpsDialogFactory(GpsDialogFactory factory) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_factory = std::move(factory);
}

IGpsDialog* GetGpsDialogInstance() {
    std::lock_guard<std::mutex> lock(g_mutex);
    try {
        if (!g_instance) g_instance = g_factory ? g_factory() : MakeGpsDialog();
    } catch (...) {
        TraceError("Get CGPSUIDlg Instance Error!", __LINE__);
    }
    return g_instance.get();
}

void DestroyGpsDialogInstance() {
    // Destroyed outside the lock: the dialog's teardown may call back into the plug-in.
    std::unique_ptr<IGpsDialog> doomed;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        doomed = std::move(g_instance);
    }
}

}  // namespace orbitpane
