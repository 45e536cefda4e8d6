// The udev rule that keeps ModemManager away from the data cards of the port-name file.
#pragma once

#include <string>
#include <vector>

namespace udevrules {

struct UsbId {
    unsigned vendor = 0, product = 0;
    bool operator==(const UsbId&) const = default;
};

// The USB ids of the port-name file's Port elements, each once, in file order; `skipped`
// counts the rows without a valid vendor and product (four hexadecimal digits at most).
// False when the text is not a port-name document.
bool ReadUsbIds(const std::string& portsXml, std::vector<UsbId>& ids, int& skipped);

// A rules file that marks every USB device of `ids` with ID_MM_DEVICE_IGNORE, so that
// ModemManager neither probes nor opens its ports. Without ids the file holds comments only.
std::string ModemManagerRules(const std::vector<UsbId>& ids);

}  // namespace udevrules
