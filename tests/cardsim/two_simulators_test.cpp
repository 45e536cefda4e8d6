// Two satview-cardsim processes side by side in one runtime folder, as two "./run" start them:
// each has its own card id, port files and control socket, and one ending leaves the other's
// card alone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "Startup/Win32/startupapp.h"
#include "child.h"
#include "platform/ports/ports.h"
#include "platform/single_instance.h"
#include "temp_dir.h"

namespace {

using system_test::Child;
using system_test::WaitUntil;

class TwoSimulators : public testing::Test {
  protected:
    void SetUp() override {
        ::mkdir(run_.c_str(), 0700);
        ::unsetenv("SATVIEW_PORTS_DIR");
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        saved_ = old ? old : "";
        ::setenv("XDG_RUNTIME_DIR", run_.c_str(), 1);
    }
    void TearDown() override {
        saved_.empty() ? ::unsetenv("XDG_RUNTIME_DIR")
                       : ::setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
    }

    // A simulator started under umask 0; null unless it got as far as its control socket.
    std::unique_ptr<Child> Start(const std::string& log, std::vector<std::string> options = {}) {
        options.insert(options.begin(), {CARDSIM_PATH, "--ready-after", "0"});
        mode_t mask = ::umask(0);
        auto child = std::make_unique<Child>(options, Env(), dir_ / log);
        ::umask(mask);
        bool up = WaitUntil([&] {
            return child->Output().find("control socket") != std::string::npos || !child->Running();
        });
        return up && child->Running() ? std::move(child) : nullptr;
    }
    // "satview-cardsim ctl ARGS": its exit code and what it printed.
    std::pair<int, std::string> Ctl(const std::string& args) const {
        std::string out = dir_ / "ctl.out";
        int code = system_test::Shell("XDG_RUNTIME_DIR=" + run_ + " " CARDSIM_PATH " ctl " + args +
                                      " >" + out + " 2>&1");
        return {code, platform::ReadWholeFile(out).value_or("")};
    }
    std::map<std::string, std::string> Env() const { return {{"XDG_RUNTIME_DIR", run_}}; }
    std::vector<std::string> Cards() const {
        std::vector<std::string> cards;
        for (const auto& port : platform::ListSerialPorts()) cards.push_back(port.card);
        return cards;
    }
    static mode_t Mode(const std::string& path) {
        struct stat st {};
        ::lstat(path.c_str(), &st);
        return st.st_mode & 07777;
    }

    testing_support::TempDir dir_;
    std::string run_ = dir_ / "run";
    std::string folder_ = run_ + "/satview";
    std::string saved_;
};

TEST_F(TwoSimulators, EachKeepsItsIdFilesAndSocketAndTheFirstSurvivesTheSecond) {
    auto first = Start("first.log");
    ASSERT_TRUE(first);
    auto second = Start("second.log");
    ASSERT_TRUE(second) << second->Output();
    EXPECT_NE(first->Output().find("sim-1 (Wendrix 3G)"), std::string::npos) << first->Output();
    EXPECT_NE(first->Output().find("control socket " + folder_ + "/cardsim.sock"),
              std::string::npos);
    EXPECT_NE(second->Output().find("sim-2 (Wendrix 3G)"), std::string::npos) << second->Output();
    EXPECT_NE(second->Output().find("control socket " + folder_ + "/cardsim-2.sock"),
              std::string::npos);
    EXPECT_EQ(Mode(folder_), 0700u);
    EXPECT_EQ(Mode(folder_ + "/ports"), 0700u);
    EXPECT_EQ(Mode(folder_ + "/cardsim.sock"), 0600u) << "owner-only under umask 0";
    EXPECT_EQ(Mode(folder_ + "/cardsim-2.sock"), 0600u);
    EXPECT_EQ(Cards(), (std::vector<std::string>{"sim-1", "sim-1", "sim-2", "sim-2"}));

    // Both answer: "card ID" finds its simulator, anything else goes to the first.
    EXPECT_EQ(Ctl("card sim-2 unplug"), std::make_pair(0, std::string("ok\n")));
    EXPECT_EQ(Cards(), (std::vector<std::string>{"sim-1", "sim-1"}));
    EXPECT_EQ(Ctl("card sim-2 plug").first, 0);
    EXPECT_EQ(Ctl("status").second.rfind("ok plugged=1", 0), 0u);
    EXPECT_NE(Ctl("cards").second.find("1 sim-1 "), std::string::npos);
    EXPECT_NE(Ctl("--socket " + folder_ + "/cardsim-2.sock cards").second.find("1 sim-2 "),
              std::string::npos);
    EXPECT_EQ(Ctl("card sim-7 status").first, 1);

    // A third told to take the first one's socket gives up before a port of its own appears.
    auto third = Start("third.log", {"--socket", folder_ + "/cardsim.sock"});
    EXPECT_FALSE(third);
    EXPECT_NE(platform::ReadWholeFile(dir_ / "third.log")
                  .value_or("")
                  .find("another simulator listens on " + folder_ + "/cardsim.sock"),
              std::string::npos);

    // The second ends: the first one's card, files and socket are untouched.
    second->Stop();
    EXPECT_EQ(Cards(), (std::vector<std::string>{"sim-1", "sim-1"}));
    EXPECT_TRUE(platform::FileExists(folder_ + "/ports/sim-1-pcui.port"));
    EXPECT_TRUE(platform::FileExists(folder_ + "/ports/sim-1-gps.port"));
    EXPECT_EQ(Ctl("card sim-1 status").second.rfind("ok plugged=1", 0), 0u);
    EXPECT_TRUE(first->Running());
}

TEST_F(TwoSimulators, CheckSatviewTellsWhetherTheLauncherRuns) {
    auto check = [&] {
        return system_test::Shell("XDG_RUNTIME_DIR=" + run_ + " " CARDSIM_PATH " --check-satview");
    };
    EXPECT_EQ(check(), 1);
    platform::InstanceLock::Outcome outcome;
    auto lock = platform::InstanceLock::Acquire(launcher::kInstanceName, outcome);
    ASSERT_EQ(outcome, platform::InstanceLock::Outcome::Acquired);
    EXPECT_EQ(check(), 0);
    lock.reset();
    EXPECT_EQ(check(), 1);
}

}  // namespace
