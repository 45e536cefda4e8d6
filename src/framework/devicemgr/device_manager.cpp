#include "framework/devicemgr/device_manager.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "framework/container/program_directory.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/services.h"
#include "platform/access/account_access.h"
#include "platform/exceptions.h"
#include "platform/paths.h"
#include "platform/user_files.h"

namespace devicemgr {
namespace {

constexpr const char* kTraceModule = "DeviceMgr";
constexpr auto kHungUpRest = std::chrono::milliseconds(500);

// The device information object of a device-changed notification.
class DeviceInfo final : public framework::IDeviceInfo {
  public:
    DeviceInfo(std::string name, const char* customize)
        : name_(std::move(name)), customize_(customize) {}
    const char* GetDeviceName() override { return name_.c_str(); }
    const char* GetCustomizeText() override { return customize_; }

  private:
    std::string name_;
    const char* customize_;
};

// The device list object of a device-initialised notification; the cursor starts on the
// first device.
class DeviceList final : public framework::IDeviceList {
  public:
    explicit DeviceList(std::vector<ListedCard> cards) : cards_(std::move(cards)) {}
    int GetCount() override { return static_cast<int>(cards_.size()); }
    const char* GetCurrentId() override {
        return cursor_ < cards_.size() ? cards_[cursor_].id.c_str() : "";
    }
    int GetCurrentPort() override { return cursor_ < cards_.size() ? cards_[cursor_].port : -1; }
    bool MoveFirst() override {
        cursor_ = 0;
        return !cards_.empty();
    }
    bool MoveNext() override {
        if (cursor_ < cards_.size()) ++cursor_;
        return cursor_ < cards_.size();
    }

  private:
    std::vector<ListedCard> cards_;
    size_t cursor_ = 0;
};

}  // namespace

CardPath CardPathOf(const std::string& text) {
    if (text == "serial") return CardPath::Serial;
    if (text == "modemmanager") return CardPath::ModemManager;
    return CardPath::Auto;
}

CardPath ChooseCardPath(const std::string& option, const char* environment,
                        const std::string& setting) {
    if (!option.empty()) return CardPathOf(option);
    if (environment && *environment) return CardPathOf(environment);
    return CardPathOf(setting);
}

DeviceManager::DeviceManager(ManagerOptions options)
    : options_(std::move(options)),
      deviceSinks_(options_.wait,
                   [this](std::exception_ptr e) { TraceThrown("a device event sink", e); }),
      changedSinks_(options_.wait,
                    [this](std::exception_ptr e) { TraceThrown("a device-changed sink", e); }),
      initializeSinks_(
          options_.wait,
          [this](std::exception_ptr e) { TraceThrown("a device-initialised sink", e); }),
      setSinks_(options_.wait,
                [this](std::exception_ptr e) { TraceThrown("a plug-in set sink", e); }) {
    if (!options_.listPorts) options_.listPorts = [] { return platform::ListSerialPorts(); };
    if (options_.choicePath.empty()) {
        options_.choicePath =
            platform::UserFilePath(framework::ProgramDirectory(), "userdata/localdeviceinfo.xml");
    }
    const char* environment = std::getenv("SATVIEW_CARD_PATH");
    std::string setting;
    // The file is read only when no option or variable already decides.
    bool readChoice = options_.cardPath.empty() && !(environment && *environment);
    if (readChoice || !options_.nmeaFeed || !options_.geoclue) {
        StoredChoice stored = ReadStoredChoice(options_.choicePath);
        if (readChoice) setting = stored.cardPath;
        if (!options_.nmeaFeed) options_.nmeaFeed = stored.nmeaFeed;
        if (!options_.geoclue) options_.geoclue = stored.geoclue;
    }
    path_ = ChooseCardPath(options_.cardPath, environment, setting);
    // Made before any card can deliver: the link and the socket are there for their readers
    // before the first session.
    if (*options_.nmeaFeed) {
        NmeaFeedOptions feed;
        feed.link = options_.nmeaFeedLink;
        feed.locationAccount = platform::AccountUid(kLocationServiceAccount);
        feed.shareWithLocationService = *options_.geoclue;
        auto trace = [this](int level, const std::string& text) { Trace(level, text); };
        if (options_.processFeed) {
            feed_ = NmeaFeed::OfProcess(feed);
            feed_->AddTraceSink(this, trace);
        } else {
            feed_ = std::make_shared<NmeaFeed>(feed, trace);
        }
        feed_->Open();
    }
    if (path_ != CardPath::Serial) {
        std::string changes =
            options_.mmChangesFolder.empty() ? DefaultChangesFolder() : options_.mmChangesFolder;
        mm_ = std::make_unique<MmBus>(options_.mmBusAddress, static_cast<MmBusListener&>(*this),
                                      static_cast<CardListener&>(*this), options_.mmTimeouts,
                                      options_.wait, changes);
        mm_->Start();
    }
    // The monitor starts before the first list is taken, so that no change falls between.
    if (options_.watchPorts) {
        monitor_ = std::make_unique<platform::PortMonitor>(
            [this](const std::vector<platform::SerialPort>& present) {
                Post([this, present] { Apply(present); });
            });
    }
    thread_ = std::thread([this] {
        Run();
        threadEnded_ = true;
    });
}

DeviceManager::~DeviceManager() {
    monitor_.reset();
    if (mm_) mm_->Stop();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    // The manager thread may be delivering to a sink that sends to the window thread.
    options_.wait.Join(thread_, [this] { return threadEnded_.load(); });
    std::vector<Entry> cards;
    std::vector<std::shared_ptr<MmCard>> heldBack;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cards.swap(cards_);
        heldBack.swap(heldBack_);
        current_.reset();
    }
    for (Entry& entry : cards) entry.card->Stop();
    for (auto& card : heldBack) card->Stop();
    // The process's feed stays, for the readers; this manager traces no more.
    if (feed_) feed_->RemoveTraceSink(this);
}

