// Virtual port files: parsing, the listing of a folder with stale, malformed and duplicate
// entries, and registration.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "platform/files.h"
#include "platform/ports/ports.h"
#include "temp_dir.h"
#include "virtual_ports.h"

namespace {

using platform::SerialPort;
using platform::ports_detail::ListVirtualPorts;
using platform::ports_detail::ParseVirtualPort;

std::string Entry(const std::string& node, const std::string& friendly, long pid,
                  const std::string& card = "sim-1") {
    return "node=" + node + "\nfriendly=" + friendly + "\ncard=" + card +
           "\npid=" + std::to_string(pid) + "\n";
}

// A process id no process can have (above the kernel's largest pid_max).
constexpr long kDeadPid = 99999999;

TEST(VirtualPortFile, ParsesOrRefuses) {
    struct Case {
        const char* text;
        bool ok;
        int number;
        bool mmCandidate = false;
    };
    const Case cases[] = {
        {"node=/dev/pts/7\nfriendly=GPS (COM7)\ncard=a\npid=12\n", true, 7},
        {"# comment\r\nnode=/dev/pts/7\r\nfriendly=GPS (COM12)\r\ncard=a\r\npid=12", true, 12},
        {"node=/dev/pts/9\nfriendly=GPS without number\ncard=a\npid=12\n", true, 9},
        {"node=/dev/pts/7\nfriendly=GPS (COM7)\ncard=a\n", false, 0},                 // no pid
        {"node=/dev/pts/7\nnode=/dev/pts/8\nfriendly=G\ncard=a\npid=1\n", false, 0},  // twice
        {"node=/dev/pts/7\nfriendly=G\ncard=a\npid=12x\n", false, 0},
        {"node=/dev/pts/7\nfriendly=G\ncard=a\npid=0\n", false, 0},
        {"node=pts/7\nfriendly=G\ncard=a\npid=12\n", false, 0},  // not an absolute path
        {"node=/dev/pts/7\nfriendly=G\ncard=\npid=12\n", false, 0},
        {"\x01\x02garbage\xff", false, 0},
        {"node=/dev/pts/7\nfriendly=G\x1b[2J (COM7)\ncard=a\npid=12\n", false, 0},
        {"", false, 0},
        // Whether ModemManager may claim the port: said by 1 or 0, nothing else.
        {"node=/dev/pts/7\nfriendly=G (COM7)\ncard=a\npid=12\nmodemmanager=1\n", true, 7, true},
        {"node=/dev/pts/7\nfriendly=G (COM7)\ncard=a\npid=12\nmodemmanager=0\n", true, 7},
        {"node=/dev/pts/7\nfriendly=G (COM7)\ncard=a\npid=12\nmodemmanager=yes\n", false, 0},
    };
    for (const Case& c : cases) {
        auto entry = ParseVirtualPort(c.text);
        EXPECT_EQ(entry.has_value(), c.ok) << c.text;
        if (entry && c.ok) {
            EXPECT_EQ(entry->port.number, c.number) << c.text;
            EXPECT_EQ(entry->port.mmCandidate, c.mmCandidate) << c.text;
        }
    }
    EXPECT_FALSE(ParseVirtualPort(std::string(5000, 'a')).has_value());
}

TEST(VirtualPortFolder, KeepsOnlyLiveWellFormedUniqueEntries) {
    testing_support::TempDir dir;
    std::string node = dir.Write("dev/pts-3", "");
    std::string other = dir.Write("dev/pts-4", "");
    long self = ::getpid();
    dir.Write("ports/a.port", Entry(node, "PC UI (COM3)", self));
    dir.Write("ports/b.port", Entry(node, "Duplicate (COM3)", self));         // same node
    dir.Write("ports/c.port", Entry(dir / "dev/gone", "Gone (COM9)", self));  // node gone
    std::string dead = dir.Write("ports/d.port", Entry(other, "Dead (COM4)", kDeadPid));
    dir.Write("ports/e.port", "friendly=\x01\x02\n\n==\n");           // malformed
    dir.Write("ports/.f.port", Entry(other, "Hidden (COM4)", self));  // temp file
    dir.Write("ports/g.port.tmp123", Entry(other, "Temp (COM4)", self));
    dir.Write("ports/h.port", Entry(other, "GPS (COM4)", self, "sim-2"));

    std::vector<SerialPort> ports = ListVirtualPorts(dir / "ports");
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0], (SerialPort{node, 3, "PC UI (COM3)", "sim-1"}));
    EXPECT_EQ(ports[1], (SerialPort{other, 4, "GPS (COM4)", "sim-2"}));
    EXPECT_FALSE(std::filesystem::exists(dead)) << "a dead owner's file is removed";
    EXPECT_TRUE(ListVirtualPorts(dir / "missing").empty());
}

