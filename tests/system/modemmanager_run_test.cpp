// Satview in a terminal with the simulated card managed by ModemManager. The real one (on a
// private bus, modemmanager_sandbox.h): Satview started right after the card is reported leaves
// its ports to ModemManager, Start gives moving positions, Stop ends GNSS on the card, the
// modem disabled by another client stays so and the status line says it was switched off, and
// the modem object's removal is shown. Its mock (mock_modemmanager.h): a ModemManager that does
// not answer a call leaves the dialog waiting no longer than the call's time-out.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "mock_modemmanager.h"
#include "modemmanager_sandbox.h"
#include "running_system.h"
#include "terminal_screen.h"

using system_test::RunningSystem;
using system_test::TerminalScreen;
using testing_support::MockModemManager;
using testing_support::ModemManagerSandbox;
using testing_support::TmuxSession;

namespace {

// The simulated card's ports, from its control socket.
bool CardNodes(RunningSystem& system, std::string& at, std::string& gps) {
    std::smatch nodes;
    std::string status = system.Card("status");
    if (!std::regex_search(status, nodes, std::regex("at=(\\S+) gps=(\\S+)"))) return false;
    at = nodes[1];
    gps = nodes[2];
    return true;
}

std::unique_ptr<TerminalScreen> StartSatview(RunningSystem& system) {
    return std::make_unique<TerminalScreen>(std::make_unique<TmuxSession>(
        system.EnvPrefix() + " TERM=xterm-256color " + system.Bin() + "/Startup --terminal", 100,
        30));
}

TEST(ModemManagerRun, PositionsThroughModemManagerAndLeavesItsModemAsOthersSetIt) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    if (auto why = ModemManagerSandbox::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    ModemManagerSandbox& mm = ModemManagerSandbox::Shared();
    ASSERT_TRUE(mm.Up()) << mm.Log();

    RunningSystem system;
    // Its port entries say ModemManager may claim the ports.
    ASSERT_TRUE(system.StartCard({"--dialect", "modemmanager"}));
    std::string at, gps;
    ASSERT_TRUE(CardNodes(system, at, gps)) << system.Card("status");
    // Plugged in, then Satview run at once: ModemManager has not exported the modem yet.
    ASSERT_TRUE(mm.AddCard(4, at, gps));
    system.SetEnv("SATVIEW_MM_BUS", mm.Address());
    auto screen = StartSatview(system);
    auto why = [&] {
        std::string log = system.Log();
        return screen->Text() + "\n--- card: " + system.Card("status") + "\n--- log:\n" +
               log.substr(log.size() > 6000 ? log.size() - 6000 : 0);
    };
    ASSERT_TRUE(screen->WaitText("mm_found", L"(COM", 40)) << why();
    // Ready: its GPS type was asked through ModemManager and its capability shown.
    ASSERT_TRUE(screen->WaitText("mm_ready", L"supports stand-alone GPS", 40)) << why();
    const std::string modem = mm.ModemPath(4);
    ASSERT_FALSE(modem.empty()) << mm.Log();
    EXPECT_NE(mm.Property(modem, "org.freedesktop.ModemManager1.Modem", "State"), "i -1\n");
    ASSERT_TRUE(screen->Press(L"Start")) << why();
    EXPECT_TRUE(screen->WaitMoving("mm_positions")) << why();
    std::string log = system.Log();
    EXPECT_NE(log.find("card through ModemManager"), std::string::npos) << why();
    EXPECT_NE(log.find("port left to ModemManager for a moment"), std::string::npos) << why();
    EXPECT_EQ(log.find("card ports: "), std::string::npos) << why();  // no serial card opened
    ASSERT_TRUE(screen->Press(L"Stop")) << why();
    EXPECT_TRUE(testing_support::WaitFor(
        [&] { return system.Card("status").find("positioning=0") != std::string::npos; },
        std::chrono::seconds(10)))
        << why();

    // Another client disables the modem: it stays disabled, and the status line says so.
    ASSERT_TRUE(mm.Mmcli("-m " + modem + " -d").ok) << mm.Log();
    EXPECT_TRUE(screen->WaitText("mm_switched_off", L"The data card was switched off.")) << why();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(mm.Property(modem, "org.freedesktop.ModemManager1.Modem", "State"), "i 3\n") << why();

    ASSERT_TRUE(mm.RemoveCard(4));
    EXPECT_TRUE(screen->WaitText("mm_removed", L"removed")) << why();
}

// A ModemManager that never answers Setup: Start waits no longer than the call's time-out
// (5 s), then says GPS could not be started, and the dialog goes on answering the keyboard.
TEST(ModemManagerRun, AModemManagerThatDoesNotAnswerLeavesTheDialogResponsive) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    if (auto why = MockModemManager::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    MockModemManager mm;
    ASSERT_TRUE(mm.Up());
    RunningSystem system;
    ASSERT_TRUE(system.StartCard({"--dialect", "modemmanager"}));
    std::string at, gps;
    ASSERT_TRUE(CardNodes(system, at, gps));
    const std::string path = "/org/freedesktop/ModemManager1/Modem/0";
    const std::string modem =
        "5 State i 8 UnlockRequired u 1 StateFailedReason u 0 Model s 'Wendrix 3G' Ports 'a(su)' "
        "2 " +
        at.substr(5) + " 3 " + gps.substr(5) + " 5";
    const std::string location =
        "5 Capabilities u 6 Enabled u 0 SignalsLocation b false Location 'a{uv}' 0 "
        "GpsRefreshRate u 30";
    ASSERT_TRUE(mm.Mock(MockModemManager::kRoot, "AddObject 'ssa{sv}a(ssss)' " + path +
                                                     " org.freedesktop.ModemManager1.Modem " +
                                                     modem + " 0"));
    ASSERT_TRUE(mm.Mock(
        path, "AddProperties 'sa{sv}' org.freedesktop.ModemManager1.Modem.Location " + location));
    ASSERT_TRUE(mm.Mock(path,
                        "AddMethods 'sa(ssss)' org.freedesktop.ModemManager1.Modem.Location 2"
                        " Setup ub '' 'time.sleep(60)' SetGpsRefreshRate u '' ''"));

    system.SetEnv("SATVIEW_MM_BUS", mm.Address());
    system.SetEnv("SATVIEW_CARD_PATH", "modemmanager");
    auto screen = StartSatview(system);
    auto why = [&] {
        std::string log = system.Log();
        return screen->Text() + "\n--- log:\n" +
               log.substr(log.size() > 6000 ? log.size() - 6000 : 0);
    };
    ASSERT_TRUE(screen->WaitText("mm_silent_ready", L"supports stand-alone GPS", 40)) << why();
    auto pressed = std::chrono::steady_clock::now();
    ASSERT_TRUE(screen->Press(L"Start")) << why();
    ASSERT_TRUE(screen->WaitText("mm_silent_failed", L"GPS could not be started.", 20)) << why();
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::seconds(20));
    EXPECT_NE(system.Log().find("did not answer starting GPS in time"), std::string::npos) << why();
    // The keyboard is served again: the focus moves on.
    EXPECT_FALSE(screen->FocusOn(L"Open"));
    EXPECT_TRUE(screen->FocusTo(L"Open")) << why();
}

}  // namespace