void DeviceManager::SetContainer(framework::IPluginContainer* container) {
    std::unique_lock<std::shared_mutex> lock(containerMutex_);
    container_ = container;
}

void DeviceManager::ForgetContainer(framework::IPluginContainer* container) {
    std::unique_lock<std::shared_mutex> lock(containerMutex_);
    if (container_ == container) container_ = nullptr;
}

void DeviceManager::Trace(int level, const std::string& text) {
    if (options_.trace) options_.trace(level, text);
    // Held while the container is used: it is not forgotten (and freed) meanwhile.
    std::shared_lock<std::shared_mutex> lock(containerMutex_);
    framework::IPluginContainer* container = container_;
    if (!container) return;
    try {
        framework::IBaseInterface* object = nullptr;
        if (!container->QueryService(framework::kTraceServiceId, framework::kTraceServiceFlag,
                                     &object) ||
            !object) {
            return;
        }
        if (auto* trace = dynamic_cast<framework::ITraceService*>(object)) {
            trace->Trace(level, kTraceModule, __FILE__, __LINE__, text.c_str());
        }
    } catch (...) {
        // Tracing never stops the manager.
    }
}

void DeviceManager::TraceThrown(const char* where, const std::exception_ptr& error) {
    try {
        Trace(framework::kTraceWarning,
              std::string(where) + " threw: " + platform::DescribeException(error));
    } catch (...) {
        // Tracing never stops a delivery.
    }
}

void DeviceManager::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void DeviceManager::Run() {
    FirstScan();
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        if (rescanAt_) {
            auto at = *rescanAt_;
            wake_.wait_until(lock, at, [&] { return stopping_ || !tasks_.empty(); });
            if (!stopping_ && tasks_.empty() && std::chrono::steady_clock::now() >= at) {
                rescanAt_.reset();
                tasks_.push_back([this] { Apply(options_.listPorts()); });
            }
        } else {
            wake_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
        }
        if (stopping_) break;
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        busy_ = true;
        lock.unlock();
        task();
        lock.lock();
        busy_ = false;
        if (tasks_.empty()) idle_.notify_all();
    }
    busy_ = false;
    idle_.notify_all();
}

