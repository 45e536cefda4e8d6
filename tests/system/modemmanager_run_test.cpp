// Satview in a terminal with the simulated card managed by the real ModemManager (on a private
// bus, modemmanager_sandbox.h): the card is reached through ModemManager, its ports are not
// opened, Start gives moving positions, Stop ends GNSS on the card, and the modem object's
// removal is shown.
#include <gtest/gtest.h>

#include <regex>

#include "modemmanager_sandbox.h"
#include "running_system.h"
#include "terminal_screen.h"

using system_test::RunningSystem;
using system_test::TerminalScreen;
using testing_support::ModemManagerSandbox;
using testing_support::TmuxSession;

namespace {

TEST(ModemManagerRun, PositionsThroughModemManagerAndSeesTheModemGo) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    if (auto why = ModemManagerSandbox::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    ModemManagerSandbox& mm = ModemManagerSandbox::Shared();
    ASSERT_TRUE(mm.Up()) << mm.Log();

    RunningSystem system;
    ASSERT_TRUE(system.StartCard({"--dialect", "modemmanager"}));
    std::smatch nodes;
    std::string status = system.Card("status");
    ASSERT_TRUE(std::regex_search(status, nodes, std::regex("at=(\\S+) gps=(\\S+)"))) << status;
    ASSERT_TRUE(mm.AddCard(4, nodes[1], nodes[2]));
    ASSERT_TRUE(testing_support::WaitFor([&] { return !mm.ModemPath(4).empty(); })) << mm.Log();

    system.SetEnv("SATVIEW_MM_BUS", mm.Address());
    TerminalScreen screen(std::make_unique<TmuxSession>(
        system.EnvPrefix() + " TERM=xterm-256color " + system.Bin() + "/Startup --terminal", 100,
        30));
    auto why = [&] {
        std::string log = system.Log();
        return screen.Text() + "\n--- card: " + system.Card("status") + "\n--- log:\n" +
               log.substr(log.size() > 6000 ? log.size() - 6000 : 0);
    };
    ASSERT_TRUE(screen.WaitText("mm_found", L"(COM", 40)) << why();
    // Ready: its GPS type was asked through ModemManager and its capability shown.
    ASSERT_TRUE(screen.WaitText("mm_ready", L"supports stand-alone GPS", 40)) << why();
    ASSERT_TRUE(screen.Press(L"Start")) << why();
    EXPECT_TRUE(screen.WaitMoving("mm_positions")) << why();
    std::string log = system.Log();
    EXPECT_NE(log.find("card through ModemManager"), std::string::npos) << why();
    EXPECT_EQ(log.find("card ports: "), std::string::npos) << why();  // no serial card opened
    ASSERT_TRUE(screen.Press(L"Stop")) << why();
    EXPECT_TRUE(testing_support::WaitFor(
        [&] { return system.Card("status").find("positioning=0") != std::string::npos; },
        std::chrono::seconds(10)))
        << why();

    ASSERT_TRUE(mm.RemoveCard(4));
    EXPECT_TRUE(screen.WaitText("mm_removed", L"removed")) << why();
}

}  // namespace
