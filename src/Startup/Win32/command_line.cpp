#include "Startup/Win32/command_line.h"

#include <cstring>

namespace launcher {

namespace {

const char* const kUsage =
    "Usage: satview [--terminal | --headless]\n"
    "Shows the position from the GPS receiver of a 3G/4G USB data card: longitude, latitude,\n"
    "satellites in view and the time of the last fix. Starts and stops positioning (GPS or\n"
    "AGPS) and opens the position in a map web site.\n"
    "\n"
    "Runs in a window when there is a display (DISPLAY or WAYLAND_DISPLAY), else in this\n"
    "terminal. When Satview already runs for this user, its window is brought forward and\n"
    "this start ends.\n"
    "\n"
    "Options:\n"
    "  --terminal   run in this terminal even when there is a display\n"
    "  --headless   no user interface at all (what happens goes to the log)\n"
    "  -h, --help   print this text and exit\n"
    "  --version    print the version and exit\n"
    "\n"
    "Environment:\n"
    "  SATVIEW_UI=terminal|headless   as --terminal or --headless\n"
    "\n"
    "Files:\n"
    "  $XDG_CONFIG_HOME/satview   the settings, per user (default ~/.config/satview)\n"
    "  $XDG_STATE_HOME/satview    the log and the plug-in list (default ~/.local/state/satview)\n"
    "\n"
    "satview-udev-rules prints the udev rule that keeps ModemManager away from the data\n"
    "cards; satview-cardsim simulates a card.\n";

}  // namespace

CommandLineAnswer ReadCommandLine(int argc, const char* const* argv, const std::string& version) {
    CommandLineAnswer answer;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i] == nullptr ? "" : argv[i];
        if (!std::strcmp(word, "--terminal") || !std::strcmp(word, "--headless")) continue;
        answer.run = false;
        if (!std::strcmp(word, "--help") || !std::strcmp(word, "-h")) {
            answer.text = kUsage;
        } else if (!std::strcmp(word, "--version")) {
            answer.text = "satview " + version + "\n";
        } else {
            answer.exitCode = 2;
            answer.text = std::string("satview: unknown argument \"") + word +
                          "\" (satview --help lists the options)\n";
        }
        return answer;
    }
    return answer;
}

}  // namespace launcher