void DeviceManager::FirstScan() {
    auto started = std::chrono::steady_clock::now();
    // ModemManager's modems first: their ports are not to be opened here.
    if (mm_ && !mm_->WaitSettled(std::chrono::seconds(2))) {
        Trace(framework::kTraceWarning, "ModemManager did not list its modems in time");
    }
    Apply(options_.listPorts());
    std::vector<std::shared_ptr<Card>> cards;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Entry& entry : cards_) cards.push_back(entry.card);
    }
    auto deadline = started + std::chrono::milliseconds(options_.firstScanMs);
    for (const auto& card : cards) card->WaitBroughtUp(deadline);

    StoredChoice choice = ReadStoredChoice(options_.choicePath);
    std::shared_ptr<Card> chosen;
    for (const auto& card : cards) {
        if (!choice.id.empty() && card->Id() == choice.id &&
            (choice.port < 0 || card->Ports().at.number == choice.port)) {
            chosen = card;
            break;
        }
    }
    if (!chosen && !cards.empty()) chosen = cards.front();
    if (chosen) MakeCurrent(chosen);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        firstScanDone_ = true;
    }
    idle_.notify_all();
    Trace(framework::kTraceNotice, "first scan: " + std::to_string(cards.size()) + " card(s)");
    DeliverInitialized(nullptr);
}

void DeviceManager::Apply(const std::vector<platform::SerialPort>& ports) {
    std::vector<CardPorts> groups;
    std::vector<std::pair<std::shared_ptr<Card>, CardPorts>> listedAgain;
    std::vector<uint64_t> gone;
    std::vector<std::string> resting, waiting;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // A hung-up port rests a moment before it is opened again: a device node on its way
        // out may still be listed. A new card may take the same node, so it is looked at again
        // once the rest is over.
        auto now = std::chrono::steady_clock::now();
        for (auto it = deadNodes_.begin(); it != deadNodes_.end();) {
            it = now >= it->second ? deadNodes_.erase(it) : std::next(it);
        }
        std::vector<platform::SerialPort> serial;
        if (path_ != CardPath::ModemManager) {
            // ModemManager's modems' ports are its own, but a serial card that held one first
            // keeps it.
            std::set<std::string> held = HeldNodesLocked(), theirs;
            for (const auto& modem : mmModems_) {
                theirs.insert(modem.second.nodes.begin(), modem.second.nodes.end());
            }
            for (const platform::SerialPort& port : ports) {
                std::string node = platform::RealPathOr(port.node);
                if (!theirs.count(node) || held.count(node)) serial.push_back(port);
            }
        }
        groups = GroupCards(serial);
        for (const Entry& entry : cards_) {
            if (entry.viaMm) continue;
            CardPorts known = entry.card->Ports();
            auto same = std::find_if(groups.begin(), groups.end(), [&](const CardPorts& g) {
                return g.key == known.key && g.at.node == known.at.node;
            });
            if (same == groups.end()) {
                gone.push_back(entry.tag);
            } else {
                // The same card; its other ports may have come or gone.
                listedAgain.emplace_back(entry.card, *same);
                groups.erase(same);
            }
        }
        for (const CardPorts& g : groups) {
            auto dead = deadNodes_.find(g.at.node);
            if (dead == deadNodes_.end()) continue;
            resting.push_back(g.at.node);
            // Looked at again when its rest is over.
            if (!rescanAt_ || *rescanAt_ > dead->second) rescanAt_ = dead->second;
        }
        groups.erase(
            std::remove_if(groups.begin(), groups.end(),
                           [&](const CardPorts& g) { return deadNodes_.count(g.at.node); }),
            groups.end());
        // A card whose ports ModemManager may claim is left to it while it may still do so.
        std::map<std::string, std::chrono::steady_clock::time_point> listedNow;
        for (auto it = groups.begin(); it != groups.end();) {
            auto first = firstListed_.find(it->at.node);
            auto since = first == firstListed_.end() ? now : first->second;
            listedNow[it->at.node] = since;
            std::chrono::steady_clock::time_point until;
            if (LeftToModemManager(*it, since, until) && now < until) {
                if (first == firstListed_.end()) waiting.push_back(it->at.node);
                if (!rescanAt_ || *rescanAt_ > until) rescanAt_ = until;
                it = groups.erase(it);
            } else {
                ++it;
            }
        }
        firstListed_ = std::move(listedNow);
    }
    for (const std::string& node : waiting) {
        Trace(framework::kTraceNotice,
              "port left to ModemManager for a moment: " + node + " (until it exports or " +
                  "ignores the card, " + std::to_string(options_.mmGraceMs / 1000) + " s at most)");
    }
    for (const std::string& node : resting) {
        Trace(framework::kTraceNotice, "port just hung up, opened a little later: " + node);
    }
    for (uint64_t tag : gone) RemoveCard(tag, false);
    for (auto& [card, listed] : listedAgain) {
        if (listed.gps.node != card->Ports().gps.node) {
            Trace(framework::kTraceNotice,
                  "card ports changed: " + listed.at.node + ", GPS port " +
                      (listed.gps.node.empty() ? "gone" : listed.gps.node));
        }
        card->UpdatePorts(listed);
    }
    for (CardPorts& group : groups) {
        auto card = std::make_shared<SerialCard>(group, static_cast<CardListener&>(*this),
                                                 options_.timing, options_.wait);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            cards_.push_back({card, nextTag_++});
        }
        std::string error;
        if (!card->Start(error)) {
            Trace(framework::kTraceWarning, "card not opened: " + error);
            std::lock_guard<std::mutex> lock(mutex_);
            cards_.erase(std::remove_if(cards_.begin(), cards_.end(),
                                        [&](const Entry& e) { return e.card == card; }),
                         cards_.end());
            continue;
        }
        Trace(framework::kTraceNotice, "card ports: " + group.at.friendlyName + " " +
                                           group.at.node + ", " + group.gps.friendlyName + " " +
                                           group.gps.node);
    }
}

