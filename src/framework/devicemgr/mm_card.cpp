#include "framework/devicemgr/mm_card.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <tuple>

#include <unistd.h>

#include "framework/contracts/device.h"
#include "framework/devicemgr/gps_commands.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace devicemgr {
namespace {

constexpr const char* kOk = "OK";
constexpr const char* kError = "ERROR";

template <class T>
void Take(std::optional<T>& into, const std::optional<T>& newer) {
    if (newer) into = newer;
}

// The part of a port name after its last '/' ("ttyUSB2").
std::string BaseName(const std::string& name) {
    size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The number at the end of a name ("ttyUSB2" 2); -1 when it has none.
int TrailingNumber(const std::string& name) {
    size_t digits = name.find_last_not_of("0123456789");
    digits = digits == std::string::npos ? 0 : digits + 1;
    if (digits == name.size() || name.size() - digits >= 9) return -1;
    return std::stoi(name.substr(digits));
}

// A port of the modem under the name ModemManager gives it: its device node with links
// resolved (as the port list has it) when "/dev/<name>" leads to one, named with the
// interface text `text` and the number of the tty ("COM2" for ttyUSB2; else the node's).
platform::SerialPort PortOf(const std::string& name, const char* text) {
    platform::SerialPort port;
    std::string base = BaseName(name);
    std::error_code error;
    auto real = std::filesystem::canonical("/dev/" + name, error);
    port.node = error ? "/dev/" + base : real.string();
    port.number = TrailingNumber(base);
    if (port.number < 0 && !error) port.number = TrailingNumber(port.node);
    port.friendlyName = text;
    if (port.number >= 0) port.friendlyName += " (COM" + std::to_string(port.number) + ")";
    return port;
}

}  // namespace

void MmProperties::MergeFrom(const MmProperties& newer) {
    Take(state, newer.state);
    Take(failedReason, newer.failedReason);
    Take(unlockRequired, newer.unlockRequired);
    Take(manufacturer, newer.manufacturer);
    Take(model, newer.model);
    Take(equipmentId, newer.equipmentId);
    Take(device, newer.device);
    Take(ports, newer.ports);
    Take(capabilities, newer.capabilities);
    Take(enabled, newer.enabled);
    Take(signalsLocation, newer.signalsLocation);
    Take(refreshRate, newer.refreshRate);
    Take(nmea, newer.nmea);
}

MmCard::MmCard(std::string path, MmApi& api, CardListener& listener, std::string changesFolder)
    : path_(std::move(path)),
      api_(api),
      listener_(listener),
      changesFolder_(std::move(changesFolder)) {
    ports_.key = path_;
}

bool MmCard::Stopping() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopping_;
}

void MmCard::Stop() {
    std::map<std::string, platform::SerialPort> published;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        published.swap(published_);
    }
    for (const auto& entry : published) platform::UnregisterVirtualPort(entry.first);
    // What the bus thread is doing for the card ends before this returns.
    api_.RunSync([] {});
}

CardPorts MmCard::Ports() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ports_;
}

std::vector<std::string> MmCard::PortNodes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return nodes_;
}

std::string MmCard::Device() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return modem_.device.value_or("");
}

CardPorts MmCard::PortsOf(const MmProperties& modem) const {
    CardPorts ports;
    ports.key = path_;
    if (!modem.ports) return ports;
    for (const auto& [name, type] : *modem.ports) {
        if (type == mm::kPortAt && ports.at.node.empty()) ports.at = PortOf(name, kAtPortText);
        if (type == mm::kPortGps && ports.gps.node.empty()) ports.gps = PortOf(name, kGpsPortText);
    }
    ports.at.card = ports.gps.card = path_;
    return ports;
}

