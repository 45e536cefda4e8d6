// The launcher on the real device manager when the current card gives way to one of another
// model: the main frame ends its run and the container runs again with that card's plug-ins.
#include <gtest/gtest.h>

#include "mapped_libraries.h"
#include "running_system.h"

using system_test::Child;
using system_test::RunningSystem;
using system_test::WaitUntil;

namespace {

TEST(CardChange, ACardOfAnotherModelRunsTheContainerAgainWithItsPlugins) {
    RunningSystem system;
    ASSERT_TRUE(system.StartCard({"--ready-after", "0", "--model", "Wendrix 3G"}));
    Child satview({system.Bin() + "/Startup", "--headless"}, system.Env(),
                  system.Bin() + "/startup.out");
    auto plugins = [&] {
        return platform::ReadWholeFile(system.Bin() + "/plugins.xml").value_or("");
    };
    ASSERT_TRUE(WaitUntil([&] { return plugins().find("Orbitpane") != std::string::npos; }))
        << satview.Output();
    EXPECT_EQ(system_test::MappedLibraries(satview.Pid(), system_test::kToolkitLibraries), "")
        << "a headless run loads no window toolkit";

    // A second card without a GPS receiver, then the first one goes: the second is current.
    Child other({system.Bin() + "/satview-cardsim", "--socket", system.Bin() + "/../run/2g.sock",
                 "--ready-after", "0", "--model", "Wendrix 2G", "--name", "other"},
                system.Env(), system.Bin() + "/other.out");
    ASSERT_TRUE(
        WaitUntil([&] { return other.Output().find("control socket") != std::string::npos; }));
    system.Card("unplug");
    EXPECT_TRUE(WaitUntil([&] {
        std::string list = plugins();
        return list.find("DeviceMgr") != std::string::npos &&
               list.find("Orbitpane") == std::string::npos;
    })) << plugins()
        << satview.Output();
    EXPECT_TRUE(satview.Running()) << "the launcher goes on with the new set";
}

}  // namespace
