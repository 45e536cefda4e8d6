// satview-udev-rules: prints the udev rule that keeps ModemManager away from the data cards
// listed in the port-name file (by default this user's, else the installed one).
#include <cstdio>
#include <cstring>
#include <iostream>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/user_files.h"
#include "udev_rules.h"

namespace {

const char* const kUsage =
    "Usage: satview-udev-rules [PORTS_XML]\n"
    "Prints a udev rules file that keeps ModemManager away from the USB data cards listed in\n"
    "the port-name file (default: the one Satview reads, config/ports.xml). Install it with\n"
    "  satview-udev-rules | sudo tee /etc/udev/rules.d/77-satview.rules\n"
    "  sudo udevadm control --reload && sudo udevadm trigger --subsystem-match=tty\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 ||
        (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")))) {
        std::fputs(kUsage, argc > 2 ? stderr : stdout);
        return argc > 2 ? 2 : 0;
    }
    std::string path =
        argc == 2 ? argv[1]
                  : platform::UserFilePath(platform::ProgramDirectory(), "config/ports.xml");
    std::optional<std::string> text = platform::ReadWholeFile(path);
    std::vector<udevrules::UsbId> ids;
    int skipped = 0;
    if (!text || !udevrules::ReadUsbIds(*text, ids, skipped)) {
        std::cerr << "satview-udev-rules: " << path << " is no port-name file\n";
        return 1;
    }
    if (skipped > 0) {
        std::cerr << "satview-udev-rules: " << skipped
                  << " Port element(s) without a valid vendor and product left out\n";
    }
    if (ids.empty()) std::cerr << "satview-udev-rules: " << path << " lists no USB ids\n";
    std::cout << udevrules::ModemManagerRules(ids);
    return 0;
}
