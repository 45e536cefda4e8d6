// Real serial ports: tty devices with a USB parent, from libudev.
#pragma once

#include <vector>

#include "platform/ports/ports.h"
#include "port_names.h"

struct udev;

namespace platform::ports_detail {

// The USB ttys of `context`; each port's interface text comes from `names`, else from the
// USB interface's own string, else from the device's model. The card key is the syspath of
// the USB device, so the ports of one device form one card.
std::vector<SerialPort> ListUsbPorts(udev* context, const PortNameTable& names);

}  // namespace platform::ports_detail
