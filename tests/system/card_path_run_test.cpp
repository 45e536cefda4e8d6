// The card's ordinary life in a terminal run, as a user meets it: Satview started before its
// card, the card unplugged and plugged again, a card check left unanswered, a second simulated
// card and a second Satview started beside the first, and Satview ended during a session.
// Each step checks what the card itself says (its positioning) as well as the screen.
#include <gtest/gtest.h>

#include <filesystem>

#include "running_system.h"
#include "terminal_screen.h"

using system_test::Child;
using system_test::RunningSystem;
using system_test::TerminalScreen;
using testing_support::TmuxSession;

namespace {

constexpr const wchar_t* kStart = L"Start";
constexpr const wchar_t* kStop = L"Stop";

class CardPathRun : public testing::Test {
  protected:
    void SetUp() override {
        if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    }
    std::unique_ptr<TerminalScreen> StartSatview() {
        return std::make_unique<TerminalScreen>(std::make_unique<TmuxSession>(
            system_.EnvPrefix() + " TERM=xterm-256color " + system_.Bin() + "/Startup --terminal",
            100, 30));
    }
    bool Positioning() { return system_.Card("status").find("positioning=1") != std::string::npos; }
    std::string Why(const TerminalScreen& screen) {
        return screen.Text() + "\n--- card: " + system_.Card("status") + "\n--- log:\n" +
               system_.Log().substr(system_.Log().size() > 6000 ? system_.Log().size() - 6000 : 0);
    }

    RunningSystem system_;
};

TEST_F(CardPathRun, PositionsFollowTheCardThroughReplugSilenceAndASecondRun) {
    auto screen = StartSatview();
    // The card comes after Satview: its GPS port, registered after its AT port, is read.
    ASSERT_TRUE(system_.StartCard({"--ready-after", "0"}));
    ASSERT_TRUE(screen->WaitText("late_card", L"(COM", 40)) << Why(*screen);
    ASSERT_TRUE(screen->WaitText("late_card_ready", L"ready")) << Why(*screen);
    ASSERT_TRUE(screen->Press(kStart)) << Why(*screen);
    EXPECT_TRUE(screen->WaitMoving("late_card_positions")) << Why(*screen);

    // Unplugged during the session and plugged again: Start gives positions again.
    system_.Card("unplug");
    EXPECT_TRUE(screen->WaitText("replug_removed", L"removed")) << Why(*screen);
    system_.Card("plug");
    ASSERT_TRUE(screen->WaitText("replug_found", L"(COM")) << Why(*screen);
    ASSERT_TRUE(screen->WaitText("replug_ready", L"ready")) << Why(*screen);
    ASSERT_TRUE(screen->Press(kStart)) << Why(*screen);
    EXPECT_TRUE(screen->WaitMoving("replug_positions")) << Why(*screen);

    // A second simulated card and a second Satview, as a second ./run starts them: the first
    // Satview keeps its card, also once the second card is gone again.
    {
        Child second({system_.Bin() + "/satview-cardsim", "--ready-after", "0"}, system_.Env(),
                     system_.Dir() + "/card2.log");
        ASSERT_TRUE(system_test::WaitUntil([&] {
            return second.Output().find("control socket") != std::string::npos;
        })) << second.Output();
        EXPECT_EQ(system_test::Shell(system_.EnvPrefix() + " " + system_.Bin() +
                                     "/Startup --headless >/dev/null 2>&1"),
                  0);
        EXPECT_EQ(screen->Tmux().Variable("pane_dead"), "0");
    }
    EXPECT_NE(system_.Card("status").find("plugged=1"), std::string::npos);
    EXPECT_TRUE(screen->WaitMoving("second_run_gone")) << Why(*screen);

    // The card stops answering its checks: the session is given up and stopped on the card;
    // when the card answers again, Start works again.
    system_.Card("reply AT^WPDGP none");
    // The card still answers its other commands, so the manager finds it ready again at once:
    // the dialog's own verdict is what the log keeps.
    EXPECT_TRUE(system_test::WaitUntil(
        [&] { return system_.Log().find("Data Card is Not OK!") != std::string::npos; }, 60))
        << Why(*screen);
    EXPECT_TRUE(system_test::WaitUntil([&] { return !Positioning(); })) << Why(*screen);
    const std::wstring frozen = screen->Position();
    EXPECT_TRUE(frozen.empty()) << "no position is shown for a session given up";
    system_.Card("reply AT^WPDGP normal");
    ASSERT_TRUE(screen->WaitText("check_answered", L"ready", 30)) << Why(*screen);
    ASSERT_TRUE(screen->Press(kStart)) << Why(*screen);
    EXPECT_TRUE(screen->WaitMoving("check_positions")) << Why(*screen);
    EXPECT_TRUE(screen->FocusTo(kStop)) << "Stop is offered while positions arrive";

    // Escape ends Satview during the session: positioning is stopped on the card first.
    ASSERT_TRUE(Positioning());
    screen->Tmux().Keys("Escape");
    EXPECT_TRUE(system_test::WaitUntil([&] { return screen->Ended(); })) << Why(*screen);
    EXPECT_FALSE(Positioning()) << "Satview ended with the receiver on";
}

}  // namespace