bool DeviceManager::LeftToModemManager(const CardPorts& group,
                                       std::chrono::steady_clock::time_point since,
                                       std::chrono::steady_clock::time_point& until) {
    // Ports it has been told to leave alone, and the simulated card of ./run, open at once;
    // so do all where it never was on the bus.
    if (!mm_ || path_ != CardPath::Auto || !mmChangedAt_) return false;
    if (!group.at.mmCandidate && !group.gps.mmCandidate) return false;
    // It exported a modem of the card's device without these ports: it has decided.
    for (const auto& modem : mmModems_) {
        if (!modem.second.device.empty() && modem.second.device == group.key) return false;
    }
    until = std::max(since, *mmChangedAt_) + std::chrono::milliseconds(options_.mmGraceMs);
    return true;
}

std::set<std::string> DeviceManager::HeldNodesLocked() {
    std::set<std::string> held;
    for (const Entry& entry : cards_) {
        if (entry.viaMm) continue;
        CardPorts ports = entry.card->Ports();
        for (const std::string* node : {&ports.at.node, &ports.gps.node}) {
            if (!node->empty()) held.insert(platform::RealPathOr(*node));
        }
    }
    return held;
}

bool DeviceManager::TakeModemLocked(const std::shared_ptr<MmCard>& card) {
    std::vector<std::string> nodes = card->PortNodes();
    mmModems_[card->Path()] = {nodes, card->Device()};
    std::set<std::string> held = HeldNodesLocked();
    if (std::any_of(nodes.begin(), nodes.end(),
                    [&](const std::string& node) { return held.count(node) != 0; })) {
        heldBack_.push_back(card);
        return false;
    }
    cards_.push_back({card, nextTag_++, true});
    return true;
}

