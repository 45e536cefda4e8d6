// The shared objects a running process has mapped, read from /proc/<pid>/maps.
#pragma once

#include <sys/types.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace system_test {

// The window toolkit's libraries and the kit's module that brings them.
inline const std::vector<std::string> kToolkitLibraries = {"libwx_", "libgtk-", "libgdk-",
                                                           "libsatview_ui_wx"};

// The mapped files of process `pid` whose names hold one of `parts`, space-separated; empty
// when there are none (or the process is gone).
inline std::string MappedLibraries(pid_t pid, const std::vector<std::string>& parts) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::set<std::string> found;
    for (std::string line; std::getline(maps, line);) {
        size_t slash = line.find('/');
        if (slash == std::string::npos) continue;
        std::string file = line.substr(line.find_last_of('/') + 1);
        for (const std::string& part : parts) {
            if (file.find(part) != std::string::npos) found.insert(file);
        }
    }
    std::string list;
    for (const std::string& file : found) list += (list.empty() ? "" : " ") + file;
    return list;
}

}  // namespace system_test