void MmCard::PublishPorts() {
    // A port already listed under the searched text (a card named in the port-name file, a
    // simulated card's own entry) keeps that entry: two entries for one node are one too many.
    std::vector<platform::SerialPort> listed = platform::ListSerialPorts();
    auto named = [&](const platform::SerialPort& port, const char* text) {
        return std::any_of(listed.begin(), listed.end(), [&](const platform::SerialPort& other) {
            return platform::RealPathOr(other.node) == port.node &&
                   other.friendlyName.find(text) != std::string::npos;
        });
    };
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    std::string index = BaseName(path_);
    std::map<std::string, platform::SerialPort> wanted;
    for (const auto& [port, kind, text] : {std::tuple{&ports_.at, "at", kAtPortText},
                                           std::tuple{&ports_.gps, "gps", kGpsPortText}}) {
        // Only a port present here: its entry would not be listed otherwise.
        if (port->number < 0 || ::access(port->node.c_str(), F_OK) != 0) continue;
        std::string id = "modemmanager-" + index + "-" + kind;
        auto mine = published_.find(id);
        if (mine != published_.end() && mine->second == *port) {
            wanted[id] = *port;
            continue;
        }
        if (!named(*port, text)) wanted[id] = *port;
    }
    // The entries follow the modem's ports: one no longer its own goes.
    for (auto it = published_.begin(); it != published_.end();) {
        auto still = wanted.find(it->first);
        if (still != wanted.end() && still->second == it->second) {
            ++it;
            continue;
        }
        platform::UnregisterVirtualPort(it->first);
        it = published_.erase(it);
    }
    for (const auto& [id, port] : wanted) {
        if (!published_.count(id) && platform::RegisterVirtualPort(id, port)) published_[id] = port;
    }
}

std::string MmCard::Id() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return platform::AsciiLower(modem_.model.value_or(path_));
}

std::string MmCard::Model() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return modem_.model.value_or("");
}

std::string MmCard::Serial() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return modem_.equipmentId.value_or("");
}

Card::State MmCard::GetState() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return life_.State();
}

NmeaCounters MmCard::GpsCounters() const {
    std::lock_guard<std::mutex> lock(gpsMutex_);
    return decoder_.Counters();
}

void MmCard::Trace(int level, const std::string& text) {
    listener_.OnCardTrace(*this, level, platform::PrintableOnly(path_ + " " + text));
}

void MmCard::Update(const MmProperties& told) {
    bool changed = false, enable = false, lostNow = false, portsChanged = false, undo = false;
    bool offNow = false, onAgain = false, setupTold = false, enabled = false;
    LocationSetup setup;
    std::optional<std::string> nmea;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        bool first = !modem_.state && !modem_.model && !modem_.ports;
        modem_.MergeFrom(told);
        if (told.ports) {
            ports_ = PortsOf(modem_);
            std::vector<std::string> nodes;
            for (const auto& port : *modem_.ports) nodes.push_back(PortOf(port.first, "").node);
            portsChanged = !first && nodes != nodes_;
            nodes_ = std::move(nodes);
        }
        nmea = told.nmea;
        int32_t state = modem_.state.value_or(0);
        bool failed = state == mm::kStateFailed;
        if (life_.GetLink() != Link::Answering && !failed && modem_.model) {
            changed |= life_.Answered();
            changed |= life_.Identified();
        }
        uint32_t sim = MmSimState(modem_.failedReason, modem_.unlockRequired);
        if (sim != kSimUnknown) changed |= life_.SimRead(sim);
        if (failed && life_.GetLink() != Link::Silent) {
            changed |= life_.Identified();
            changed |= lostNow = life_.LinkLost();
        }
        // Enabled once, when found disabled as it first settles (as NetworkManager does); one
        // its user or the network manager disables later stays as they left it.
        if (!settled_ && (failed || state >= mm::kStateDisabled)) {
            settled_ = true;
            enable = state == mm::kStateDisabled;
        }
        enabled = state >= mm::kStateEnabled;
        if (enabled) wasEnabled_ = true;
        bool off = wasEnabled_ && (state == mm::kStateDisabled || state == mm::kStateDisabling);
        if (life_.SwitchedOff(off)) {
            changed = true;
            (off ? offNow : onAgain) = true;
        }
        bool gps = modem_.capabilities.value_or(0) & mm::kGpsSources;
        changed |= life_.RadioRead(enabled && gps);
        life_.TakeWork();  // settings and reads are ModemManager's
        if (enabled && modem_.capabilities && !leftoversChecked_) undo = leftoversChecked_ = true;
        setupTold = told.enabled || told.signalsLocation || told.refreshRate || told.state;
        setup = {modem_.enabled.value_or(0), modem_.signalsLocation.value_or(false),
                 modem_.refreshRate.value_or(0)};
    }
    if (lostNow) Trace(framework::kTraceWarning, "failed (ModemManager gave up on it)");
    if (offNow) {
        Trace(framework::kTraceNotice,
              "switched off (by its user or the network manager): left off, not ready");
    }
    if (onAgain) Trace(framework::kTraceNotice, "switched on again");
    if (setupTold) FollowSetup(setup, enabled);
    if (portsChanged) listener_.OnCardPortsChanged(*this);
    if (changed) listener_.OnCardChanged(*this);
    if (undo) {
        api_.Post([self = shared_from_this()] {
            if (!self->Stopping()) self->UndoLeftovers();
        });
    }
    if (enable) {
        // ModemManager leaves a modem disabled until asked (a desktop's network manager asks).
        api_.Post([self = shared_from_this()] {
            if (self->Stopping()) return;
            self->Trace(framework::kTraceNotice, "disabled: enabling it");
            auto result = self->api_.Enable(self->path_);
            if (result.unanswered) {
                self->NoReply("enabling the modem");
            } else if (!result.ok) {
                self->Refused("enabling the modem", result);
            }
        });
    }
    if (nmea) FeedNmea(*nmea);
}

