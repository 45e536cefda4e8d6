#include "framework/devicemgr/mm_bus.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace devicemgr {
namespace {

constexpr const char* kService = "org.freedesktop.ModemManager1";
constexpr const char* kRoot = "/org/freedesktop/ModemManager1";
constexpr const char* kModem = "org.freedesktop.ModemManager1.Modem";
constexpr const char* kLocation = "org.freedesktop.ModemManager1.Modem.Location";
constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr uint32_t kNmeaSource = 1u << 2;  // MM_MODEM_LOCATION_SOURCE_GPS_NMEA

template <class T>
bool ReadVariant(sd_bus_message* m, char type, const char* signature, T& value) {
    if (sd_bus_message_enter_container(m, 'v', signature) <= 0) return false;
    bool ok = sd_bus_message_read_basic(m, type, &value) > 0;
    sd_bus_message_exit_container(m);
    return ok;
}

bool ReadString(sd_bus_message* m, std::optional<std::string>& into) {
    const char* text = nullptr;
    if (!ReadVariant(m, 's', "s", text) || !text) return false;
    into = text;
    return true;
}

bool ReadPorts(sd_bus_message* m, MmProperties& p) {
    if (sd_bus_message_enter_container(m, 'v', "a(su)") <= 0) return false;
    std::vector<std::pair<std::string, uint32_t>> ports;
    if (sd_bus_message_enter_container(m, 'a', "(su)") > 0) {
        const char* name;
        uint32_t type;
        while (sd_bus_message_read(m, "(su)", &name, &type) > 0) ports.emplace_back(name, type);
        sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    p.ports = std::move(ports);
    return true;
}

bool ReadLocation(sd_bus_message* m, MmProperties& p) {
    if (sd_bus_message_enter_container(m, 'v', "a{uv}") <= 0) return false;
    if (sd_bus_message_enter_container(m, 'a', "{uv}") > 0) {
        while (sd_bus_message_enter_container(m, 'e', "uv") > 0) {
            uint32_t source = 0;
            sd_bus_message_read(m, "u", &source);
            const char* text = nullptr;
            if (source == kNmeaSource && sd_bus_message_read(m, "v", "s", &text) > 0 && text) {
                p.nmea = text;
            } else if (source != kNmeaSource) {
                sd_bus_message_skip(m, "v");
            }
            sd_bus_message_exit_container(m);
        }
        sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    return true;
}

// One property of `interface` at the message's place ("sv" entered); false: skip its value.
bool ReadProperty(sd_bus_message* m, bool location, const std::string& name, MmProperties& p) {
    if (location) {
        uint32_t u = 0;
        int b = 0;
        if (name == "Capabilities")
            return ReadVariant(m, 'u', "u", u) && (p.capabilities = u, true);
        if (name == "Enabled") return ReadVariant(m, 'u', "u", u) && (p.enabled = u, true);
        if (name == "SignalsLocation")
            return ReadVariant(m, 'b', "b", b) && (p.signalsLocation = b != 0, true);
        if (name == "GpsRefreshRate")
            return ReadVariant(m, 'u', "u", u) && (p.refreshRate = u, true);
        if (name == "Location") return ReadLocation(m, p);
        return false;
    }
    int32_t i = 0;
    uint32_t u = 0;
    if (name == "State") return ReadVariant(m, 'i', "i", i) && (p.state = i, true);
    if (name == "StateFailedReason")
        return ReadVariant(m, 'u', "u", u) && (p.failedReason = u, true);
    if (name == "UnlockRequired")
        return ReadVariant(m, 'u', "u", u) && (p.unlockRequired = u, true);
    if (name == "Manufacturer") return ReadString(m, p.manufacturer);
    if (name == "Model") return ReadString(m, p.model);
    if (name == "EquipmentIdentifier") return ReadString(m, p.equipmentId);
    if (name == "Device") return ReadString(m, p.device);
    if (name == "Ports") return ReadPorts(m, p);
    return false;
}

// An a{sv} of properties of `interface`.
void ReadProperties(sd_bus_message* m, bool location, MmProperties& p) {
    if (sd_bus_message_enter_container(m, 'a', "{sv}") <= 0) return;
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
        const char* name = nullptr;
        sd_bus_message_read(m, "s", &name);
        // A value not read (unknown name or unexpected type) is skipped.
        if (!name || !ReadProperty(m, location, name, p)) sd_bus_message_skip(m, "v");
        sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
}

// An a{sa{sv}} of interfaces and their properties; true when the Modem interface is there.
bool ReadInterfaces(sd_bus_message* m, MmProperties& p) {
    bool modem = false;
    if (sd_bus_message_enter_container(m, 'a', "{sa{sv}}") <= 0) return false;
    while (sd_bus_message_enter_container(m, 'e', "sa{sv}") > 0) {
        const char* interface = nullptr;
        sd_bus_message_read(m, "s", &interface);
        std::string name = interface ? interface : "";
        if (name == kModem || name == kLocation) {
            modem |= name == kModem;
            ReadProperties(m, name == kLocation, p);
        } else {
            sd_bus_message_skip(m, "a{sv}");
        }
        sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    return modem;
}

MmApi::Result ResultOf(int r, const sd_bus_error& error) {
    MmApi::Result result;
    result.ok = r >= 0;
    if (!result.ok) {
        result.error = error.name ? error.name : "errno " + std::to_string(-r);
        result.message = error.message ? error.message : std::strerror(-r);
        // The call's own time-out, or the bus's word that no reply will come.
        result.unanswered = r == -ETIMEDOUT ||
                            sd_bus_error_has_name(&error, SD_BUS_ERROR_NO_REPLY) ||
                            sd_bus_error_has_name(&error, SD_BUS_ERROR_TIMEOUT);
    }
    return result;
}

}  // namespace

struct MmBus::Connection {
    sd_bus* bus = nullptr;
    sd_bus_slot* ownerSlot = nullptr;
    sd_bus_slot* modemSlots[3] = {};
    // ModemManager's unique name on the bus now; empty while it is away. Only its signals and
    // replies are taken: any connection may send a signal.
    std::string unique;
    ~Connection() {
        DropModemMatches();
        sd_bus_slot_unref(ownerSlot);
        sd_bus_flush_close_unref(bus);
    }
    void DropModemMatches() {
        for (sd_bus_slot*& slot : modemSlots) slot = sd_bus_slot_unref(slot);
    }

    static bool FromModemManager(sd_bus_message* m, void* self) {
        const char* sender = sd_bus_message_get_sender(m);
        const std::string& unique = static_cast<MmBus*>(self)->bus_->unique;
        return sender && !unique.empty() && unique == sender;
    }
    static int OnAdded(sd_bus_message* m, void* self, sd_bus_error*) {
        if (!FromModemManager(m, self)) return 0;
        const char* path = nullptr;
        if (sd_bus_message_read(m, "o", &path) <= 0 || !path) return 0;
        MmProperties p;
        bool modem = ReadInterfaces(m, p);
        static_cast<MmBus*>(self)->ModemTold(path, p, modem);
        return 0;
    }
    static int OnRemoved(sd_bus_message* m, void* self, sd_bus_error*) {
        if (!FromModemManager(m, self)) return 0;
        const char* path = nullptr;
        if (sd_bus_message_read(m, "o", &path) <= 0 || !path) return 0;
        if (sd_bus_message_enter_container(m, 'a', "s") <= 0) return 0;
        const char* interface = nullptr;
        while (sd_bus_message_read(m, "s", &interface) > 0) {
            if (interface && std::strcmp(interface, kModem) == 0) {
                static_cast<MmBus*>(self)->ModemGone(path);
                break;
            }
        }
        return 0;
    }
    static int OnChanged(sd_bus_message* m, void* self, sd_bus_error*) {
        if (!FromModemManager(m, self)) return 0;
        const char* interface = nullptr;
        if (sd_bus_message_read(m, "s", &interface) <= 0 || !interface) return 0;
        bool location = std::strcmp(interface, kLocation) == 0;
        if (!location && std::strcmp(interface, kModem) != 0) return 0;
        MmProperties p;
        ReadProperties(m, location, p);
        static_cast<MmBus*>(self)->ModemTold(sd_bus_message_get_path(m), p, false);
        return 0;
    }
    static int OnOwner(sd_bus_message* m, void* self, sd_bus_error*) {
        // Only the bus itself tells who owns a name.
        const char* sender = sd_bus_message_get_sender(m);
        if (!sender || std::strcmp(sender, "org.freedesktop.DBus") != 0) return 0;
        const char *name = nullptr, *before = nullptr, *after = nullptr;
        if (sd_bus_message_read(m, "sss", &name, &before, &after) <= 0) return 0;
        if (!name || std::strcmp(name, kService) != 0) return 0;
        static_cast<MmBus*>(self)->OwnerChanged(after ? after : "");
        return 0;
    }
};

MmBus::MmBus(std::string address, MmBusListener& owner, CardListener& cards, MmTimeouts timeouts,
             platform::ServingWait wait, std::string changesFolder)
    : address_(std::move(address)),
      changesFolder_(std::move(changesFolder)),
      timeouts_(timeouts),
      wait_(std::move(wait)),
      owner_(owner),
      cardListener_(cards) {
    if (address_.empty()) {
        if (const char* env = std::getenv("SATVIEW_MM_BUS")) address_ = env;
    }
}

MmBus::~MmBus() {
    Stop();
}

void MmBus::Trace(int level, const std::string& text) {
    owner_.OnBusTrace(level, text);
}

void MmBus::Start() {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = true;
    }
    thread_ = std::thread([this] {
        Run();
        threadEnded_ = true;
    });
}

void MmBus::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    if (wakeFd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
    // The thread may be delivering to a sink that sends to the window thread.
    wait_.Join(thread_, [this] { return threadEnded_.load(); });
    if (wakeFd_ >= 0) ::close(wakeFd_);
    wakeFd_ = -1;
}

void MmBus::Settled() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        settled_ = true;
    }
    changed_.notify_all();
}

