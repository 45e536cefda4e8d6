// A session's beginning and end in a terminal run: Satview started beside a card that is
// still starting learns the card's GPS type every time, and a card pulled out during a
// recorded session ends the session's track, the next session getting a track of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "platform/ini.h"
#include "running_system.h"
#include "terminal_screen.h"

using system_test::RunningSystem;
using system_test::TerminalScreen;
using testing_support::TmuxSession;

namespace {

std::unique_ptr<TerminalScreen> StartSatview(const RunningSystem& system) {
    return std::make_unique<TerminalScreen>(std::make_unique<TmuxSession>(
        system.EnvPrefix() + " TERM=xterm-256color " + system.Bin() + "/Startup --terminal", 100,
        30));
}

std::string Why(RunningSystem& system, const TerminalScreen& screen) {
    const std::string log = system.Log();
    return screen.Text() + "\n--- card: " + system.Card("status") + "\n--- log:\n" +
           log.substr(log.size() > 6000 ? log.size() - 6000 : 0);
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(SessionRun, BesideABootingCardTheGpsTypeIsLearntEveryTime) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    int askedWhileBooting = 0;
    for (int run = 0; run < 5; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        RunningSystem system;
        const std::string atLog = system.Dir() + "/at.log";
        // The card needs three seconds to start; Satview is started right after it.
        ASSERT_TRUE(system.StartCard({"--ready-after", "3", "--at-log", atLog}));
        auto screen = StartSatview(system);
        EXPECT_TRUE(screen->WaitText("booting_type", L"Current GPS type: AGPS", 40))
            << Why(system, *screen);
        EXPECT_TRUE(screen->WaitText("booting_ready", L"GPS and AGPS are ready.", 40))
            << Why(system, *screen);
        const std::string at = platform::ReadWholeFile(atLog).value_or("");
        // A type query the card answered as busy, before its start-up was over.
        if (Count(at, "AT^GPSTYPE?") >= 2) ++askedWhileBooting;
        screen->Tmux().Keys("Escape");
        EXPECT_TRUE(system_test::WaitUntil([&] { return screen->Ended(); }));
    }
    // Whether the dialog asks before the card's SIM report comes is a matter of timing; the
    // dialog's own tests answer the first query "busy" on purpose.
    RecordProperty("runs_asked_while_booting", askedWhileBooting);
}

TEST(SessionRun, ACardPulledDuringARecordedSessionEndsItsTrack) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    RunningSystem system;
    ASSERT_TRUE(platform::IniWriteString(system.Bin() + "/Runinfo.ini", "track", "record", "1"));
    const std::filesystem::path tracks = system.Dir() + "/home/.local/share/satview/tracks";
    auto files = [&] {
        std::vector<std::filesystem::path> found;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(tracks, ec)) {
            if (e.path().extension() == ".gpx") found.push_back(e.path());
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    auto text = [](const std::filesystem::path& file) {
        return platform::ReadWholeFile(file).value_or("");
    };
    ASSERT_TRUE(system.StartCard({"--ready-after", "0"}));
    auto screen = StartSatview(system);
    ASSERT_TRUE(screen->WaitText("track_ready", L"ready", 40)) << Why(system, *screen);
    ASSERT_TRUE(screen->Press(L"Start")) << Why(system, *screen);
    ASSERT_TRUE(screen->WaitMoving("track_positions")) << Why(system, *screen);

    system.Card("unplug");
    ASSERT_TRUE(screen->WaitText("track_removed", L"removed")) << Why(system, *screen);
    ASSERT_TRUE(system_test::WaitUntil([&] {
        return system.Log().find("Track ended with") != std::string::npos;
    })) << Why(system, *screen);
    ASSERT_EQ(files().size(), 1u);
    const std::string first = text(files()[0]);
    EXPECT_GT(Count(first, "<trkpt"), 0);
    EXPECT_EQ(Count(first, "<trkseg>"), 1);

    // Plugged again, the next session, minutes later or at once, is a track of its own.
    system.Card("plug");
    ASSERT_TRUE(screen->WaitText("track_replugged", L"ready", 40)) << Why(system, *screen);
    ASSERT_TRUE(screen->Press(L"Start")) << Why(system, *screen);
    ASSERT_TRUE(screen->WaitMoving("track_second")) << Why(system, *screen);
    ASSERT_TRUE(screen->Press(L"Stop")) << Why(system, *screen);
    ASSERT_TRUE(system_test::WaitUntil([&] { return files().size() == 2; }))
        << Why(system, *screen);
    EXPECT_EQ(text(files()[0]), first) << "the first track ended with its card";
    const std::string second = text(files()[1]);
    EXPECT_GT(Count(second, "<trkpt"), 0);
    EXPECT_EQ(Count(second, "<trkseg>"), 1);
    screen->Tmux().Keys("Escape");
    EXPECT_TRUE(system_test::WaitUntil([&] { return screen->Ended(); }));
}

}  // namespace
