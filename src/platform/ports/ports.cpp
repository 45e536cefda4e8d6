#include "platform/ports/ports.h"

#include <libudev.h>

#include <algorithm>
#include <mutex>
#include <tuple>

#include "port_names.h"
#include "usb_ports.h"
#include "virtual_ports.h"

namespace platform {

std::vector<SerialPort> ListSerialPorts() {
    std::vector<SerialPort> ports;
    {
        // libudev keeps unguarded process-wide state (its random hash key): one list at a
        // time, whichever thread asks (the hot-plug monitor's and its users').
        static std::mutex udevMutex;
        std::lock_guard<std::mutex> lock(udevMutex);
        if (udev* context = udev_new()) {
            ports = ports_detail::ListUsbPorts(context, ports_detail::PortNameTable::LoadDefault());
            udev_unref(context);
        }
    }
    // The ports folder needs no lock: its files are read without ever waiting.
    std::vector<SerialPort> virtualPorts = ports_detail::ListVirtualPorts(PortsDirectory());
    ports.insert(ports.end(), std::make_move_iterator(virtualPorts.begin()),
                 std::make_move_iterator(virtualPorts.end()));
    std::sort(ports.begin(), ports.end(), [](const SerialPort& a, const SerialPort& b) {
        return std::tie(a.card, a.number, a.node) < std::tie(b.card, b.number, b.node);
    });
    return ports;
}

}  // namespace platform
