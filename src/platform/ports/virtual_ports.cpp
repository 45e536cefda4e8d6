#include "virtual_ports.h"

#include <dirent.h>
#include <fcntl.h>
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
#include "platform/runtime_folder.h"
#include "port_trace.h"

namespace platform {

namespace {

constexpr std::string_view kSuffix = ".port";
constexpr size_t kMaxFileSize = 4096;

// Creates the folders above `path` that are missing (mode 0700).
void MakeParents(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    }
}

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

std::string PortFilePath(const std::string& id) {
    return PortsDirectory() + "/" + id + std::string(kSuffix);
}

// The owner recorded in a port file; 0 when it is missing or malformed.
long FileOwner(int dirFd, const std::string& name) {
    std::optional<std::string> text = ReadSmallFileAt(dirFd, name, kMaxFileSize);
    std::optional<ports_detail::VirtualPortEntry> entry =
        text ? ports_detail::ParseVirtualPort(*text) : std::nullopt;
    return entry ? entry->pid : 0;
}

bool Alive(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace

std::string PortsDirectory() {
    if (const char* dir = std::getenv("SATVIEW_PORTS_DIR"); dir && *dir) return dir;
    return RuntimeDirectoryPath() + "/ports";
}

bool PreparePortsDirectory(std::string* why) {
    std::string dir = PortsDirectory();
    if (const char* own = std::getenv("SATVIEW_PORTS_DIR"); own && *own) {
        MakeParents(dir);
    } else if (RuntimeDirectory(why).empty()) {
        return false;
    }
    return MakeOwnFolder(dir, FolderAccess::NoOtherWriters, why);
}

bool RegisterVirtualPort(const std::string& id, const SerialPort& port) {
    if (!ports_detail::ValidPortId(id) || port.node.empty() || port.friendlyName.empty() ||
        port.card.empty()) {
        return false;
    }
    for (const std::string* value : {&port.node, &port.friendlyName, &port.card}) {
        if (std::any_of(value->begin(), value->end(), IsControl)) return false;
    }
    std::string why;
    if (!PreparePortsDirectory(&why)) {
        ports_detail::TraceOnce(why);
        return false;
    }
    // Another live process's port is never taken over.
    long owner = FileOwner(AT_FDCWD, PortFilePath(id));
    if (owner > 0 && owner != ::getpid() && Alive(owner)) {
        ports_detail::TraceOnce("the port " + id + " belongs to process " + std::to_string(owner));
        return false;
    }
    return WriteFileAtomic(PortFilePath(id), ports_detail::FormatVirtualPort(port, ::getpid()));
}

void UnregisterVirtualPort(const std::string& id) {
    if (!ports_detail::ValidPortId(id)) return;
    std::string path = PortFilePath(id);
    if (FileOwner(AT_FDCWD, path) == ::getpid()) ::unlink(path.c_str());
}

namespace ports_detail {

bool ValidPortId(std::string_view id) {
    if (id.empty() || id.size() > 200 || id.front() == '.') return false;
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
}

std::string FormatVirtualPort(const SerialPort& port, long pid) {
    return "node=" + port.node + "\nfriendly=" + port.friendlyName + "\ncard=" + port.card +
           "\npid=" + std::to_string(pid) + "\n" + (port.mmCandidate ? "modemmanager=1\n" : "");
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
    if (auto mm = values.find("modemmanager"); mm != values.end()) {
        if (mm->second != "0" && mm->second != "1") return std::nullopt;
        entry.port.mmCandidate = mm->second == "1";
    }
    const std::string& pid = values["pid"];
    auto [end, ec] = std::from_chars(pid.data(), pid.data() + pid.size(), entry.pid);
    if (ec != std::errc() || end != pid.data() + pid.size() || entry.pid <= 0) return std::nullopt;
    entry.port.number = PortNumber(entry.port.friendlyName, entry.port.node);
    return entry;
}

std::vector<SerialPort> ListVirtualPorts(const std::string& directory) {
    std::vector<SerialPort> ports;
    // The folder is checked through the descriptor that the files are then opened from.
    int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0) {
        if (errno != ENOENT) {
            std::string why;
            CheckOwnFolder(directory, FolderAccess::NoOtherWriters, &why);
            TraceOnce(why.empty() ? "cannot read the ports folder " + directory : why);
        }
        return ports;
    }
    if (std::string why; !CheckOwnFolderFd(dirFd, directory, FolderAccess::NoOtherWriters, &why)) {
        TraceOnce(why);
        ::close(dirFd);
        return ports;
    }
    std::vector<std::string> names;
    if (DIR* dir = ::fdopendir(::dup(dirFd))) {
        while (dirent* e = ::readdir(dir)) {
            std::string name = e->d_name;
            if (name.size() > kSuffix.size() && name.front() != '.' && name.ends_with(kSuffix)) {
                names.push_back(std::move(name));
            }
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());

    std::set<std::string> nodes;
    for (const std::string& name : names) {
        std::string path = directory + "/" + name;
        // Not followed if a link, never waited on if a FIFO: regular small files only.
        std::optional<std::string> text = ReadSmallFileAt(dirFd, name, kMaxFileSize);
        if (!text) {
            TraceOnce("skipped port file " + path + ": not a small regular file");
            continue;
        }
        std::optional<VirtualPortEntry> entry = ParseVirtualPort(*text);
        if (!entry) {
            TraceOnce("skipped malformed port file " + path);
            continue;
        }
        if (!Alive(entry->pid)) {
            ::unlinkat(dirFd, name.c_str(), 0);  // its owner died without cleaning up
            continue;
        }
        if (::access(entry->port.node.c_str(), F_OK) != 0) continue;
        if (!nodes.insert(entry->port.node).second) {
            TraceOnce("skipped port file " + path + ": its node is listed twice");
            continue;
        }
        ports.push_back(std::move(entry->port));
    }
    ::close(dirFd);
    return ports;
}

}  // namespace ports_detail

}  // namespace platform
