#include "usb_ports.h"

#include <libudev.h>

#include <memory>
#include <string>

#include "port_trace.h"
#include "virtual_ports.h"

namespace platform::ports_detail {

namespace {

struct EnumerateDeleter {
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
};
struct DeviceDeleter {
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

std::string Text(const char* value) {
    return value ? value : "";
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// The interface text of one tty whose parents are `usbInterface` and `usbDevice`.
std::string InterfaceText(udev_device* tty, udev_device* usbInterface, udev_device* usbDevice,
                          const PortNameTable& names) {
    std::string vendor = Text(udev_device_get_sysattr_value(usbDevice, "idVendor"));
    std::string product = Text(udev_device_get_sysattr_value(usbDevice, "idProduct"));
    std::string number =
        usbInterface ? Text(udev_device_get_sysattr_value(usbInterface, "bInterfaceNumber")) : "";
    if (auto text = names.Find(vendor, product, number)) return *text;
    if (usbInterface) {
        std::string own = Trimmed(Text(udev_device_get_sysattr_value(usbInterface, "interface")));
        if (!own.empty()) return own;
    }
    std::string model = Text(udev_device_get_property_value(tty, "ID_MODEL"));
    if (model.empty()) model = Trimmed(Text(udev_device_get_sysattr_value(usbDevice, "product")));
    return model;
}

bool Set(udev_device* device, const char* property) {
    const char* value = device ? udev_device_get_property_value(device, property) : nullptr;
    return value && std::string(value) == "1";
}

// ModemManager looks at the candidates its udev rules mark, unless a rule told it to leave the
// port or its whole device alone.
bool ModemManagerCandidate(udev_device* tty, udev_device* usbDevice) {
    return Set(tty, "ID_MM_CANDIDATE") && !Set(tty, "ID_MM_PORT_IGNORE") &&
           !Set(tty, "ID_MM_DEVICE_IGNORE") && !Set(usbDevice, "ID_MM_DEVICE_IGNORE");
}

}  // namespace

std::vector<SerialPort> ListUsbPorts(udev* context, const PortNameTable& names) {
    std::vector<SerialPort> ports;
    if (!context) return ports;
    std::unique_ptr<udev_enumerate, EnumerateDeleter> enumerate(udev_enumerate_new(context));
    // Only the names USB serial drivers give their ttys (option and other modem drivers,
    // CDC ACM, hso): the scan reads every device it matches, and consoles and
    // pseudo-terminals are most of the tty class.
    bool matched = enumerate && udev_enumerate_add_match_subsystem(enumerate.get(), "tty") >= 0;
    for (const char* name : {"ttyUSB*", "ttyACM*", "ttyHS*"}) {
        matched = matched && udev_enumerate_add_match_sysname(enumerate.get(), name) >= 0;
    }
    if (!matched || udev_enumerate_scan_devices(enumerate.get()) < 0) {
        TraceOnce("cannot enumerate tty devices");
        return ports;
    }
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        std::unique_ptr<udev_device, DeviceDeleter> tty(
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        if (!tty) continue;  // gone while we read the list
        // Parents belong to the child and are released with it.
        udev_device* usbDevice =
            udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device");
        const char* node = udev_device_get_devnode(tty.get());
        if (!usbDevice || !node) continue;
        udev_device* usbInterface =
            udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_interface");
        SerialPort port;
        port.node = node;
        port.number = PortNumber("", Text(udev_device_get_sysname(tty.get())));
        std::string text = InterfaceText(tty.get(), usbInterface, usbDevice, names);
        port.friendlyName = text + " (COM" + std::to_string(port.number) + ")";
        port.card = Text(udev_device_get_syspath(usbDevice));
        port.mmCandidate = ModemManagerCandidate(tty.get(), usbDevice);
        ports.push_back(std::move(port));
    }
    return ports;
}

}  // namespace platform::ports_detail