void DeviceManager::RemoveCard(uint64_t tag, bool hungUp) {
    std::shared_ptr<Card> card;
    bool wasCurrent = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = std::find_if(cards_.begin(), cards_.end(),
                                  [&](const Entry& e) { return e.tag == tag; });
        if (found == cards_.end()) return;
        card = found->card;
        cards_.erase(found);
        if (hungUp) {
            // The list may already show the card back on the same node: look again after the rest.
            auto until = std::chrono::steady_clock::now() + kHungUpRest;
            deadNodes_[card->Ports().at.node] = until;
            if (!rescanAt_ || *rescanAt_ > until) rescanAt_ = until;
        }
        if (current_ == card) {
            current_.reset();
            wasCurrent = true;
        }
    }
    // Stopped first: nothing of the card reaches a sink after its removal.
    card->Stop();
    Trace(framework::kTraceNotice, "card lost: " + card->Ports().at.node + " (" + card->Id() + ")");
    // A modem that waited for the ports this card held is a card now.
    std::vector<std::shared_ptr<MmCard>> freed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::set<std::string> held = HeldNodesLocked();
        for (auto it = heldBack_.begin(); it != heldBack_.end();) {
            std::vector<std::string> nodes = (*it)->PortNodes();
            if (std::any_of(nodes.begin(), nodes.end(),
                            [&](const std::string& node) { return held.count(node) != 0; })) {
                ++it;
                continue;
            }
            cards_.push_back({*it, nextTag_++, true});
            freed.push_back(*it);
            it = heldBack_.erase(it);
        }
    }
    if (wasCurrent) {
        if (reported_.arrived) DeliverEvent(framework::kEventCardRemoved, nullptr);
        reported_ = {};
        ChooseCurrentAfterLoss();
    }
    for (const auto& modem : freed) {
        Trace(framework::kTraceNotice,
              "card through ModemManager now: " + modem->Path() + " (" + modem->Id() + ")");
        OnCardChanged(*modem);
    }
}

void DeviceManager::ChooseCurrentAfterLoss() {
    std::shared_ptr<Card> next;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!firstScanDone_ || current_) return;
        // The next card present, one that is up preferred.
        for (const Entry& entry : cards_) {
            if (entry.card->GetState().arrived) {
                next = entry.card;
                break;
            }
        }
    }
    if (next) MakeCurrent(next);
}

void DeviceManager::MakeCurrent(const std::shared_ptr<Card>& card) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        current_ = card;
    }
    // Only the current modem's ports are listed under the searched names: the GPS dialog's
    // port row names its GPS port, never another modem's.
    if (auto modem = std::dynamic_pointer_cast<MmCard>(card)) modem->PublishPorts();
    reported_ = {};
    // Sinks new to the card hear what it is now, not the unavailability it got over earlier.
    Card::State state = card->GetState();
    reported_.unavailableCount = state.unavailableCount - (state.unavailable ? 1 : 0);
    Trace(framework::kTraceNotice,
          "current card: " + card->Ports().at.node + " (" + card->Id() + ")");
    TellDeviceChanged(card);
    Sync(card);
}

void DeviceManager::TellDeviceChanged(const std::shared_ptr<Card>& card) {
    toldName_ = card->Id();
    toldText_ = card->Variant();
    DeviceInfo info(toldName_, CustomizeText());
    bool setChanged = false;
    changedSinks_.ForEach([&](framework::IMultiDeviceMgrEvent* sink) {
        if (sink->OnDeviceChanged(nullptr, &info) == -2) setChanged = true;
    });
    if (setChanged) {
        Trace(framework::kTraceNotice, "the plug-in set changed with the card");
        setSinks_.ForEach(
            [](framework::IPluginSetChangedSink* sink) { sink->OnPluginSetChanged(); });
    }
}

void DeviceManager::Sync(const std::shared_ptr<Card>& card) {
    if (Current() != card) return;
    if (card->Id() != toldName_ || card->Variant() != toldText_) {
        Trace(framework::kTraceNotice,
              "current card now: " + card->Id() + " (" + card->Variant() + ")");
        TellDeviceChanged(card);
    }
    Card::State state = card->GetState();
    uint32_t none = 0;
    if (state.arrived && !reported_.arrived) {
        reported_.arrived = true;
        DeliverEvent(framework::kEventCardArrived, nullptr);
    }
    if (!reported_.arrived) return;
    // Each report is told when its count moved, so a change that came and went since the last
    // look is told too.
    if (state.unavailableCount != reported_.unavailableCount) {
        reported_.unavailableCount = state.unavailableCount;
        reported_.unavailable = true;
        reported_.unavailableReason = state.unavailableReason;
        reported_.ready = false;
        uint32_t reason = state.unavailableReason;
        DeliverEvent(framework::kEventCardUnavailable, &reason);
    }
    if (!state.unavailable) reported_.unavailable = false;
    if (state.simKnown && state.simCount != reported_.simCount) {
        reported_.simKnown = true;
        reported_.simCount = state.simCount;
        reported_.sim = state.sim;
        uint32_t sim = state.sim;
        DeliverEvent(framework::kEventSimStatus, &sim);
    }
    if (state.ready && state.readyCount != reported_.readyCount) {
        reported_.ready = true;
        reported_.readyCount = state.readyCount;
        DeliverEvent(framework::kEventCardReady, &none);
    }
    // Readiness lost with the SIM was told by the SIM status.
    if (!state.ready) reported_.ready = false;
}

