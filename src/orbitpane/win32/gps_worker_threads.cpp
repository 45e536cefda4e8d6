// The GPS dialog's polling threads: the PC UI port for the dialog's life, the GPS port while
// the card is present.
#include "framework/contracts/ids.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/last_position.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "orbitpane/win32/port_search.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

namespace {

constexpr int kPcUiPollMs = 1000;
constexpr int kGpsPollMs = 100;
constexpr int kArrived = static_cast<int>(framework::kEventCardArrived);
constexpr int kReady = static_cast<int>(framework::kEventCardReady);
constexpr int kSimStatus = static_cast<int>(framework::kEventSimStatus);

}  // namespace

bool CGPSUIDlg::StartWorker(orbitpane::WorkerThread& worker, std::function<void()> body) {
    return worker.Start(std::move(body));
}

bool CGPSUIDlg::StartGpsThread() {
    return StartWorker(gpsThread_, [this] { QueryGPSThread(); });
}

void CGPSUIDlg::StartPcUiThread() {
    if (queryThread_.Held()) return;
    if (!StartWorker(queryThread_, [this] { QueryPCUIThread(); })) {
        Trace("Starting QueryPCUIThread failed!");
        pcuiPortFound_ = 0;
    }
}

void CGPSUIDlg::StopWorkers() {
    gpsThread_.StopAndJoin();
    queryThread_.StopAndJoin();
}

void CGPSUIDlg::QueryPCUIThread() {
    do {
        const std::vector<platform::SerialPort> ports = orbitpane::ListPresentPorts();
        int port = 0;
        if (orbitpane::FindComPortIn(ports, orbitpane::kPcUiInterfaceText, port)) {
            pcuiPortFound_ = 1;
            if (!orbitpane::FindComPortIn(ports, orbitpane::kGpsInterfaceText, port)) {
                SetDeviceStatusShown(L"IDS_STATIC_NOSUPPORT_GPS", true);
            }
        } else if (pcuiPortFound_ != 0 && !CardReady()) {
            // Once per unplugging, and only while no GPS port is known.
            pcuiPortFound_ = 0;
            SetDeviceStatusShown(L"IDS_STATIC_DEVICE_OUT", true);
        }
    } while (queryThread_.Sleep(kPcUiPollMs));
}

void CGPSUIDlg::QueryGPSThread() {
    // The sink stores the state before it posts it: a present card that the window thread
    // sees while this loop decides to end finds Ending() already set, and starts a new one.
    auto cardGone = [this] {
        const int state = DeviceState();
        return state != kArrived && state != kReady;
    };
    while (!gpsThread_.EndWhen(cardGone)) {
        if (!CardReady()) {
            int port = 0;
            if (!orbitpane::FindComPortByFriendlyName(orbitpane::kGpsInterfaceText, port)) {
                SetCardReady(false);
                SetDeviceStatusShown(L"IDS_STATIC_NOSUPPORT_GPS", true);
            } else {
                // The type is asked once per port found.
                SetCardReady(true);
                ShowGpsType(pluginObject_ ? pluginObject_->QueryGpsType() : kGpsTypeNone);
                if (gpsConfig_.isAGPSSupported && DeviceState() != kSimStatus) {
                    ShowItem(ids::kGpsType, true);
                }
                const std::wstring portText =
                    platform::Utf8ToWide(std::string(orbitpane::kGpsInterfaceText) + " (COM" +
                                         std::to_string(port) + ")");
                List(ids::kList).SetItemText(0, 1, portText);
                orbitpane::SetLastPositionText(orbitpane::kRowPort, portText);
            }
        }
        if (!gpsThread_.Sleep(kGpsPollMs)) break;
    }
    Trace("QueryGPSPortThread returned.");
}

// The card's answer to the type query, on the status line, the type label and the Setting
// button.
void CGPSUIDlg::ShowGpsType(int gpsType) {
    const bool agpsOffered = gpsConfig_.isAGPSSupported != 0;
    auto gpsOnly = [&] {
        if (!agpsOffered) return;
        EnableItem(ids::kSetting, false);
        SetItemText(ids::kGpsType, L"GPS");
    };
    if (gpsType == kGpsTypeGpsOnly) {
        SetGpsTypeResult(kGpsTypeGpsOnly);
        ShowStatus(L"IDS_STATIC_SUPPORT_GPS_ONLY");
        gpsOnly();
    } else if (gpsType == kGpsTypeAgps) {
        SetGpsTypeResult(kGpsTypeAgps);
        if (!agpsOffered) return;
        const int state = DeviceState();
        if (state == kArrived || (state != kReady && !SimReady())) {
            gpsOnly();
            ShowStatus(UnusableSimKey(simStatus_.load()));
        } else if (state == kReady) {
            EnableItem(ids::kSetting, true);
            ShowStatus(L"IDS_STATIC_SUPPORT_AGPS");
            SetItemText(ids::kGpsType, L"AGPS");
        }
    } else {
        SetGpsTypeResult(kGpsTypeGpsOnly);
        ShowStatus(L"IDS_STATIC_SUPPORT_GPS");
        gpsOnly();
    }
}
