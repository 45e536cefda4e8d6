// The simulated card in its ModemManager dialect, managed by the real ModemManager: the modem
// appears, offers GPS locations, positions on Setup with the simulator's own sentences, stops on
// Setup without GPS and starts again (ModemManager reopens the GPS port), and goes on removal.
#include <gtest/gtest.h>

#include <iostream>
#include <regex>

#include "cardsim/card.h"
#include "modemmanager_sandbox.h"
#include "nmea.h"
#include "temp_dir.h"

namespace {

using testing_support::ModemManagerSandbox;
using testing_support::WaitFor;
using Clock = std::chrono::steady_clock;

constexpr const char* kModem = "org.freedesktop.ModemManager1.Modem";
constexpr const char* kLocation = "org.freedesktop.ModemManager1.Modem.Location";
// MMModemLocationSource
constexpr unsigned k3gppLacCi = 1, kGpsRaw = 2, kGpsNmea = 4;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

TEST(CardUnderModemManager, PositionsThroughTheLocationInterface) {
    if (auto why = ModemManagerSandbox::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    ModemManagerSandbox& mm = ModemManagerSandbox::Shared();
    ASSERT_TRUE(mm.Up()) << mm.Log();

    // A recorded log of two epochs whose sentences the NMEA trace must carry verbatim.
    testing_support::TempDir dir;
    std::string rmc1 =
        cardsim::NmeaSentence("GPRMC,101500.00,A,4807.0381,N,01131.0002,E,1.2,84.4,080126,,,A");
    std::string rmc2 =
        cardsim::NmeaSentence("GPRMC,101501.00,A,4807.0392,N,01131.0011,E,1.2,84.4,080126,,,A");
    std::string gga1 =
        cardsim::NmeaSentence("GPGGA,101500.00,4807.0381,N,01131.0002,E,1,08,0.9,545.4,M,46.9,M,,");
    cardsim::CardOptions options;
    options.dialect = cardsim::Dialect::ModemManager;
    options.registerPorts = false;
    options.nmeaFile = dir.Write("drive.nmea", rmc1 + gga1 + rmc2);
    cardsim::Card card(options);
    ASSERT_TRUE(card.Start());

    auto added = Clock::now();
    ASSERT_TRUE(mm.AddCard(1, card.AtNode(), card.GpsNode()));
    std::string modem;
    ASSERT_TRUE(WaitFor([&] { return !(modem = mm.ModemPath(1)).empty(); })) << mm.Log();
    auto appeared = Clock::now() - added;
    EXPECT_EQ(mm.Property(modem, kModem, "Manufacturer"), "s \"Telit\"\n");
    EXPECT_EQ(mm.Property(modem, kModem, "Model"), "s \"Wendrix 3G\"\n");
    EXPECT_EQ(mm.Property(modem, kModem, "Plugin"), "s \"telit\"\n");
    // Both ports under the names they were reported by: AT (3) and GPS (5, MMModemPortType).
    std::string ports = mm.Property(modem, kModem, "Ports");
    EXPECT_TRUE(std::regex_search(ports, std::regex("card1-at\" 3 .*card1-gps\" 5"))) << ports;

    // ModemManager enables a modem only when asked (NetworkManager asks on a desktop).
    ASSERT_TRUE(
        mm.Call("call org.freedesktop.ModemManager1 " + modem + " " + kModem + " Enable b true").ok)
        << mm.Log();
    unsigned capabilities = 0;
    std::sscanf(mm.Property(modem, kLocation, "Capabilities").c_str(), "u %u", &capabilities);
    EXPECT_EQ(capabilities & (kGpsRaw | kGpsNmea), kGpsRaw | kGpsNmea) << capabilities;

    auto setup = [&](unsigned sources) {
        return mm
            .Call("call org.freedesktop.ModemManager1 " + modem + " " + kLocation + " Setup ub " +
                  std::to_string(sources) + " true")
            .ok;
    };
    auto nmea = [&] { return mm.Property(modem, kLocation, "Location"); };
    auto holdsRecordedRmc = [&] {
        std::string trace = nmea();
        return trace.find(rmc1.substr(0, rmc1.size() - 2)) != std::string::npos ||
               trace.find(rmc2.substr(0, rmc2.size() - 2)) != std::string::npos;
    };
    ASSERT_TRUE(mm.Call("call org.freedesktop.ModemManager1 " + modem + " " + kLocation +
                        " SetGpsRefreshRate u 0")
                    .ok);
    auto started = Clock::now();
    ASSERT_TRUE(setup(k3gppLacCi | kGpsRaw | kGpsNmea)) << mm.Log();
    auto setupTime = Clock::now() - started;
    EXPECT_TRUE(card.Positioning());
    ASSERT_TRUE(WaitFor(holdsRecordedRmc, std::chrono::seconds(10))) << nmea();
    auto firstLocation = Clock::now() - started;
    EXPECT_EQ(mm.Property(modem, kLocation, "GpsRefreshRate"), "u 0\n");

    // Without the GPS sources the card stops positioning; with them again ModemManager opens
    // the GPS port once more (the card cleared the exclusive use it had asked for).
    ASSERT_TRUE(setup(k3gppLacCi));
    EXPECT_NE(card.Control("status").find("positioning=0"), std::string::npos);
    ASSERT_TRUE(setup(k3gppLacCi | kGpsNmea)) << mm.Log();
    EXPECT_TRUE(card.Positioning());
    std::string before = nmea();
    EXPECT_TRUE(
        WaitFor([&] { return nmea() != before && holdsRecordedRmc(); }, std::chrono::seconds(10)))
        << mm.Log();
    ASSERT_TRUE(setup(k3gppLacCi));
    EXPECT_FALSE(card.Positioning());

    std::vector<std::string> received = card.Received();
    for (const char* line : {"AT$GPSP=?", "AT$GPSP=1", "AT$GPSNMUN=2,1,1,1,1,1,1", "AT$GPSP=0"}) {
        EXPECT_NE(std::find(received.begin(), received.end(), line), received.end()) << line;
    }

    ASSERT_TRUE(mm.RemoveCard(1));
    EXPECT_TRUE(WaitFor([&] { return mm.ModemPath(1).empty(); }, std::chrono::seconds(10)));

    std::cout << "ModemManager up " << Ms(mm.Startup()) << " ms; modem object " << Ms(appeared)
              << " ms after the ports; Setup " << Ms(setupTime) << " ms; first location "
              << Ms(firstLocation) << " ms after Setup began; " << received.size()
              << " command lines\n";
}

}  // namespace
