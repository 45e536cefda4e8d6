// The desktop's location service reading Satview's position: the real GeoClue, run as its own
// account on a private bus with the configuration lines satview-geoclue prints, connects to
// the NMEA socket of a terminal run on the simulated card and hands the card's position to a
// client of its own. The card starts without a fix at a place far off its route: GeoClue never
// reports that place. A second session reaches GeoClue over the connection of the first.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <regex>

#include "geoclue_client.h"
#include "nmea.h"
#include "platform/access/account_access.h"
#include "running_system.h"
#include "terminal_screen.h"

using system_test::Child;
using system_test::GeoClueClient;
using system_test::RunningSystem;
using system_test::TerminalScreen;
using testing_support::TmuxSession;

namespace {

constexpr int kNoFix = 8;  // epochs before the first fix
constexpr int kEpochs = 600;

// Epoch i of the route, from kNoFix on: 0.002' north and 0.0026' east of the one before.
double RouteLatitude(int i) {
    return 35 + (40.0 + 0.002 * i) / 60;
}
double RouteLongitude(int i) {
    return 139 + (46.0 + 0.0026 * i) / 60;
}

// Without a fix the receiver repeats a stale position far away (10 N, 10 E), as receivers do.
std::string RouteLog() {
    std::string log;
    for (int i = 0; i < kEpochs; ++i) {
        const bool fix = i >= kNoFix;
        char time[16], lat[32], lon[32];
        std::snprintf(time, sizeof time, "%02d%02d%02d.00", 12 + i / 3600, i / 60 % 60, i % 60);
        std::snprintf(
            lat, sizeof lat, "%s,N",
            fix ? ("35" + std::to_string(40.0 + 0.002 * i)).substr(0, 9).c_str() : "1000.0000");
        std::snprintf(
            lon, sizeof lon, "%s,E",
            fix ? ("139" + std::to_string(46.0 + 0.0026 * i)).substr(0, 10).c_str() : "01000.0000");
        log += cardsim::NmeaSentence(std::string("GPRMC,") + time + (fix ? ",A," : ",V,") + lat +
                                     "," + lon + ",0.5,10.0,081226,,,A");
        log += cardsim::NmeaSentence(std::string("GPGGA,") + time + "," + lat + "," + lon +
                                     (fix ? ",1,08,0.9,35.2,M,-29.8,M,," : ",0,00,,,M,,M,,"));
        log += cardsim::NmeaSentence(
            "GPGSV,1,1,04,01,40,083,46,02,17,308,41,03,07,344,39,04,22,228,45");
    }
    return log;
}

// The epoch of the route at (lat, lon), to 1e-6 degrees; -1 when it is none.
int EpochAt(double lat, double lon) {
    for (int i = kNoFix; i < kEpochs; ++i) {
        if (std::fabs(lat - RouteLatitude(i)) < 1e-6 && std::fabs(lon - RouteLongitude(i)) < 1e-6)
            return i;
    }
    return -1;
}

class GeoClueRun : public testing::Test {
  protected:
    void SetUp() override {
        if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
        if (::access("/usr/libexec/geoclue", X_OK) != 0) GTEST_SKIP() << "no geoclue-2.0";
        // GeoClue runs as its own account, which only root can start it as.
        if (::geteuid() != 0) GTEST_SKIP() << "GeoClue's account needs root to be taken on";
        uid_ = platform::AccountUid("geoclue");
        ASSERT_TRUE(uid_) << "geoclue-2.0 is installed without its account";
    }
    std::string Why(TerminalScreen& screen) {
        std::string log = system_.Log(),
                    geoclue = platform::ReadWholeFile(system_.Dir() + "/geoclue/geoclue.log")
                                  .value_or("");
        auto tail = [](const std::string& s) {
            return s.substr(s.size() > 3000 ? s.size() - 3000 : 0);
        };
        return screen.Text() + "\n--- log:\n" + tail(log) + "\n--- geoclue:\n" + tail(geoclue);
    }

    RunningSystem system_;
    std::optional<uint32_t> uid_;
};

TEST_F(GeoClueRun, AGeoClueClientGetsTheCardsPositionAndItsUpdatesOnlyWithAFix) {
    // The runtime folders as a desktop has them: /run/user/<uid> private, /run/user passable.
    ASSERT_EQ(::chmod(system_.Dir().c_str(), 0711), 0);
    ASSERT_EQ(::chmod((system_.Dir() + "/run").c_str(), 0700), 0);

    // Turned on the way the user does it; the lines it prints go into GeoClue's configuration.
    const std::string said = system_.Dir() + "/satview-geoclue.out";
    ASSERT_EQ(system_test::Shell(system_.EnvPrefix() + " " + system_.Bin() +
                                 "/satview-geoclue on >" + said + " 2>&1"),
              0);
    const std::string told = platform::ReadWholeFile(said).value_or("");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(told, m,
                                  std::regex("\\[network-nmea\\]\nenable=true\n"
                                             "nmea-socket=(\\S+)\n")))
        << told;
    const std::string socket = m[1];
    EXPECT_EQ(socket, system_.Dir() + "/run/satview/nmea.sock");
    EXPECT_NE(told.find("the account geoclue (uid " + std::to_string(*uid_) + "), and no other"),
              std::string::npos)
        << told;

