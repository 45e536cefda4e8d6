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
    "the port-name file (default: the one Satview reads, config/ports.xml: this user's copy\n"
    "when there is one, else the installed file). Each listed card (a Port element with a\n"
    "vendor and a product id) gets a rule that sets ID_MM_DEVICE_IGNORE on its serial ports,\n"
    "so that Satview alone talks to them. Nothing is installed: the rules go to standard\n"
    "output. Install them with\n"
    "  satview-udev-rules | sudo tee /etc/udev/rules.d/77-satview.rules\n"
    "  sudo udevadm control --reload && sudo udevadm trigger --subsystem-match=tty\n"
    "and remove that file to give the cards back to ModemManager.\n"
    "\n"
    "Options:\n"
    "  -h, --help   print this text and exit\n"
    "  --version    print the version and exit\n"
    "\n"
    "Exit status: 0 when the rules were printed (a warning on standard error when the file\n"
    "lists no USB id), 1 when the file cannot be read or is no port-name file, 2 for a wrong\n"
    "command line.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && !std::strcmp(argv[1], "--version")) {
        std::puts("satview-udev-rules " SATVIEW_VERSION);
        return 0;
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-' && argv[1][1] != '\0')) {
        std::fprintf(stderr, "satview-udev-rules: %s (satview-udev-rules --help tells more)\n",
                     argc > 2 ? "one port-name file at most" : "unknown option");
        return 2;
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
