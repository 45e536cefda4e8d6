// USB serial ports against fake devices: a card with three tty interfaces, the port-name file
// and hot-plug through the monitor.
#include <gtest/gtest.h>
#include <libudev.h>
#include <umockdev.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>

#include "framework/devicemgr/card_discovery.h"
#include "orbitpane/win32/port_search.h"
#include "platform/files.h"
#include "platform/ports/ports.h"
#include "port_names.h"
#include "temp_dir.h"
#include "usb_ports.h"

namespace {

using platform::SerialPort;
using platform::ports_detail::ListUsbPorts;
using platform::ports_detail::PortNameTable;

const char* const kUsbDevice = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3";

std::string Interface(int number, const std::string& text) {
    char name[16];
    std::snprintf(name, sizeof name, "%02d", number);
    std::string iface = std::string(kUsbDevice) + "/1-3:1." + std::to_string(number);
    return "P: " + iface.substr(4) + "\nE: DEVTYPE=usb_interface\nE: SUBSYSTEM=usb\n" +
           "A: bInterfaceNumber=" + name + "\nA: interface=" + text + "\n\n";
}

std::string Tty(int interfaceNumber, int ttyNumber) {
    std::string name = "ttyUSB" + std::to_string(ttyNumber);
    return "P: " + std::string(kUsbDevice).substr(4) + "/1-3:1." + std::to_string(interfaceNumber) +
           "/" + name + "/tty/" + name + "\nN: " + name + "\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/" +
           name + "\nA: dev=188:" + std::to_string(ttyNumber) + "\n\n";
}

std::string TtySyspath(int interfaceNumber, int ttyNumber) {
    std::string name = "ttyUSB" + std::to_string(ttyNumber);
    return std::string(kUsbDevice) + "/1-3:1." + std::to_string(interfaceNumber) + "/" + name +
           "/tty/" + name;
}

// A made-up card: three interfaces, the tty numbers 0, 2 and 5.
std::string Card() {
    return "P: " + std::string(kUsbDevice).substr(4) +
           "\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nA: idVendor=1234\nA: idProduct=5678\n" +
           "A: product=Simulated Card\n\n" + Interface(0, "Modem Port") +
           Interface(1, "PC UI Port") + Interface(2, "") + Tty(0, 0) + Tty(1, 2) + Tty(2, 5);
}

class UdevPorts : public testing::Test {
  protected:
    void SetUp() override {
        testbed_ = umockdev_testbed_new();
        ASSERT_TRUE(umockdev_in_mock_environment());
        ::setenv("SATVIEW_PORTS_DIR", dir_.path().c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("SATVIEW_PORTS_DIR");
        g_object_unref(testbed_);
    }
    void Add(const std::string& description) {
        GError* error = nullptr;
        ASSERT_TRUE(umockdev_testbed_add_from_string(testbed_, description.c_str(), &error))
            << (error ? error->message : "");
    }
    std::vector<SerialPort> List(const PortNameTable& names = {}) {
        udev* context = udev_new();
        std::vector<SerialPort> ports = ListUsbPorts(context, names);
        udev_unref(context);
        return ports;
    }

    UMockdevTestbed* testbed_ = nullptr;
    testing_support::TempDir dir_;
};

const SerialPort* ByNumber(const std::vector<SerialPort>& ports, int number) {
    for (const SerialPort& port : ports) {
        if (port.number == number) return &port;
    }
    return nullptr;
}

TEST_F(UdevPorts, ThreeInterfacesGiveThreePortsOfOneCard) {
    Add(Card());
    std::vector<SerialPort> ports = List();
    ASSERT_EQ(ports.size(), 3u);
    for (auto [number, name] : {std::pair{0, "Modem Port (COM0)"},
                                {2, "PC UI Port (COM2)"},
                                {5, "Simulated Card (COM5)"}}) {
        const SerialPort* port = ByNumber(ports, number);
        ASSERT_NE(port, nullptr) << number;
        EXPECT_EQ(port->friendlyName, name);
        EXPECT_EQ(port->node, "/dev/ttyUSB" + std::to_string(number));
        EXPECT_EQ(port->card, ports[0].card);
    }
    EXPECT_NE(ports[0].card.find("1-3"), std::string::npos);
}

TEST_F(UdevPorts, PortNameFileWinsOverTheInterfaceString) {
    Add(Card());
    testing_support::TempDir program;
    std::string path = program.Write("config/ports.xml",
                                     "<?xml version=\"1.0\"?>\n<!-- names -->\n<PortNames>\n"
                                     "<Port vendor=\"1234\" product=\"5678\" interface=\"01\">"
                                     "TARVEK Wendrix - 3G PC UI Interface</Port>\n"
                                     "</PortNames>\n");
    std::vector<SerialPort> ports = List(PortNameTable::Load(path));
    ASSERT_NE(ByNumber(ports, 2), nullptr);
    EXPECT_EQ(ByNumber(ports, 2)->friendlyName, "TARVEK Wendrix - 3G PC UI Interface (COM2)");
    EXPECT_EQ(ByNumber(ports, 0)->friendlyName, "Modem Port (COM0)");
}

// The shipped port-name file's commented example, as a user copies it below <PortNames>.
std::string ShippedExample() {
    std::string shipped =
        platform::ReadWholeFile(SATVIEW_DATA_DIR "/config/ports.xml").value_or("");
    std::string rows;
    for (size_t at = shipped.find("<Port "); at != std::string::npos;
         at = shipped.find("<Port ", at + 1)) {
        size_t end = shipped.find("</Port>", at);
        if (end == std::string::npos || end > shipped.find("-->")) break;
        rows += shipped.substr(at, end + 7 - at) + "\n";
    }
    return "<PortNames>\n" + rows + "</PortNames>\n";
}

TEST_F(UdevPorts, TheShippedExampleNamesThePortsTheCardSearchLooksFor) {
    Add(Card());
    testing_support::TempDir program;
    PortNameTable table = PortNameTable::Load(program.Write("config/ports.xml", ShippedExample()));
    ASSERT_EQ(table.Size(), 3u);
    std::vector<SerialPort> ports = List(table);
    // Interface 1 is ttyUSB2, interface 2 ttyUSB5.
    int at = -1, gps = -1;
    EXPECT_TRUE(orbitpane::FindComPortIn(ports, orbitpane::kPcUiInterfaceText, at));
    EXPECT_TRUE(orbitpane::FindComPortIn(ports, orbitpane::kGpsInterfaceText, gps));
    EXPECT_EQ(at, 2);
    EXPECT_EQ(gps, 5);
    // The device manager looks for the same texts.
    std::vector<devicemgr::CardPorts> cards = devicemgr::GroupCards(ports);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].at.number, 2);
    EXPECT_EQ(cards[0].gps.number, 5);
}

