// The launcher on the real device manager when the current card gives way to one of another
// model: the main frame ends its run and the container runs again with that card's plug-ins,
// while the NMEA feed's readers keep their connection.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

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

    // A reader of the NMEA socket (GeoClue, say) connected to the first container's run.
    const std::string socket = system.Dir() + "/run/satview/nmea.sock";
    int reader = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
    ASSERT_EQ(::connect(reader, reinterpret_cast<sockaddr*>(&address), sizeof address), 0)
        << socket;

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
    ASSERT_TRUE(WaitUntil([&] {
        return system.Log().find("wendrix 2g is using") != std::string::npos;
    })) << "the container did not run again";
    // Its device manager is another; the feed and the reader's connection are the same.
    pollfd state{reader, POLLIN, 0};
    EXPECT_EQ(::poll(&state, 1, 200), 0) << "the reader's connection ended: " << state.revents;
    char byte;
    EXPECT_EQ(::recv(reader, &byte, 1, MSG_DONTWAIT), -1);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(system.Log().find("left after"), std::string::npos);
    ::close(reader);
}

}  // namespace
