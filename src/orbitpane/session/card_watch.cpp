#include "orbitpane/session/card_watch.h"

#include "framework/contracts/ids.h"

namespace session {
namespace {

constexpr int32_t kSimNeedsPin = 2;

// SIM status values that say the SIM cannot be used; any value but these and 1 is ignored.
bool SimUnusable(int32_t status) {
    return status == 0 || status == 2 || status == 3 || status == 4 || status == 255;
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

void CardWatch::Configure(bool agpsOffered, const std::string& configuredType) {
    offered_ = agpsOffered;
    configuredType_ = configuredType;
    view_.agpsOffered = agpsOffered;
    view_.settingsEnabled = false;
    view_.gpsTypeShown = false;
    view_.gpsType = agpsOffered ? Wide(configuredType) : std::wstring();
}

bool CardWatch::DeviceEvent(uint32_t code, std::optional<int32_t> value) {
    bool accepted = false;
    Fold(code, value, accepted);
    if (accepted) React();
    return accepted;
}

// An arrival never hides what is known of the SIM or the readiness, and a ready event without
// a usable SIM leaves the state as it was (whose reaction then repeats).
void CardWatch::Fold(uint32_t code, std::optional<int32_t> value, bool& accepted) {
    accepted = true;
    const std::optional<int32_t>& simStatus = value;
    switch (code) {
        case framework::kEventCardArrived:
            if (state_ != CardState::kReady && state_ != CardState::kSimReported) {
                state_ = CardState::kArrived;
            }
            break;
        case framework::kEventCardRemoved:
            state_ = CardState::kRemoved;
            break;
        case framework::kEventSimStatus:
            if (!simStatus) {
                accepted = false;
            } else if (*simStatus == static_cast<int32_t>(framework::kSimUsable)) {
                simReady_ = true;
            } else if (SimUnusable(*simStatus)) {
                simReady_ = false;
            } else {
                accepted = false;
            }
            if (accepted) {
                simStatus_ = *simStatus;
                state_ = CardState::kSimReported;
            }
            break;
        case framework::kEventCardReady:
            if (simReady_) state_ = CardState::kReady;
            break;
        case framework::kEventCardUnavailable:
            state_ = CardState::kUnavailable;
            switchedOff_ =
                value && *value == static_cast<int32_t>(framework::kUnavailableSwitchedOff);
            break;
        default:
            accepted = false;
    }
}

void CardWatch::React() {
    switch (state_) {
        case CardState::kSimReported:
            // The port search runs only while the card is present or ready.
            StopSearch();
            view_.gpsType = L"GPS";
            view_.settingsEnabled = false;
            // A SIM that waits for its PIN says what to do about it.
            ShowStatus(UnusableSimKey());
            break;
        case CardState::kArrived:
        case CardState::kReady:
            CardPresent();
            break;
        case CardState::kRemoved:
        case CardState::kUnavailable:
            CardLost();
            break;
        case CardState::kNone:
            break;
    }
}

const wchar_t* CardWatch::UnusableSimKey() const {
    return simStatus_ == kSimNeedsPin ? L"IDS_STATIC_SIM_PIN" : L"IDS_STATIC_SUPPORT_AGPS_NOSIM";
}

void CardWatch::CardPresent() {
    const bool ready = state_ == CardState::kReady;
    // A ready card's status is shown whatever the search does, before the search shows what it
    // finds: the status of an earlier SIM report never stays.
    if (ready) ShowCapability();
    if (view_.searchPorts) {
        if (ready) readyDuringSearch_ = true;
    } else if (!portFound_ || (ready && !typeKnown_)) {
        // The port is searched until found; a card that could not tell its GPS type (still
        // starting) is asked again once it is ready.
        StartSearch();
        return;
    }
    if (!ready) {
        view_.settingsEnabled = false;
        if (offered_) view_.gpsType = L"GPS";
    }
}

void CardWatch::StartSearch() {
    view_.searchPorts = true;
    ++view_.searchRound;
    readyDuringSearch_ = false;
}

void CardWatch::SearchFailed() {
    view_.searchPorts = false;
    portFound_ = false;
    view_.canStart = false;
    SetDeviceStatus(L"IDS_STATIC_NOSUPPORT_GPS");
}

// A ready card whose port and type a search has found already.
void CardWatch::ShowCapability() {
    if (!agpsCard_) {
        view_.settingsEnabled = false;
        ShowStatus(L"IDS_STATIC_SUPPORT_GPS");
    } else if (offered_) {
        view_.gpsType = Wide(configuredType_);
        view_.settingsEnabled = true;
        ShowStatus(L"IDS_STATIC_SUPPORT_AGPS");
    } else {
        ShowStatus(L"IDS_STATIC_SUPPORT_GPS");
    }
}

void CardWatch::CardLost() {
    view_.settingsEnabled = false;
    StopSearch();
    portFound_ = false;
    view_.canStart = false;
    // A card plugged in again tells its type again.
    if (state_ == CardState::kRemoved) typeKnown_ = false;
    // The loss is what the status line says from now on, in whatever language comes next.
    SetDeviceStatus(state_ == CardState::kRemoved ? L"IDS_STATIC_DEVICE_OUT"
                    : switchedOff_                ? L"IDS_STATIC_DEVICE_SWITCHED_OFF"
                                                  : L"IDS_STATIC_DEVICE_Unavailable");
    view_.portText.clear();
    SessionEnded();
}

void CardWatch::PcUiSearched(bool pcUiPort, bool gpsPort) {
    if (pcUiPort) {
        pcUiPortFound_ = true;
        if (!gpsPort) SetDeviceStatus(L"IDS_STATIC_NOSUPPORT_GPS");
    } else if (pcUiPortFound_ && !portFound_) {
        // Once per unplugging, and only while no GPS port is known.
        pcUiPortFound_ = false;
        SetDeviceStatus(L"IDS_STATIC_DEVICE_OUT");
    }
}

void CardWatch::GpsPortSearched(unsigned round, std::optional<int> port,
                                const std::string& portText) {
    if (!view_.searchPorts || round != view_.searchRound) return;
    if (!port) {
        portFound_ = false;
        view_.canStart = false;
        SetDeviceStatus(L"IDS_STATIC_NOSUPPORT_GPS");
        return;
    }
    portFound_ = true;
    view_.canStart = true;
    // The port row shows the port once the type is known, as the type label does.
    foundPortText_ = Wide(portText);
}

void CardWatch::GpsTypeAnswered(unsigned round, GpsTypeAnswer answer) {
    if (!view_.searchPorts || round != view_.searchRound || !portFound_) return;
    view_.searchPorts = false;
    typeKnown_ = answer != GpsTypeAnswer::kUnanswered;
    agpsCard_ = answer == GpsTypeAnswer::kAgps;
    if (answer == GpsTypeAnswer::kGpsOnly) {
        ShowStatus(L"IDS_STATIC_SUPPORT_GPS_ONLY");
        GpsOnlyDisplay();
    } else if (answer == GpsTypeAnswer::kAgps) {
        if (offered_) {
            if (state_ == CardState::kArrived || (state_ != CardState::kReady && !simReady_)) {
                GpsOnlyDisplay();
                ShowStatus(UnusableSimKey());
            } else if (state_ == CardState::kReady) {
                view_.settingsEnabled = true;
                ShowStatus(L"IDS_STATIC_SUPPORT_AGPS");
                view_.gpsType = L"AGPS";
            }
        }
    } else {
        ShowStatus(L"IDS_STATIC_SUPPORT_GPS");
        GpsOnlyDisplay();
    }
    if (offered_ && state_ != CardState::kSimReported) view_.gpsTypeShown = true;
    view_.portText = foundPortText_;
    // The card became ready while it was being asked, and could not answer yet: ask again.
    if (!typeKnown_ && readyDuringSearch_ && state_ == CardState::kReady) StartSearch();
}

void CardWatch::GpsOnlyDisplay() {
    if (!offered_) return;
    view_.settingsEnabled = false;
    view_.gpsType = L"GPS";
}

void CardWatch::SessionStarting(bool agps) {
    if (agps) {
        view_.settingsEnabled = true;
        view_.gpsType = L"AGPS";
    } else if (offered_) {
        view_.gpsType = L"GPS";
    }
}

void CardWatch::SessionEnded() {
    if (AgpsReady()) {
        view_.settingsEnabled = true;
        view_.gpsType = Wide(configuredType_);
    }
    if (!view_.canStart) view_.gpsTypeShown = false;
}

void CardWatch::Closing() {
    state_ = CardState::kNone;
    StopSearch();
}

void CardWatch::SettingsSaved(const std::string& configuredType) {
    configuredType_ = configuredType;
    if (configuredType == "GPS" || !agpsCard_) {
        view_.gpsType = L"GPS";
    } else {
        view_.gpsType = L"AGPS";
    }
}

void CardWatch::ShowStatus(const wchar_t* key) {
    view_.statusKey = key;
    ++view_.statusTurn;
}

void CardWatch::SetDeviceStatus(const wchar_t* key) {
    view_.deviceStatusKey = key;
    view_.deviceStatusTold = true;
    ShowStatus(key);
}

}  // namespace session
