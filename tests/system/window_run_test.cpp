// ./run's path in a window: Startup with the wx front end under Xvfb on the simulated card; the
// screen is saved at each step for a person to look at.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "running_system.h"

using system_test::Child;
using system_test::RunningSystem;
using system_test::Shell;

namespace {

void Screenshot(const std::string& name) {
    std::filesystem::create_directories(SCREENSHOT_DIR);
    Shell("import -window root " SCREENSHOT_DIR "/window_" + name + ".png 2>/dev/null");
}

TEST(WindowRun, ShowsTheDialogOnTheSimulatedCardAndASecondStartEndsAtOnce) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    RunningSystem system;
    ASSERT_TRUE(system.StartCard({"--ready-after", "0"}));
    auto env = system.Env();
    env["DISPLAY"] = std::getenv("DISPLAY");
    Child satview({system.Bin() + "/Startup"}, env, system.Bin() + "/startup.out");

    // The launcher chose the card: its plug-in list holds the GPS plug-in.
    ASSERT_TRUE(system_test::WaitUntil([&] {
        return platform::ReadWholeFile(system.Bin() + "/plugins.xml")
                   .value_or("")
                   .find("Orbitpane") != std::string::npos;
    })) << satview.Output();
    std::this_thread::sleep_for(std::chrono::seconds(3));  // the dialog finds the port
    Screenshot("found");
    EXPECT_TRUE(satview.Running()) << satview.Output();

    system.Card("unplug");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    Screenshot("unplugged");
    system.Card("plug");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    Screenshot("plugged");

    EXPECT_EQ(Shell(system.EnvPrefix() + " DISPLAY=" + env["DISPLAY"] + " " + system.Bin() +
                    "/Startup >/dev/null 2>&1"),
              0);
    EXPECT_TRUE(satview.Running()) << "the first instance goes on";
    EXPECT_TRUE(std::filesystem::exists(SCREENSHOT_DIR "/window_found.png"));
}

}  // namespace
