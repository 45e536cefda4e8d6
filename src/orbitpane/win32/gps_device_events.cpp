// The GPS dialog follows the card: device events folded into one state on the device
// manager's thread, and the reaction to that state on the window thread.
#include <cstring>

#include "framework/contracts/ids.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/last_position.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;
using framework::kEventCardArrived;
using framework::kEventCardReady;
using framework::kEventCardRemoved;
using framework::kEventCardUnavailable;
using framework::kEventSimStatus;

namespace {

constexpr int kArrived = static_cast<int>(kEventCardArrived);
constexpr int kRemoved = static_cast<int>(kEventCardRemoved);
constexpr int kSimStatus = static_cast<int>(kEventSimStatus);
constexpr int kReady = static_cast<int>(kEventCardReady);
constexpr int kUnavailable = static_cast<int>(kEventCardUnavailable);

constexpr int32_t kSimNeedsPin = 2;

// SIM status values that say the SIM cannot be used; any value but these and 1 is ignored.
bool SimUnusable(int32_t status) {
    return status == 0 || status == 2 || status == 3 || status == 4 || status == 255;
}

}  // namespace

void CGPSUIDlg::WireMonitoring() {
    OnMessage(WM_DEVICE_STATE, [this](ui::WParam state, ui::LParam simStatus) {
        return OnDeviceState(static_cast<int>(state), static_cast<int32_t>(simStatus));
    });
    OnMessage(WM_GPS_DATA, [this](ui::WParam record, ui::LParam) {
        return OnGpsData(reinterpret_cast<const void*>(record));
    });
    OnClicked(ids::kOpenMap, [this] { OnOpenMapLink(); });
}

// The device manager's thread: folds the event into the state and posts the result, never
// waiting for the window thread.
bool CGPSUIDlg::FoldDeviceEvent(uint32_t event, const void* data) {
    int state = DeviceState();
    switch (event) {
        case kEventCardArrived:
            // An arrival never hides what is known of the SIM or the readiness.
            if (state != kReady && state != kSimStatus) state = kArrived;
            break;
        case kEventCardRemoved:
            state = kRemoved;
            break;
        case kEventSimStatus: {
            if (data == nullptr) return true;  // no status value: nothing to fold
            int32_t status = 0;
            std::memcpy(&status, data, sizeof status);
            if (status == static_cast<int32_t>(framework::kSimUsable)) {
                simReady_ = 1;
            } else if (SimUnusable(status)) {
                simReady_ = 0;
            } else {
                return true;
            }
            simStatus_ = status;
            state = kSimStatus;
            break;
        }
        case kEventCardReady:
            if (simReady_ != 0) state = kReady;
            break;
        case kEventCardUnavailable:
            state = kUnavailable;
            break;
        default:
            return true;
    }
    SetDeviceState(state);
    // The SIM status goes with the state: the window shows the one this state was folded from.
    Post(WM_DEVICE_STATE, static_cast<ui::WParam>(state), simStatus_.load());
    return true;
}

const wchar_t* CGPSUIDlg::UnusableSimKey(int32_t simStatus) const {
    return simStatus == kSimNeedsPin ? L"IDS_STATIC_SIM_PIN" : L"IDS_STATIC_SUPPORT_AGPS_NOSIM";
}

ui::LResult CGPSUIDlg::OnDeviceState(int state, int32_t simStatus) {
    switch (state) {
        case kSimStatus:
            SetItemText(ids::kGpsType, L"GPS");
            EnableItem(ids::kSetting, false);
            // A SIM that waits for its PIN says what to do about it.
            ShowStatus(UnusableSimKey(simStatus));
            break;
        case kArrived:
        case kReady:
            OnCardPresent(state);
            break;
        case kUnavailable:
        case kRemoved:
            OnCardLost(state);
            break;
        default:
            break;
    }
    return 0;
}

void CGPSUIDlg::OnCardPresent(int state) {
    // A polling thread that ended before it found the port (a SIM report came first) would
    // keep the card from ever being searched again: let it go so that a new one searches.
    if (gpsThread_.Held() && gpsThread_.Ending() && !CardReady()) gpsThread_.StopAndJoin();
    // A ready card's status is shown whatever the polling does, and before a thread started
    // here writes what it finds: the status of an earlier SIM report never stays.
    const std::wstring keyBefore = StatusTextId();
    if (state == kReady) ShowCardCapability();
    if (!gpsThread_.Held()) {
        if (!StartGpsThread()) {
            Trace("Starting QueryGPSThread failed!");
            SetCardReady(false);
            SetDeviceStatusShown(L"IDS_STATIC_NOSUPPORT_GPS", state == kArrived);
            if (state == kReady) SetStatusKey(keyBefore);
        }
        return;
    }
    if (state == kArrived) {
        EnableItem(ids::kSetting, false);
        if (gpsConfig_.isAGPSSupported) SetItemText(ids::kGpsType, L"GPS");
    }
}

// A ready card whose port and type the polling has found already.
void CGPSUIDlg::ShowCardCapability() {
    switch (GpsTypeResult()) {
        case kGpsTypeGpsOnly:
            EnableItem(ids::kSetting, false);
            ShowStatus(L"IDS_STATIC_SUPPORT_GPS");
            break;
        case kGpsTypeAgps:
            if (gpsConfig_.isAGPSSupported) {
                SetItemText(ids::kGpsType, platform::Utf8ToWide(gpsConfig_.strType));
                EnableItem(ids::kSetting, true);
                ShowStatus(L"IDS_STATIC_SUPPORT_AGPS");
            } else {
                ShowStatus(L"IDS_STATIC_SUPPORT_GPS");
            }
            break;
        default:
            break;
    }
}

void CGPSUIDlg::OnCardLost(int state) {
    // A session on a card that stopped answering is over: its receiver is told to stop and
    // its positions are no longer shown. A removed card has no receiver left to stop.
    if (receiver_ == Receiver::kOn) {
        if (state == kUnavailable) {
            EndLostSession();
        } else {
            receiver_ = Receiver::kStopped;
            if (COrbitpaneImpl* card = pluginObject_) card->UnregisterDeviceEvents();
        }
    }
    EnableItem(ids::kSetting, false);
    SetCardReady(false);
    // The polling stops for good; a pass it was in the middle of has ended when this returns.
    gpsThread_.StopAndJoin();
    SetCardReady(false);
    // The loss is what the status line says from now on, in whatever language comes next.
    SetDeviceStatusShown(
        state == kUnavailable ? L"IDS_STATIC_DEVICE_Unavailable" : L"IDS_STATIC_DEVICE_OUT", true);
    List(ids::kList).SetItemText(0, 1, L"");
    if (state == kRemoved) orbitpane::ClearLastPosition();
    ResetToIdle();
    if (gpsTimerId_ != 0 && !KillGpsTimer()) {
        Trace("The GPS Data determining Timer Killing failed!");
    }
}

void CGPSUIDlg::SetDeviceStatusShown(const std::wstring& key, bool keepKey) {
    std::wstring text = Text(key.c_str());
    std::lock_guard<std::mutex> lock(textMutex_);
    deviceStatusKey_ = key;
    deviceStatusText_ = text;
    SetItemText(ids::kStatus, text);
    if (keepKey) statusTextId_ = key;
}
