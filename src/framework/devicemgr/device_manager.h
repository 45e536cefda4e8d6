// The device manager: the cards present, the current one, and every event sink.
//
// One manager thread takes the port list (first scan and every hot-plug change), starts and
// stops cards, chooses the current card and delivers the card events (arrival, SIM status,
// ready, unavailable, removal), the device-initialised and device-changed notifications. GPS
// records go out on the current card's GPS reader thread, AT answers on its AT reader thread,
// so a sink that waits for a thread busy with an exchange never blocks an answer.
//
// Device sinks see the current card only: when another card becomes current they are told
// that the old one went (removal) and what the new one is (arrival, SIM status, ready). Every
// change of the current card is told: SIM status and readiness each time they change,
// unavailability each time the card stops answering, and to the device-changed sinks its name
// or customize text whenever they change. A card's GPS port is followed while it is current.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/contracts/container.h"
#include "framework/contracts/device.h"
#include "framework/devicemgr/card.h"
#include "framework/devicemgr/mm_bus.h"
#include "framework/devicemgr/nmea_feed.h"
#include "framework/devicemgr/sink_list.h"
#include "platform/ports/ports.h"
#include "platform/serving_wait.h"

namespace devicemgr {

struct ManagerOptions {
    // The present ports; ListSerialPorts when empty.
    std::function<std::vector<platform::SerialPort>()> listPorts;
    bool watchPorts = true;  // follow hot-plug through PortMonitor
    // localdeviceinfo.xml; the program directory's userdata/ file when empty.
    std::string choicePath;
    int firstScanMs = 800;  // the device-initialised notification comes by then
    // Also given every trace line (tools and tests).
    std::function<void(int level, const std::string& text)> trace;
    CardTiming timing;
    // How cards are reached: "serial" (their ports), "modemmanager" (ModemManager's modems
    // only) or "auto" (ModemManager's modems through it, other cards over their ports). Empty:
    // $SATVIEW_CARD_PATH, else the setting in the choice file (ReadStoredChoice), else auto.
    std::string cardPath;
    // The D-Bus address of ModemManager's bus; empty: $SATVIEW_MM_BUS, else the system bus.
    std::string mmBusAddress;
    // While ModemManager runs, a card whose ports it may claim (SerialPort::mmCandidate) is left
    // to it until it exports the card's modem (its ports are then its own), exports a modem of
    // the card's device without them, or this long has passed since the card was listed or
    // ModemManager came on the bus or left it (it probes new ports within seconds): opening
    // them first would spoil its probe, and keep the card's data connection from it.
    int mmGraceMs = 15000;
    // How long ModemManager's calls and the waits for its bus thread may take.
    MmTimeouts mmTimeouts;
    // Where what Satview changed on ModemManager's modems is kept (mm_location.h); empty:
    // "modemmanager" in the runtime folder.
    std::string mmChangesFolder;
    // Whether the session's sentences go to the NMEA feed (nmea_feed.h); unset: the choice
    // file's setting (on unless it says "off").
    std::optional<bool> nmeaFeed;
    // Where the feed's link goes; empty: "nmea" in the runtime folder. The socket goes beside it.
    std::string nmeaFeedLink;
    // The feed is the process's (NmeaFeed::OfProcess), which outlives this manager: the
    // plug-in's, so that the feed's readers keep their connection while the launcher makes its
    // device managers again. Otherwise the manager has a feed of its own.
    bool processFeed = false;
    // Whether GeoClue's account may read the feed's socket; unset: the choice file's setting
    // (off unless it says "on").
    std::optional<bool> geoclue;
    // How every wait that may run on the window thread waits (removing a sink, an AT command's
    // answer, ModemManager's bus thread, the end of a thread): the program's window kit serves
    // the window's sends meanwhile (platform::WindowKitWait). Default: a plain wait, for a
    // program without windows.
    platform::ServingWait wait;
};

enum class CardPath { Serial, ModemManager, Auto };
// The path a "serial", "modemmanager" or "auto" text names; Auto for anything else.
CardPath CardPathOf(const std::string& text);
// The path named by the first of these texts that is set (null or empty: not set).
CardPath ChooseCardPath(const std::string& option, const char* environment,
                        const std::string& setting);

struct ListedCard {
    std::string id;  // the model in lower case
    int port = -1;   // number of its AT port
};

class DeviceManager final : private CardListener, private MmBusListener {
  public:
    explicit DeviceManager(ManagerOptions options = {});
    ~DeviceManager();
    DeviceManager(const DeviceManager&) = delete;
    DeviceManager& operator=(const DeviceManager&) = delete;

