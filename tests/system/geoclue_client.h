// A GeoClue client of a few D-Bus calls (sd-bus), as a desktop program is: it registers an
// agent for its user (GeoClue asks an agent before it serves a user's programs), asks for a
// client at the exact accuracy level and collects the locations GeoClue reports. Everything
// runs on the caller's thread, while it waits.
#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace system_test {

class GeoClueClient {
  public:
    struct Location {
        double latitude = NAN, longitude = NAN, accuracy = NAN;
    };
    static constexpr const char* kService = "org.freedesktop.GeoClue2";
    static constexpr uint32_t kExact = 8;  // GClueAccuracyLevel: what a GPS gives

    // Starts on the bus at `address` (unix:path=...).
    explicit GeoClueClient(const std::string& address) {
        if (sd_bus_new(&bus_) < 0 || sd_bus_set_address(bus_, address.c_str()) < 0 ||
            sd_bus_set_bus_client(bus_, 1) < 0 || sd_bus_start(bus_) < 0) {
            error_ = "no bus at " + address;
            return;
        }
        sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/GeoClue2/Agent",
                                 "org.freedesktop.GeoClue2.Agent", kAgent, this);
        sd_bus_call_method_async(bus_, nullptr, kService, "/org/freedesktop/GeoClue2/Manager",
                                 "org.freedesktop.GeoClue2.Manager", "AddAgent", OnAgent, this, "s",
                                 "satview-test-agent");
    }
    ~GeoClueClient() {
        if (bus_) sd_bus_flush_close_unref(bus_);
    }
    GeoClueClient(const GeoClueClient&) = delete;
    GeoClueClient& operator=(const GeoClueClient&) = delete;

    // Serves the bus until `done` holds or `seconds` passed; false then.
    template <typename F>
    bool Serve(F done, int seconds) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (!error_.empty() || !bus_) return false;
            auto now = std::chrono::steady_clock::now();
            if (now > end) return false;
            int r = sd_bus_process(bus_, nullptr);
            if (r < 0) {
                error_ = "the bus went";
                return false;
            }
            if (r == 0) {
                auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - now);
                sd_bus_wait(bus_, static_cast<uint64_t>(std::min<long long>(left.count(), 200000)));
            }
        }
        return true;
    }
    // Whether GeoClue owns its name on the bus at `address` yet: it reads its configuration and
    // sets up its sources first, which takes a while on a loaded machine.
    static bool OnBus(const std::string& address) {
        sd_bus* bus = nullptr;
        int owned = 0;
        if (sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address.c_str()) >= 0 &&
            sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0) {
            sd_bus_message* reply = nullptr;
            if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                                   kService) >= 0)
                sd_bus_message_read(reply, "b", &owned);
            sd_bus_message_unref(reply);
        }
        if (bus) sd_bus_flush_close_unref(bus);
        return owned != 0;
    }
    bool Started() const { return started_; }
    const std::vector<Location>& Locations() const { return locations_; }
    const std::string& Error() const { return error_; }
    const std::vector<std::string>& Authorized() const { return authorized_; }

    // The Manager's AvailableAccuracyLevel: the best its sources can give now.
    uint32_t AvailableAccuracyLevel() {
        uint32_t level = 0;
        sd_bus_error e = SD_BUS_ERROR_NULL;
        sd_bus_get_property_trivial(bus_, kService, "/org/freedesktop/GeoClue2/Manager",
                                    "org.freedesktop.GeoClue2.Manager", "AvailableAccuracyLevel",
                                    &e, 'u', &level);
        sd_bus_error_free(&e);
        return level;
    }

  private:
    static GeoClueClient& Self(void* data) { return *static_cast<GeoClueClient*>(data); }
    bool Failed(sd_bus_message* m, const char* what) {
        if (!sd_bus_message_is_method_error(m, nullptr)) return false;
        error_ = std::string(what) + ": " + sd_bus_message_get_error(m)->message;
        return true;
    }
    static int OnAgent(sd_bus_message* m, void* data, sd_bus_error*) {
        GeoClueClient& self = Self(data);
        if (self.Failed(m, "AddAgent")) return 0;
        sd_bus_call_method_async(self.bus_, nullptr, kService, "/org/freedesktop/GeoClue2/Manager",
                                 "org.freedesktop.GeoClue2.Manager", "CreateClient", OnClient, data,
                                 "");
        return 0;
    }
    static int OnClient(sd_bus_message* m, void* data, sd_bus_error*) {
        GeoClueClient& self = Self(data);
        const char* path = nullptr;
        if (self.Failed(m, "CreateClient") || sd_bus_message_read(m, "o", &path) < 0) return 0;
        self.client_ = path;
        sd_bus_error e = SD_BUS_ERROR_NULL;
        const char* iface = "org.freedesktop.GeoClue2.Client";
        if (sd_bus_set_property(self.bus_, kService, path, iface, "DesktopId", &e, "s",
                                "satview-test-client") < 0 ||
            sd_bus_set_property(self.bus_, kService, path, iface, "RequestedAccuracyLevel", &e, "u",
                                kExact) < 0) {
            self.error_ = std::string("client properties: ") + (e.message ? e.message : "");
            sd_bus_error_free(&e);
            return 0;
        }
        sd_bus_match_signal(self.bus_, nullptr, kService, path, iface, "LocationUpdated",
                            OnLocation, data);
        sd_bus_call_method_async(self.bus_, nullptr, kService, path, iface, "Start", OnStarted,
                                 data, "");
        return 0;
    }
    static int OnStarted(sd_bus_message* m, void* data, sd_bus_error*) {
        GeoClueClient& self = Self(data);
        if (!self.Failed(m, "Start")) self.started_ = true;
        return 0;
    }
    static int OnLocation(sd_bus_message* m, void* data, sd_bus_error*) {
        GeoClueClient& self = Self(data);
        const char *old = nullptr, *now = nullptr;
        if (sd_bus_message_read(m, "oo", &old, &now) < 0) return 0;
        Location location;
        for (auto [name, value] : {std::pair{"Latitude", &location.latitude},
                                   std::pair{"Longitude", &location.longitude},
                                   std::pair{"Accuracy", &location.accuracy}}) {
            sd_bus_error e = SD_BUS_ERROR_NULL;
            sd_bus_get_property_trivial(self.bus_, kService, now,
                                        "org.freedesktop.GeoClue2.Location", name, &e, 'd', value);
            sd_bus_error_free(&e);
        }
        self.locations_.push_back(location);
        return 0;
    }
    static int Authorize(sd_bus_message* m, void* data, sd_bus_error*) {
        const char* id = nullptr;
        uint32_t level = 0;
        sd_bus_message_read(m, "su", &id, &level);
        Self(data).authorized_.push_back(id ? id : "");
        return sd_bus_reply_method_return(m, "bu", 1, level);
    }
    static int MaxLevel(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                        void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "u", kExact);
    }
    static constexpr sd_bus_vtable kAgent[] = {
        SD_BUS_VTABLE_START(0), SD_BUS_METHOD("AuthorizeApp", "su", "bu", Authorize, 0),
        SD_BUS_PROPERTY("MaxAccuracyLevel", "u", MaxLevel, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_VTABLE_END};

    sd_bus* bus_ = nullptr;
    std::string client_, error_;
    bool started_ = false;
    std::vector<Location> locations_;
    std::vector<std::string> authorized_;
};

}  // namespace system_test
