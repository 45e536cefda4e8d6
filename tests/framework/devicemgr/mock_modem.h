// The device manager over the mock of ModemManager (mock_modemmanager.h): a modem as the mock
// offers it, and the manager's options and traces for it.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "framework/devicemgr/device_manager.h"
#include "mock_modemmanager.h"
#include "platform/serving_wait.h"

namespace mock_modem {

using testing_support::MockModemManager;
using namespace std::chrono_literals;

inline constexpr const char* kModemPath = "/org/freedesktop/ModemManager1/Modem/0";
inline constexpr const char* kModem = "org.freedesktop.ModemManager1.Modem";
inline constexpr const char* kLocation = "org.freedesktop.ModemManager1.Modem.Location";

inline bool MockUsable() {
    return MockModemManager::Unavailable().empty();
}

inline bool SetModem(const MockModemManager& mm, const std::string& name,
                     const std::string& typeAndValue) {
    return mm.Set(kModemPath, kModem, name, typeAndValue);
}

// How long a silent method of the mock keeps its caller waiting: longer than any time-out here.
inline constexpr auto kSilence = 3s;

// An enabled modem offering NMEA and raw GPS, 3gpp-lac-ci on, every 30 s.
struct MockModem {
    std::string path = kModemPath;
    std::string ports = "2 ttyUSB4 3 ttyUSB6 5";  // Ports, as busctl writes an a(su)
    std::string device;                           // Device; none when empty
    int32_t state = 8;
    // The Location method that answers only after kSilence.
    std::string silent;
    // Setup and SetGpsRefreshRate change the setup's properties, as ModemManager does.
    bool followsSetup = false;
};

// The modem is announced as ModemManager announces it (the mock's AddObject does not).
inline bool AddGpsModem(const MockModemManager& mm, const MockModem& modem = {}) {
    std::string modemProperties =
        std::to_string(modem.device.empty() ? 5 : 6) + " State i " + std::to_string(modem.state) +
        " UnlockRequired u 1 StateFailedReason u 0 Model s 'Wendrix 3G' Ports 'a(su)' " +
        modem.ports + (modem.device.empty() ? "" : " Device s '" + modem.device + "'");
    std::string locationProperties =
        "5 Capabilities u 6 Enabled u 1 SignalsLocation b false Location 'a{uv}' 0"
        " GpsRefreshRate u 30";
    bool ok = mm.Mock(MockModemManager::kRoot, "AddObject 'ssa{sv}a(ssss)' " + modem.path + " " +
                                                   kModem + " " + modemProperties + " 0") &&
              mm.Mock(modem.path, std::string("AddProperties 'sa{sv}' ") + kLocation + " " +
                                      locationProperties);
    const std::string set = std::string("self.Set(\"") + kLocation + "\", ";
    struct Method {
        const char* name;
        const char* in;
        std::string follows;
    } methods[] = {
        {"Setup", "ub",
         set + "\"Enabled\", dbus.UInt32(args[0])); " + set +
             "\"SignalsLocation\", dbus.Boolean(args[1]))"},
        {"SetGpsRefreshRate", "u", set + "\"GpsRefreshRate\", dbus.UInt32(args[0]))"},
        {"SetSuplServer", "s", ""},
    };
    for (const Method& method : methods) {
        std::string code = method.name == modem.silent
                               ? "time.sleep(" + std::to_string(kSilence.count()) + ")"
                           : modem.followsSetup ? method.follows
                                                : "";
        ok = ok && mm.Mock(modem.path, std::string("AddMethod sssss ") + kLocation + " " +
                                           method.name + " " + method.in + " '' '" + code + "'");
    }
    return ok && mm.Mock(MockModemManager::kRoot,
                         "EmitSignal sssav org.freedesktop.DBus.ObjectManager InterfacesAdded "
                         "'oa{sa{sv}}' 2 o " +
                             modem.path + " 'a{sa{sv}}' 2 " + kModem + " " + modemProperties + " " +
                             kLocation + " " + locationProperties);
}

// What the manager traced, for tests that read it from several threads.
struct TraceLog {
    std::mutex mutex;
    std::string text;
    bool Has(const std::string& part) {
        std::lock_guard<std::mutex> lock(mutex);
        return text.find(part) != std::string::npos;
    }
    std::string All() {
        std::lock_guard<std::mutex> lock(mutex);
        return text;
    }
};

// The manager on the mock's modems only, waiting as the program's window kit has it.
inline devicemgr::ManagerOptions MockOptions(const MockModemManager& mm, TraceLog& log,
                                             devicemgr::MmTimeouts timeouts = {}) {
    devicemgr::ManagerOptions options;
    options.listPorts = [] { return std::vector<platform::SerialPort>{}; };
    options.watchPorts = false;
    options.cardPath = "modemmanager";
    options.mmBusAddress = mm.Address();
    options.mmTimeouts = timeouts;
    options.mmChangesFolder = mm.ChangesFolder();
    options.wait = platform::WindowKitWait();
    options.nmeaFeed = false;
    options.trace = [&log](int, const std::string& text) {
        std::lock_guard<std::mutex> lock(log.mutex);
        log.text += text + "\n";
    };
    return options;
}

}  // namespace mock_modem