TEST(VirtualPortFolder, RegisteredPortIsListedUntilUnregistered) {
    testing_support::TempDir dir;
    ::setenv("SATVIEW_PORTS_DIR", (dir / "run/ports").c_str(), 1);
    std::string node = dir.Write("pts-7", "");
    SerialPort port{node, 7, "TARVEK Wendrix - 3G GPS Interface (COM7)", "sim-1"};

    ASSERT_TRUE(platform::RegisterVirtualPort("sim-1-gps", port));
    EXPECT_TRUE(std::filesystem::exists(dir / "run/ports/sim-1-gps.port"));
    std::vector<SerialPort> listed = platform::ListSerialPorts();
    EXPECT_NE(std::find(listed.begin(), listed.end(), port), listed.end());
    // One ModemManager may claim is listed as such.
    SerialPort claimed = port;
    claimed.mmCandidate = true;
    ASSERT_TRUE(platform::RegisterVirtualPort("sim-1-gps", claimed));
    listed = platform::ListSerialPorts();
    EXPECT_NE(std::find(listed.begin(), listed.end(), claimed), listed.end());
    ASSERT_TRUE(platform::RegisterVirtualPort("sim-1-gps", port));

    EXPECT_FALSE(platform::RegisterVirtualPort("../escape", port));
    EXPECT_FALSE(platform::RegisterVirtualPort(".hidden", port));
    SerialPort broken = port;
    broken.friendlyName = "two\nlines";
    EXPECT_FALSE(platform::RegisterVirtualPort("sim-1-bad", broken));

    platform::UnregisterVirtualPort("sim-1-gps");
    listed = platform::ListSerialPorts();
    EXPECT_EQ(std::find(listed.begin(), listed.end(), port), listed.end());
    ::unsetenv("SATVIEW_PORTS_DIR");
}

// What another user, or a port file swapped under a running program, could leave: the
// listing skips it at once (a FIFO used to hang it for good) and follows no link; only this
// user's folder that nobody else can write is read or written at all; a live owner's port
// file is neither replaced nor removed by another process.
TEST(VirtualPortFolder, PlantedFilesAndFoldersAreSkippedWithoutWaiting) {
    testing_support::TempDir dir;
    std::string node = dir.Write("dev/pts-3", "");
    std::string good = Entry(node, "PC UI (COM3)", ::getpid());
    std::string elsewhere =
        dir.Write("elsewhere/x.port", Entry(dir.Write("dev/pts-4", ""), "Linked (COM4)", 1));
    dir.Write("ports/a.port", good);
    ::mkfifo((dir / "ports/b.port").c_str(), 0600);
    ::symlink(elsewhere.c_str(), (dir / "ports/c.port").c_str());
    ::mkdir((dir / "ports/d.port").c_str(), 0700);
    dir.Write("ports/e.port", good + std::string(5000, '#'));  // too big to be a port
    ASSERT_EQ(ListVirtualPorts(dir / "ports").size(), 1u);

    const std::function<void(const std::string&)> plants[] = {
        [](const std::string& p) { ::chmod(p.c_str(), 0777); },
        [](const std::string& p) { ASSERT_EQ(::chown(p.c_str(), 4242, 0), 0); },
        [](const std::string& p) {
            std::filesystem::rename(p, p + "-real");
            ::symlink((p + "-real").c_str(), p.c_str());
        },
    };
    for (size_t i = 0; i < std::size(plants); ++i) {
        std::string folder = dir / ("refused" + std::to_string(i));
        dir.Write("refused" + std::to_string(i) + "/a.port", good);
        plants[i](folder);
        EXPECT_TRUE(ListVirtualPorts(folder).empty()) << folder;
        ::setenv("SATVIEW_PORTS_DIR", folder.c_str(), 1);
        EXPECT_FALSE(platform::RegisterVirtualPort("b", {node, 3, "X (COM3)", "c"})) << folder;
    }

    ::setenv("SATVIEW_PORTS_DIR", (dir / "ports").c_str(), 1);
    std::string theirs = Entry(node, "Theirs (COM3)", 1);  // process 1 lives
    dir.Write("ports/a.port", theirs);
    EXPECT_FALSE(platform::RegisterVirtualPort("a", {node, 3, "Mine (COM3)", "sim-1"}));
    platform::UnregisterVirtualPort("a");
    EXPECT_EQ(platform::ReadWholeFile(dir / "ports/a.port"), theirs);
    ::unsetenv("SATVIEW_PORTS_DIR");
}

TEST(VirtualPortFolder, DirectoryFollowsTheEnvironment) {
    ::setenv("SATVIEW_PORTS_DIR", "/x/ports", 1);
    EXPECT_EQ(platform::PortsDirectory(), "/x/ports");
    ::unsetenv("SATVIEW_PORTS_DIR");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string saved = runtime ? runtime : "";
    testing_support::TempDir dir;
    ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(platform::PortsDirectory(), dir / "satview/ports");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(platform::PortsDirectory(), "/tmp/satview-" + std::to_string(::getuid()) + "/ports");
    if (runtime) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