void MmCard::Unanswered() {
    bool changed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ || life_.GetLink() == Link::Silent) return;
        changed = life_.LinkLost();
    }
    Trace(framework::kTraceWarning, "not answering");
    if (changed) listener_.OnCardChanged(*this);
}

void MmCard::FeedNmea(const std::string& trace) {
    // The trace holds the latest sentence of each kind: only those new since the last one
    // are decoded, and those that still hold when repeated (fix mode, speed).
    std::string text = trace;
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) text += "\r\n";
    std::vector<std::string> sentences, fresh;
    std::vector<framework::GpsDataRecord> records;
    std::optional<framework::GpsSkyRecord> sky;
    {
        std::lock_guard<std::mutex> lock(gpsMutex_);
        lexer_.Feed(text, sentences);
        std::set<std::string> now(sentences.begin(), sentences.end());
        for (const std::string& sentence : sentences) {
            if (lastSentences_.count(sentence)) {
                if (RepeatedUnchanged(sentence)) decoder_.Decode(sentence);
                continue;
            }
            fresh.push_back(sentence);
            if (auto fix = decoder_.Decode(sentence)) records.push_back(MakeRecord(*fix));
        }
        lastSentences_ = std::move(now);
        if (!fresh.empty()) sky = SkyOfTrace(sentences);
    }
    for (const std::string& sentence : fresh) Trace(framework::kTraceDebug, "< " + sentence);
    if (!life_.GpsOpen() || Stopping()) return;
    listener_.OnGpsSentences(*this, fresh);
    for (const framework::GpsDataRecord& record : records) listener_.OnGpsRecord(*this, record);
    if (sky) listener_.OnGpsSky(*this, *sky);
}

std::optional<framework::GpsSkyRecord> MmCard::SkyOfTrace(std::vector<std::string> sentences) {
    // The trace holds the sky whole (each talker's GSV run, the GSA sentences) in an order of
    // its own: read as a receiver sends an epoch, the sentences with the time first, then GSA,
    // then GSV, each trace is one view.
    auto rank = [](const std::string& s) {
        std::string_view type = s.size() > 6 ? std::string_view(s).substr(3, 3) : "";
        return type == "GSV" ? 2 : type == "GSA" ? 1 : 0;
    };
    std::stable_sort(sentences.begin(), sentences.end(),
                     [&](const std::string& a, const std::string& b) { return rank(a) < rank(b); });
    for (const std::string& sentence : sentences) skyDecoder_.Decode(sentence);
    skyDecoder_.Finish();
    std::optional<SkyView> view = skyDecoder_.TakeSky();
    if (!view) return std::nullopt;
    return MakeSkyRecord(*view);
}

