// A simulated data card on pseudo-terminals, for tests (in-process) and for satview-cardsim.
//
// A card has a PC UI port that answers AT command lines and a GPS port that streams NMEA 0183
// while positioning runs. Each port is a pseudo-terminal whose slave end is raw; both are
// registered as virtual ports (platform/ports) with the friendly names
// "<pcuiText> (COM<n>)" and "<gpsText> (COM<n>)", n being the pseudo-terminal's number, under
// the card key `id`. One thread per card serves both ports; every setter may be called from
// any thread and takes effect on the next line or tick.
//
// AT commands understood (lines end in CR, LF or both; names are not case-sensitive):
//   AT, ATZ, ATE0, ATE1, ATV1, AT+CMEE=<n>    basic control; E0/E1 switch the echo
//   ATI                                       manufacturer, model and revision lines
//   AT+CGMI, AT+CGMM, AT+CGSN, AT+CGMR        manufacturer, model, serial number, revision
//   AT+CPIN?                                  +CPIN: READY, or +CME ERROR: 10 (no SIM),
//                                             11 (PIN), 12 (PUK), 14 (not ready yet)
//   AT+CPIN=<pin>, AT+CPIN=<puk>,<new pin>    unlocks the SIM (CardOptions::pin, puk); a wrong
//                                             code answers +CME ERROR: 16. Nothing unsolicited
//                                             follows: a client sees the change by asking
//   AT+CFUN?                                  +CFUN: 1 once ready, +CFUN: 0 before
//   AT^SYSINFO                                ^SYSINFO:<srv>,<domain>,0,<mode>,<sim>; sim is
//                                             1 usable, 4 locked (PIN, PUK), 255 missing
//   AT+CREG?, AT+CREG=<0|1|2>                 registration state and its unsolicited mode
//   AT+CSQ                                    +CSQ: <rssi>,99
//   AT^CUSTOMIZE?                             ^CUSTOMIZE:<customize text>
//   AT^GPSTYPE?                               ^GPSTYPE:<0..3>
//   AT^SOCKETCONT=<cid>,"<type>","<apn>"      the AGPS data connection (APN may be empty)
//   AT^WPURL=<server>                         SUPL server, e.g. supl.example.net:7275
//   AT^WPDOM=<0..5>                           position mode
//   AT^WPDFR=<n>,<seconds>                    fix rate (n and seconds positive)
//   AT^SECTIME="<y>/<m>/<d>,<h>:<min>:<s>"     time for assisted positioning
//   AT^WPDGP                                  the card probe: OK
//   AT^GPSSTART                               starts the positioning session: NMEA flows; the
//                                             receiver searches the sky (satellites rising in
//                                             GSV, no fix) for its start's time to first fix
//   AT^GPSSTOP                                ends it (ERROR when the card refuses to close)
// A malformed argument, an unknown command or a line over 512 characters answers ERROR; a
// client's flush (tcflush on open or close) drops a line it left half written. Before the card is
// ready every command but the basic ones, identification, AT+CPIN?, AT+CFUN? and AT^SYSINFO answers
// +CME ERROR: 14. A card with a start-up time (CardOptions::readyAfter) sends the unsolicited
// line ^SYSSTART when it becomes ready; one without is ready as soon as its ports appear.
// A change of the SIM state by a control command sends ^SIMST:<sim>, with the values of
// AT^SYSINFO.
// Unsolicited lines between answers: ^RSSI:<n> (signal) and, with AT+CREG=1 or 2,
// +CREG: <stat> (registration changes); see CardOptions::unsolicitedPeriod.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace cardsim {

using Milliseconds = std::chrono::milliseconds;

enum class SimState { Ready, Missing, Pin, Puk };

// How the receiver starts: with nothing known of the sky (cold: no almanac, no position), with
// an almanac and the last position (warm), or with ephemerides still valid (hot).
enum class StartKind { Cold, Warm, Hot };

// How the card answers one command: as usual, with ERROR, or not at all.
enum class Reply { Normal, Error, None };

// The AT commands the card understands: its own set (above), or that set together with what
// ModemManager sends to probe, initialise and position a card (at_dialect_mm.h).
enum class Dialect { Card, ModemManager };

struct CardOptions {
    std::string id = "sim-1";  // card key of its ports and prefix of their port files
    std::string manufacturer = "TARVEK";
    std::string model = "Wendrix 3G";
    std::string revision = "11.100.01.00.00";
    std::string serialNumber = "123456789012347";
    std::string customize = "generic";  // the variant text of AT^CUSTOMIZE?
    std::string pcuiText = "TARVEK Wendrix - 3G PC UI Interface";
    std::string gpsText = "TARVEK Wendrix - 3G GPS Interface";

