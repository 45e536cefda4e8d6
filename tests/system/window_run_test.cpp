// ./run's path in a window: Startup with the wx front end under Xvfb on the simulated card. What
// the window shows is read back as text from the native widgets (SATVIEW_SCREEN_TEXT) and
// checked at each step; the screen is also saved there, as a picture and as that text, for a
// person to look at.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "running_system.h"

using system_test::Child;
using system_test::RunningSystem;
using system_test::Shell;

namespace {

class WindowRun : public testing::Test {
  protected:
    std::string ScreenText() const {
        return platform::ReadWholeFile(system_.Dir() + "/screen.txt").value_or("");
    }
    // Waits for the window to pass `test`; saves the screen under `name` either way.
    template <typename F>
    bool Wait(const std::string& name, F test, int seconds = 20) {
        bool passed = system_test::WaitUntil([&] { return test(ScreenText()); }, seconds);
        std::filesystem::create_directories(SCREENSHOT_DIR);
        std::string picture = SCREENSHOT_DIR "/window_" + name + ".png";
        EXPECT_EQ(Shell("import -window root " + picture + " 2>/dev/null"), 0)
            << "ImageMagick's import saves the screen";
        std::ofstream(SCREENSHOT_DIR "/window_" + name + ".txt") << ScreenText();
        return passed;
    }
    // The port row: "... GPS Interface (COM<n>)".
    static bool ShowsPort(const std::string& screen) {
        static const std::regex port("GPS Interface \\(COM[0-9]+\\)");
        return std::regex_search(screen, port);
    }
    static bool Has(const std::string& screen, const std::string& text) {
        return screen.find(text) != std::string::npos;
    }

    RunningSystem system_;
};

TEST_F(WindowRun, ShowsTheDialogOnTheSimulatedCardAndASecondStartEndsAtOnce) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    ASSERT_TRUE(system_.StartCard({"--ready-after", "0"}));
    auto env = system_.Env();
    env["DISPLAY"] = std::getenv("DISPLAY");
    env["SATVIEW_SCREEN_TEXT"] = system_.Dir() + "/screen.txt";
    Child satview({system_.Bin() + "/Startup"}, env, system_.Bin() + "/startup.out");

    // The dialog finds the card's GPS port and says that the card is ready.
    ASSERT_TRUE(Wait("found", [](const std::string& s) { return ShowsPort(s) && Has(s, "ready"); }))
        << ScreenText() << satview.Output();
    EXPECT_TRUE(Has(ScreenText(), "window: ")) << "the window's title is read too";
    EXPECT_TRUE(satview.Running()) << satview.Output();

    system_.Card("unplug");
    EXPECT_TRUE(Wait("unplugged", [](const std::string& s) {
        return !ShowsPort(s) && Has(s, "removed");
    })) << ScreenText();
    system_.Card("plug");
    EXPECT_TRUE(Wait("plugged", [](const std::string& s) { return ShowsPort(s); })) << ScreenText();

    EXPECT_EQ(Shell(system_.EnvPrefix() + " DISPLAY=" + env["DISPLAY"] + " " + system_.Bin() +
                    "/Startup >/dev/null 2>&1"),
              0);
    EXPECT_TRUE(satview.Running()) << "the first instance goes on";
    EXPECT_TRUE(ShowsPort(ScreenText())) << "and still shows the card";
}

}  // namespace

// A session's satellites view in the window, opened from the dialog's context menu: Esc in the
// view closes the view alone, and the dialog and its session go on.
TEST_F(WindowRun, EscInTheSatellitesViewClosesTheViewAlone) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    if (Shell("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "no xdotool";
    ASSERT_TRUE(system_.StartCard({"--ready-after", "0"}));
    auto env = system_.Env();
    env["DISPLAY"] = std::getenv("DISPLAY");
    env["SATVIEW_SCREEN_TEXT"] = system_.Dir() + "/screen.txt";
    Child satview({system_.Bin() + "/Startup"}, env, system_.Bin() + "/startup.out");
    ASSERT_TRUE(Wait("sky_ready", [](const std::string& s) { return Has(s, "are ready."); }))
        << ScreenText();
    const std::string dialog = "W=$(xdotool search --name '^Satview GPS$' | head -1); ";
    ASSERT_EQ(Shell(dialog + "xdotool windowfocus --sync $W key Return"), 0);  // Start
    ASSERT_TRUE(Wait("sky_session", [](const std::string& s) { return Has(s, "| Latitude | N "); }))
        << ScreenText();
    // The panel's bottom right corner, below the buttons; the view is the menu's last item.
    ASSERT_EQ(Shell(dialog +
                    "eval $(xdotool getwindowgeometry --shell $W); xdotool mousemove --window $W "
                    "$((WIDTH - 8)) $((HEIGHT - 4)) click 3 sleep 0.5 key Up Return"),
              0);
    ASSERT_TRUE(Wait("sky_open", [](const std::string& s) {
        return Has(s, "window: Satview satellites") && Has(s, "All ");
    })) << ScreenText();
    ASSERT_EQ(Shell("xdotool windowfocus --sync $(xdotool search --name '^Satview satellites$' | "
                    "head -1) key Escape"),
              0);
    EXPECT_TRUE(Wait("sky_closed", [](const std::string& s) {
        return !Has(s, "window: Satview satellites") && Has(s, "window: Satview GPS");
    })) << ScreenText();
    EXPECT_TRUE(satview.Running()) << "Esc in the view leaves Satview running";
    EXPECT_TRUE(Has(ScreenText(), "| Latitude | N ")) << ScreenText();
}
