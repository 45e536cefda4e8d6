// Starting, stopping and restarting a GPS session from the GPS dialog.
#include <ctime>

#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/kit.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

namespace {

constexpr int kAgpsPositionMode = 5;
constexpr int kGpsPositionMode = 0;
constexpr int kPedestrianFixInterval = 5;
constexpr int kHighSpeedFixInterval = 1;
constexpr int kRestartPauseMs = 500;

std::string SecTimeNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return orbitpane::SecTimeText(local);
}

}  // namespace

std::string orbitpane::SecTimeText(const std::tm& local) {
    return std::to_string(local.tm_year + 1900) + "/" + std::to_string(local.tm_mon + 1) + "/" +
           std::to_string(local.tm_mday) + "," + std::to_string(local.tm_hour) + ":" +
           std::to_string(local.tm_min) + ":" + std::to_string(local.tm_sec);
}

unsigned CGPSUIDlg::StartGpsTimer() {
    return SetTimer(kGpsTimerId, kGpsTimerPeriodMs);
}

bool CGPSUIDlg::KillGpsTimer() {
    return KillTimer(kGpsTimerId);
}

// The set commands of a start; false (with the error shown) at the first that fails.
bool CGPSUIDlg::RunSetCommands(bool agps) {
    COrbitpaneImpl* card = pluginObject_;
    auto step = [this](bool ok, const wchar_t* errorKey) {
        if (!ok) ShowStatus(errorKey);
        return ok;
    };
    if (agps) {
        EnableItem(ids::kSetting, true);
        SetItemText(ids::kGpsType, L"AGPS");
        if (!step(card && card->SetSecTime(SecTimeNow()), L"IDS_STATIC_ERROR_SETSECTIME") ||
            !step(card && card->SetApn(gpsConfig_.strAPN), L"IDS_STATIC_ERROR_SETAPN") ||
            !step(card && card->SetSuplServer(gpsConfig_.strSUPL), L"IDS_STATIC_ERROR_SETSUPL") ||
            !step(card && card->SetPositionMode(kAgpsPositionMode), L"IDS_STATIC_ERROR_SETMODE")) {
            return false;
        }
    } else {
        if (gpsConfig_.isAGPSSupported) SetItemText(ids::kGpsType, L"GPS");
        if (!step(card && card->SetPositionMode(kGpsPositionMode), L"IDS_STATIC_ERROR_SETMODE")) {
            return false;
        }
    }
    if (gpsConfig_.strScenario == kScenarioPedestrian && GpsTypeResult() == kGpsTypeAgps) {
        return step(card && card->SetFixInterval(kPedestrianFixInterval),
                    L"IDS_STATIC_ERROR_SETPED");
    }
    return step(card && card->SetFixInterval(kHighSpeedFixInterval),
                L"IDS_STATIC_ERROR_SETHIGHSPEED");
}

void CGPSUIDlg::OnBnClickedButtonStart() {
    if (!CardReady()) {
        std::wstring message = DeviceStatusText();
        SetItemText(ids::kStatus, message);
        ShowMessageBox(message, Text(L"IDS_Message"), ui::kMbOk);
        return;
    }
    if (GpsSessionState() == kGpsSessionRunning) {
        ShowStatus(L"IDS_STATIC_QUER_GPS");
        SetItemText(ids::kNoDataSeconds, L"");
        TouchWatchdog();
        return;
    }

    ShowStatus(L"IDS_STATIC_START_GPS");
    COrbitpaneImpl* card = pluginObject_;
    if (card) card->RegisterDeviceEvents();
    bool agps = gpsConfig_.strType == "AGPS" && AgpsCardReady();
    if (!RunSetCommands(agps)) {
        if (card) card->UnregisterDeviceEvents();
        return;
    }

    if (!card || !card->OpenGps()) {
        if (card) card->UnregisterDeviceEvents();
        // Refused by the card's manager: the status line says how to allow it.
        bool refused = card && card->GpsStatus() == framework::kGpsStatusNotAuthorized;
        ShowStatus(refused ? L"IDS_STATIC_NOT_AUTHORIZED" : L"IDS_STATIC_START_GPSFAILED");
        Trace("Starting GPS failed!");
        return;
    }
    ShowStatus(L"IDS_STATIC_START_GPSSUCCE");
    EnableItem(ids::kStop, true);
    SetFocus(ids::kStop);
    EnableItem(ids::kStart, false);
    receiver_ = Receiver::kOn;
    SetGpsSessionState(kGpsSessionRunning);
    Trace("GPS has been openned successfully.");
    StartTrack();
    ShowStatus(L"IDS_STATIC_QUER_GPS");
    SetItemText(ids::kNoDataSeconds, L"");
    TouchWatchdog();
    gpsTimerId_ = StartGpsTimer();
    if (gpsTimerId_ == 0) Trace("The GPS Data determining Timer starting failed.");
}

