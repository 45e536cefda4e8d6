#include "sleep_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace platform {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr std::uint64_t kCallTimeoutUs = 3'000'000;

// Milliseconds until the bus's next own deadline (an absolute monotonic time), -1 for none.
int PollTimeout(sd_bus* bus) {
    std::uint64_t until = 0;
    if (sd_bus_get_timeout(bus, &until) < 0 || until == UINT64_MAX) return -1;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t nowUs = static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
                                static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
    if (until <= nowUs) return 0;
    return static_cast<int>((until - nowUs + 999) / 1000);
}

}  // namespace

struct SleepWatcher::Bus {
    sd_bus* bus = nullptr;
    sd_bus_slot* match = nullptr;
    int lock = -1;
    std::vector<bool> announced;  // PrepareForSleep arguments not handled yet

    ~Bus() {
        ReleaseLock();
        sd_bus_slot_unref(match);
        sd_bus_flush_close_unref(bus);
    }

    // A delay lock for sleep: logind waits for it to be closed before it suspends.
    bool TakeLock(std::string* error) {
        sd_bus_error failure = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        int r = sd_bus_call_method(bus, kLogind, kLogindPath, kManager, "Inhibit", &failure, &reply,
                                   "ssss", "sleep", "Satview",
                                   "GPS positioning is stopped before the system sleeps", "delay");
        int fd = -1;
        if (r >= 0) r = sd_bus_message_read(reply, "h", &fd);
        if (r >= 0) {
            // The reply owns its descriptor; keep a copy of our own.
            lock = fcntl(fd, F_DUPFD_CLOEXEC, 3);
            if (lock < 0) r = -errno;
        }
        if (r < 0 && error != nullptr) {
            *error = failure.message != nullptr ? failure.message : "Inhibit failed";
        }
        sd_bus_message_unref(reply);
        sd_bus_error_free(&failure);
        return r >= 0;
    }

    void ReleaseLock() {
        if (lock >= 0) close(lock);
        lock = -1;
    }

    static int OnPrepareForSleep(sd_bus_message* message, void* self, sd_bus_error*) {
        int sleeping = 0;
        if (sd_bus_message_read(message, "b", &sleeping) >= 0) {
            static_cast<Bus*>(self)->announced.push_back(sleeping != 0);
        }
        return 0;
    }
};

SleepWatcher::SleepWatcher(Handler handler) : handler_(std::move(handler)) {}

SleepWatcher::~SleepWatcher() {
    Stop();
}

bool SleepWatcher::Start(std::string* error) {
    if (Running()) return true;
    auto bus = std::make_unique<Bus>();
    int r = sd_bus_open_system(&bus->bus);
    if (r < 0) {
        if (error != nullptr) *error = "no system bus";
        return false;
    }
    // Start runs on the caller's (window) thread: a logind that does not answer must not hold
    // it for sd-bus's default 25 s.
    sd_bus_set_method_call_timeout(bus->bus, kCallTimeoutUs);
    r = sd_bus_match_signal(bus->bus, &bus->match, kLogind, kLogindPath, kManager,
                            "PrepareForSleep", &Bus::OnPrepareForSleep, bus.get());
    if (r < 0) {
        if (error != nullptr) *error = "cannot subscribe to PrepareForSleep";
        return false;
    }
    if (!bus->TakeLock(error)) return false;
    if (pipe2(wake_, O_CLOEXEC) != 0) {
        if (error != nullptr) *error = "no pipe";
        return false;
    }
    bus_ = std::move(bus);
    stopping_ = false;
    finished_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void SleepWatcher::Run() {
    sd_bus* bus = bus_->bus;
    while (!stopping_.load()) {
        int r = sd_bus_process(bus, nullptr);
        if (r < 0) break;  // the bus went away
        std::vector<bool> announced;
        announced.swap(bus_->announced);
        for (bool sleeping : announced) {
            if (stopping_.load()) break;
            if (handler_) handler_(sleeping);
            if (sleeping) {
                bus_->ReleaseLock();
            } else if (bus_->lock < 0) {
                bus_->TakeLock(nullptr);
            }
        }
        if (r > 0) continue;
        pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0},
                         {wake_[0], POLLIN, 0}};
        if (poll(fds, 2, PollTimeout(bus)) < 0 && errno != EINTR) break;
    }
    finished_ = true;
}

void SleepWatcher::RequestStop() {
    stopping_ = true;
    if (wake_[1] >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t written = write(wake_[1], &byte, 1);
    }
}

void SleepWatcher::Stop() {
    if (thread_.joinable()) {
        RequestStop();
        thread_.join();
    }
    bus_.reset();
    for (int& fd : wake_) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

}  // namespace platform