void DeviceManager::DeliverEvent(uint32_t event, const void* data) {
    // Events without data still carry a pointer: sinks refuse a null one.
    uint32_t none = 0;
    void* pointer = const_cast<void*>(data ? data : &none);
    deviceSinks_.ForEach([&](framework::IDeviceMgrEvent* sink) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (std::find(awaitingCatchUp_.begin(), awaitingCatchUp_.end(), sink) !=
                awaitingCatchUp_.end())
                return;
        }
        sink->OnDeviceEvent(event, pointer);
    });
}

bool DeviceManager::AddDeviceSink(framework::IDeviceMgrEvent* sink) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!deviceSinks_.Add(sink)) return false;
        awaitingCatchUp_.push_back(sink);
    }
    Post([this, sink] { CatchUp(sink); });
    return true;
}

bool DeviceManager::RemoveDeviceSink(framework::IDeviceMgrEvent* sink) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase(awaitingCatchUp_, sink);
    }
    return deviceSinks_.Remove(sink);
}

// Manager thread, like every delivery of the card's state: what the sink missed since it was
// added is all in `reported_`.
void DeviceManager::CatchUp(framework::IDeviceMgrEvent* sink) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto waiting = std::find(awaitingCatchUp_.begin(), awaitingCatchUp_.end(), sink);
        if (waiting == awaitingCatchUp_.end()) return;
        awaitingCatchUp_.erase(waiting);
    }
    if (!reported_.arrived) return;
    const Card::State known = reported_;
    deviceSinks_.CallOne(sink, [&](framework::IDeviceMgrEvent* s) {
        uint32_t none = 0, sim = known.sim, reason = known.unavailableReason;
        s->OnDeviceEvent(framework::kEventCardArrived, &none);
        if (known.simKnown) s->OnDeviceEvent(framework::kEventSimStatus, &sim);
        if (known.unavailable) {
            s->OnDeviceEvent(framework::kEventCardUnavailable, &reason);
        } else if (known.ready) {
            s->OnDeviceEvent(framework::kEventCardReady, &none);
        }
    });
}

void DeviceManager::DeliverInitialized(framework::IDeviceInitializeEvent* only) {
    std::vector<ListedCard> listed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listed = ListedLocked();
    }
    auto tell = [&](framework::IDeviceInitializeEvent* sink) {
        DeviceList list(listed);
        sink->OnDeviceInitialize(framework::kEventDevicesInitialized, &list);
    };
    if (only) {
        initializeSinks_.CallOne(only, tell);
    } else {
        initializeSinks_.ForEach(tell);
    }
}

bool DeviceManager::AddInitializeSink(framework::IDeviceInitializeEvent* sink) {
    if (!initializeSinks_.Add(sink)) return false;
    bool done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done = firstScanDone_;
    }
    // Added after the first scan: told on the manager thread, as the others were.
    if (done) Post([this, sink] { DeliverInitialized(sink); });
    return true;
}

bool DeviceManager::ExchangeInFlight() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::any_of(cards_.begin(), cards_.end(),
                       [](const Entry& entry) { return entry.card->ExchangeInFlight(); });
}

std::vector<ListedCard> DeviceManager::ListedLocked() {
    std::vector<ListedCard> listed;
    for (const Entry& entry : cards_) {
        listed.push_back({entry.card->Id(), entry.card->Ports().at.number});
    }
    return listed;
}

uint64_t DeviceManager::TagOf(const Card& card) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Entry& entry : cards_) {
        if (entry.card.get() == &card) return entry.tag;
    }
    return 0;
}

std::shared_ptr<Card> DeviceManager::Current() {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
}

// ---- From ModemManager's bus thread.

