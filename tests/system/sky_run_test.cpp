// The satellites view on a live session in a terminal: Satview on the simulated card's cold
// start shows the satellites rising while the receiver searches, none of them used and no
// first fix yet, then the fix with the satellites in it, its time and the error estimate; the
// same view of a card that the real ModemManager manages (on a private bus).
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

// "All 12/0": the satellites seen and used in all.
std::optional<std::pair<int, int>> AllCounts(const std::wstring& screen) {
    static const std::wregex all(L"All ([0-9]+)/([0-9]+)");
    std::wsmatch m;
    if (!std::regex_search(screen, m, all)) return std::nullopt;
    return std::pair{std::stoi(m[1].str()), std::stoi(m[2].str())};
}

}  // namespace

TEST(SkyRun, ACardsColdStartShowsTheSatellitesRisingThenTheFix) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    RunningSystem system;
    ASSERT_TRUE(
        system.StartCard({"--ready-after", "0", "--start", "cold", "--start-times", "6,3,1"}));
    TerminalScreen screen(std::make_unique<TmuxSession>(
        system.EnvPrefix() + " TERM=xterm-256color " + system.Bin() + "/Startup --terminal", 80,
        24));
    ASSERT_TRUE(screen.WaitText("sky_ready", L"ready.")) << screen.Text();
    screen.Tmux().Keys("Enter");  // Start
    ASSERT_TRUE(screen.WaitText("sky_started", L"Waiting for GPS data", 10)) << screen.Text();
    screen.Tmux().Keys("s");
    ASSERT_TRUE(screen.WaitText("sky_open", L"Satview satellites", 10)) << screen.Text();
    EXPECT_NE(screen.Tmux().Screen().find(L"Searching for the first fix..."), std::wstring::npos)
        << screen.Text();

    // While searching: more satellites every second or so, none used.
    std::vector<int> seen;
    ASSERT_TRUE(screen.Wait(
        "sky_searching",
        [&](const std::wstring& s) {
            auto all = AllCounts(s);
            if (all && all->second == 0 && (seen.empty() || seen.back() != all->first)) {
                seen.push_back(all->first);
            }
            return all && all->second > 0;
        },
        20))
        << screen.Text();
    ASSERT_GE(seen.size(), 3u) << "the sky rose in steps: " << testing::PrintToString(seen);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << testing::PrintToString(seen);
    // Then the fix: the satellites in it, its time, the receiver's error estimate.
    ASSERT_TRUE(screen.WaitText("sky_fixed", L"First fix after", 10)) << screen.Text();
    const std::wstring fixed = screen.Tmux().Screen();
    auto all = AllCounts(fixed);
    ASSERT_TRUE(all);
    EXPECT_GE(all->first, 18) << screen.Text();
    EXPECT_GE(all->second, 13) << screen.Text();
    EXPECT_NE(fixed.find(L"Estimated error: 3.1 m horizontal, 4.2 m vertical"), std::wstring::npos)
        << screen.Text();
    EXPECT_NE(fixed.find(L"PDOP 1.6 \u00B7 HDOP 0.9 \u00B7 VDOP 1.3"), std::wstring::npos)
        << screen.Text();
    screen.Tmux().Keys("Escape");  // the view
    ASSERT_TRUE(screen.Wait("sky_closed", [](const std::wstring& s) {
        return s.find(L"Satview satellites") == std::wstring::npos;
    })) << screen.Text();
    screen.Tmux().Keys("Escape");  // Satview
    EXPECT_TRUE(system_test::WaitUntil([&] { return screen.Ended(); }));
}

TEST(SkyRun, ACardThroughModemManagerShowsItsSkyAsWell) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    if (auto why = ModemManagerSandbox::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    ModemManagerSandbox& mm = ModemManagerSandbox::Shared();
    ASSERT_TRUE(mm.Up()) << mm.Log();
    RunningSystem system;
    ASSERT_TRUE(system.StartCard({"--dialect", "modemmanager"}));
    std::smatch nodes;
    std::string status = system.Card("status");
    ASSERT_TRUE(std::regex_search(status, nodes, std::regex("at=(\\S+) gps=(\\S+)"))) << status;
    ASSERT_TRUE(mm.AddCard(1, nodes[1], nodes[2]));
    ASSERT_TRUE(testing_support::WaitFor([&] { return !mm.ModemPath(1).empty(); })) << mm.Log();
    system.SetEnv("SATVIEW_MM_BUS", mm.Address());
    TerminalScreen screen(std::make_unique<TmuxSession>(
        system.EnvPrefix() + " TERM=xterm-256color " + system.Bin() + "/Startup --terminal", 80,
        24));
    ASSERT_TRUE(screen.WaitText("sky_mm_ready", L"supports stand-alone GPS", 60)) << screen.Text();
    ASSERT_TRUE(screen.Press(L"Start")) << screen.Text();
    screen.Tmux().Keys("s");
    ASSERT_TRUE(screen.WaitText("sky_mm_open", L"Satview satellites", 10)) << screen.Text();
    // Every system of the card, its satellites in the fix marked, from ModemManager's traces.
    ASSERT_TRUE(screen.Wait(
        "sky_mm",
        [](const std::wstring& s) {
            auto all = AllCounts(s);
            return all && all->first >= 18 && all->second >= 13;
        },
        30))
        << screen.Text() << mm.Log();
    const std::wstring shown = screen.Tmux().Screen();
    for (const wchar_t* system : {L"GPS ", L"GLONASS ", L"Galileo ", L"BeiDou "}) {
        EXPECT_NE(shown.find(system), std::wstring::npos) << system;
    }
    screen.Tmux().Keys("Escape");
    ASSERT_TRUE(mm.RemoveCard(1));
}