// ModemManager looks at a port its udev rules marked as a candidate, unless a rule told it to
// leave the port or its device alone.
TEST_F(UdevPorts, APortModemManagerMayClaimIsMarked) {
    const struct {
        const char* ttyProperties;
        const char* deviceProperties;
        bool claimed;
    } rows[] = {
        {"", "", false},
        {"E: ID_MM_CANDIDATE=1\n", "", true},
        {"E: ID_MM_CANDIDATE=0\n", "", false},
        {"E: ID_MM_CANDIDATE=1\nE: ID_MM_PORT_IGNORE=1\n", "", false},
        {"E: ID_MM_CANDIDATE=1\nE: ID_MM_DEVICE_IGNORE=1\n", "", false},
        {"E: ID_MM_CANDIDATE=1\n", "E: ID_MM_DEVICE_IGNORE=1\n", false},
    };
    int tty = 10;  // each row's node is another: the testbed keeps the nodes it made
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.ttyProperties) + "/" + row.deviceProperties);
        umockdev_testbed_clear(testbed_);
        std::string device = "P: " + std::string(kUsbDevice).substr(4) +
                             "\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\n" + row.deviceProperties +
                             "A: idVendor=1234\nA: idProduct=5678\n\n";
        std::string port = Tty(1, tty++);
        port.insert(port.size() - 1, row.ttyProperties);
        Add(device + Interface(1, "PC UI Port") + port);
        std::vector<SerialPort> ports = List();
        ASSERT_EQ(ports.size(), 1u);
        EXPECT_EQ(ports[0].mmCandidate, row.claimed);
    }
}

TEST_F(UdevPorts, MonitorReportsPortsAddedAndRemoved) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<SerialPort>> reports;
    platform::PortMonitor monitor([&](const std::vector<SerialPort>& present) {
        std::lock_guard lock(mutex);
        reports.push_back(present);
        changed.notify_all();
    });
    ASSERT_TRUE(monitor.Watching());
    // Adding devices sends events of its own, so wait for the state rather than a count.
    auto waitForPorts = [&](size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10),
                                [&] { return !reports.empty() && reports.back().size() == count; });
    };

    Add(Card());
    umockdev_testbed_uevent(testbed_, TtySyspath(1, 2).c_str(), "add");
    ASSERT_TRUE(waitForPorts(3));

    // This umockdev cannot send "remove" for a device it has already removed; the monitor
    // reads the whole list on any tty event, so a sibling's "change" carries the removal.
    umockdev_testbed_remove_device(testbed_, TtySyspath(2, 5).c_str());
    umockdev_testbed_uevent(testbed_, TtySyspath(0, 0).c_str(), "change");
    ASSERT_TRUE(waitForPorts(2));
    std::lock_guard lock(mutex);
    EXPECT_EQ(ByNumber(reports.back(), 5), nullptr);
}

}  // namespace
