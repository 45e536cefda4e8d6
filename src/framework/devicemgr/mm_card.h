// One modem managed by ModemManager, reached through its D-Bus objects instead of its ports.
//
// What ModemManager tells of the modem (MmProperties, parsed by the bus, mm_bus.h) feeds the
// card's life table: the modem object's arrival, its SIM from UnlockRequired and
// StateFailedReason, readiness once it is enabled and offers GPS locations, unavailability
// when it failed, no longer answers or was switched off. The GPS command set of the current
// device is carried out through the API (the table is in the README) and answered in the text
// a serial card gives; a call that ModemManager does not answer in time leaves its command
// without an answer, as a serial card that stays silent. Everything touching the bus runs on
// the bus thread; GPS records and answers are delivered there.
//
// The modem is shared with other clients: it is enabled only when it is found disabled as it
// first appears (a modem switched off later stays off), and a session changes its location
// setup only by what it adds, undone at its stop (mm_location.h).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/devicemgr/at_answers.h"
#include "framework/devicemgr/card_kind.h"
#include "framework/devicemgr/mm_location.h"

namespace devicemgr {

// The properties of a modem object that the card uses; each is set when it was told.
struct MmProperties {
    std::optional<int32_t> state;
    std::optional<uint32_t> failedReason, unlockRequired;
    std::optional<std::string> manufacturer, model, equipmentId;
    std::optional<std::string> device;  // the modem's device (a USB modem's sysfs path)
    std::optional<std::vector<std::pair<std::string, uint32_t>>> ports;  // name, port type
    std::optional<uint32_t> capabilities, enabled;                       // location sources
    std::optional<bool> signalsLocation;
    std::optional<uint32_t> refreshRate;  // GpsRefreshRate
    std::optional<std::string> nmea;      // the gps-nmea entry of the Location property
    void MergeFrom(const MmProperties& newer);
};

// What a card asks of ModemManager. The calls run on the bus thread only.
class MmApi {
  public:
    struct Result {
        bool ok = false;
        std::string error;        // the D-Bus error name
        std::string message;      // its text
        bool unanswered = false;  // no reply within the call's time-out
    };
    virtual Result Enable(const std::string& path) = 0;
    // Reads the modem's location setup as it is now.
    virtual Result ReadSetup(const std::string& path, LocationSetup& setup) = 0;
    virtual Result Setup(const std::string& path, uint32_t sources, bool signalLocation) = 0;
    virtual Result SetSuplServer(const std::string& path, const std::string& server) = 0;
    virtual Result SetGpsRefreshRate(const std::string& path, uint32_t seconds) = 0;
    // Reads the modem's State: it answers.
    virtual Result Ping(const std::string& path) = 0;
    // Runs `task` on the bus thread later.
    virtual void Post(std::function<void()> task) = 0;
    // Runs `task` on the bus thread now and waits for it, for a limited time (at once on the
    // bus thread); false when the wait gave up, or there is no bus thread. A task not begun when
    // the wait gave up never runs, but one under way goes on: it must not refer to the
    // caller's locals.
    virtual bool RunSync(std::function<void()> task) = 0;

  protected:
    ~MmApi() = default;
};

class MmCard final : public Card, public std::enable_shared_from_this<MmCard> {
  public:
    // `changesFolder`: where what Satview changed on the modem is kept (mm_location.h);
    // empty: nowhere.
    MmCard(std::string path, MmApi& api, CardListener& listener, std::string changesFolder = {});
    MmCard(const MmCard&) = delete;
    MmCard& operator=(const MmCard&) = delete;

    const std::string& Path() const { return path_; }
    // Bus thread: properties told by ModemManager (on appearance and each change).
    void Update(const MmProperties& told);
    // Bus thread: the modem did not answer / answered a look at it.
    void Unanswered();

    // Manager: lists the modem's AT and GPS ports in the ports folder (ports.h) under the
    // names the GPS dialog searches for, unless the list already names them so, and follows
    // the modem's ports when called again; until the card is stopped. The tty itself may be
    // listed under its USB interface's own text.
    void PublishPorts();
    // The device nodes of every port of the modem (links resolved): none is opened as a serial
    // card.
    std::vector<std::string> PortNodes() const;
    // The modem's device as ModemManager names it; empty until told.
    std::string Device() const;
    void Stop() override;
    CardPorts Ports() const override;
    bool WaitBroughtUp(std::chrono::steady_clock::time_point) override { return true; }
    std::string Id() const override;
    std::string Model() const override;
    std::string Serial() const override;
    std::string Variant() const override { return {}; }
    State GetState() const override;
    bool SendUser(const std::string& line) override;
    void EndUserExchange() override {}
    using Card::OpenGps;
    bool OpenGps(uint32_t& status) override;
    bool CloseGps() override;
    bool GpsOpen() const override { return life_.GpsOpen(); }
    bool ExchangeInFlight() const override { return false; }
    NmeaCounters GpsCounters() const override;

    // Bus thread: carries out one line of the GPS command set; the answer text, or nothing when
    // ModemManager did not answer in time.
    std::optional<std::string> Execute(const std::string& line);

  private:
    // How a command ended: done, refused, or no answer in time.
    enum class Reply { Ok, Error, None };

    CardPorts PortsOf(const MmProperties& modem) const;
    // Error with kGpsStatusNotAuthorized in `status` when ModemManager refused the user.
    Reply StartGps(uint32_t& status);
    Reply StopGps();
    // Takes away what Satview changed on the modem and nobody turned off since (`what` names
    // the occasion in the log).
    Reply Undo(const char* what);
    // Bus thread: what an earlier Satview left on the modem is undone once it is enabled.
    void UndoLeftovers();
    // Bus thread: the setup now told, while Satview's changes are on: what another client
    // took away is no longer Satview's.
    void FollowSetup(const LocationSetup& now, bool enabled);
    // Bus thread: the changes now on, written to their file first.
    void Remember(const LocationChanges& changes);
    std::string ChangesFile() const;
    // Logs a refused call; authorization refused is said with how to grant it, and true.
    bool Refused(const char* what, const MmApi::Result& result);
    // Logs a call that got no reply in time; Reply::None.
    Reply NoReply(const char* what);
    void FeedNmea(const std::string& trace);
    // The view of the sky a whole trace gives, if any; under gpsMutex_.
    std::optional<framework::GpsSkyRecord> SkyOfTrace(std::vector<std::string> sentences);
    void Trace(int level, const std::string& text);
    bool Stopping() const;

    const std::string path_;
    MmApi& api_;
    CardListener& listener_;
    const std::string changesFolder_;

    mutable std::mutex mutex_;  // what is read from other threads
    bool stopping_ = false;
    MmProperties modem_;
    CardPorts ports_;                 // from modem_.ports, resolved when they were told
    std::vector<std::string> nodes_;  // every port's node, likewise
    CardLife life_;
    bool settled_ = false;     // its first state past initialisation was seen
    bool wasEnabled_ = false;  // it was enabled at some time: disabled now means switched off
    bool leftoversChecked_ = false;
    std::map<std::string, platform::SerialPort> published_;  // the port files written, by id

    // Bus thread only.
    bool agpsWanted_ = false;
    LocationChanges changes_;  // what Satview changed on the modem and has not undone
    bool inForce_ = false;     // the setup told holds changes_ (so a source missing was taken)
    std::set<std::string> lastSentences_;

    mutable std::mutex gpsMutex_;
    NmeaLexer lexer_;
    NmeaDecoder decoder_;
    NmeaDecoder skyDecoder_;  // every trace whole, for its view of the sky
};

}  // namespace devicemgr
