// satview-geoclue: turns on or off GeoClue's reading of Satview's NMEA socket, prints the lines
// GeoClue's configuration needs and says what that grants.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>

#include "framework/devicemgr/nmea_feed.h"
#include "geoclue_setting.h"
#include "platform/access/account_access.h"
#include "platform/paths.h"
#include "platform/runtime_folder.h"
#include "platform/user_files.h"

namespace {

const char* const kUsage =
    "Usage: satview-geoclue [on | off]\n"
    "Lets the desktop's location service, GeoClue, read the position of Satview's GPS\n"
    "sessions from Satview's NMEA socket ($XDG_RUNTIME_DIR/satview/nmea.sock), so that the\n"
    "programs that ask GeoClue where the computer is (maps, web browsers, the desktop) get\n"
    "the data card's position.\n"
    "\n"
    "  on    from Satview's next start, GeoClue's account (geoclue), and no other, may\n"
    "        connect to the socket: Satview gives it ACL entries of its own (search on the\n"
    "        runtime folder and Satview's folder in it, read and write on the socket). Prints\n"
    "        the two lines to set in the [network-nmea] section of /etc/geoclue/geoclue.conf\n"
    "        (enable=true and nmea-socket=<the socket>; as root, then restart GeoClue).\n"
    "  off   takes that access away again, at once.\n"
    "  (none) tells whether it is on, and the lines.\n"
    "\n"
    "The setting is the attribute geoclue=\"on\" of <localdevice> in Satview's\n"
    "userdata/localdeviceinfo.xml.\n"
    "\n"
    "Options:\n"
    "  -h, --help   print this text and exit\n"
    "  --version    print the version and exit\n"
    "\n"
    "Exit status: 0 when done, 1 when the setting cannot be written, 2 for a wrong command\n"
    "line.\n";

}  // namespace

int main(int argc, char** argv) {
    const std::string word = argc == 2 ? argv[1] : "";
    if (word == "--help" || word == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (word == "--version") {
        std::puts("satview-geoclue " SATVIEW_VERSION);
        return 0;
    }
    if (argc > 2 || (argc == 2 && word != "on" && word != "off")) {
        std::fprintf(stderr, "satview-geoclue: %s (satview-geoclue --help tells more)\n",
                     argc > 2 ? "one word at most" : ("unknown word \"" + word + "\"").c_str());
        return 2;
    }
    const std::string choiceFile =
        platform::UserFilePath(platform::ProgramDirectory(), "userdata/localdeviceinfo.xml");
    const std::string folder = platform::RuntimeDirectoryPath();
    const std::string socket = platform::JoinPath(folder, "nmea.sock");
    // The folders as they are now; Satview's own is always one of them (made 0700).
    std::vector<std::string> folders = platform::FoldersToPass(socket);
    if (folders.empty() || folders.front() != folder) folders.insert(folders.begin(), folder);
    std::string passed;
    for (auto f = folders.rbegin(); f != folders.rend(); ++f) {
        passed += (passed.empty() ? "" : " and ") + *f;
    }
    const char* account = devicemgr::kLocationServiceAccount;
    const std::optional<uint32_t> uid = platform::AccountUid(account);
    std::string why;
    if (!word.empty() && !geoclue::WriteSetting(choiceFile, word == "on", &why)) {
        std::cerr << "satview-geoclue: " << why << "\n";
        return 1;
    }
    if (word == "off") {
        // The running Satview's socket and the folders: nothing waits for its next start.
        if (uid) {
            folders.push_back(socket);
            for (const std::string& path : folders) {
                if (!platform::RevokeAccount(path, *uid, &why)) {
                    std::cerr << "satview-geoclue: " << why << "\n";
                }
            }
        }
        std::cout << "GeoClue can no longer read Satview's position. Take the line nmea-socket="
                  << socket << " out of /etc/geoclue/geoclue.conf.\n";
        return 0;
    }
    const bool on = geoclue::SettingOn(choiceFile);
    std::cout << (word == "on" ? "GeoClue may read Satview's position from Satview's next start.\n"
                  : on
                      ? "GeoClue may read Satview's position (satview-geoclue off ends that).\n"
                      : "GeoClue may not read Satview's position (satview-geoclue on allows it).\n")
              << "\nThe lines to set in /etc/geoclue/geoclue.conf (as root), then restart GeoClue\n"
                 "(sudo systemctl restart geoclue):\n\n"
              << geoclue::ConfigurationLines(socket) << "\n"
              << geoclue::WhatItGrants(account, uid, socket, passed);
    if (!uid) {
        std::cerr << "satview-geoclue: GeoClue is not installed here (no account " << account
                  << "): sudo apt install geoclue-2.0\n";
    }
    return 0;
}