    const std::string route = system_.Dir() + "/route.nmea";
    std::ofstream(route) << RouteLog();
    auto screen = std::make_unique<TerminalScreen>(std::make_unique<TmuxSession>(
        system_.EnvPrefix() + " TERM=xterm-256color " + system_.Bin() + "/Startup --terminal", 100,
        30));
    ASSERT_TRUE(system_.StartCard({"--ready-after", "0", "--nmea", route, "--speed", "4"}));
    ASSERT_TRUE(screen->WaitText("geoclue_ready", L"ready", 40)) << Why(*screen);

    // GeoClue's account, and no other, may reach the socket.
    EXPECT_EQ(platform::AccountEntry(socket, *uid_), 6u) << Why(*screen);
    EXPECT_EQ(platform::AccountEntry(system_.Dir() + "/run/satview", *uid_), 1u);
    EXPECT_EQ(platform::AccountEntry(system_.Dir() + "/run", *uid_), 1u);
    struct stat st;
    ASSERT_EQ(::stat(socket.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0007, 0u);

    // GeoClue and a client of it, before any session: GeoClue connects when the client starts.
    const std::string sandbox = system_.Dir() + "/geoclue";
    std::filesystem::create_directories(sandbox);
    Child geoclue({"/bin/sh", GEOCLUE_SANDBOX_SCRIPT, sandbox, socket}, {}, sandbox + "/out.log");
    ASSERT_TRUE(system_test::WaitUntil([&] {
        return platform::ReadWholeFile(sandbox + "/geoclue.log")
                   .value_or("")
                   .find("GClueNMEASource") != std::string::npos;
    })) << Why(*screen);
    ASSERT_TRUE(system_test::WaitUntil([&] {
        return GeoClueClient::OnBus("unix:path=" + sandbox + "/bus");
    })) << "GeoClue did not take its name\n"
        << Why(*screen);
    GeoClueClient client("unix:path=" + sandbox + "/bus");
    ASSERT_TRUE(client.Serve([&] { return client.Started(); }, 30))
        << client.Error() << Why(*screen);
    const std::string connected = "(uid " + std::to_string(*uid_);
    ASSERT_TRUE(system_test::WaitUntil([&] {
        return system_.Log().find(connected) != std::string::npos;
    })) << "GeoClue did not connect\n"
        << Why(*screen);
    EXPECT_EQ(client.AvailableAccuracyLevel(), GeoClueClient::kExact);

    // A session: the positions GeoClue hands on are the card's, moving along its route.
    ASSERT_TRUE(screen->Press(L"Start")) << Why(*screen);
    ASSERT_TRUE(client.Serve([&] { return client.Locations().size() >= 6; }, 60))
        << client.Error() << Why(*screen);
    int last = -1, moves = 0, measured = 0;
    for (const GeoClueClient::Location& l : client.Locations()) {
        int epoch = EpochAt(l.latitude, l.longitude);
        EXPECT_GE(epoch, kNoFix) << l.latitude << "," << l.longitude
                                 << " is no position of the route with a fix";
        EXPECT_GE(epoch, last) << "an older position after a newer one";
        moves += epoch > last && last >= 0;
        last = std::max(last, epoch);
        // GeoClue's accuracy of an NMEA position: metres, a GPS's (its network sources give
        // kilometres), or -1, GeoClue's "unknown", which it gives some of them under load.
        if (l.accuracy >= 0) {
            ++measured;
            EXPECT_LT(l.accuracy, 100) << "not a GPS's accuracy";
        } else {
            EXPECT_EQ(l.accuracy, -1);
        }
    }
    EXPECT_GE(measured * 2, static_cast<int>(client.Locations().size()));
    EXPECT_GE(moves, 3) << "the route moves, and so do GeoClue's positions";

    // Stopped and started again: GeoClue's connection is the same, positions come again.
    ASSERT_TRUE(screen->Press(L"Stop")) << Why(*screen);
    ASSERT_TRUE(screen->WaitText("geoclue_stopped", L"GPS stopped")) << Why(*screen);
    const size_t before = client.Locations().size();
    ASSERT_TRUE(screen->Press(L"Start")) << Why(*screen);
    EXPECT_TRUE(client.Serve([&] { return client.Locations().size() >= before + 3; }, 60))
        << client.Error() << Why(*screen);
    for (size_t i = before; i < client.Locations().size(); ++i) {
        EXPECT_GE(EpochAt(client.Locations()[i].latitude, client.Locations()[i].longitude), kNoFix);
    }
    const std::string log = system_.Log();
    EXPECT_EQ(log.find("left after"), std::string::npos) << "GeoClue's connection ended";
}

}  // namespace
