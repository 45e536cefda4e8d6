// The time to the first fix end to end: the simulated card's cold, warm and hot starts, with
// and without AGPS set up, as Satview's GPS dialog tells them in a terminal, in the log and in
// the session's GPX track.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/ini.h"
#include "running_system.h"
#include "terminal_screen.h"

using system_test::RunningSystem;
using system_test::TerminalScreen;
using testing_support::TmuxSession;

namespace {

// The first fix row's seconds; none while empty.
std::optional<double> FirstFix(const std::wstring& screen) {
    static const std::wregex row(L"First fix after[^\\n0-9]*([0-9]+\\.[0-9]) s");
    std::wsmatch m;
    if (!std::regex_search(screen, m, row)) return std::nullopt;
    return std::stod(m[1].str());
}

struct Start {
    const char* kind;
    double seconds;  // the card's time to the first fix
};

class FirstFixRun : public testing::Test {
  protected:
    void Run(bool agps, const std::vector<Start>& starts) {
        if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
        RunningSystem system;
        const std::string config = system.Bin() + "/config/ConfigFile.xml";
        std::string text = platform::ReadWholeFile(config).value_or("");
        if (agps) {
            size_t at = text.find("<Type><element name=\"GPS\"/>");
            ASSERT_NE(at, std::string::npos) << text;
            text.replace(at, 27, "<Type><element name=\"AGPS\"/>");
            ASSERT_TRUE(platform::WriteFileAtomic(config, text));
        }
        ASSERT_TRUE(
            platform::IniWriteString(system.Bin() + "/Runinfo.ini", "track", "record", "1"));
        ASSERT_TRUE(system.StartCard({"--ready-after", "0", "--start-times", "8,4,1"}));
        TerminalScreen screen(std::make_unique<TmuxSession>(
            system.EnvPrefix() + " TERM=xterm-256color " + system.Bin() + "/Startup --terminal",
            100, 30));
        ASSERT_TRUE(screen.WaitText("first_fix_ready", L"ready.")) << screen.Text();
        for (const Start& start : starts) {
            SCOPED_TRACE(start.kind);
            ASSERT_EQ(system.Card(std::string("start ") + start.kind), "ok\n");
            ASSERT_TRUE(screen.FocusOn(L"Start")) << screen.Text();
            screen.Tmux().Keys("Enter");
            ASSERT_TRUE(screen.WaitText("first_fix_waiting", L"Waiting for GPS data", 10))
                << screen.Text();
            EXPECT_FALSE(FirstFix(screen.Tmux().Screen())) << "no fix yet";
            ASSERT_TRUE(screen.Wait(
                "first_fix", [](const std::wstring& s) { return FirstFix(s).has_value(); },
                static_cast<int>(start.seconds) + 10))
                << screen.Text();
            // The card writes an epoch every second from 0.1 s after AT^GPSSTART on: the fix
            // comes with the first at or after its time.
            double shown = *FirstFix(screen.Tmux().Screen());
            EXPECT_GE(shown, start.seconds) << screen.Text();
            EXPECT_LE(shown, start.seconds + 1.6) << screen.Text();
            measured_.push_back(shown);
            screen.Tmux().Keys("Enter");  // Stop has the focus while a session runs
            ASSERT_TRUE(screen.WaitText("first_fix_stopped", L"GPS stopped.")) << screen.Text();
            EXPECT_FALSE(FirstFix(screen.Tmux().Screen())) << "Stop empties the row";
        }
        const std::string log = system.Log();
        size_t traced = 0;
        for (size_t at = log.find("First fix after"); at != std::string::npos;
             at = log.find("First fix after", at + 1)) {
            ++traced;
        }
        EXPECT_EQ(traced, starts.size()) << log;
        // Each session's track says its time to the first fix.
        const std::filesystem::path tracks = system.Dir() + "/home/.local/share/satview/tracks";
        size_t described = 0;
        for (const auto& e : std::filesystem::directory_iterator(tracks)) {
            std::string gpx = platform::ReadWholeFile(e.path()).value_or("");
            described += gpx.find("<metadata><desc>First fix after ") != std::string::npos;
        }
        EXPECT_EQ(described, starts.size());
        screen.Tmux().Keys("Escape");
        EXPECT_TRUE(system_test::WaitUntil([&] { return screen.Ended(); }));
    }
    std::vector<double> measured_;
};

TEST_F(FirstFixRun, ColdWarmAndHotStartsOnTheirOwn) {
    Run(false, {{"cold", 8}, {"warm", 4}, {"hot", 1}});
    ASSERT_EQ(measured_.size(), 3u);
    EXPECT_GT(measured_[0], measured_[1] + 2);
    EXPECT_GT(measured_[1], measured_[2] + 2);
}

TEST_F(FirstFixRun, AgpsShortensColdAndWarmStarts) {
    // A fifth of the time, never under the hot start's second.
    Run(true, {{"cold", 1.6}, {"warm", 1}, {"hot", 1}});
    ASSERT_EQ(measured_.size(), 3u);
    EXPECT_LT(measured_[0], 8) << "assisted, far quicker than the cold start on its own";
}

}  // namespace
