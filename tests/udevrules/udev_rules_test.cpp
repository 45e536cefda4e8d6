#include "udev_rules.h"

#include <gtest/gtest.h>

using udevrules::UsbId;

namespace {

TEST(UdevRules, ReadsEachUsbIdOnceAndSkipsBrokenRows) {
    const std::string ports = R"(<?xml version="1.0"?>
<!-- <Port vendor="9999" product="9999" interface="00">commented out</Port> -->
<PortNames>
  <Port vendor="1234" product="5678" interface="00">Example Card - Modem</Port>
  <Port vendor="1234" product="5678" interface="02">Example Card - GPS</Port>
  <Port vendor="ABCD" product=" 0e0f " interface="01">Other Card - PC UI</Port>
  <Port vendor="12345" product="0001" interface="00">five digits</Port>
  <Port vendor="12g4" product="0001" interface="00">not hexadecimal</Port>
  <Port product="0001" interface="00">no vendor</Port>
  <Other vendor="4321" product="0001"/>
</PortNames>)";
    std::vector<UsbId> ids;
    int skipped = -1;
    ASSERT_TRUE(udevrules::ReadUsbIds(ports, ids, skipped));
    EXPECT_EQ(ids, (std::vector<UsbId>{{0x1234, 0x5678}, {0xabcd, 0x0e0f}}));
    EXPECT_EQ(skipped, 3);

    for (const char* notPorts :
         {"", "<Settings><Port vendor=\"1\" product=\"2\"/></Settings>", "<PortNames><Port"}) {
        SCOPED_TRACE(notPorts);
        EXPECT_FALSE(udevrules::ReadUsbIds(notPorts, ids, skipped));
        EXPECT_TRUE(ids.empty());
    }
}

TEST(UdevRules, EveryListedDeviceIsHiddenFromModemManager) {
    std::string rules = udevrules::ModemManagerRules({{0x1234, 0x5678}, {0xabcd, 0x000f}});
    EXPECT_NE(rules.find("SUBSYSTEMS==\"usb\", ATTRS{idVendor}==\"1234\", "
                         "ATTRS{idProduct}==\"5678\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n"),
              std::string::npos)
        << rules;
    EXPECT_NE(rules.find("ATTRS{idVendor}==\"abcd\", ATTRS{idProduct}==\"000f\""),
              std::string::npos);
    // The rules apply to devices being added or changed only, and end at their label.
    EXPECT_LT(rules.find("GOTO=\"satview_end\""), rules.find("ATTRS{idVendor}"));
    EXPECT_GT(rules.find("LABEL=\"satview_end\""), rules.rfind("ATTRS{idVendor}"));

    std::string none = udevrules::ModemManagerRules({});
    EXPECT_EQ(none.find("ATTRS{"), std::string::npos);
    EXPECT_NE(none.find("LABEL=\"satview_end\""), std::string::npos);
}

}  // namespace
