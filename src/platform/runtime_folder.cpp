#include "platform/runtime_folder.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/paths.h"

namespace platform {
namespace {

// Checks what fstat or lstat found at `path`.
bool CheckStat(const std::string& path, const struct stat& st, FolderAccess access,
               std::string* why) {
    auto refuse = [&](const std::string& reason) {
        if (why) *why = "the folder " + path + " is refused: " + reason;
        return false;
    };
    if (S_ISLNK(st.st_mode)) return refuse("it is a symbolic link");
    if (!S_ISDIR(st.st_mode)) return refuse("it is not a directory");
    if (st.st_uid != ::geteuid()) {
        return refuse("it belongs to user " + std::to_string(st.st_uid) + ", not to this user (" +
                      std::to_string(::geteuid()) + "); remove it");
    }
    // A private folder may let the group class search it: that is what an ACL entry giving one
    // account search shows (the mask), and it lets nobody list the folder or put a file in it.
    mode_t denied = access == FolderAccess::Private ? 0067 : 0022;
    if ((st.st_mode & denied) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return refuse(std::string("its mode ") + mode + " lets other users " +
                      (access == FolderAccess::Private ? "in" : "write to it") +
                      " (chmod 700 it once you trust what it holds)");
    }
    return true;
}

}  // namespace

bool CheckOwnFolder(const std::string& path, FolderAccess access, std::string* why) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        if (why) *why = "the folder " + path + " cannot be used: " + std::strerror(errno);
        return false;
    }
    return CheckStat(path, st, access, why);
}

bool CheckOwnFolderFd(int fd, const std::string& path, FolderAccess access, std::string* why) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        if (why) *why = "the folder " + path + " cannot be used: " + std::strerror(errno);
        return false;
    }
    return CheckStat(path, st, access, why);
}

bool MakeOwnFolder(const std::string& path, FolderAccess access, std::string* why) {
    bool made = ::mkdir(path.c_str(), 0700) == 0;
    if (!made && errno != EEXIST) {
        if (why) *why = "cannot create the folder " + path + ": " + std::strerror(errno);
        return false;
    }
    // Whatever is there now, looked at through one descriptor: a link is not followed.
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return CheckOwnFolder(path, access, why);  // tells what is there instead
    // The umask may have taken the owner's own bits away: a folder made here is 0700.
    if (made) ::fchmod(fd, 0700);
    bool ok = CheckOwnFolderFd(fd, path, access, why);
    ::close(fd);
    return ok;
}

std::string RuntimeDirectoryPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
        std::string why;
        if (CheckOwnFolder(runtime, FolderAccess::NoOtherWriters, &why)) {
            return JoinPath(runtime, "satview");
        }
        TraceRuntimeOnce("XDG_RUNTIME_DIR is not usable (" + why + "); using /tmp instead");
    }
    return "/tmp/satview-" + std::to_string(::geteuid());
}

std::string RuntimeDirectory(std::string* why) {
    std::string folder = RuntimeDirectoryPath();
    std::string reason;
    if (MakeOwnFolder(folder, FolderAccess::Private, &reason)) return folder;
    TraceRuntimeOnce(reason);
    if (why) *why = reason;
    return std::string();
}

std::optional<std::string> ReadSmallFileAt(int dirFd, const std::string& name, size_t maxSize) {
    int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> text;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<size_t>(st.st_size) <= maxSize) {
        std::string bytes(maxSize + 1, '\0');
        size_t got = 0;
        for (;;) {
            ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
            if (got == bytes.size()) break;
        }
        if (got <= maxSize) {
            bytes.resize(got);
            text = std::move(bytes);
        }
    }
    ::close(fd);
    return text;
}

bool BindOwnerOnly(int fd, const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ::fchmod(fd, 0600);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return false;
    }
    return ::chmod(path.c_str(), 0600) == 0;
}

void TraceRuntimeOnce(const std::string& message) {
    static std::mutex mutex;
    static std::set<std::string> told;
    std::lock_guard lock(mutex);
    if (told.size() > 64 || !told.insert(message).second) return;
    std::fprintf(stderr, "satview: %s\n", message.c_str());
}

}  // namespace platform
