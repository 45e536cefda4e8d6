// The device manager as one client among others of ModemManager (over its mock): only
// ModemManager's own messages count, its leaving and coming back mid-session, another client
// changing the location setup, what a killed Satview left, ports reported late, two modems,
// and the ports ModemManager may claim left to it.
#include <atomic>
#include <filesystem>
#include <thread>

#include "manager_fixture.h"
#include "mock_modem.h"
#include "nmea_sentences.h"
#include "platform/ui/kit.h"

namespace {

using manager_test::Event;
using manager_test::RecordingSink;
using namespace mock_modem;
using testing_support::WaitFor;
using namespace std::chrono_literals;

constexpr uint32_t kArrived = framework::kEventCardArrived;
constexpr uint32_t kRemoved = framework::kEventCardRemoved;
constexpr uint32_t kSim = framework::kEventSimStatus;
constexpr uint32_t kReady = framework::kEventCardReady;
const std::vector<Event> kUp = {{kArrived, 0}, {kSim, 1}, {kReady, 0}};

// A trace of ModemManager's Location property holding one fix.
std::string FixTrace(int second) {
    char rmc[96];
    std::snprintf(rmc, sizeof rmc,
                  "GPRMC,1015%02d.00,A,4807.0381,N,01131.0002,E,1.2,84.4,080126,,,A", second);
    return nmea_test::Sentence(rmc);
}

bool TellFix(const MockModemManager& mm, int second) {
    return mm.Set(kModemPath, kLocation, "Location", "'a{uv}' 1 4 s '" + FixTrace(second) + "'");
}

class SharedModem : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!MockUsable()) GTEST_SKIP() << MockModemManager::Unavailable();
        ::setenv("SATVIEW_PORTS_DIR", (dir_ / "ports").c_str(), 1);
    }
    void TearDown() override {
        if (HasFailure()) std::fprintf(stderr, "%s", log_.All().c_str());
        ::unsetenv("SATVIEW_PORTS_DIR");
    }
    // A simulated card whose ports are listed only as the test lists them.
    cardsim::Card& Card(const std::string& id) {
        cardsim::CardOptions options;
        options.id = id;
        options.registerPorts = false;
        cards_.push_back(std::make_unique<cardsim::Card>(options));
        EXPECT_TRUE(cards_.back()->Start());
        return *cards_.back();
    }
    // Its ports as the port list gives them, ModemManager's to claim or not.
    static std::vector<platform::SerialPort> Listed(const cardsim::Card& card, bool mmCandidate) {
        auto number = [](const std::string& node) {
            return std::stoi(node.substr(node.find_last_not_of("0123456789") + 1));
        };
        int at = number(card.AtNode()), gps = number(card.GpsNode());
        return {{card.AtNode(), at,
                 std::string(devicemgr::kAtPortText) + " (COM" + std::to_string(at) + ")",
                 card.Id(), mmCandidate},
                {card.GpsNode(), gps,
                 std::string(devicemgr::kGpsPortText) + " (COM" + std::to_string(gps) + ")",
                 card.Id(), mmCandidate}};
    }
    // Ports as ModemManager names them ("pts/5"), of type AT and GPS.
    static std::string MmPorts(const cardsim::Card& card) {
        return "2 " + card.AtNode().substr(5) + " 3 " + card.GpsNode().substr(5) + " 5";
    }
    // The GPS port entries of the port list: what the GPS dialog's port row may name.
    static std::vector<std::string> GpsEntries() {
        std::vector<std::string> names;
        for (const platform::SerialPort& port : platform::ListSerialPorts()) {
            if (port.friendlyName.find(devicemgr::kGpsPortText) != std::string::npos) {
                names.push_back(port.friendlyName);
            }
        }
        return names;
    }
    static std::string GpsEntry(const cardsim::Card& card) {
        std::string node = card.GpsNode();
        return std::string(devicemgr::kGpsPortText) + " (COM" +
               node.substr(node.find_last_not_of("0123456789") + 1) + ")";
    }

    testing_support::TempDir dir_;
    std::vector<std::unique_ptr<cardsim::Card>> cards_;
    TraceLog log_;
};

