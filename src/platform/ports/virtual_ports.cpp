#include "virtual_ports.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <map>
#include <set>

#include "platform/files.h"
#include "port_trace.h"

namespace platform {

namespace {

constexpr std::string_view kSuffix = ".port";
constexpr size_t kMaxFileSize = 4096;

bool MakeDirectoriesImpl(const std::string& path) {
    std::string partial;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        partial = path.substr(0, slash);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        start = slash + 1;
    }
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

std::string PortFilePath(const std::string& id) {
    return PortsDirectory() + "/" + id + std::string(kSuffix);
}

}  // namespace

std::string PortsDirectory() {
    if (const char* dir = std::getenv("SATVIEW_PORTS_DIR"); dir && *dir) return dir;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        return std::string(runtime) + "/satview/ports";
    }
    return "/tmp/satview-" + std::to_string(::getuid()) + "/ports";
}

bool RegisterVirtualPort(const std::string& id, const SerialPort& port) {
    if (!ports_detail::ValidPortId(id) || port.node.empty() || port.friendlyName.empty() ||
        port.card.empty()) {
        return false;
    }
    for (const std::string* value : {&port.node, &port.friendlyName, &port.card}) {
        if (std::any_of(value->begin(), value->end(), IsControl)) return false;
    }
    if (!ports_detail::EnsureDirectory(PortsDirectory())) return false;
    return WriteFileAtomic(PortFilePath(id), ports_detail::FormatVirtualPort(port, ::getpid()));
}

void UnregisterVirtualPort(const std::string& id) {
    if (ports_detail::ValidPortId(id)) ::unlink(PortFilePath(id).c_str());
}

namespace ports_detail {

bool EnsureDirectory(const std::string& path) {
    return MakeDirectoriesImpl(path);
}

bool ValidPortId(std::string_view id) {
    if (id.empty() || id.size() > 200 || id.front() == '.') return false;
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
}

std::string FormatVirtualPort(const SerialPort& port, long pid) {
    return "node=" + port.node + "\nfriendly=" + port.friendlyName + "\ncard=" + port.card +
           "\npid=" + std::to_string(pid) + "\n";
}

int PortNumber(const std::string& friendlyName, const std::string& node) {
    auto digitsAt = [](const std::string& text, size_t pos) {
        int value = -1;
        auto [end, ec] = std::from_chars(text.data() + pos, text.data() + text.size(), value);
        return (ec == std::errc() && end != text.data() + pos) ? value : -1;
    };
    size_t com = friendlyName.rfind("(COM");
    if (com != std::string::npos) {
        int n = digitsAt(friendlyName, com + 4);
        if (n >= 0) return n;
    }
    size_t first = node.size();
    while (first > 0 && node[first - 1] >= '0' && node[first - 1] <= '9') --first;
    if (first == node.size() || node.size() - first > 9) return -1;
    return digitsAt(node, first);
}

std::optional<VirtualPortEntry> ParseVirtualPort(std::string_view text) {
    if (text.size() > kMaxFileSize) return std::nullopt;
    std::map<std::string, std::string, std::less<>> values;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) return std::nullopt;
        if (std::any_of(line.begin(), line.end(), IsControl)) return std::nullopt;
        std::string key(line.substr(0, eq));
        if (!values.emplace(key, std::string(line.substr(eq + 1))).second) return std::nullopt;
    }
    VirtualPortEntry entry;
    for (const char* key : {"node", "friendly", "card", "pid"}) {
        auto it = values.find(key);
        if (it == values.end() || it->second.empty()) return std::nullopt;
    }
    entry.port.node = values["node"];
    entry.port.friendlyName = values["friendly"];
    entry.port.card = values["card"];
    if (entry.port.node.front() != '/') return std::nullopt;
    const std::string& pid = values["pid"];
    auto [end, ec] = std::from_chars(pid.data(), pid.data() + pid.size(), entry.pid);
    if (ec != std::errc() || end != pid.data() + pid.size() || entry.pid <= 0) return std::nullopt;
    entry.port.number = PortNumber(entry.port.friendlyName, entry.port.node);
    return entry;
}

std::vector<SerialPort> ListVirtualPorts(const std::string& directory) {
    std::vector<SerialPort> ports;
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) {
        if (errno != ENOENT) TraceOnce("cannot read the ports folder " + directory);
        return ports;
    }
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name.size() > kSuffix.size() && name.front() != '.' && name.ends_with(kSuffix)) {
            names.push_back(std::move(name));
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());

    std::set<std::string> nodes;
    for (const std::string& name : names) {
        std::string path = directory + "/" + name;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) continue;  // gone since the folder was read
        if (!S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > kMaxFileSize) {
            TraceOnce("skipped port file " + path + ": not a small regular file");
            continue;
        }
        std::optional<std::string> text = ReadWholeFile(path);
        if (!text) continue;
        std::optional<VirtualPortEntry> entry = ParseVirtualPort(*text);
        if (!entry) {
            TraceOnce("skipped malformed port file " + path);
            continue;
        }
        if (::kill(static_cast<pid_t>(entry->pid), 0) != 0 && errno == ESRCH) {
            ::unlink(path.c_str());  // its owner died without cleaning up
            continue;
        }
        if (::access(entry->port.node.c_str(), F_OK) != 0) continue;
        if (!nodes.insert(entry->port.node).second) {
            TraceOnce("skipped port file " + path + ": its node is listed twice");
            continue;
        }
        ports.push_back(std::move(entry->port));
    }
    return ports;
}

}  // namespace ports_detail

}  // namespace platform