bool MmBus::WaitSettled(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return settled_ || !running_; });
}

void MmBus::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_) return;
        tasks_.push_back(std::move(task));
    }
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

bool MmBus::RunSync(std::function<void()> task) {
    if (std::this_thread::get_id() == threadId_.load()) {
        task();
        return true;
    }
    // Shared with the bus thread, which may come to the task after the wait gave up.
    struct Job {
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
        bool abandoned = false;
    };
    auto job = std::make_shared<Job>();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_) return false;
        tasks_.push_back([job, task = std::move(task)] {
            {
                std::lock_guard<std::mutex> lock(job->mutex);
                if (job->abandoned) return;
            }
            task();
            std::lock_guard<std::mutex> lock(job->mutex);
            job->done = true;
            job->changed.notify_all();
        });
    }
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    std::unique_lock<std::mutex> lock(job->mutex);
    auto done = [&] { return job->done; };
    if (wait_.Wait(lock, job->changed, done, timeouts_.waitMs)) return true;
    job->abandoned = true;
    lock.unlock();
    Trace(framework::kTraceWarning, "ModemManager's bus thread did not get a command done within " +
                                        std::to_string(timeouts_.waitMs) + " ms");
    return false;
}

void MmBus::RunTasks() {
    while (true) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

bool MmBus::Connect() {
    bus_ = std::make_unique<Connection>();
    int r;
    if (address_.empty()) {
        r = sd_bus_open_system(&bus_->bus);
    } else {
        r = sd_bus_new(&bus_->bus);
        if (r >= 0) r = sd_bus_set_address(bus_->bus, address_.c_str());
        if (r >= 0) r = sd_bus_set_bus_client(bus_->bus, 1);
        if (r >= 0) r = sd_bus_start(bus_->bus);
    }
    std::string where = address_.empty() ? "the system bus" : address_;
    if (r < 0) {
        Trace(framework::kTraceNotice, "no D-Bus for ModemManager (" + where + ": " +
                                           std::strerror(-r) +
                                           "): cards are reached over their ports");
        bus_.reset();
        return false;
    }
    sd_bus* bus = bus_->bus;
    // Every call made on this connection, those made for the dialog's commands first.
    sd_bus_set_method_call_timeout(bus, uint64_t(std::max(timeouts_.callMs, 1)) * 1000);
    // Who owns ModemManager's name is followed before it is asked: no change falls between.
    std::string owner =
        "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
        "member='NameOwnerChanged',arg0='" +
        std::string(kService) + "'";
    r = sd_bus_add_match(bus, &bus_->ownerSlot, owner.c_str(), &Connection::OnOwner, this);
    if (r >= 0) r = Follow(CurrentOwner());
    if (r < 0) {
        Trace(framework::kTraceWarning,
              "cannot follow ModemManager on " + where + ": " + std::strerror(-r));
        bus_.reset();
        return false;
    }
    present_ = !bus_->unique.empty();
    owner_.OnModemManagerPresence(present_);
    if (present_) {
        ReadModems();
    } else {
        Trace(framework::kTraceNotice,
              "ModemManager is not on " + where + ": cards are reached over their ports");
    }
    return true;
}

std::string MmBus::CurrentOwner() {
    // Asked by name, never called: a call would start it through bus activation.
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const char* unique = nullptr;
    std::string owner;
    int r =
        sd_bus_call_method(bus_->bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "GetNameOwner", &error, &reply, "s", kService);
    if (r >= 0 && sd_bus_message_read(reply, "s", &unique) > 0 && unique) owner = unique;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return owner;
}

int MmBus::Follow(const std::string& unique) {
    bus_->DropModemMatches();
    bus_->unique = unique;
    if (unique.empty()) return 0;
    auto rule = [&](const char* interface, const char* member, const char* path) {
        return "type='signal',sender='" + unique + "',interface='" + interface + "',member='" +
               member + "'," + path + "='" + kRoot + "'";
    };
    const std::string rules[] = {
        rule(kObjectManager, "InterfacesAdded", "path"),
        rule(kObjectManager, "InterfacesRemoved", "path"),
        rule("org.freedesktop.DBus.Properties", "PropertiesChanged", "path_namespace")};
    sd_bus_message_handler_t handlers[] = {&Connection::OnAdded, &Connection::OnRemoved,
                                           &Connection::OnChanged};
    for (int i = 0; i < 3; ++i) {
        int r =
            sd_bus_add_match(bus_->bus, &bus_->modemSlots[i], rules[i].c_str(), handlers[i], this);
        if (r < 0) return r;
    }
    return 0;
}

void MmBus::ReadModems() {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(bus_->bus, kService, kRoot, kObjectManager, "GetManagedObjects",
                               &error, &reply, "");
    const char* sender = r >= 0 ? sd_bus_message_get_sender(reply) : nullptr;
    if (r >= 0 && (!sender || bus_->unique != sender)) {
        // Answered by a ModemManager that is no longer the one followed: its successor's
        // modems are read when it is told.
        Trace(framework::kTraceNotice, "ModemManager changed while its modems were read");
    } else if (r < 0) {
        Trace(framework::kTraceWarning, std::string("ModemManager's modems not read: ") +
                                            (error.message ? error.message : std::strerror(-r)));
    } else if (sd_bus_message_enter_container(reply, 'a', "{oa{sa{sv}}}") > 0) {
        while (sd_bus_message_enter_container(reply, 'e', "oa{sa{sv}}") > 0) {
            const char* path = nullptr;
            sd_bus_message_read(reply, "o", &path);
            MmProperties p;
            bool modem = ReadInterfaces(reply, p);
            if (path) ModemTold(path, p, modem);
            sd_bus_message_exit_container(reply);
        }
        Trace(framework::kTraceNotice,
              "ModemManager manages " + std::to_string(modems_.size()) + " modem(s)");
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
}

void MmBus::ModemTold(const std::string& path, const MmProperties& told, bool hasModem) {
    auto found = modems_.find(path);
    if (found != modems_.end()) {
        found->second->Update(told);
        return;
    }
    // Properties of an object seen before its Modem interface wait for it.
    MmProperties& waiting = pending_[path];
    waiting.MergeFrom(told);
    if (!hasModem) return;
    auto card = std::make_shared<MmCard>(path, *this, cardListener_, changesFolder_);
    MmProperties all = waiting;
    pending_.erase(path);
    modems_[path] = card;
    Trace(framework::kTraceNotice, "ModemManager modem: " + path + " \"" +
                                       all.manufacturer.value_or("") + "\" \"" +
                                       all.model.value_or("") + "\"");
    card->Update(all);
    owner_.OnModemAdded(card);
}

void MmBus::ModemGone(const std::string& path) {
    pending_.erase(path);
    auto found = modems_.find(path);
    if (found == modems_.end()) return;
    auto card = found->second;
    modems_.erase(found);
    Trace(framework::kTraceNotice, "ModemManager modem gone: " + path);
    owner_.OnModemRemoved(card);
}

void MmBus::RemoveAll() {
    while (!modems_.empty()) {
        std::string path = modems_.begin()->first;  // ModemGone erases the entry
        ModemGone(path);
    }
    pending_.clear();
}

void MmBus::OwnerChanged(const std::string& unique) {
    if (!bus_ || unique == bus_->unique) return;
    bool present = !unique.empty();
    present_ = present;
    // Told before its modems go: their ports are not to be taken while it may come back.
    owner_.OnModemManagerPresence(present);
    RemoveAll();
    if (int r = Follow(unique); r < 0) {
        Trace(framework::kTraceWarning,
              std::string("cannot follow ModemManager's modems: ") + std::strerror(-r));
    }
    Trace(framework::kTraceNotice, present ? "ModemManager appeared on the bus (" + unique + ")"
                                           : "ModemManager left the bus");
    if (present) ReadModems();
}

void MmBus::Run() {
    threadId_ = std::this_thread::get_id();
    bool connected = Connect();
    Settled();
    while (connected) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) break;
        }
        RunTasks();
        int r = sd_bus_process(bus_->bus, nullptr);
        if (r < 0) {
            Trace(framework::kTraceWarning,
                  std::string("D-Bus connection lost: ") + std::strerror(-r));
            present_ = false;
            owner_.OnModemManagerPresence(false);
            RemoveAll();
            break;
        }
        if (r > 0) continue;
        uint64_t until = 0;
        int timeout = -1;
        if (sd_bus_get_timeout(bus_->bus, &until) >= 0 && until != UINT64_MAX) {
            struct timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            uint64_t nowUs = uint64_t(now.tv_sec) * 1000000 + uint64_t(now.tv_nsec) / 1000;
            timeout = until <= nowUs ? 0 : int((until - nowUs + 999) / 1000);
        }
        pollfd fds[2] = {
            {sd_bus_get_fd(bus_->bus), static_cast<short>(sd_bus_get_events(bus_->bus)), 0},
            {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(wakeFd_, &count, sizeof count);
        }
    }
    // Cards made go on existing until their owner drops them: their calls now do nothing.
    std::deque<std::function<void()>> left;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        left.swap(tasks_);
    }
    changed_.notify_all();
    for (auto& task : left) task();  // waiters are released; cards see the bus gone
    bus_.reset();
}

