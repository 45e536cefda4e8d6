// ./run's own part around Satview, as a user types it in a terminal (tmux): the terminal is
// given back whole however Satview ends, kill -9 included, and a run without a user interface
// says where to look.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"
#include "platform/text.h"
#include "running_system.h"
#include "tmux_session.h"

namespace {

using system_test::Shell;
using testing_support::TmuxSession;

// The first process named `name` below `pid` (itself included), or "".
std::string DescendantNamed(const std::string& pid, const std::string& name) {
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string own;
    std::getline(comm, own);
    if (own == name) return pid;
    std::ifstream children("/proc/" + pid + "/task/" + pid + "/children");
    for (std::string child; children >> child;) {
        std::string found = DescendantNamed(child, name);
        if (!found.empty()) return found;
    }
    return "";
}

class RunScript : public testing::Test {
  protected:
    void SetUp() override {
        if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
        ASSERT_TRUE(system.StartCard({"--ready-after", "0"}));
        // ./run as checked out, with build/bin being the program directory of this system.
        const std::string source = SATVIEW_DATA_DIR "/..";
        ASSERT_EQ(Shell("mkdir -p " + root + "/scripts " + root + "/build && cp " + source +
                        "/run " + root + " && cp " + source + "/scripts/common.sh " + root +
                        "/scripts && ln -s " + system.Bin() + " " + root + "/build/bin"),
                  0);
    }
    std::string Run(const std::string& options) const {
        return system.EnvPrefix() + " TERM=xterm-256color " + root + "/run --no-build --no-sim " +
               options;
    }

    system_test::RunningSystem system;
    const std::string root = system.Dir() + "/root";
};

TEST_F(RunScript, AKilledSatviewLeavesTheTerminalAsItWas) {
    const std::string modes = system.Dir() + "/modes";
    TmuxSession tmux(Run("--terminal") + "; stty -a >" + modes + "; sleep 60", 100, 30);
    bool found = false;
    for (int i = 0; i < 6 && !found; ++i) found = tmux.WaitForText(L"(COM");
    ASSERT_TRUE(found) << platform::WideToUtf8(tmux.Screen());
    // What the dialog changed, seen by the terminal before the kill.
    ASSERT_EQ(tmux.Variable("alternate_on"), "1");
    ASSERT_EQ(tmux.Variable("mouse_standard_flag"), "1");

    const std::string pid = DescendantNamed(tmux.Variable("pane_pid"), "Startup");
    ASSERT_FALSE(pid.empty());
    ASSERT_EQ(Shell("kill -KILL " + pid), 0);
    ASSERT_TRUE(system_test::WaitUntil([&] { return platform::FileExists(modes); }));
    ASSERT_TRUE(system_test::WaitUntil(
        [&] { return platform::ReadWholeFile(modes).value_or("").ends_with("\n"); }));
    const std::string stty = " " + platform::ReadWholeFile(modes).value_or("");
    EXPECT_NE(stty.find(" icanon"), std::string::npos) << stty;
    EXPECT_NE(stty.find(" echo "), std::string::npos) << stty;
    EXPECT_EQ(tmux.Variable("alternate_on"), "0");
    EXPECT_EQ(tmux.Variable("mouse_standard_flag"), "0");
    EXPECT_EQ(tmux.Variable("mouse_any_flag"), "0");
    EXPECT_EQ(tmux.Variable("cursor_flag"), "1");
}

TEST_F(RunScript, WithoutAUserInterfaceItSaysWhereTheLogIs) {
    const std::string said = system.Dir() + "/said";
    TmuxSession tmux(Run("--headless") + " >" + said + " 2>&1", 100, 30);
    ASSERT_TRUE(system_test::WaitUntil([&] {
        return platform::ReadWholeFile(said).value_or("").find("Log/") != std::string::npos;
    }));
    const std::string text = platform::ReadWholeFile(said).value_or("");
    EXPECT_NE(text.find("the log in " + root + "/build/bin/Log/"), std::string::npos) << text;
    const std::string pid = DescendantNamed(tmux.Variable("pane_pid"), "Startup");
    if (!pid.empty()) Shell("kill -TERM " + pid);
}

}  // namespace
