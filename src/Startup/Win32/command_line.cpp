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
    "Keys in the terminal:\n"
    "  Tab, Shift-Tab   the next or previous control, in reading order\n"
    "  Enter, Space     press the button, check box or radio button that has the focus\n"
    "  arrow keys       move in a list, a radio group or an open drop-down list\n"
    "  F10              the window menu: record a GPX track, open the tracks folder, close\n"
    "  Esc              close the menu, message box or dialog on top\n"
    "\n"
    "Environment:\n"
    "  SATVIEW_UI=terminal|headless   as --terminal or --headless\n"
    "  SATVIEW_TRACE=debug            also log the debug traces (every NMEA sentence)\n"
    "\n"
    "Files:\n"
    "  $XDG_CONFIG_HOME/satview   the settings, per user (default ~/.config/satview):\n"
    "                             config/ConfigFile.xml (GPS type, APN, SUPL server,\n"
    "                             scenario), Runinfo.ini (language, GPX recording),\n"
    "                             SysSetting.xml\n"
    "  $XDG_STATE_HOME/satview    what Satview keeps by itself (default\n"
    "                             ~/.local/state/satview): plugins.xml,\n"
    "                             userdata/localdeviceinfo.xml, and the log in Log/ (one file\n"
    "                             a process, rotated at 2 MB, 6 MB at most)\n"
    "  $XDG_DATA_HOME/satview/tracks   the GPX tracks, one file a session while \"Record GPX\n"
    "                             track\" is checked (default ~/.local/share/satview/tracks)\n"
    "  $XDG_CONFIG_HOME/autostart/Satview.desktop   made by \"Start when I log on\"\n"
    "  $XDG_RUNTIME_DIR/satview   the running Satview's lock and socket, and the NMEA feed:\n"
    "                             nmea, a pseudo-terminal for one reader (gpsd), and\n"
    "                             nmea.sock, a Unix stream socket for any number of readers;\n"
    "                             both pass the card's sentences on while a session runs\n"
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