// Any connection on the bus may send signals: only ModemManager's own are taken.
TEST_F(SharedModem, OnlyModemManagersOwnMessagesCount) {
    MockModemManager mm;
    ASSERT_TRUE(mm.Up());
    ASSERT_TRUE(AddGpsModem(mm));
    RecordingSink sink;
    devicemgr::DeviceManager manager(MockOptions(mm, log_));
    manager.AddDeviceSink(&sink);
    ASSERT_EQ(sink.WaitEvents(3, 10s), kUp);
    ASSERT_TRUE(manager.OpenGps());

    // busctl's own connection pretends to be ModemManager.
    const std::string fix = FixTrace(1);
    const char* spoofs[] = {
        "emit /org/freedesktop/ModemManager1/Modem/0 org.freedesktop.DBus.Properties "
        "PropertiesChanged 'sa{sv}as' org.freedesktop.ModemManager1.Modem.Location 1 Location "
        "'a{uv}' 1 4 s '$FIX' 0",
        "emit /org/freedesktop/ModemManager1/Modem/0 org.freedesktop.DBus.Properties "
        "PropertiesChanged 'sa{sv}as' org.freedesktop.ModemManager1.Modem 1 State i -1 0",
        "emit /org/freedesktop/ModemManager1 org.freedesktop.DBus.ObjectManager InterfacesAdded "
        "'oa{sa{sv}}' /org/freedesktop/ModemManager1/Modem/9 1 org.freedesktop.ModemManager1.Modem "
        "2 State i 8 Model s Spoof",
        "emit /org/freedesktop/ModemManager1 org.freedesktop.DBus.ObjectManager InterfacesRemoved "
        "oas /org/freedesktop/ModemManager1/Modem/0 1 org.freedesktop.ModemManager1.Modem",
        "emit /org/freedesktop/DBus org.freedesktop.DBus NameOwnerChanged sss "
        "org.freedesktop.ModemManager1 :1.1 ''",
    };
    for (std::string spoof : spoofs) {
        if (size_t at = spoof.find("$FIX"); at != std::string::npos) spoof.replace(at, 4, fix);
        EXPECT_TRUE(mm.Busctl(spoof)) << spoof;
    }
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(sink.Events(), kUp) << "no change of the card";
    EXPECT_TRUE(sink.WaitRecords(1, 1ms).empty()) << "no position";
    EXPECT_EQ(manager.Cards().size(), 1u) << "no other modem";

    // ModemManager's own word still counts.
    ASSERT_TRUE(TellFix(mm, 2));
    EXPECT_EQ(sink.WaitRecords(1, 10s).size(), 1u);
    EXPECT_TRUE(manager.CloseGps());
    manager.RemoveDeviceSink(&sink);
}

// ModemManager leaving the bus mid-session takes its card away; coming back, the card is there
// again, a new session positions, and nothing of the old one is on the modem.
TEST_F(SharedModem, ModemManagerRestartingMidSession) {
    MockModemManager mm;
    ASSERT_TRUE(mm.Up());
    ASSERT_TRUE(AddGpsModem(mm, {.followsSetup = true}));
    RecordingSink sink;
    devicemgr::DeviceManager manager(MockOptions(mm, log_));
    manager.AddDeviceSink(&sink);
    ASSERT_EQ(sink.WaitEvents(3, 10s), kUp);
    ASSERT_TRUE(manager.OpenGps());
    ASSERT_TRUE(TellFix(mm, 1));
    ASSERT_EQ(sink.WaitRecords(1, 10s).size(), 1u);

    mm.StopMock();
    auto events = sink.WaitEvents(4, 10s);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[3].code, kRemoved);
    EXPECT_TRUE(WaitFor([&] { return log_.Has("ModemManager left the bus"); }, 5s));
    EXPECT_TRUE(log_.Has("ModemManager modem gone: /org/freedesktop/ModemManager1/Modem/0\n"));
    EXPECT_FALSE(manager.OpenGps()) << "no card";

    ASSERT_TRUE(mm.StartMock());
    ASSERT_TRUE(AddGpsModem(mm, {.followsSetup = true}));
    events = sink.WaitEvents(7, 10s);
    ASSERT_EQ(events.size(), 7u) << log_.All();
    EXPECT_EQ(std::vector<Event>(events.begin() + 4, events.end()), kUp);
    // The new ModemManager's modem is set up afresh: nothing was asked of it yet.
    EXPECT_EQ(mm.Calls(kModemPath, "Setup"), "a(tav) 0\n");
    ASSERT_TRUE(manager.OpenGps()) << log_.All();
    ASSERT_TRUE(TellFix(mm, 2));
    auto records = sink.WaitRecords(2, 10s);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(manager.CloseGps());
    manager.RemoveDeviceSink(&sink);
}