    // Tracing goes through this container's trace service; null: no tracing.
    void SetContainer(framework::IPluginContainer* container);
    // Stops tracing through `container` if it is the one in use (it is going away).
    void ForgetContainer(framework::IPluginContainer* container);

    // Sinks.
    // A sink added while a card is current is told, on the manager thread, what the others
    // already know of it (arrival, SIM state, readiness), before anything newer.
    bool AddDeviceSink(framework::IDeviceMgrEvent* sink);
    bool RemoveDeviceSink(framework::IDeviceMgrEvent* sink);
    bool AddChangedSink(framework::IMultiDeviceMgrEvent* sink) { return changedSinks_.Add(sink); }
    bool RemoveChangedSink(framework::IMultiDeviceMgrEvent* sink) {
        return changedSinks_.Remove(sink);
    }
    // A sink added after the first scan is told about it at once (on the manager thread).
    bool AddInitializeSink(framework::IDeviceInitializeEvent* sink);
    bool RemoveInitializeSink(framework::IDeviceInitializeEvent* sink) {
        return initializeSinks_.Remove(sink);
    }
    bool AddPluginSetSink(framework::IPluginSetChangedSink* sink) { return setSinks_.Add(sink); }
    bool RemovePluginSetSink(framework::IPluginSetChangedSink* sink) {
        return setSinks_.Remove(sink);
    }

    // The current device. With no card nothing is sent and the answers are false.
    bool SetAnswerHandler(framework::AnswerHandler handler);
    void RemoveAnswerHandler(framework::AnswerHandler handler);
    bool SendCommand(const char* line);
    void EndExchange();
    // A failure's kGpsStatus... code, when one tells why, goes to `status`.
    bool OpenGps(uint32_t* status = nullptr);
    bool CloseGps();
    // An AT command of any card is in flight or waiting: ending the manager now would leave
    // its answer to whoever opens the port next.
    bool ExchangeInFlight();
    // The current card's variant; empty with no card or none reported. Stays valid.
    const char* CustomizeText();

    // Looks at the port list again now (hot-plug does this by itself).
    void Rescan();
    // For tests and tools: the cards known now and which one is current; waits until the
    // manager thread has handled everything posted so far.
    std::vector<ListedCard> Cards();
    std::string CurrentId();
    bool WaitFirstScan(int timeoutMs);
    NmeaCounters GpsCounters();
    // The NMEA feed; null when it is turned off.
    NmeaFeed* Feed() { return feed_.get(); }

  private:
    struct Entry {
        std::shared_ptr<Card> card;
        uint64_t tag = 0;
        bool viaMm = false;  // a ModemManager modem, not from the port list
    };

    // CardListener, from the cards' threads.
    void OnCardChanged(Card& card) override;
    void OnGpsRecord(Card& card, const framework::GpsDataRecord& record) override;
    void OnGpsSentences(Card& card, const std::vector<std::string>& sentences) override;
    void OnGpsSky(Card& card, const framework::GpsSkyRecord& sky) override;
    void OnUserAnswer(Card& card, const std::string& answer) override;
    void OnCardHungUp(Card& card) override;
    void OnGpsPortHungUp(Card& card, std::chrono::steady_clock::time_point lookAgain) override;
    void OnCardTrace(Card& card, int level, const std::string& text) override;
    void OnCardPortsChanged(Card& card) override;

    // MmBusListener, from the bus thread.
    void OnModemAdded(std::shared_ptr<MmCard> card) override;
    void OnModemRemoved(std::shared_ptr<MmCard> card) override;
    void OnModemManagerPresence(bool present) override;
    void OnBusTrace(int level, const std::string& text) override { Trace(level, text); }