bool MmCard::Refused(const char* what, const MmApi::Result& result) {
    if (result.error == mm::kUnauthorized ||
        result.error == "org.freedesktop.DBus.Error.AccessDenied") {
        Trace(framework::kTraceError,
              std::string("ModemManager refused ") + what + ": not authorized (" + result.message +
                  "). Grant this user ModemManager's polkit actions "
                  "org.freedesktop.ModemManager1.Location and "
                  "org.freedesktop.ModemManager1.Device.Control (an active local session has them "
                  "by default; elsewhere add a polkit rule), or set SATVIEW_CARD_PATH=serial");
        return true;
    }
    Trace(framework::kTraceWarning, std::string("ModemManager refused ") + what + ": " +
                                        result.error + ": " + result.message);
    return false;
}

MmCard::Reply MmCard::NoReply(const char* what) {
    Trace(framework::kTraceWarning,
          std::string("ModemManager did not answer ") + what + " in time");
    return Reply::None;
}

std::string MmCard::ChangesFile() const {
    if (changesFolder_.empty()) return {};
    std::lock_guard<std::mutex> lock(mutex_);
    // The modem's own identity outlives its object's path (ModemManager restarting, a replug).
    std::string modem = modem_.equipmentId.value_or("");
    if (modem.empty()) modem = modem_.device.value_or("");
    if (modem.empty()) modem = path_;
    return ChangesPath(changesFolder_, modem);
}

void MmCard::Remember(const LocationChanges& changes) {
    changes_ = changes;
    std::string file = ChangesFile();
    if (file.empty()) return;
    if (!SaveChanges(file, changes)) {
        Trace(framework::kTraceWarning, "cannot write what Satview changes on the modem to " +
                                            file + ": a Satview killed now leaves it on");
    }
}

void MmCard::FollowSetup(const LocationSetup& now, bool enabled) {
    if (changes_.Empty()) return;
    // A modem being switched off or on, and a setup told before Satview's own was in force,
    // say nothing of another client.
    if (!enabled) {
        inForce_ = false;
        return;
    }
    if (!inForce_) {
        inForce_ = InForce(now, changes_);
        return;
    }
    LocationChanges before = changes_;
    TakenAway away = NoteSetup(now, before);
    if (!away.Any()) return;
    Remember(before);
    std::string what;
    if (away.sources) what = SourceNames(away.sources);
    if (away.signals) what += std::string(what.empty() ? "" : ", ") + "the location signals";
    if (away.refreshRate) what += std::string(what.empty() ? "" : ", ") + "the refresh rate";
    bool stops = (away.sources & mm::kSourceGpsNmea) || away.signals;
    Trace(framework::kTraceWarning,
          "another client changed the location setup: " + what +
              " no longer as Satview set it; left so" +
              (stops && life_.GpsOpen() ? " (the session's positions stop)" : ""));
}