    int gpsType = 2;  // what AT^GPSTYPE? answers, 0 to 3
    SimState sim = SimState::Ready;
    std::string pin = "1234";      // what AT+CPIN= takes on a PIN-locked SIM
    std::string puk = "12345678";  // and on a PUK-locked one, with a new PIN
    Milliseconds readyAfter{0};    // from plug-in to ready
    bool neverReady = false;
    bool gpsPort = true;  // false: the card has no GPS port
    bool refuseClose = false;
    std::map<std::string, Reply> replies;  // by command name, e.g. "AT^WPDGP", "AT+CGMM"
    Milliseconds answerDelay{0};
    int answerPieces = 1;         // each answer is written in this many pieces
    Milliseconds pieceGap{20};    // between two pieces of one answer
    Milliseconds silentAfter{0};  // from plug-in: then neither port says anything; 0 never

    Milliseconds nmeaPeriod{1000};  // one epoch of RMC, GGA, GSA, GSV and GST
    // The time to the first fix of each start, as a data card's receiver takes it. Assisted
    // (APN and SUPL server accepted, a position mode other than stand-alone) a cold or warm
    // start takes a fifth of it, never less than a hot one. A card in a test's process fixes at
    // once; satview-cardsim's hot start takes a second.
    StartKind start = StartKind::Hot;
    Milliseconds coldStart{35000}, warmStart{25000}, hotStart{0};
    bool badChecksums = false;  // every other sentence carries a wrong checksum
    bool garbage = false;       // junk bytes between sentences
    std::string nmeaFile;       // replay this log instead of the built-in route
    double replaySpeed = 1.0;   // 2.0 replays twice as fast as recorded

    Milliseconds unsolicitedPeriod{0};  // how often unsolicited lines come; 0 never
    bool registerPorts = true;          // write the virtual port files
    Dialect dialect = Dialect::Card;
    std::string atLog;  // append every command line received to this file; empty: none
};

class Card {
  public:
    explicit Card(CardOptions options = {});
    // Unplugs the card: its ports are closed and their port files removed.
    ~Card();
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;

    // Plugs the card in: creates and registers its ports and starts serving them. False, with
    // the reason in `error`, when a pseudo-terminal cannot be made.
    bool Start(std::string* error = nullptr);
    // Unplugs the card and stops its thread.
    void Stop();

    const std::string& Id() const;
    std::string AtNode() const;   // the PC UI port's device node; empty while unplugged
    std::string GpsNode() const;  // the GPS port's device node; empty without one
    bool Plugged() const;
    bool Ready() const;
    bool Positioning() const;                   // between AT^GPSSTART and AT^GPSSTOP
    std::vector<std::string> Received() const;  // the last 1000 command lines, in order

    void SetGpsType(int type);
    void SetSim(SimState state);
    void SetNeverReady(bool never);
    // With or without a GPS port; while plugged in, the port appears (registered after the PC UI
    // port) or vanishes (its clients see a hang-up) at once.
    void SetGpsPort(bool present);
    void SetRefuseClose(bool refuse);
    void SetReply(const std::string& command, Reply reply);
    void SetAnswerDelay(Milliseconds delay);
    void SetAnswerPieces(int pieces);
    void SetSilentAfter(Milliseconds after);  // counted from now; 0 speaks again
    void SetBadChecksums(bool bad);
    void SetGarbage(bool garbage);
    void SetStart(StartKind kind);  // for the next start
    void SetModel(const std::string& model);
    // Writes one unsolicited line on the PC UI port, between answers.
    void SendUnsolicited(const std::string& line);

    // The card's ports vanish as if it were pulled out (readers see a hang-up) ...
    void Unplug();
    // ... and come back, new pseudo-terminals with their own (possibly other) numbers.
    bool Plug(std::string* error = nullptr);

    // One control command, as the control socket takes them ("gpstype 3", "unplug", ...);
    // returns "ok", "ok <details>" or "error: <why>". ControlHelp() lists them.
    std::string Control(const std::string& command);
    static std::string ControlHelp();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

const char* ToString(SimState state);
bool ParseSimState(const std::string& text, SimState& state);
const char* ToString(StartKind kind);
bool ParseStartKind(const std::string& text, StartKind& kind);
// The time from the receiver's start to its first fix.
Milliseconds TimeToFirstFix(const CardOptions& options, bool assisted);

}  // namespace cardsim
