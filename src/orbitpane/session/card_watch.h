// CardWatch: what the GPS dialog knows of the data card. It takes the device manager's events,
// what the port searches found and the card's answer to the GPS-type query, in the order they
// happen on the window thread, and gives one value that the dialog draws: the status line it
// asks for, the GPS-type label, the Setting button, the port row, whether a session can start
// and whether the GPS port is to be searched. No threads, no windows: a table test drives it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace session {

// The card as the device events leave it.
enum class CardState {
    kNone,         // no event yet (or the window is closing)
    kArrived,      // present
    kRemoved,      // pulled out
    kSimReported,  // a SIM report came (usable or not)
    kReady,        // ready for network use, with a usable SIM
    kUnavailable,  // present but not answering, or switched off
};

// The card's answer to the GPS-type query.
enum class GpsTypeAnswer {
    kGpsOnly,     // stand-alone GPS
    kAgps,        // network-assisted GPS too
    kNoType,      // answered: no GPS type
    kUnanswered,  // no answer, an error (a card still starting says "busy"), or no card
};

// What the dialog draws of the card.
struct CardView {
    std::wstring statusKey;   // the message the card asks the status line for
    unsigned statusTurn = 0;  // changes each time statusKey is to be shown, also again
    // The device-status message: shown by Start and Setting while no session can start.
    std::wstring deviceStatusKey = L"IDS_STATIC_QUER_DataCard";
    bool deviceStatusTold = false;  // the key was set by what happened to the card
    bool agpsOffered = false;       // the Setting button and the type label exist at all
    std::wstring gpsType;           // the type label's text
    bool gpsTypeShown = false;
    bool settingsEnabled = false;
    std::wstring portText;  // the port row
    bool canStart = false;  // the card's GPS port is known
    // The GPS port is to be searched (and then the type asked) in round `searchRound`; a
    // search of another round is over.
    bool searchPorts = false;
    unsigned searchRound = 0;
};

class CardWatch {
  public:
    // The installation's offer: AGPS at all, and the configured type ("GPS" or "AGPS").
    void Configure(bool agpsOffered, const std::string& configuredType);

    // A device event; a SIM report carries its status value (none: the event is dropped), an
    // unavailability its reason (framework::kUnavailable...; none: not answering).
    // False for an event that changes nothing (an unknown code, a SIM report without a listed
    // value); otherwise the reaction to the state it leaves ran.
    bool DeviceEvent(uint32_t code, std::optional<int32_t> value = std::nullopt);
    // The PC UI port search (every second): the card's AT port, and its GPS port, present.
    void PcUiSearched(bool pcUiPort, bool gpsPort);
    // The GPS port search of `round`: the port's number, or none.
    void GpsPortSearched(unsigned round, std::optional<int> port, const std::string& portText);
    // The GPS-type answer of `round`.
    void GpsTypeAnswered(unsigned round, GpsTypeAnswer answer);
    // The search could not be started.
    void SearchFailed();

    // A session starts with AGPS or GPS; a session ended (the idle state's card part).
    void SessionStarting(bool agps);
    void SessionEnded();
    // The window closes: the search ends.
    void Closing();
    // The settings were saved while no session runs: the label shows the type now chosen.
    void SettingsSaved(const std::string& configuredType);

    const CardView& View() const { return view_; }
    CardState State() const { return state_; }
    // 0 stand-alone GPS, 1 AGPS: the card's capability as last classified.
    int GpsTypeResult() const { return agpsCard_ ? 1 : 0; }
    bool AgpsCapable() const { return agpsCard_; }
    bool SimReady() const { return simReady_; }
    // An AGPS-capable card in the ready state, in an installation that offers AGPS.
    bool AgpsReady() const { return agpsCard_ && state_ == CardState::kReady && offered_; }

  private:
    void Fold(uint32_t code, std::optional<int32_t> value, bool& accepted);
    void React();
    void CardPresent();
    void CardLost();
    void ShowCapability();
    void ShowStatus(const wchar_t* key);
    void SetDeviceStatus(const wchar_t* key);
    void GpsOnlyDisplay();
    void StartSearch();
    void StopSearch() { view_.searchPorts = false; }
    const wchar_t* UnusableSimKey() const;

    CardState state_ = CardState::kNone;
    bool simReady_ = true;
    bool switchedOff_ = false;  // the last unavailability: the card's radio was switched off
    int32_t simStatus_ = 1;
    bool pcUiPortFound_ = false;
    bool portFound_ = false;
    bool agpsCard_ = false;  // the last classification: an AGPS-capable card
    // A definite answer to the type query came for the port found; without one the card is
    // asked again when it becomes ready.
    bool typeKnown_ = false;
    bool readyDuringSearch_ = false;  // a ready event came while a search ran
    bool offered_ = false;
    std::string configuredType_ = "GPS";
    std::wstring foundPortText_;
    CardView view_;
};

}  // namespace session
