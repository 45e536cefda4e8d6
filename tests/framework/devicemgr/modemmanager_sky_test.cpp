// The sky through the real ModemManager (on a private bus, modemmanager_sandbox.h): the
// simulated card's four systems reach the device sinks from the NMEA trace of the modem's
// Location property as whole views, with the satellites the trace's GSA sentences name used.
#include <gtest/gtest.h>

#include <set>

#include "cardsim/card.h"
#include "manager_fixture.h"
#include "modemmanager_sandbox.h"

namespace {

using manager_test::RecordingSink;
using testing_support::ModemManagerSandbox;
using testing_support::WaitFor;
using namespace std::chrono_literals;

TEST(SkyThroughModemManager, TheTraceGivesEverySatelliteOfTheCard) {
    if (auto why = ModemManagerSandbox::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    ModemManagerSandbox& mm = ModemManagerSandbox::Shared();
    ASSERT_TRUE(mm.Up()) << mm.Log();

    testing_support::TempDir dir;
    ::setenv("SATVIEW_PORTS_DIR", (dir.path() + "/ports").c_str(), 1);
    cardsim::CardOptions options;
    options.dialect = cardsim::Dialect::ModemManager;
    options.registerPorts = false;
    cardsim::Card card(options);
    ASSERT_TRUE(card.Start());
    ASSERT_TRUE(mm.AddCard(3, card.AtNode(), card.GpsNode()));
    ASSERT_TRUE(WaitFor([&] { return !mm.ModemPath(3).empty(); }, 30s)) << mm.Log();

    devicemgr::ManagerOptions mo;
    std::vector<platform::SerialPort> listed = {
        {card.AtNode(), 92, "TARVEK Wendrix - 3G PC UI Interface (COM92)", "k"},
        {card.GpsNode(), 93, "TARVEK Wendrix - 3G GPS Interface (COM93)", "k"}};
    mo.listPorts = [listed] { return listed; };
    mo.watchPorts = false;
    mo.choicePath = dir.Write("choice.xml", "");
    mo.cardPath = "modemmanager";
    mo.mmBusAddress = mm.Address();
    mo.mmGraceMs = 1000;
    mo.nmeaFeed = false;
    RecordingSink sink;
    devicemgr::DeviceManager manager(mo);
    manager.AddDeviceSink(&sink);
    ASSERT_EQ(sink.WaitEvents(3, 40s).size(), 3u) << mm.Log();
    ASSERT_TRUE(manager.OpenGps());

    // Views come as the trace changes, each whole: 8 to 12 GPS satellites, 4 to 6 of GLONASS,
    // 3 or 4 of Galileo, 3 of BeiDou.
    auto skies = sink.WaitSkies(3, 20s);
    ASSERT_GE(skies.size(), 3u) << mm.Log();
    const framework::GpsSkyRecord& sky = skies.back();
    std::set<int> systems;
    int used = 0;
    for (int i = 0; i < sky.count; ++i) {
        systems.insert(sky.satellites[i].gnssid);
        used += sky.satellites[i].used;
    }
    EXPECT_GE(sky.count, 18);
    EXPECT_EQ(systems, (std::set<int>{0, 2, 3, 6})) << "GPS, Galileo, BeiDou, GLONASS";
    // A GSA per talker: ModemManager keeps each.
    EXPECT_GE(used, 13);
    EXPECT_TRUE(sky.hdopKnown);
    ASSERT_TRUE(manager.CloseGps());
    manager.RemoveDeviceSink(&sink);
    ASSERT_TRUE(mm.RemoveCard(3));
    ::unsetenv("SATVIEW_PORTS_DIR");
}

}  // namespace