// Another client changes the setup mid-session: what it switched off stays off and is said,
// the stop takes away only what is still Satview's, and the refresh rate is put back.
TEST_F(SharedModem, AnotherClientChangingTheSetupMidSession) {
    MockModemManager mm;
    ASSERT_TRUE(mm.Up());
    ASSERT_TRUE(AddGpsModem(mm, {.followsSetup = true}));
    RecordingSink sink;
    devicemgr::DeviceManager manager(MockOptions(mm, log_));
    manager.AddDeviceSink(&sink);
    ASSERT_EQ(sink.WaitEvents(3, 10s), kUp);
    ASSERT_TRUE(manager.OpenGps());
    // 3gpp-lac-ci was on: the receiver's sources added to it.
    EXPECT_NE(mm.Calls(kModemPath, "Setup").find("u 7 b true"), std::string::npos);
    // ModemManager tells the setup now in force before the other client changes it.
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(mm.Set(kModemPath, kLocation, "Enabled", "u 3"));  // NMEA off
    EXPECT_TRUE(WaitFor(
        [&] { return log_.Has("another client changed the location setup: gps-nmea"); }, 5s));
    EXPECT_TRUE(log_.Has("the session's positions stop"));
    ASSERT_TRUE(manager.CloseGps());
    std::string setups = mm.Calls(kModemPath, "Setup");
    EXPECT_EQ(setups.substr(setups.rfind(" 2 u ")), " 2 u 1 b false\n") << setups;
    std::string rates = mm.Calls(kModemPath, "SetGpsRefreshRate");
    EXPECT_EQ(rates.substr(rates.rfind(" 1 u ")), " 1 u 30\n") << rates;
    manager.RemoveDeviceSink(&sink);
}

// A Satview that ends mid-session without stopping (killed) leaves its changes on the modem,
// and in its runtime folder: the next one undoes them when it sees the modem.
TEST_F(SharedModem, WhatAKilledSatviewLeftIsUndoneAtTheNextStart) {
    MockModemManager mm;
    ASSERT_TRUE(mm.Up());
    ASSERT_TRUE(AddGpsModem(mm, {.followsSetup = true}));
    {
        RecordingSink sink;
        devicemgr::DeviceManager killed(MockOptions(mm, log_));
        killed.AddDeviceSink(&sink);
        ASSERT_EQ(sink.WaitEvents(3, 10s), kUp);
        ASSERT_TRUE(killed.OpenGps());
        killed.RemoveDeviceSink(&sink);
    }
    EXPECT_EQ(mm.Output(std::string("get-property org.freedesktop.ModemManager1 ") + kModemPath +
                        " " + kLocation + " Enabled"),
              "u 7\n");
    RecordingSink sink;
    devicemgr::DeviceManager next(MockOptions(mm, log_));
    next.AddDeviceSink(&sink);
    ASSERT_EQ(sink.WaitEvents(3, 10s), kUp);
    auto property = [&](const char* name) {
        return mm.Output(std::string("get-property org.freedesktop.ModemManager1 ") + kModemPath +
                         " " + kLocation + " " + name);
    };
    EXPECT_TRUE(WaitFor([&] { return property("Enabled") == "u 1\n"; }, 5s)) << log_.All();
    EXPECT_EQ(property("SignalsLocation"), "b false\n");
    EXPECT_EQ(property("GpsRefreshRate"), "u 30\n");
    EXPECT_TRUE(
        log_.Has("an earlier Satview left gps-raw|gps-nmea, the signals, the refresh rate"));
    EXPECT_TRUE(std::filesystem::is_empty(mm.ChangesFolder()));
    next.RemoveDeviceSink(&sink);
}

