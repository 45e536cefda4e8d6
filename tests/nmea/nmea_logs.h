// The recorded logs of tests/data/nmea and running satview-nmea on them.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace nmea_logs {

// The logs' names (NAME of NAME.nmea), sorted.
inline std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(NMEA_LOGS)) {
        if (entry.path().extension() == ".nmea") names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string LogPath(const std::string& name) {
    return std::string(NMEA_LOGS) + "/" + name + ".nmea";
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Run {
    int status = -1;  // the exit status
    std::string out, err;
};

// Runs `command` (a shell command line) with its output in files of `dir`.
inline Run Shell(const std::string& command, const std::string& dir) {
    std::string out = dir + "/out", err = dir + "/err";
    int raw = std::system((command + " >" + out + " 2>" + err).c_str());
    Run run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

inline Run SatviewNmea(const std::string& arguments, const std::string& dir) {
    return Shell(std::string(SATVIEW_NMEA) + " " + arguments, dir);
}

}  // namespace nmea_logs