MmCard::Reply MmCard::StartGps(uint32_t& status) {
    uint32_t capabilities;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ || life_.GetLink() == Link::Silent) return Reply::Error;
        capabilities = modem_.capabilities.value_or(0);
    }
    if (!(capabilities & mm::kGpsSources)) return Reply::Error;
    uint32_t wanted = capabilities & mm::kGpsSources;
    if (agpsWanted_) {
        // One assisted mode at a time: MS-based preferred.
        if (capabilities & mm::kSourceAgpsMsb) {
            wanted |= mm::kSourceAgpsMsb;
        } else if (capabilities & mm::kSourceAgpsMsa) {
            wanted |= mm::kSourceAgpsMsa;
        }
    }
    // Added to the setup as it is now, which other clients may have changed.
    LocationSetup now;
    auto read = api_.ReadSetup(path_, now);
    if (read.unanswered) return NoReply("reading the location setup");
    if (!read.ok) {
        Refused("reading the location setup", read);
        return Reply::Error;
    }
    const LocationChanges earlier = changes_;
    StartPlan plan = PlanStart(now, wanted, earlier);
    // Written before the calls: a Satview killed meanwhile undoes them at its next start.
    Remember(plan.changes);
    if (plan.setRefresh) {
        // Every trace rather than one each 30 s.
        auto rate = api_.SetGpsRefreshRate(path_, 0);
        if (rate.unanswered) return NoReply("the GPS refresh rate");
        if (!rate.ok) {
            bool unauthorized = Refused("the GPS refresh rate", rate);
            LocationChanges without = plan.changes;
            without.refreshBefore = earlier.refreshBefore;
            plan.changes = without;
            if (unauthorized) {
                Remember(earlier);
                status = framework::kGpsStatusNotAuthorized;
                return Reply::Error;
            }
            Remember(plan.changes);
        }
    }
    auto result = api_.Setup(path_, plan.setup.sources, true);
    if (result.unanswered) return NoReply("starting GPS");
    if (!result.ok) {
        if (Refused("starting GPS", result)) status = framework::kGpsStatusNotAuthorized;
        LocationChanges refreshOnly = earlier;
        refreshOnly.refreshBefore = plan.changes.refreshBefore;
        Remember(refreshOnly);
        return Reply::Error;
    }
    inForce_ = false;
    Trace(framework::kTraceNotice,
          "location setup: " + SourceNames(plan.setup.sources) + ", signals on; Satview's: " +
              SourceNames(plan.changes.sources) + (plan.changes.signals ? ", the signals" : "") +
              (plan.changes.refreshBefore ? ", the refresh rate" : ""));
    {
        std::lock_guard<std::mutex> lock(gpsMutex_);
        lastSentences_.clear();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    life_.GpsOpened();
    return Reply::Ok;
}

MmCard::Reply MmCard::Undo(const char* what) {
    LocationSetup now;
    auto read = api_.ReadSetup(path_, now);
    if (read.unanswered) return NoReply(what);
    if (!read.ok) {
        Refused(what, read);
        return Reply::Error;
    }
    StopPlan plan = PlanStop(now, changes_);
    if (plan.setup) {
        auto result = api_.Setup(path_, plan.setup->sources, plan.setup->signals);
        if (result.unanswered) return NoReply(what);
        if (!result.ok) {
            Refused(what, result);
            return Reply::Error;
        }
        Trace(framework::kTraceNotice, std::string(what) + ": location setup " +
                                           SourceNames(plan.setup->sources) +
                                           (plan.setup->signals ? ", signals on" : ""));
    }
    LocationChanges left = changes_;
    left.sources = 0;
    left.signals = false;
    if (plan.refreshRate) {
        // The receiver is off by now: a rate not put back is told, and tried again next time.
        auto rate = api_.SetGpsRefreshRate(path_, *plan.refreshRate);
        if (rate.unanswered) {
            NoReply("putting the GPS refresh rate back");
        } else if (!rate.ok) {
            Refused("putting the GPS refresh rate back", rate);
        } else {
            left.refreshBefore.reset();
        }
    } else {
        left.refreshBefore.reset();  // another client's rate now
    }
    Remember(left);
    return Reply::Ok;
}

void MmCard::UndoLeftovers() {
    std::string file = ChangesFile();
    if (file.empty() || life_.GpsOpen()) return;
    std::optional<LocationChanges> left = LoadChanges(file);
    if (!left || left->Empty()) return;
    changes_ = *left;
    Trace(framework::kTraceNotice, "an earlier Satview left " + SourceNames(left->sources) +
                                       (left->signals ? ", the signals" : "") +
                                       (left->refreshBefore ? ", the refresh rate" : "") +
                                       " on: undoing it");
    Undo("undoing an earlier session");
}

