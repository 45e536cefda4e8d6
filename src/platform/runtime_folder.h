// The per-user runtime folder and the checks that keep it private: the single-instance lock
// and socket, the ports folder and the card simulator's control socket live there, so nothing
// in it may have been planted by another user.
#pragma once

#include <optional>
#include <string>

namespace platform {

// What a folder must deny everyone but its owner.
enum class FolderAccess {
    Private,         // group and others may not list or write it (0700; 0710 where an ACL
                     // lets one account search it); others have no access at all
    NoOtherWriters,  // group and others may read it, but nobody else can put a file in it
};

// True when `path` itself (not a symbolic link to it) is a directory owned by this user with
// `access`; otherwise false with the reason in `why` (when given).
bool CheckOwnFolder(const std::string& path, FolderAccess access, std::string* why = nullptr);
// The same check of the folder open as `fd` (opened with O_NOFOLLOW); `path` names it in `why`.
bool CheckOwnFolderFd(int fd, const std::string& path, FolderAccess access,
                      std::string* why = nullptr);

// Creates `path` (its parent must exist) with mode 0700 whatever the umask, or takes the
// folder that is there; then checks it as CheckOwnFolder does. False with the reason in `why`.
bool MakeOwnFolder(const std::string& path, FolderAccess access, std::string* why = nullptr);

// Where the runtime folder is: "$XDG_RUNTIME_DIR/satview" when XDG_RUNTIME_DIR names a
// directory of this user that nobody else can write, else /tmp/satview-<uid> (an unusable
// XDG_RUNTIME_DIR is traced). Nothing is created.
std::string RuntimeDirectoryPath();

// The runtime folder, created 0700 when missing and checked (owner, mode, no link); empty,
// with a trace and the reason in `why`, when it is refused.
std::string RuntimeDirectory(std::string* why = nullptr);

// Reads a small regular file without following a link and without blocking (a FIFO or a
// device planted in its place is refused at once). `dirFd` is a folder's descriptor or
// AT_FDCWD. Nothing when the file is missing, not a regular file or larger than `maxSize`.
std::optional<std::string> ReadSmallFileAt(int dirFd, const std::string& name, size_t maxSize);

// Binds the Unix socket `fd` to `path` so that only its owner may connect, whatever the
// umask: the mode is set on the socket before its file exists, and on the file once it does.
bool BindOwnerOnly(int fd, const std::string& path);

// Writes "satview: <message>" to stderr, once per message and process.
void TraceRuntimeOnce(const std::string& message);

}  // namespace platform
