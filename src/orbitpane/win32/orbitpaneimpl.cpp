#include "orbitpane/win32/orbitpaneimpl.h"

#include "framework/contracts/ids.h"
#include "orbitpane/win32/gps_dialog_instance.h"

using framework::IBaseInterface;

namespace {
constexpr const char* kModule = "Orbitpane";
constexpr const char* kName = "Orbitpane";
constexpr int kVersion = 0x0101;
}  // namespace

COrbitpaneImpl::COrbitpaneImpl(orbitpane::PluginSeams seams) : context_(std::move(seams)) {}

COrbitpaneImpl::~COrbitpaneImpl() {
    // The window goes while this object is whole: a session it runs is stopped on the card
    // through this object's commands.
    try {
        if (orbitpane::IGpsDialog* dialog = dialog_; dialog && dialog->HasWindow()) {
            dialog->DestroyWindow();
        }
    } catch (...) {
        TraceError("Destruct COrbitpaneImpl Instance Error!", __LINE__);
    }
    // Nothing may reach this object once it starts to go: the device manager first (its
    // removal waits for an event being delivered here), then the dialog pointer that event
    // reads, then the answer handlers.
    UnregisterDeviceEvents();
    dialog_ = nullptr;
    context_.DestroyDialog();
    orbitpane::ForgetSingleton(this);
}

void COrbitpaneImpl::TraceError(const char* message, int line) {
    context_.Trace(framework::kTraceWarning, kModule, __FILE__, line, message);
}

void COrbitpaneImpl::Release() {
    delete this;
}

void COrbitpaneImpl::SetContainer(framework::IPluginContainer* container) {
    context_.SetContainer(container);
}

bool COrbitpaneImpl::QueryInterface(uint32_t number, IBaseInterface** object) {
    try {
        if (number == framework::kUiPluginInterface) {
            if (object) *object = this;
            lastError_ = 0;
            return true;
        }
        TraceError("Query Interface Error!", __LINE__);
        return false;
    } catch (...) {
        TraceError("Destruct COrbitpaneImpl Instance Error!", __LINE__);
        if (object) *object = nullptr;
        lastError_ = -1;
        return false;
    }
}

int COrbitpaneImpl::GetState() {
    lastError_ = 0;
    return 0;
}

const char* COrbitpaneImpl::GetPluginId() {
    lastError_ = 0;
    return framework::kOrbitpanePluginId;
}

int COrbitpaneImpl::GetVersion() {
    lastError_ = 0;
    return kVersion;
}

const char* COrbitpaneImpl::GetName() {
    lastError_ = 0;
    return kName;
}

bool COrbitpaneImpl::ShowWindow(framework::WindowHandle parent, int x, int y, int width,
                                int height) {
    try {
        orbitpane::IGpsDialog* dialog = context_.Dialog();
        dialog_ = dialog;
        // Without a window the re-parent, move and show have nothing to act on.
        if (dialog && dialog->HasWindow()) {
            dialog->Reparent(parent);
            dialog->MoveWindow(x, y, width, height);
            dialog->ShowWindow();
        }
        lastError_ = 0;
        return true;
    } catch (...) {
        TraceError("Show Window Error!", __LINE__);
        lastError_ = -1;
        return false;
    }
}

int COrbitpaneImpl::DoModal() {
    try {
        orbitpane::IGpsDialog* dialog = context_.Dialog();
        dialog_ = dialog;
        if (!dialog) {
            TraceError("Do Modal Error!", __LINE__);
            return -1;
        }
        if (dialog->HasWindow()) dialog->DestroyWindow();
        dialog->SetPluginObject(this);
        dialog->RunModal();
        // The window is gone: no session outlives it.
        UnregisterDeviceEvents();
        return 0;
    } catch (...) {
        TraceError("Do Modal Error!", __LINE__);
        return -1;
    }
}

void COrbitpaneImpl::HideWindow() {
    try {
        orbitpane::IGpsDialog* dialog = dialog_;
        if (dialog && dialog->HasWindow()) dialog->HideWindow();
    } catch (...) {
        TraceError("Hide Window Error!", __LINE__);
    }
}

void COrbitpaneImpl::FitSize(int x, int y, int width, int height) {
    try {
        orbitpane::IGpsDialog* dialog = dialog_;
        if (dialog && dialog->HasWindow()) {
            dialog->MoveWindow(x, y, width, height);
            lastError_ = 0;
        }
    } catch (...) {
        TraceError("Fit Size Error!", __LINE__);
        lastError_ = -1;
    }
}

void COrbitpaneImpl::OnDestroyEvent() {
    orbitpane::IGpsDialog* dialog = dialog_;
    if (dialog && dialog->HasWindow()) dialog->DestroyWindow();
    UnregisterDeviceEvents();
}

bool COrbitpaneImpl::OnDeviceEvent(uint32_t event, void* data) {
    if (!data) return false;
    if (event == framework::kEventGpsData || event == framework::kEventGpsSky) {
        orbitpane::IGpsDialog* dialog = dialog_;
        if (dialog && dialog->HasWindow()) {
            event == framework::kEventGpsData ? dialog->SendGpsData(data)
                                              : dialog->SendGpsSky(data);
        }
    }
    return true;
}
