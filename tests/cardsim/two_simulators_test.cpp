// Two satview-cardsim processes side by side in one runtime folder, as two "./run" started
// them: each has its own card id, port files and control socket, a third cannot take a
// socket that one holds, and one ending leaves the other's card alone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "child.h"
#include "platform/ports/ports.h"
#include "temp_dir.h"

namespace {

using system_test::Child;

TEST(TwoSimulators, EachKeepsItsIdFilesAndSocketAndTheFirstSurvivesTheSecond) {
    testing_support::TempDir dir;
    const std::string run = dir / "run", folder = run + "/satview";
    ::mkdir(run.c_str(), 0700);
    ::unsetenv("SATVIEW_PORTS_DIR");
    ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    auto start = [&](const std::string& log, std::vector<std::string> more = {}) {
        more.insert(more.begin(), {CARDSIM_PATH, "--ready-after", "0"});
        mode_t mask = ::umask(0);  // the sockets are owner-only all the same
        auto child = std::make_unique<Child>(
            more, std::map<std::string, std::string>{{"XDG_RUNTIME_DIR", run}}, dir / log);
        ::umask(mask);
        system_test::WaitUntil([&] {
            return child->Output().find("control socket") != std::string::npos || !child->Running();
        });
        return child;
    };
    auto ctl = [&](const std::string& args) {
        system_test::Shell("XDG_RUNTIME_DIR=" + run + " " CARDSIM_PATH " ctl " + args + " >" +
                           (dir / "ctl.out") + " 2>&1");
        return platform::ReadWholeFile(dir / "ctl.out").value_or("");
    };
    auto cards = [] {
        std::string all;
        for (const auto& port : platform::ListSerialPorts()) all += port.card + " ";
        return all;
    };
    auto mode = [](const std::string& path) {
        struct stat st {};
        ::lstat(path.c_str(), &st);
        return st.st_mode & 0777;
    };

    auto first = start("first.log");
    auto second = start("second.log");
    ASSERT_TRUE(first->Running() && second->Running()) << first->Output() << second->Output();
    EXPECT_NE(first->Output().find("sim-1 (Wendrix 3G)"), std::string::npos) << first->Output();
    EXPECT_NE(second->Output().find("sim-2 (Wendrix 3G)"), std::string::npos) << second->Output();
    EXPECT_NE(second->Output().find("control socket " + folder + "/cardsim-2.sock"),
              std::string::npos);
    EXPECT_EQ(mode(folder + "/cardsim.sock"), 0600u);
    EXPECT_EQ(mode(folder + "/cardsim-2.sock"), 0600u);
    EXPECT_EQ(cards(), "sim-1 sim-1 sim-2 sim-2 ");

    // Both answer: "card ID" finds its simulator, anything else goes to the first.
    EXPECT_EQ(ctl("card sim-2 unplug"), "ok\n");
    EXPECT_EQ(cards(), "sim-1 sim-1 ");
    EXPECT_EQ(ctl("card sim-2 plug"), "ok\n");
    EXPECT_EQ(ctl("cards").rfind("ok\n1 sim-1 plugged=1", 0), 0u);
    EXPECT_EQ(ctl("--socket " + folder + "/cardsim-2.sock cards").rfind("ok\n1 sim-2 ", 0), 0u);

    // A third told to take the first one's socket gives up before a port of its own appears.
    auto third = start("third.log", {"--socket", folder + "/cardsim.sock"});
    EXPECT_FALSE(third->Running());
    EXPECT_NE(third->Output().find("another simulator listens on " + folder + "/cardsim.sock"),
              std::string::npos);

    second->Stop();
    EXPECT_EQ(cards(), "sim-1 sim-1 ");
    EXPECT_TRUE(platform::FileExists(folder + "/ports/sim-1-pcui.port"));
    EXPECT_EQ(ctl("card sim-1 status").rfind("ok plugged=1", 0), 0u);
    ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