void DeviceManager::OnModemAdded(std::shared_ptr<MmCard> card) {
    bool taken;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        taken = TakeModemLocked(card);
    }
    CardPorts ports = card->Ports();
    if (taken) {
        Trace(framework::kTraceNotice, "card through ModemManager: " + card->Path() + " (" +
                                           card->Id() + "), GPS port " + ports.gps.node);
    } else {
        Trace(framework::kTraceNotice,
              "ModemManager's modem " + card->Path() + " has ports of the card Satview holds (" +
                  ports.at.node +
                  "): Satview keeps that card until it is replugged or Satview restarts");
    }
    // Its ports are left out from now on: a card waiting for it is decided.
    if (path_ == CardPath::Auto) Rescan();
    if (taken) OnCardChanged(*card);
}

void DeviceManager::OnModemRemoved(std::shared_ptr<MmCard> card) {
    uint64_t tag = TagOf(*card);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Exactly the ports it was known with go from the exclusions.
        mmModems_.erase(card->Path());
        std::erase(heldBack_, card);
    }
    if (tag) Post([this, tag] { RemoveCard(tag, false); });
    if (path_ == CardPath::Auto) Rescan();
}

void DeviceManager::OnModemManagerPresence(bool present) {
    std::vector<std::string> kept;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        // Its grace counts from now, after it left too: it may be restarting.
        if (present || mmChangedAt_) mmChangedAt_ = std::chrono::steady_clock::now();
        for (const Entry& entry : cards_) {
            if (!present || entry.viaMm) continue;
            CardPorts ports = entry.card->Ports();
            if (ports.at.mmCandidate || ports.gps.mmCandidate) kept.push_back(ports.at.node);
        }
    }
    for (const std::string& node : kept) {
        Trace(framework::kTraceNotice,
              "ModemManager came on the bus: the card on " + node +
                  " stays Satview's until it is replugged or Satview restarts");
    }
    if (path_ == CardPath::Auto) Rescan();
}

void DeviceManager::OnCardPortsChanged(Card& card) {
    auto* modem = dynamic_cast<MmCard*>(&card);
    if (!modem) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto known = mmModems_.find(modem->Path());
        if (known == mmModems_.end()) return;
        known->second.nodes = modem->PortNodes();
    }
    Trace(framework::kTraceNotice,
          "ModemManager's modem " + modem->Path() + " has other ports now");
    // The current modem's entries follow its ports.
    uint64_t tag = TagOf(card);
    if (tag) {
        Post([this, tag] {
            std::shared_ptr<Card> current = Current();
            if (current && TagOf(*current) == tag) {
                if (auto mm = std::dynamic_pointer_cast<MmCard>(current)) mm->PublishPorts();
            }
        });
    }
    if (path_ == CardPath::Auto) Rescan();
}

// ---- From the cards' threads.

void DeviceManager::OnCardChanged(Card& card) {
    uint64_t tag = TagOf(card);
    if (!tag) return;
    Post([this, tag] {
        std::shared_ptr<Card> found;
        bool noCurrent;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const Entry& entry : cards_) {
                if (entry.tag == tag) found = entry.card;
            }
            noCurrent = firstScanDone_ && !current_;
        }
        if (!found) return;
        if (noCurrent && found->GetState().arrived) {
            MakeCurrent(found);
        } else {
            Sync(found);
        }
    });
}

void DeviceManager::OnGpsRecord(Card& card, const framework::GpsDataRecord& record) {
    if (Current().get() != &card) return;
    framework::GpsDataRecord copy = record;  // valid for the whole delivery
    deviceSinks_.ForEach([&](framework::IDeviceMgrEvent* sink) {
        sink->OnDeviceEvent(framework::kEventGpsData, &copy);
    });
}

void DeviceManager::OnGpsSky(Card& card, const framework::GpsSkyRecord& sky) {
    if (Current().get() != &card) return;
    framework::GpsSkyRecord copy = sky;  // valid for the whole delivery
    deviceSinks_.ForEach([&](framework::IDeviceMgrEvent* sink) {
        sink->OnDeviceEvent(framework::kEventGpsSky, &copy);
    });
}