    void Post(std::function<void()> task);
    void Run();
    void FirstScan();
    void Apply(const std::vector<platform::SerialPort>& ports);
    // Whether the group of ports, listed since `since`, is one ModemManager may still claim
    // (mutex_ held): true with the end of its wait in `until`.
    bool LeftToModemManager(const CardPorts& group, std::chrono::steady_clock::time_point since,
                            std::chrono::steady_clock::time_point& until);
    // Makes `card` a card of the manager, unless a serial card holds its ports (it then waits
    // for that card to go); the modem's ports are ModemManager's either way (mutex_ held).
    bool TakeModemLocked(const std::shared_ptr<MmCard>& card);
    // The nodes of the serial cards' ports (mutex_ held).
    std::set<std::string> HeldNodesLocked();
    void RemoveCard(uint64_t tag, bool hungUp);
    void MakeCurrent(const std::shared_ptr<Card>& card);
    // Tells the device-changed sinks the current card's name and customize text.
    void TellDeviceChanged(const std::shared_ptr<Card>& card);
    // Tells the device sinks how the current card's state differs from what they know.
    void Sync(const std::shared_ptr<Card>& card);
    void ChooseCurrentAfterLoss();
    void DeliverEvent(uint32_t event, const void* data);
    void CatchUp(framework::IDeviceMgrEvent* sink);
    void DeliverInitialized(framework::IDeviceInitializeEvent* only);
    std::vector<ListedCard> ListedLocked();
    uint64_t TagOf(const Card& card);
    std::shared_ptr<Card> Current();
    void Trace(int level, const std::string& text);
    // Traces what the plug-in code called at `where` threw; throws nothing itself.
    void TraceThrown(const char* where, const std::exception_ptr& error);

    ManagerOptions options_;

    SinkList<framework::IDeviceMgrEvent> deviceSinks_;
    // Added sinks not caught up yet: the card's events pass them by until they are (mutex_).
    std::vector<framework::IDeviceMgrEvent*> awaitingCatchUp_;
    SinkList<framework::IMultiDeviceMgrEvent> changedSinks_;
    SinkList<framework::IDeviceInitializeEvent> initializeSinks_;
    SinkList<framework::IPluginSetChangedSink> setSinks_;

    // The answer handler and the calls into it, kept like a sink.
    std::mutex handlerMutex_;
    std::condition_variable handlerDone_;
    framework::AnswerHandler handler_ = nullptr;
    std::vector<std::pair<framework::AnswerHandler, std::thread::id>> handlerCalls_;

    std::mutex mutex_;  // cards, current, the task queue
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> tasks_;
    bool busy_ = false;
    bool stopping_ = false;
    bool firstScanDone_ = false;
    std::vector<Entry> cards_;
    std::shared_ptr<Card> current_;
    Card::State reported_;  // what the device sinks were told of the current card (manager thread)
    std::string toldName_, toldText_;  // what the device-changed sinks were told (manager thread)
    // Hung-up AT ports and when they may be opened again; a rescan is due then.
    std::map<std::string, std::chrono::steady_clock::time_point> deadNodes_;
    std::optional<std::chrono::steady_clock::time_point> rescanAt_;
    uint64_t nextTag_ = 1;
    std::set<std::string> texts_;  // every customize text handed out, kept for good
    CardPath path_ = CardPath::Auto;
    // ModemManager's modems by object path: the device nodes (links resolved) of their ports,
    // never opened here unless a serial card held them first, and their device.
    struct MmModem {
        std::vector<std::string> nodes;
        std::string device;
    };
    std::map<std::string, MmModem> mmModems_;
    // Modems whose ports a serial card held when they were exported: they wait for it to go.
    std::vector<std::shared_ptr<MmCard>> heldBack_;
    // When ModemManager last came on the bus or left it; unset while it never was there.
    std::optional<std::chrono::steady_clock::time_point> mmChangedAt_;
    // When an AT port not yet opened was first listed (ModemManager's grace, manager thread).
    std::map<std::string, std::chrono::steady_clock::time_point> firstListed_;

    std::shared_mutex containerMutex_;
    framework::IPluginContainer* container_ = nullptr;
    std::thread thread_;
    std::atomic<bool> threadEnded_{false};  // the manager thread's last step
    std::unique_ptr<platform::PortMonitor> monitor_;
    std::unique_ptr<MmBus> mm_;
    std::shared_ptr<NmeaFeed> feed_;
};

}  // namespace devicemgr