// A port ModemManager reports after the modem appeared is its too: never opened here, and the
// modem's entries in the port list follow its ports.
TEST_F(SharedModem, PortsReportedLaterAreFollowed) {
    MockModemManager mm;
    ASSERT_TRUE(mm.Up());
    cardsim::Card& card = Card("sim-late");
    const std::string gpsOnly = "1 " + card.GpsNode().substr(5) + " 5";
    ASSERT_TRUE(AddGpsModem(mm, {.ports = gpsOnly}));
    devicemgr::ManagerOptions options = MockOptions(mm, log_);
    options.cardPath = "auto";
    options.mmGraceMs = 1500;
    auto listed = Listed(card, true);
    options.listPorts = [listed] { return listed; };
    RecordingSink sink;
    devicemgr::DeviceManager manager(options);
    manager.AddDeviceSink(&sink);
    ASSERT_EQ(sink.WaitEvents(3, 10s), kUp);
    auto atEntries = [&] {
        int count = 0;
        for (const platform::SerialPort& port : platform::ListSerialPorts()) {
            count += port.node == std::filesystem::canonical(card.AtNode()).string() &&
                     port.friendlyName.find(devicemgr::kAtPortText) != std::string::npos;
        }
        return count;
    };
    EXPECT_EQ(atEntries(), 0);
    ASSERT_TRUE(SetModem(mm, "Ports", "'a(su)' " + MmPorts(card)));
    EXPECT_TRUE(WaitFor([&] { return atEntries() == 1; }, 5s)) << "the entries follow";
    // Past the grace of the port that was not the modem's at first.
    std::this_thread::sleep_for(2500ms);
    EXPECT_TRUE(card.Received().empty()) << card.Received().front();
    EXPECT_FALSE(log_.Has("card ports: ")) << log_.All();
    EXPECT_EQ(manager.Cards().size(), 1u);
    EXPECT_EQ(sink.Events(), kUp);
    manager.RemoveDeviceSink(&sink);
}

// Two modems: the port list names the current one's GPS port only, so the GPS dialog's port row
// names it, never the other's; once it goes, the other's.
TEST_F(SharedModem, TwoModemsThePortRowNamesTheCurrentOnesGpsPort) {
    MockModemManager mm;
    ASSERT_TRUE(mm.Up());
    cardsim::Card& first = Card("sim-first");
    cardsim::Card& second = Card("sim-second");
    ASSERT_TRUE(AddGpsModem(mm, {.ports = MmPorts(first)}));
    const std::string other = "/org/freedesktop/ModemManager1/Modem/1";
    ASSERT_TRUE(AddGpsModem(mm, {.path = other, .ports = MmPorts(second)}));
    RecordingSink sink;
    devicemgr::DeviceManager manager(MockOptions(mm, log_));
    manager.AddDeviceSink(&sink);
    ASSERT_EQ(sink.WaitEvents(3, 10s), kUp);
    ASSERT_EQ(manager.Cards().size(), 2u);
    EXPECT_EQ(GpsEntries(), std::vector<std::string>{GpsEntry(first)});
    ASSERT_TRUE(mm.RemoveModem(kModemPath));
    auto events = sink.WaitEvents(7, 10s);
    ASSERT_EQ(events.size(), 7u) << log_.All();
    EXPECT_EQ(events[3].code, kRemoved);
    EXPECT_TRUE(
        WaitFor([&] { return GpsEntries() == std::vector<std::string>{GpsEntry(second)}; }, 5s));
    manager.RemoveDeviceSink(&sink);
}