void DeviceManager::OnGpsSentences(Card& card, const std::vector<std::string>& sentences) {
    if (feed_ && Current().get() == &card) feed_->Write(sentences);
}

void DeviceManager::OnUserAnswer(Card& card, const std::string& answer) {
    if (Current().get() != &card) return;
    framework::AnswerHandler handler;
    {
        std::lock_guard<std::mutex> lock(handlerMutex_);
        handler = handler_;
        if (!handler) return;
        handlerCalls_.emplace_back(handler, std::this_thread::get_id());
    }
    try {
        handler(answer.c_str());
    } catch (...) {
        TraceThrown("the answer handler", std::current_exception());
    }
    std::lock_guard<std::mutex> lock(handlerMutex_);
    auto self = std::make_pair(handler, std::this_thread::get_id());
    auto found = std::find(handlerCalls_.begin(), handlerCalls_.end(), self);
    if (found != handlerCalls_.end()) handlerCalls_.erase(found);
    handlerDone_.notify_all();
}

void DeviceManager::OnCardHungUp(Card& card) {
    uint64_t tag = TagOf(card);
    if (!tag) return;
    Trace(framework::kTraceNotice, "card hung up: " + card.Ports().at.node);
    Post([this, tag] { RemoveCard(tag, true); });
}

void DeviceManager::OnGpsPortHungUp(Card&, std::chrono::steady_clock::time_point lookAgain) {
    // The list is looked at again once the port's rest is over: it may be back by then.
    Post([this, lookAgain] {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!rescanAt_ || *rescanAt_ > lookAgain) rescanAt_ = lookAgain;
    });
}

void DeviceManager::OnCardTrace(Card&, int level, const std::string& text) {
    Trace(level, text);
}

// ---- The current device.

bool DeviceManager::SetAnswerHandler(framework::AnswerHandler handler) {
    if (!handler) return false;
    std::lock_guard<std::mutex> lock(handlerMutex_);
    handler_ = handler;
    return true;
}

void DeviceManager::RemoveAnswerHandler(framework::AnswerHandler handler) {
    std::unique_lock<std::mutex> lock(handlerMutex_);
    if (handler_ != handler) return;
    handler_ = nullptr;
    auto self = std::this_thread::get_id();
    auto inside = std::any_of(handlerCalls_.begin(), handlerCalls_.end(), [&](const auto& c) {
        return c.first == handler && c.second == self;
    });
    if (inside) return;
    // The handler may be sending to the window thread.
    options_.wait.Wait(lock, handlerDone_, [&] {
        return std::none_of(handlerCalls_.begin(), handlerCalls_.end(),
                            [&](const auto& c) { return c.first == handler; });
    });
}

bool DeviceManager::SendCommand(const char* line) {
    auto card = Current();
    return card && line && *line && card->SendUser(line);
}

void DeviceManager::EndExchange() {
    if (auto card = Current()) card->EndUserExchange();
}

bool DeviceManager::OpenGps(uint32_t* status) {
    auto card = Current();
    uint32_t why = 0;
    bool ok = card && card->OpenGps(why);
    if (!ok && status) *status = why;
    if (ok && feed_) feed_->SessionStarted();
    return ok;
}

bool DeviceManager::CloseGps() {
    auto card = Current();
    return card && card->CloseGps();
}

const char* DeviceManager::CustomizeText() {
    auto card = Current();
    std::string text = card ? card->Variant() : std::string();
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_.insert(text).first->c_str();
}

// ---- Tests and tools.

void DeviceManager::Rescan() {
    Post([this] { Apply(options_.listPorts()); });
}

bool DeviceManager::WaitFirstScan(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return firstScanDone_; });
}

std::vector<ListedCard> DeviceManager::Cards() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait_for(lock, std::chrono::seconds(10),
                   [&] { return stopping_ || (firstScanDone_ && tasks_.empty() && !busy_); });
    return ListedLocked();
}

std::string DeviceManager::CurrentId() {
    Cards();
    auto card = Current();
    return card ? card->Id() : std::string();
}

NmeaCounters DeviceManager::GpsCounters() {
    auto card = Current();
    return card ? card->GpsCounters() : NmeaCounters{};
}

}  // namespace devicemgr
