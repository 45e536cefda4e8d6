#include "user_files.h"

#include <fcntl.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "files.h"
#include "paths.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return std::string();
}

// $variable/satview, or <home>/<fallback>/satview; empty when there is no home either.
std::string XdgDirectory(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    std::string base = value && value[0] == '/' ? std::string(value) : std::string();
    if (base.empty()) {
        std::string home = HomeDirectory();
        if (home.empty()) return std::string();
        base = JoinPath(home, fallback);
    }
    return JoinPath(base, "satview");
}

// State the program keeps by itself, as against the user's settings.
bool IsState(const std::string& relative) {
    std::string first = relative.substr(0, relative.find_first_of("/\\"));
    for (const char* name : {"Log", "plugins.xml", "userdata", "plugins"}) {
        if (strcasecmp(first.c_str(), name) == 0) return true;
    }
    return false;
}

// The mode of the user's copy of an installed file of mode `installed`: the user's own to
// change, whatever the installed tree allows (a package installs its files read-only).
mode_t OwnCopyMode(mode_t installed) {
    return (installed & 0777) | S_IRUSR | S_IWUSR;
}

// Copies `source` to `target` unless `target` exists. The copy is written beside the target
// and linked into place, so a reader never sees half a file and two first uses at once keep
// one whole copy.
void CopyIfMissing(const std::string& source, const std::string& target, mode_t mode) {
    std::optional<std::string> bytes = ReadWholeFile(source);
    if (!bytes) return;
    std::string temp = target + kTempSuffix + "XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return;
    bool ok = ::fchmod(fd, OwnCopyMode(mode)) == 0 && WriteAll(fd, *bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::link(temp.c_str(), target.c_str()) != 0 && errno != EEXIST && !FileExists(target)) {
        // A file system without hard links: a rename is the best there is.
        ::rename(temp.c_str(), target.c_str());
    }
    ::unlink(temp.c_str());
}

}  // namespace

bool FilesArePerUser(const std::string& programDirectory) {
    if (FileExists(JoinPath(programDirectory, kPerUserMarker))) return true;
    return ::access(programDirectory.c_str(), W_OK) != 0;
}

std::string UserSettingsDirectory() {
    return XdgDirectory("XDG_CONFIG_HOME", ".config");
}

std::string UserStateDirectory() {
    return XdgDirectory("XDG_STATE_HOME", ".local/state");
}

std::string UserDataDirectory() {
    return XdgDirectory("XDG_DATA_HOME", ".local/share");
}

std::string UserFilePath(const std::string& programDirectory, const std::string& relative) {
    std::string installed = ResolveNoCase(programDirectory, relative);
    if (!FilesArePerUser(programDirectory)) return installed;
    std::string base = IsState(relative) ? UserStateDirectory() : UserSettingsDirectory();
    if (base.empty()) return installed;

    std::error_code ec;
    std::string own = ResolveNoCase(base, relative);
    struct stat existing;
    if (::lstat(own.c_str(), &existing) == 0) {
        // Copies made read-only from a read-only installed tree could never be saved again.
        if (S_ISREG(existing.st_mode) && existing.st_uid == ::geteuid() &&
            (existing.st_mode & S_IWUSR) == 0) {
            ::chmod(own.c_str(), OwnCopyMode(existing.st_mode));
        }
        return own;
    }

    // The copy takes the installed file's spelling, so "RunInfo.ini" and "Runinfo.ini" share it.
    struct stat st;
    bool hasDefault = ::stat(installed.c_str(), &st) == 0;
    if (hasDefault) {
        own = JoinPath(base, fs::path(installed).lexically_relative(programDirectory).string());
    }
    if (hasDefault && S_ISDIR(st.st_mode)) {
        fs::create_directories(own, ec);
        return own;
    }
    fs::create_directories(fs::path(own).parent_path(), ec);
    if (hasDefault && S_ISREG(st.st_mode)) CopyIfMissing(installed, own, st.st_mode);
    return own;
}

int RemoveLeftoverSaves(const std::string& programDirectory) {
    std::vector<std::string> folders;
    auto add = [&](const std::string& base) {
        if (base.empty()) return;
        folders.push_back(base);
        for (const char* below : {"config", "userdata"}) {
            folders.push_back(ResolveNoCase(base, below));
        }
    };
    if (FilesArePerUser(programDirectory)) {
        add(UserSettingsDirectory());
        add(UserStateDirectory());
    } else {
        add(programDirectory);
    }
    int removed = 0;
    for (const std::string& folder : folders) removed += RemoveLeftoverTempFiles(folder);
    return removed;
}

std::string ProgramDirectoryOf(const std::string& path) {
    std::error_code ec;
    fs::path folder = fs::absolute(path, ec).lexically_normal().parent_path();
    for (const std::string& own : {UserSettingsDirectory(), UserStateDirectory()}) {
        if (own.empty()) continue;
        fs::path base = fs::path(own).lexically_normal();
        fs::path inside = folder.lexically_relative(base);
        if (!inside.empty() && *inside.begin() != "..") return ProgramDirectory();
    }
    return folder.string();
}

}  // namespace platform
