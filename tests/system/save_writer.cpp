// Writes the files a settings Save and a language change write, with the program's own
// writers, over and over: config/ConfigFile.xml (the GPS settings), Runinfo.ini (the language)
// and plugins.xml (the plug-in list), alternating between two versions of each.
//   save_writer DIR once old|new   writes each file once, in that version
//   save_writer DIR loop old|new   alternates until killed, starting with that version;
//                                  writes "w" to stdout once every file has been written once
#include <unistd.h>

#include <cstring>
#include <string>

#include "markup/markup_stl.h"
#include "orbitpane/win32/gps_config.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace {

bool WriteAll(const std::string& dir, bool newer) {
    GpsConfigFile config;
    config.SetAppDirectory(dir);
    GPSConfigInfo info;
    config.Load(info);
    info.strType = newer ? "AGPS" : "GPS";
    info.strAPN = newer ? "apn.new.example" : "internet";
    info.strSUPL = newer ? "supl.new.example:7275" : "supl.old.example:7275";
    info.strScenario = newer ? kScenarioPedestrian : kScenarioHighSpeed;
    bool ok = config.SaveSettings(info);

    std::string ini = platform::JoinPath(dir, "Runinfo.ini");
    ok = platform::IniWriteString(ini, "language", "active", newer ? "_ja" : "_en-us") && ok;
    ok = platform::IniWriteString(ini, "language", "LangID", newer ? "1041" : "1033") && ok;

    CMarkupSTL list;
    list.ParseText(newer ? "<main><mainframe>D754AE84-535F-4c18-85F8-F154CFE34DDF</mainframe>"
                           "<plugin><clsid>935CFC65-83F1-4c89-8BDA-656DA0ABED75</clsid>"
                           "<url>Plugins/Orbitpane/Orbitpane.so</url></plugin></main>\n"
                         : "<main><mainframe>D754AE84-535F-4c18-85F8-F154CFE34DDF</mainframe>"
                           "</main>\n");
    ok = list.SaveToFile(platform::JoinPath(dir, "plugins.xml")) && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[2], "once") == 0) {
        return WriteAll(argv[1], std::strcmp(argv[3], "new") == 0) ? 0 : 1;
    }
    if (argc != 4 || std::strcmp(argv[2], "loop") != 0) return 2;
    for (bool newer = std::strcmp(argv[3], "new") == 0, told = false;; newer = !newer) {
        if (!WriteAll(argv[1], newer)) return 1;
        if (!told) told = ::write(1, "w", 1) == 1;
    }
}