MmApi::Result MmBus::Enable(const std::string& path) {
    if (!bus_) return {false, "org.freedesktop.DBus.Error.Disconnected", "no bus"};
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r = sd_bus_call_method(bus_->bus, kService, path.c_str(), kModem, "Enable", &error, nullptr,
                               "b", 1);
    auto result = ResultOf(r, error);
    sd_bus_error_free(&error);
    return result;
}

MmApi::Result MmBus::ReadSetup(const std::string& path, LocationSetup& setup) {
    if (!bus_) return {false, "org.freedesktop.DBus.Error.Disconnected", "no bus"};
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(bus_->bus, kService, path.c_str(), "org.freedesktop.DBus.Properties",
                               "GetAll", &error, &reply, "s", kLocation);
    auto result = ResultOf(r, error);
    // The bus hands a reply only from the connection called; that one is still ModemManager.
    const char* sender = result.ok ? sd_bus_message_get_sender(reply) : nullptr;
    if (result.ok && (!sender || bus_->unique != sender)) {
        result = {false, "org.freedesktop.DBus.Error.NameHasNoOwner", "ModemManager changed"};
    }
    if (result.ok) {
        MmProperties p;
        ReadProperties(reply, true, p);
        setup = {p.enabled.value_or(0), p.signalsLocation.value_or(false),
                 p.refreshRate.value_or(0)};
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return result;
}

MmApi::Result MmBus::Setup(const std::string& path, uint32_t sources, bool signalLocation) {
    if (!bus_) return {false, "org.freedesktop.DBus.Error.Disconnected", "no bus"};
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r = sd_bus_call_method(bus_->bus, kService, path.c_str(), kLocation, "Setup", &error,
                               nullptr, "ub", sources, static_cast<int>(signalLocation));
    auto result = ResultOf(r, error);
    sd_bus_error_free(&error);
    return result;
}

MmApi::Result MmBus::SetSuplServer(const std::string& path, const std::string& server) {
    if (!bus_) return {false, "org.freedesktop.DBus.Error.Disconnected", "no bus"};
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r = sd_bus_call_method(bus_->bus, kService, path.c_str(), kLocation, "SetSuplServer",
                               &error, nullptr, "s", server.c_str());
    auto result = ResultOf(r, error);
    sd_bus_error_free(&error);
    return result;
}

MmApi::Result MmBus::SetGpsRefreshRate(const std::string& path, uint32_t seconds) {
    if (!bus_) return {false, "org.freedesktop.DBus.Error.Disconnected", "no bus"};
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r = sd_bus_call_method(bus_->bus, kService, path.c_str(), kLocation, "SetGpsRefreshRate",
                               &error, nullptr, "u", seconds);
    auto result = ResultOf(r, error);
    sd_bus_error_free(&error);
    return result;
}

MmApi::Result MmBus::Ping(const std::string& path) {
    if (!bus_) return {false, "org.freedesktop.DBus.Error.Disconnected", "no bus"};
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int32_t state = 0;
    int r = sd_bus_get_property_trivial(bus_->bus, kService, path.c_str(), kModem, "State", &error,
                                        'i', &state);
    auto result = ResultOf(r, error);
    sd_bus_error_free(&error);
    if (result.ok && state == mm::kStateFailed) return {false, "failed", "the modem failed"};
    return result;
}

}  // namespace devicemgr
