// Every program's --help and --version, and a word it does not know: what it prints, where,
// and its exit status. Nothing is started: each would otherwise run until the time limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace {

struct Case {
    std::string program;  // a program of the program directory, or "./run --no-build"
    const char* arguments;
    int status;
    bool onStandardOutput;  // else on standard error
    std::vector<std::string> says;
    std::vector<std::string> neverSays;
};

TEST(CommandLine, EveryProgramAnswersHelpAndVersionAndRefusesUnknownWords) {
    const std::string version = SATVIEW_VERSION;
    testing_support::TempDir dir;
    // ./run as checked out, with build/bin being the program directory.
    ASSERT_EQ(system_test::Shell("mkdir -p " + dir / "root/scripts " + dir / "root/build && cp " +
                                 SATVIEW_SOURCE_DIR "/run " + dir / "root && cp " +
                                 SATVIEW_SOURCE_DIR "/scripts/common.sh " + dir / "root/scripts" +
                                 " && ln -s " PROGRAM_DIR " " + dir / "root/build/bin"),
              0);
    const std::vector<Case> cases = {
        {"./run --no-build", "--version", 0, true, {"satview " + version + "\n"}, {}},
        {"./run --no-build",
         "--help",
         0,
         true,
         {"Usage: ./run", "--no-sim", "--version", "1 stand-alone GPS only"},
         {"{false}"}},
        // Refused before the simulated card or anything else is started, under ./run's name.
        {"./run --no-build",
         "--bogus",
         2,
         false,
         {"./run: unknown option \"--bogus\"", "./run --help"},
         {"satview:", "Simulated card"}},
        {"Startup",
         "--help",
         0,
         true,
         {"Usage: satview [--terminal | --headless]", "--terminal", "--headless", "--version",
          "SATVIEW_UI", "brought forward", "SATVIEW_TRACE=debug", "F10", "Tab, Shift-Tab",
          "config/ConfigFile.xml", "satview/tracks", "autostart/Satview.desktop", "nmea.sock",
          "Log/"},
         {}},
        {"Startup", "-h", 0, true, {"Usage: satview"}, {}},
        {"Startup", "--version", 0, true, {"satview " + version + "\n"}, {}},
        {"Startup", "--terminal --version", 0, true, {"satview " + version}, {}},
        {"Startup", "--bogus", 2, false, {"unknown argument \"--bogus\"", "satview --help"}, {}},
        {"Startup", "map.nmea", 2, false, {"unknown argument \"map.nmea\""}, {}},
        {"satview-cardsim",
         "--help",
         0,
         true,
         {"--no-gps-port", "the card has no GPS port", "0 no GPS type", "1 stand-alone GPS only",
          "2 or 3 GPS and AGPS", "--version"},
         {"{false}", "{true}"}},
        {"satview-cardsim", "--version", 0, true, {"satview-cardsim " + version + "\n"}, {}},
        {"satview-cardsim", "ctl --help", 0, true, {"cards"}, {}},
        {"satview-udev-rules",
         "--help",
         0,
         true,
         {"Usage: satview-udev-rules [PORTS_XML]", "ID_MM_DEVICE_IGNORE",
          "/etc/udev/rules.d/77-satview.rules", "udevadm control --reload", "--version",
          "Exit status"},
         {}},
        {"satview-udev-rules", "--version", 0, true, {"satview-udev-rules " + version + "\n"}, {}},
        {"satview-udev-rules", "--bogus", 2, false, {"unknown option"}, {}},
        {"satview-udev-rules", "a.xml b.xml", 2, false, {"one port-name file at most"}, {}},
        {"satview-geoclue",
         "--help",
         0,
         true,
         {"Usage: satview-geoclue [on | off]", "nmea.sock", "[network-nmea]",
          "/etc/geoclue/geoclue.conf", "geoclue=\"on\"", "--version", "Exit status"},
         {}},
        {"satview-geoclue", "--version", 0, true, {"satview-geoclue " + version + "\n"}, {}},
        {"satview-geoclue", "--bogus", 2, false, {"unknown word \"--bogus\""}, {}},
        {"satview-geoclue", "on off", 2, false, {"one word at most"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.arguments);
        const std::string program = c.program.starts_with("./")
                                        ? dir / ("root/" + c.program.substr(2))
                                        : PROGRAM_DIR "/" + c.program;
        const std::string out = dir / "out", err = dir / "err";
        // No display and no terminal: a program that started instead of answering would run
        // headless until the time limit.
        int status = system_test::Shell("cd " + dir.path() + " && HOME=" + dir.path() +
                                        " XDG_RUNTIME_DIR=" + dir.path() +
                                        " DISPLAY= WAYLAND_DISPLAY= timeout 20 " + program + " " +
                                        c.arguments + " >" + out + " 2>" + err + " </dev/null");
        const std::string said =
            platform::ReadWholeFile(c.onStandardOutput ? out : err).value_or("");
        const std::string other =
            platform::ReadWholeFile(c.onStandardOutput ? err : out).value_or("");
        EXPECT_EQ(status, c.status) << said << other;
        for (const std::string& text : c.says) {
            EXPECT_NE(said.find(text), std::string::npos) << text << " in:\n" << said;
        }
        for (const std::string& text : c.neverSays) {
            EXPECT_EQ(said.find(text), std::string::npos) << text << " in:\n" << said;
        }
        EXPECT_EQ(other, "");
    }
}

}  // namespace
