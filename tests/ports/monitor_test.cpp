// The port monitor over the ports folder: registrations and removals are reported, ports
// present before it started are not.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#include <condition_variable>

#include <cstdlib>
#include <mutex>

#include "platform/ports/ports.h"
#include "temp_dir.h"

namespace {

using platform::SerialPort;

TEST(PortMonitor, ReportsVirtualPortsComingAndGoing) {
    testing_support::TempDir dir;
    ::setenv("SATVIEW_PORTS_DIR", (dir / "ports").c_str(), 1);
    SerialPort before{dir.Write("pts-1", ""), 1, "PC UI (COM1)", "sim-1"};
    SerialPort gps{dir.Write("pts-2", ""), 2, "GPS (COM2)", "sim-1"};
    ASSERT_TRUE(platform::RegisterVirtualPort("before", before));

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<SerialPort>> reports;
    {
        platform::PortMonitor monitor([&](const std::vector<SerialPort>& present) {
            std::lock_guard lock(mutex);
            reports.push_back(present);
            changed.notify_all();
        });
        ASSERT_TRUE(monitor.Watching());
        auto waitFor = [&](size_t count) {
            std::unique_lock lock(mutex);
            return changed.wait_for(lock, std::chrono::seconds(10),
                                    [&] { return reports.size() >= count; });
        };

        dir.Write("ports/notes.txt", "not a port");
        ASSERT_TRUE(platform::RegisterVirtualPort("gps", gps));
        ASSERT_TRUE(waitFor(1));
        platform::UnregisterVirtualPort("before");
        ASSERT_TRUE(waitFor(2));
    }
    std::lock_guard lock(mutex);
    ASSERT_EQ(reports.size(), 2u) << "one report per change, none for the ports already there";
    EXPECT_EQ(reports[0], (std::vector<SerialPort>{before, gps}));
    EXPECT_EQ(reports[1], (std::vector<SerialPort>{gps}));
    platform::UnregisterVirtualPort("gps");
    ::unsetenv("SATVIEW_PORTS_DIR");
}

TEST(PortMonitor, ReportsThePortOfAnOwnerThatVanishedWithoutCleaningUp) {
    testing_support::TempDir dir;
    ::setenv("SATVIEW_PORTS_DIR", (dir / "ports").c_str(), 1);
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
    SerialPort port{::ptsname(master), 1, "GPS (COM1)", "sim-1"};
    ASSERT_TRUE(platform::RegisterVirtualPort("gps", port));

    std::mutex mutex;
    std::condition_variable changed;
    bool gone = false;
    platform::PortMonitor monitor([&](const std::vector<SerialPort>& present) {
        std::lock_guard lock(mutex);
        gone = present.empty();
        changed.notify_all();
    });
    ::close(master);  // the node goes, its port file stays
    std::unique_lock lock(mutex);
    EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return gone; }));
    platform::UnregisterVirtualPort("gps");
    ::unsetenv("SATVIEW_PORTS_DIR");
}

}  // namespace