// An AGPS-capable card in the ready state, in an installation that offers AGPS.
bool CGPSUIDlg::AgpsCardReady() const {
    return GpsTypeResult() == kGpsTypeAgps && DeviceState() == framework::kEventCardReady &&
           gpsConfig_.isAGPSSupported;
}

// The settings button and the type display come back for a card that can do AGPS.
void CGPSUIDlg::EnableSettingsForAgpsCard() {
    if (AgpsCardReady()) {
        EnableItem(ids::kSetting, true);
        SetItemText(ids::kGpsType, platform::Utf8ToWide(gpsConfig_.strType));
    }
}

void CGPSUIDlg::OnBnClickedButtonStop() {
    ShowStatus(L"IDS_STATIC_STOP_GPS");
    if (GpsSessionState() == kGpsSessionIdle) {
        ShowStatus(L"IDS_STATIC_STOP_GPSSUCCE");
        return;
    }
    if (gpsTimerId_ != 0 && !KillGpsTimer()) {
        Trace("The GPS Data determining Timer starting failed!");
    }
    COrbitpaneImpl* card = pluginObject_;
    if (CloseReceiver()) {
        ShowStatus(L"IDS_STATIC_STOP_GPSSUCCE");
        Trace("GPS has been closed successfully.");
    } else {
        ShowStatus(L"IDS_STATIC_STOP_GPSFAILED");
        Trace("Stopping GPS failed!");
    }
    ResetToIdle();
    EnableSettingsForAgpsCard();
    if (card) card->UnregisterDeviceEvents();
    Trace("OnBnClickedButtonStop returned!");
}

// Closing while a session runs stops the receiver; the session state is left for the next
// window's initialisation to reset.
void CGPSUIDlg::CloseGpsOnExit() {
    if (gpsTimerId_ != 0 && !KillGpsTimer()) {
        Trace("The GPS Data determining Timer starting failed!");
    }
    std::wstring key, text;
    {
        std::lock_guard<std::mutex> lock(textMutex_);
        key = deviceStatusKey_;
        text = deviceStatusText_;
    }
    SetItemText(ids::kStatus, text);
    // The key, not the text: a later language change shows the message again.
    SetStatusKey(key);
    COrbitpaneImpl* card = pluginObject_;
    if (CloseReceiver()) {
        EnableItem(ids::kStart, true);
        EnableItem(ids::kStop, false);
        ShowStatus(L"IDS_STATIC_STOP_GPSSUCCE");
        Trace("GPS has been closed successfully.");
    } else {
        ShowStatus(L"IDS_STATIC_STOP_GPSFAILED");
        Trace("Stopping GPS failed!");
    }
    if (card) card->UnregisterDeviceEvents();
}

void CGPSUIDlg::OnClose() {
    if (GpsSessionState() == kGpsSessionRunning) CloseGpsOnExit();
    // The polling of the GPS port runs only while the card is present or ready; it has ended
    // when the join returns.
    SetDeviceState(0);
    if (GpsThreadHeld()) {
        StopGpsPolling();
        Trace("Stop QueryGPSThread successfully!");
    }
    Dialog::OnClose();
}

// Records already on their way when the receiver is told to stop are dropped, whatever waits
// serve them: nothing reaches the rows after this.
bool CGPSUIDlg::CloseReceiver() {
    receiver_ = Receiver::kStopped;
    EndTrack();
    COrbitpaneImpl* card = pluginObject_;
    return card && card->CloseGps();
}

// A session that ends without the user: its card was lost, or its window goes. A card that
// does not answer now is stopped by the device manager once it answers again.
void CGPSUIDlg::EndLostSession() {
    if (CloseReceiver()) {
        Trace("GPS has been closed successfully.");
    } else {
        Trace("Stopping GPS failed!");
    }
    if (COrbitpaneImpl* card = pluginObject_) card->UnregisterDeviceEvents();
}

void CGPSUIDlg::RestartGps() {
    if (GpsSessionState() == kGpsSessionRunning) OnBnClickedButtonStop();
    // The pause serves sends: a sink waiting on this thread is not held up by it.
    ui::WaitServingSends([] { return false; }, kRestartPauseMs);
    OnBnClickedButtonStart();
}
