// The device manager reaching the simulated card through the real ModemManager (on a private
// bus, modemmanager_sandbox.h): the modem is found and told like a serial card, the GPS command
// set is carried out through the API, the session gives the simulator's positions and ends GNSS
// on the card, a refused authorization is said, and the modem object's removal is told.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "cardsim/card.h"
#include "manager_fixture.h"
#include "modemmanager_sandbox.h"
#include "nmea.h"

namespace {

using manager_test::Event;
using manager_test::RecordingSink;
using testing_support::ModemManagerSandbox;
using testing_support::WaitFor;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::mutex answersMutex;
std::vector<std::string> answers;
void Collect(const char* answer) {
    std::lock_guard<std::mutex> lock(answersMutex);
    answers.push_back(answer);
}
std::string WaitAnswer(size_t index) {
    WaitFor(
        [&] {
            std::lock_guard<std::mutex> lock(answersMutex);
            return answers.size() > index;
        },
        10s);
    std::lock_guard<std::mutex> lock(answersMutex);
    return answers.size() > index ? answers[index] : "(none)";
}

// Degrees of an "ddmm.mmmm" / "dddmm.mmmm" NMEA value.
double Degrees(double nmea) {
    double whole = std::floor(nmea / 100);
    return whole + (nmea - whole * 100) / 60;
}

// The friendly names the port list gives the device node `node` (links resolved).
std::vector<std::string> ListedNames(const std::string& node) {
    std::vector<std::string> names;
    auto real = std::filesystem::canonical(node).string();
    for (const platform::SerialPort& port : platform::ListSerialPorts()) {
        if (port.node == real) names.push_back(port.friendlyName);
    }
    return names;
}

TEST(ManagerThroughModemManager, FindsTheCardPositionsAndSeesItGo) {
    if (auto why = ModemManagerSandbox::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    ModemManagerSandbox& mm = ModemManagerSandbox::Shared();
    ASSERT_TRUE(mm.Up()) << mm.Log();

    testing_support::TempDir dir;
    ::setenv("SATVIEW_PORTS_DIR", (dir.path() + "/ports").c_str(), 1);
    std::string log;
    for (int second = 0; second < 4; ++second) {
        char rmc[128], gga[128];
        std::snprintf(rmc, sizeof rmc,
                      "GPRMC,1015%02d.00,A,4807.%04d,N,01131.%04d,E,1.2,84.4,080126,,,A", second,
                      381 + 11 * second, 2 + 9 * second);
        std::snprintf(gga, sizeof gga,
                      "GPGGA,1015%02d.00,4807.%04d,N,01131.%04d,E,1,08,0.9,545.4,M,46.9,M,,",
                      second, 381 + 11 * second, 2 + 9 * second);
        log += cardsim::NmeaSentence(rmc) + cardsim::NmeaSentence(gga);
    }
    cardsim::CardOptions options;
    options.dialect = cardsim::Dialect::ModemManager;
    options.registerPorts = false;
    options.nmeaFile = dir.Write("drive.nmea", log);
    cardsim::Card card(options);
    ASSERT_TRUE(card.Start());
    ASSERT_TRUE(mm.AddCard(2, card.AtNode(), card.GpsNode()));

    std::mutex tracesMutex;
    std::string traces;
    devicemgr::ManagerOptions mo;
    // The card's ports are listed too, as the simulator registers them: they are
    // ModemManager's, not opened here.
    std::vector<platform::SerialPort> listed = {
        {card.AtNode(), 90, "TARVEK Wendrix - 3G PC UI Interface (COM90)", "k"},
        {card.GpsNode(), 91, "TARVEK Wendrix - 3G GPS Interface (COM91)", "k"}};
    mo.listPorts = [listed] { return listed; };
    mo.watchPorts = false;
    mo.choicePath = dir.Write("choice.xml", "");
    mo.cardPath = "auto";
    mo.mmBusAddress = mm.Address();
    mo.mmGraceMs = 1000;
    mo.mmChangesFolder = dir.path() + "/changes";
    mo.nmeaFeedLink = dir.path() + "/nmea";
    mo.trace = [&](int, const std::string& text) {
        std::lock_guard<std::mutex> lock(tracesMutex);
        traces += text + "\n";
    };
    auto traced = [&](const std::string& text) {
        std::lock_guard<std::mutex> lock(tracesMutex);
        return traces.find(text) != std::string::npos;
    };
    // ModemManager has the modem before Satview starts (as on a desktop).
    ASSERT_TRUE(WaitFor([&] { return !mm.ModemPath(2).empty(); }, 30s)) << mm.Log();
    RecordingSink sink;
    devicemgr::DeviceManager manager(mo);
    manager.AddDeviceSink(&sink);
    manager.SetAnswerHandler(Collect);

    // Arrival, a usable SIM, ready once Satview enabled the modem and it offers GPS.
    auto events = sink.WaitEvents(3, 40s);
    ASSERT_EQ(events, (std::vector<Event>{{framework::kEventCardArrived, 0},
                                          {framework::kEventSimStatus, 1},
                                          {framework::kEventCardReady, 0}}))
        << mm.Log() << traces;
    EXPECT_EQ(manager.CurrentId(), "wendrix 3g");
    auto cards = manager.Cards();
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_TRUE(traced("GPS port " + card.GpsNode())) << traces;
    // The port list names the modem's ports as the GPS dialog searches for them, with the
    // number of their tty.
    auto number = [](const std::string& node) {
        std::string real = std::filesystem::canonical(node).string();
        return " (COM" + real.substr(real.find_last_not_of("0123456789") + 1) + ")";
    };
    EXPECT_EQ(ListedNames(card.GpsNode()),
              std::vector<std::string>{devicemgr::kGpsPortText + number(card.GpsNode())});
    EXPECT_EQ(ListedNames(card.AtNode()),
              std::vector<std::string>{devicemgr::kAtPortText + number(card.AtNode())});

    // The command set through the API, in the text of a serial card.
    size_t asked = 0;
    for (const auto& [line, answer] : std::vector<std::pair<const char*, const char*>>{
             {"AT^GPSTYPE?\r\n", "^GPSTYPE:1\r\nOK"},
             {"AT^SOCKETCONT=1,\"IP\",\"internet\"\r\n", "OK"},
             // This modem offers no assisted GPS: ModemManager refuses a SUPL server.
             {"AT^WPURL=supl.example.org:7275\r\n", "ERROR"},
             {"AT^WPDGP\r\n", "OK"},
             {"AT+CGMM\r\n", "ERROR"}}) {
        ASSERT_TRUE(manager.SendCommand(line));
        EXPECT_EQ(WaitAnswer(asked++), answer) << line;
    }
    EXPECT_TRUE(traced("ModemManager refused the SUPL server")) << traces;

    // A session: the simulator's positions; its end ends GNSS on the card. The sentences of
    // ModemManager's traces reach the NMEA feed too.
    int feed = ::open(mo.nmeaFeedLink.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(feed, 0) << traces;
    termios raw{};
    ::tcgetattr(feed, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(feed, TCSANOW, &raw);
    auto opened = Clock::now();
    ASSERT_TRUE(manager.OpenGps()) << traces;
    auto setup = Clock::now() - opened;
    auto first = sink.WaitRecords(1, 10s);
    auto firstAfter = Clock::now() - opened;
    auto records = sink.WaitRecords(3, 10s);
    ASSERT_GE(records.size(), 3u) << mm.Log();
    for (size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        double lat = std::atof(r.latitude), lon = std::atof(r.longitude);
        bool onRoute = false;
        for (int second = 0; second < 4; ++second) {
            onRoute |= std::abs(lat - Degrees(4807.0381 + 0.0011 * second)) < 2e-6 &&
                       std::abs(lon - Degrees(1131.0002 + 0.0009 * second)) < 2e-6;
        }
        EXPECT_TRUE(onRoute) << r.latitude << " " << r.longitude;
        // The first may come before any GGA sentence of the trace.
        if (i > 0) {
            EXPECT_EQ(std::string(r.satellites), "8");
        }
    }
    std::string fed;
    char bytes[4096];
    for (ssize_t n; (n = ::read(feed, bytes, sizeof bytes)) > 0;) fed.append(bytes, n);
    ::close(feed);
    std::istringstream fedLines(fed);
    int fedFixes = 0;
    for (std::string line; std::getline(fedLines, line);) {
        ASSERT_TRUE(line.ends_with("\r")) << fed;
        line.pop_back();
        std::string_view body;
        EXPECT_TRUE(devicemgr::VerifyChecksum(line, body)) << line;
        fedFixes += line.starts_with("$GPRMC,1015") || line.starts_with("$GPGGA,1015");
    }
    EXPECT_GE(fedFixes, 3) << fed;
    EXPECT_TRUE(card.Positioning());
    ASSERT_TRUE(manager.CloseGps()) << traces;
    EXPECT_NE(card.Control("status").find("positioning=0"), std::string::npos);

    // Refused authorization: the session is not opened and the log says how to grant it.
    if (mm.Authorize(false)) {
        bool opened = manager.OpenGps();
        mm.Authorize(true);
        if (opened) {
            manager.CloseGps();
            std::cout << "this ModemManager authorizes Setup without polkit (--test-session)\n";
        } else {
            EXPECT_TRUE(traced("not authorized")) << traces;
            EXPECT_TRUE(traced("polkit")) << traces;
        }
    }

    // The modem object goes: removal; its ports, still listed, are then the card's way in.
    ASSERT_TRUE(mm.RemoveCard(2));
    events = sink.WaitEvents(4, 15s);
    ASSERT_GE(events.size(), 4u) << traces;
    EXPECT_EQ(events[3].code, framework::kEventCardRemoved);
    EXPECT_TRUE(ListedNames(card.GpsNode()).empty()) << "its entries go with the modem";
    EXPECT_TRUE(WaitFor(
        [&] {
            auto now = manager.Cards();
            return now.size() == 1 && now[0].port == 90;
        },
        10s))
        << traces;
    manager.RemoveDeviceSink(&sink);
    manager.RemoveAnswerHandler(Collect);

    std::cout << "OpenGps (Setup) " << std::chrono::duration<double, std::milli>(setup).count()
              << " ms; first record "
              << std::chrono::duration<double, std::milli>(firstAfter).count()
              << " ms after OpenGps began (" << first.size() << ")\n";
    ::unsetenv("SATVIEW_PORTS_DIR");
}

// The index of the first event `wanted` from `from` on, waiting for it; -1 when it never came.
int WaitEvent(RecordingSink& sink, const Event& wanted, size_t from,
              std::chrono::milliseconds limit = 60s) {
    int found = -1;
    WaitFor(
        [&] {
            auto events = sink.Events();
            for (size_t i = from; i < events.size(); ++i) {
                if (events[i] == wanted) {
                    found = static_cast<int>(i);
                    return true;
                }
            }
            return false;
        },
        limit);
    return found;
}

// The number in what busctl prints for a "u" or "i" property ("u 23"); -2 without one.
long Number(const std::string& printed) {
    size_t space = printed.find(' ');
    return space == std::string::npos ? -2 : std::atol(printed.c_str() + space + 1);
}

// Satview on a desktop where ModemManager, and other clients of it, share the card: started
// right after the card is reported, it leaves the ports to ModemManager's probe; a source
// another client enabled is still on after Satview's session; a modem disabled by another
// client stays disabled; and ModemManager restarting gives the card back, with positions.
TEST(ManagerThroughModemManager, SharesTheModemWithModemManagerAndItsClients) {
    if (auto why = ModemManagerSandbox::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    ModemManagerSandbox& mm = ModemManagerSandbox::Shared();
    ASSERT_TRUE(mm.Up()) << mm.Log();

    testing_support::TempDir dir;
    ::setenv("SATVIEW_PORTS_DIR", (dir.path() + "/ports").c_str(), 1);
    cardsim::CardOptions options;
    options.dialect = cardsim::Dialect::ModemManager;
    options.registerPorts = false;
    options.nmeaPeriod = 500ms;
    cardsim::Card card(options);
    ASSERT_TRUE(card.Start());

    std::mutex tracesMutex;
    std::string traces;
    devicemgr::ManagerOptions mo;
    // Listed as a card ModemManager may claim, as udev lists a modem's ports.
    std::vector<platform::SerialPort> listed = {
        {card.AtNode(), 80, "TARVEK Wendrix - 3G PC UI Interface (COM80)", "k", true},
        {card.GpsNode(), 81, "TARVEK Wendrix - 3G GPS Interface (COM81)", "k", true}};
    mo.listPorts = [listed] { return listed; };
    mo.watchPorts = false;
    mo.choicePath = dir.Write("choice.xml", "");
    mo.cardPath = "auto";
    mo.mmBusAddress = mm.Address();
    mo.mmChangesFolder = dir.path() + "/changes";
    mo.nmeaFeed = false;
    mo.trace = [&](int, const std::string& text) {
        std::lock_guard<std::mutex> lock(tracesMutex);
        traces += text + "\n";
    };
    auto log = [&] {
        std::lock_guard<std::mutex> lock(tracesMutex);
        return traces;
    };
    // The card is reported, and Satview starts before ModemManager has exported it.
    ASSERT_TRUE(mm.AddCard(1, card.AtNode(), card.GpsNode()));
    RecordingSink sink;
    devicemgr::DeviceManager manager(mo);
    manager.AddDeviceSink(&sink);
    const Event ready{framework::kEventCardReady, 0};
    int at = WaitEvent(sink, ready, 0);
    ASSERT_GE(at, 0) << log() << mm.Log();
    const std::string modem = mm.ModemPath(1);
    ASSERT_FALSE(modem.empty());
    // A healthy modem: its probe was not spoilt, so it has its location capabilities.
    EXPECT_NE(mm.Property(modem, "org.freedesktop.ModemManager1.Modem", "State"), "i -1\n");
    long capabilities =
        Number(mm.Property(modem, "org.freedesktop.ModemManager1.Modem.Location", "Capabilities"));
    EXPECT_EQ(capabilities & 6, 6) << capabilities;
    for (const std::string& line : card.Received()) {
        EXPECT_FALSE(line.starts_with("ATS7?")) << "Satview opened the port: " << line;
    }
    EXPECT_EQ(log().find("card ports: "), std::string::npos) << log();

    // Another client enabled 3GPP locations before the session: still on after it.
    const std::string location = "org.freedesktop.ModemManager1.Modem.Location";
    ASSERT_TRUE(mm.Mmcli("-m " + modem + " --location-enable-3gpp").ok) << mm.Log();
    ASSERT_TRUE(manager.OpenGps()) << log();
    EXPECT_GE(sink.WaitRecords(1, 15s).size(), 1u) << log();
    ASSERT_TRUE(manager.CloseGps()) << log();
    long enabled = Number(mm.Property(modem, location, "Enabled"));
    EXPECT_EQ(enabled & 1, 1) << "3gpp-lac-ci still on: " << enabled;
    EXPECT_EQ(enabled & 6, 0) << "the receiver off: " << enabled;
    EXPECT_EQ(Number(mm.Property(modem, location, "GpsRefreshRate")), 30);

    // Disabled by another client after the session: it stays disabled, the card switched off.
    ASSERT_TRUE(mm.Mmcli("-m " + modem + " -d").ok) << mm.Mmcli("-m " + modem).out;
    at = WaitEvent(sink, {framework::kEventCardUnavailable, framework::kUnavailableSwitchedOff},
                   at + 1, 20s);
    EXPECT_GE(at, 0) << log();
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(mm.Property(modem, "org.freedesktop.ModemManager1.Modem", "State"), "i 3\n") << log();
    ASSERT_TRUE(mm.Mmcli("-m " + modem + " -e").ok);
    at = WaitEvent(sink, ready, std::max(at, 0) + 1, 30s);
    ASSERT_GE(at, 0) << log();

    // ModemManager restarts: the card goes and comes back, and positions again.
    size_t before = sink.Events().size();
    ASSERT_TRUE(mm.Restart()) << mm.Log();
    int removed = WaitEvent(sink, {framework::kEventCardRemoved, 0}, before, 30s);
    ASSERT_GE(removed, 0) << log();
    ASSERT_GE(WaitEvent(sink, ready, removed + 1), 0) << log() << mm.Log();
    size_t records = sink.WaitRecords(0, 0ms).size();
    ASSERT_TRUE(manager.OpenGps()) << log();
    EXPECT_GT(sink.WaitRecords(records + 1, 15s).size(), records) << log();
    EXPECT_TRUE(manager.CloseGps());
    EXPECT_EQ(log().find("card ports: "), std::string::npos) << "its ports never opened here";

    ASSERT_TRUE(mm.RemoveCard(1));
    EXPECT_GE(WaitEvent(sink, {framework::kEventCardRemoved, 0}, removed + 1, 15s), 0);
    manager.RemoveDeviceSink(&sink);
    ::unsetenv("SATVIEW_PORTS_DIR");
}

}  // namespace
