#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <vector>

namespace platform {

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsReadOnly(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

bool ClearReadOnly(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    return ::chmod(path.c_str(), st.st_mode | S_IWUSR) == 0;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    // Plain descriptors: a read error (a folder in place of the file, an I/O error) is an
    // answer here, never an exception.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> data;
    try {
        std::string bytes;
        char buffer[16384];
        for (;;) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) break;
            if (n == 0) {
                data = std::move(bytes);
                break;
            }
            bytes.append(buffer, static_cast<size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        data.reset();
    }
    ::close(fd);
    return data;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

namespace {

// The process's file mode mask, read without changing it: umask() both reads and sets, and a
// moment with another mask would give a file made on another thread the wrong mode.
mode_t ProcessUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status)) {
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        }
        std::fclose(status);
        if (found) return static_cast<mode_t>(mask);
    }
    return 022;
}

}  // namespace

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
    struct stat st;
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && (st.st_mode & S_IWUSR) == 0) return false;

    std::vector<char> tmpl(path.begin(), path.end());
    const std::string suffix = std::string(kTempSuffix) + "XXXXXX";
    tmpl.insert(tmpl.end(), suffix.begin(), suffix.end());
    tmpl.push_back('\0');
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return false;
    std::string tmpPath(tmpl.data());

    mode_t mode = exists ? (st.st_mode & 07777) : 0644;
    if (!exists) mode &= ~ProcessUmask();
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmpPath.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmpPath.c_str());
    return ok;
}

bool IsWriterTempName(std::string_view name) {
    constexpr size_t kRandom = 6;
    constexpr size_t kTail = 4 + kRandom;  // ".new" or ".tmp", then the random part
    if (name.size() <= kTail) return false;
    std::string_view tail = name.substr(name.size() - kTail);
    if (tail.substr(0, 4) != kTempSuffix && tail.substr(0, 4) != ".tmp") return false;
    for (char c : tail.substr(4)) {
        bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) return false;
    }
    return true;
}

int RemoveLeftoverTempFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsWriterTempName(entry->d_name)) continue;
        // Not followed through a link: only the user's own plain files go.
        struct stat st;
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace platform
