// ./run started a second time while Satview runs on its simulated card (both in tmux, as a
// user types them): the second brings the first forward and ends, and starts no second card
// that would take the first one's id, files or control socket.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "running_system.h"
#include "tmux_session.h"

using system_test::RunningSystem;
using system_test::Shell;
using testing_support::TmuxSession;

namespace {

bool WaitText(const TmuxSession& tmux, const std::wstring& text, int seconds = 30) {
    for (int i = 0; i < seconds / 5; ++i) {
        if (tmux.WaitForText(text)) return true;
    }
    return false;
}

TEST(SecondRun, BringsTheRunningSatviewForwardAndLeavesItsCardAlone) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    RunningSystem system;
    // ./run as checked out, with build/bin being the program directory of this system.
    const std::string root = system.Dir() + "/root";
    ASSERT_EQ(Shell("mkdir -p " + root + "/scripts " + root +
                    "/build && cp " SATVIEW_DATA_DIR "/../run " + root +
                    " && cp " SATVIEW_DATA_DIR "/../scripts/common.sh " + root +
                    "/scripts && ln -s " + system.Bin() + " " + root + "/build/bin"),
              0);
    const std::string run =
        system.EnvPrefix() + " TERM=xterm-256color " + root + "/run --no-build --sim --terminal";
    TmuxSession first(run, 100, 30);
    ASSERT_TRUE(WaitText(first, L"(COM")) << platform::WideToUtf8(first.Screen()) << system.Log();
    const std::string cardLog = system.Bin() + "/Log/cardsim.log";
    const std::string started = platform::ReadWholeFile(cardLog).value_or("");
    ASSERT_EQ(started.rfind("sim-1 (", 0), 0u) << started;

    // What it says goes to a file: the launcher's terminal front end clears its screen.
    const std::string said = system.Dir() + "/second.out", status = system.Dir() + "/second.rc";
    TmuxSession second(run + " >" + said + " 2>&1; echo $? >" + status, 100, 30);
    ASSERT_TRUE(system_test::WaitUntil([&] { return platform::FileExists(status); }, 30));
    EXPECT_TRUE(system_test::WaitUntil([&] {
        return platform::ReadWholeFile(status).value_or("") == "0\n";
    })) << platform::ReadWholeFile(status).value_or("");
    const std::string output = platform::ReadWholeFile(said).value_or("");
    EXPECT_NE(output.find("Satview already runs"), std::string::npos) << output;
    EXPECT_EQ(output.find("Simulated card started"), std::string::npos) << output;

    // One card, the first one's, still registered and answering; its log untouched.
    std::string out = system.Dir() + "/cards.out";
    Shell(system.EnvPrefix() + " " + system.Bin() + "/satview-cardsim ctl cards >" + out);
    std::string cards = platform::ReadWholeFile(out).value_or("");
    EXPECT_EQ(cards.rfind("ok\n1 sim-1 plugged=1", 0), 0u) << cards;
    EXPECT_EQ(cards.find("\n2 "), std::string::npos) << cards;
    EXPECT_FALSE(platform::FileExists(system.Dir() + "/run/cardsim-2.sock"));
    EXPECT_TRUE(platform::FileExists(system.Dir() + "/run/ports/sim-1-pcui.port"));
    EXPECT_EQ(platform::ReadWholeFile(cardLog).value_or("").substr(0, started.size()), started);
    EXPECT_NE(platform::WideToUtf8(first.Screen()).find("(COM"), std::string::npos);

    first.Keys("Escape");  // Satview ends, and ./run stops its card with it
    EXPECT_TRUE(WaitText(first, L"Pane is dead") || first.Variable("pane_dead") == "1");
}

}  // namespace