// While ModemManager may still claim a card's ports they are left to it: until it exports the
// modem with them, exports one of the card's device without them, or the grace runs out.
// Ports it was told to leave alone (./run's simulated card among them) open at once, as do all
// where it is not on the bus.
TEST_F(SharedModem, PortsModemManagerMayClaimAreLeftToIt) {
    struct Row {
        const char* what;
        bool candidate;
        bool mmOnBus;
        enum { kNone, kWithItsPorts, kOfItsDeviceWithoutThem } modem;
        int graceMs;
        bool opened;  // by the time the check is made
    } rows[] = {
        {"exported later with its ports", true, true, Row::kWithItsPorts, 2500, false},
        {"a port it was told to leave alone", false, true, Row::kNone, 10000, true},
        {"a modem of its device without them", true, true, Row::kOfItsDeviceWithoutThem, 10000,
         true},
        {"no modem within the grace", true, true, Row::kNone, 800, true},
        {"ModemManager not on the bus", true, false, Row::kNone, 10000, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        MockModemManager mm(row.mmOnBus);
        ASSERT_TRUE(mm.Up());
        cardsim::Card& card = Card(std::string("sim-") + std::to_string(cards_.size()));
        TraceLog log;
        devicemgr::ManagerOptions options = MockOptions(mm, log);
        options.cardPath = "auto";
        options.mmGraceMs = row.graceMs;
        auto listed = Listed(card, row.candidate);
        options.listPorts = [listed] { return listed; };
        devicemgr::DeviceManager manager(options);
        ASSERT_TRUE(manager.WaitFirstScan(5000));
        std::this_thread::sleep_for(300ms);
        if (row.modem == Row::kWithItsPorts) {
            ASSERT_TRUE(AddGpsModem(mm, {.ports = MmPorts(card)}));
        } else if (row.modem == Row::kOfItsDeviceWithoutThem) {
            ASSERT_TRUE(AddGpsModem(mm, {.ports = "1 ttyUSB9 3", .device = card.Id()}));
        }
        // Past the grace of the row that waits for it; before the others'.
        auto opened = [&] { return log.Has("card ports: "); };
        if (row.opened) {
            EXPECT_TRUE(WaitFor(opened, 5s)) << log.All();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(row.graceMs) + 500ms);
            EXPECT_FALSE(opened()) << log.All();
            EXPECT_TRUE(card.Received().empty());
            EXPECT_TRUE(log.Has("card through ModemManager")) << log.All();
        }
        // Until it decided, the port waited for it.
        EXPECT_EQ(log.Has("port left to ModemManager for a moment"), row.candidate && row.mmOnBus)
            << log.All();
    }
}

// A card Satview opened before ModemManager came on the bus stays Satview's, even once
// ModemManager exports a modem of its ports; once the card goes, that modem is the card.
TEST_F(SharedModem, ACardHeldWhenModemManagerAppearsIsKept) {
    MockModemManager mm(false);
    ASSERT_TRUE(mm.Up());
    cardsim::Card& card = Card("sim-held");
    devicemgr::ManagerOptions options = MockOptions(mm, log_);
    options.cardPath = "auto";
    options.mmGraceMs = 10000;
    auto listed = Listed(card, true);
    options.listPorts = [listed] { return listed; };
    RecordingSink sink;
    devicemgr::DeviceManager manager(options);
    manager.AddDeviceSink(&sink);
    ASSERT_EQ(sink.WaitEvents(3, 10s), kUp) << log_.All();
    ASSERT_TRUE(log_.Has("card ports: "));

    ASSERT_TRUE(mm.StartMock());
    EXPECT_TRUE(WaitFor([&] { return log_.Has("stays Satview's until it is replugged"); }, 5s))
        << log_.All();
    ASSERT_TRUE(AddGpsModem(mm, {.ports = MmPorts(card)}));
    EXPECT_TRUE(WaitFor([&] { return log_.Has("has ports of the card Satview holds"); }, 5s))
        << log_.All();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(sink.Events(), kUp) << "the card stays";
    EXPECT_EQ(manager.Cards().size(), 1u);

    card.Unplug();
    auto events = sink.WaitEvents(7, 10s);
    ASSERT_EQ(events.size(), 7u) << log_.All();
    EXPECT_EQ(events[3].code, kRemoved);
    EXPECT_EQ(std::vector<Event>(events.begin() + 4, events.end()), kUp);
    // The log line may follow the events it tells of.
    EXPECT_TRUE(WaitFor(
        [&] {
            return log_.Has(
                "card through ModemManager now: /org/freedesktop/ModemManager1/Modem/0");
        },
        5s))
        << log_.All();
    manager.RemoveDeviceSink(&sink);
}

}  // namespace