MmCard::Reply MmCard::StopGps() {
    Reply reply = Undo("stopping GPS");
    std::lock_guard<std::mutex> lock(mutex_);
    if (reply == Reply::None) {
        // As with a serial card that stays silent: its records no longer count.
        life_.GpsCloseUnanswered();
    } else {
        life_.GpsCloseAnswered(reply == Reply::Ok);
    }
    return reply;
}

std::optional<std::string> MmCard::Execute(const std::string& line) {
    std::optional<GpsRequest> request = ReadGpsLine(platform::TrimBlanks(line));
    if (!request) return kError;
    auto answer = [](Reply reply) -> std::optional<std::string> {
        if (reply == Reply::None) return std::nullopt;
        return reply == Reply::Ok ? kOk : kError;
    };
    switch (request->command) {
        case GpsCommand::kGpsType: {
            std::lock_guard<std::mutex> lock(mutex_);
            return GpsTypeLine(MmGpsType(modem_.capabilities.value_or(0))) + "\r\n" + kOk;
        }
        case GpsCommand::kGpsStart: {
            uint32_t status = 0;
            return answer(StartGps(status));
        }
        case GpsCommand::kGpsStop:
            return answer(StopGps());
        case GpsCommand::kSuplServer: {
            auto result = api_.SetSuplServer(path_, request->text);
            if (result.unanswered) return answer(NoReply("the SUPL server"));
            if (!result.ok) Refused("the SUPL server", result);
            return result.ok ? kOk : kError;
        }
        case GpsCommand::kPositionMode:
            // 0: the receiver on its own; any other mode asks for network assistance.
            agpsWanted_ = request->number != 0;
            return kOk;
        // The APN comes from the modem's bearer and assistance data are ModemManager's
        // business: accepted.
        case GpsCommand::kApn:
        case GpsCommand::kSecTime:
        case GpsCommand::kFixInterval:
            return kOk;
        case GpsCommand::kProbe: {
            auto result = api_.Ping(path_);
            if (!result.ok) Unanswered();
            if (result.unanswered) return answer(NoReply("a look at the modem"));
            return result.ok ? kOk : kError;
        }
    }
    return kError;
}

bool MmCard::SendUser(const std::string& line) {
    if (Stopping()) return false;
    api_.Post([self = shared_from_this(), line] {
        if (self->Stopping()) return;
        std::optional<std::string> answer = self->Execute(line);
        // Unanswered in time: nothing comes, as from a serial card that stays silent.
        if (!answer || self->Stopping()) return;
        self->listener_.OnUserAnswer(*self, *answer);
    });
    return true;
}

bool MmCard::OpenGps(uint32_t& status) {
    // Shared with the task, which may outlive a wait that gave up.
    struct Outcome {
        Reply reply = Reply::None;
        uint32_t status = 0;
    };
    auto outcome = std::make_shared<Outcome>();
    bool ran = api_.RunSync(
        [self = shared_from_this(), outcome] { outcome->reply = self->StartGps(outcome->status); });
    bool ok = ran && outcome->reply == Reply::Ok;
    if (ran && !ok) status = outcome->status;
    const char* told = ok                              ? "opened"
                       : !ran                          ? "not opened: the bus thread was held up"
                       : outcome->reply == Reply::None ? "not opened: no answer"
                                                       : "not opened";
    Trace(framework::kTraceNotice, std::string("GPS session ") + told);
    return ok;
}

bool MmCard::CloseGps() {
    auto reply = std::make_shared<Reply>(Reply::None);
    bool ran = api_.RunSync([self = shared_from_this(), reply] { *reply = self->StopGps(); });
    if (!ran) {
        std::lock_guard<std::mutex> lock(mutex_);
        life_.GpsCloseUnanswered();
    }
    bool ok = ran && *reply == Reply::Ok;
    const char* told = ok                             ? "closed"
                       : ran && *reply != Reply::None ? "not closed"
                                                      : "closed without ModemManager's answer";
    Trace(framework::kTraceNotice, std::string("GPS session ") + told);
    return ok;
}

}  // namespace devicemgr
