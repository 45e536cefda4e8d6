#include "udev_rules.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "markup/markup_stl.h"

namespace udevrules {
namespace {

std::optional<unsigned> ParseId(std::string text) {
    text.erase(0, text.find_first_not_of(" \t\r\n"));
    text.erase(text.find_last_not_of(" \t\r\n") + 1);
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

}  // namespace

bool ReadUsbIds(const std::string& portsXml, std::vector<UsbId>& ids, int& skipped) {
    ids.clear();
    skipped = 0;
    CMarkupSTL doc;
    if (!doc.ParseText(portsXml) || !doc.FindSibling("PortNames") || !doc.Descend()) {
        return false;
    }
    while (doc.FindSibling("Port")) {
        std::optional<unsigned> vendor = ParseId(doc.AttributeValue("vendor"));
        std::optional<unsigned> product = ParseId(doc.AttributeValue("product"));
        if (!vendor || !product) {
            ++skipped;
            continue;
        }
        UsbId id{*vendor, *product};
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    return true;
}

std::string ModemManagerRules(const std::vector<UsbId>& ids) {
    std::string rules =
        "# Satview: ModemManager leaves the ports of these USB data cards alone, so that\n"
        "# Satview can talk to the card's PC UI and GPS ports. Made by satview-udev-rules from\n"
        "# the port-name file config/ports.xml.\n"
        "ACTION!=\"add|change|move|bind\", GOTO=\"satview_end\"\n";
    for (const UsbId& id : ids) {
        rules += "SUBSYSTEMS==\"usb\", ATTRS{idVendor}==\"" + Hex4(id.vendor) +
                 "\", ATTRS{idProduct}==\"" + Hex4(id.product) +
                 "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n";
    }
    rules += "LABEL=\"satview_end\"\n";
    return rules;
}

}  // namespace udevrules
