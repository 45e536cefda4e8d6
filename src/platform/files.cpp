#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const std::string suffix = ".tmpXXXXXX";
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

}  // namespace platform
