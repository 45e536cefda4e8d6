// ./run started a second time while Satview runs on its simulated card (both in tmux, as a
// user types them): the second brings the first forward and ends, and starts no second card
// that would take the first one's id, files or control socket.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "running_system.h"
#include "tmux_session.h"

namespace {

using system_test::Shell;

TEST(SecondRun, BringsTheRunningSatviewForwardAndLeavesItsCardAlone) {
    if (!testing_support::TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    system_test::RunningSystem system;
    // ./run as checked out, with build/bin being the program directory of this system.
    const std::string root = system.Dir() + "/root", source = SATVIEW_DATA_DIR "/..";
    ASSERT_EQ(Shell("mkdir -p " + root + "/scripts " + root + "/build && cp " + source + "/run " +
                    root + " && cp " + source + "/scripts/common.sh " + root +
                    "/scripts && ln -s " + system.Bin() + " " + root + "/build/bin"),
              0);
    const std::string run =
        system.EnvPrefix() + " TERM=xterm-256color " + root + "/run --no-build --sim --terminal";
    testing_support::TmuxSession first(run, 100, 30);
    bool found = false;
    for (int i = 0; i < 6 && !found; ++i) found = first.WaitForText(L"(COM");
    ASSERT_TRUE(found) << platform::WideToUtf8(first.Screen()) << system.Log();
    const std::string cardLog = system.Bin() + "/Log/cardsim.log";
    const std::string started = platform::ReadWholeFile(cardLog).value_or("");

    // What it says goes to a file: the launcher's terminal front end clears the screen.
    const std::string said = system.Dir() + "/second.out", status = system.Dir() + "/second.rc";
    testing_support::TmuxSession second(run + " >" + said + " 2>&1; echo $? >" + status);
    ASSERT_TRUE(system_test::WaitUntil(
        [&] { return platform::ReadWholeFile(status).value_or("").ends_with("\n"); }));
    EXPECT_EQ(platform::ReadWholeFile(status), "0\n");
    const std::string output = platform::ReadWholeFile(said).value_or("");
    EXPECT_NE(output.find("Satview already runs for this user: its window was brought forward."),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("No second simulated card started"), std::string::npos) << output;
    EXPECT_EQ(output.find("Simulated card started"), std::string::npos) << output;

    // Without a simulated card to leave out, and as the installed command starts the launcher
    // (no ./run around it), the second start still says what it did.
    const std::string noSim = system.Dir() + "/nosim.out", noSimStatus = system.Dir() + "/nosim.rc";
    testing_support::TmuxSession third(system.EnvPrefix() + " TERM=xterm-256color " + root +
                                       "/run --no-build --no-sim --terminal >" + noSim +
                                       " 2>&1; echo $? >" + noSimStatus);
    const std::string launcher = system.Dir() + "/launcher.out";
    EXPECT_EQ(Shell(system.EnvPrefix() + " " + system.Bin() + "/Startup --headless >" + launcher +
                    " 2>&1 </dev/null"),
              0);
    ASSERT_TRUE(system_test::WaitUntil(
        [&] { return platform::ReadWholeFile(noSimStatus).value_or("").ends_with("\n"); }));
    EXPECT_EQ(platform::ReadWholeFile(noSimStatus), "0\n");
    for (const std::string& file : {noSim, launcher}) {
        const std::string text = platform::ReadWholeFile(file).value_or("");
        EXPECT_NE(text.find("its window was brought forward"), std::string::npos) << file << text;
        EXPECT_EQ(text.find("simulated card"), std::string::npos) << file << text;
    }

    // One card, the first one's, still registered and answering; its log untouched.
    const std::string cards = system.Dir() + "/cards.out";
    Shell(system.EnvPrefix() + " " + system.Bin() + "/satview-cardsim ctl cards >" + cards);
    EXPECT_EQ(platform::ReadWholeFile(cards).value_or("").rfind("ok\n1 sim-1 plugged=1", 0), 0u);
    EXPECT_EQ(platform::ReadWholeFile(cards).value_or("").find("\n2 "), std::string::npos);
    EXPECT_TRUE(platform::FileExists(system.Dir() + "/run/ports/sim-1-pcui.port"));
    EXPECT_EQ(platform::ReadWholeFile(cardLog), started);
    EXPECT_EQ(started.rfind("sim-1 (", 0), 0u) << started;
}

}  // namespace
