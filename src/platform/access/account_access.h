// Access for one other account to files and folders of this user, through entries of their
// POSIX access ACLs (libacl): the desktop's location service, which runs as an account of its
// own, reaching one socket of ours. Only the entry of that account is ever added or removed;
// the owner's, group's and others' permissions stay as they are (the ACL's mask is worked out
// again, so the group bits that `ls -l` shows become the mask).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The user id of the account `name`; nothing when there is no such account.
std::optional<uint32_t> AccountUid(const std::string& name);

enum class AccountRight {
    Search,     // a folder: reach the names inside it, without listing or changing it
    ReadWrite,  // a file or socket: read it and write it (connecting to a socket is a write)
};

// Gives the account `uid` `right` on `path` (not through a link), replacing an entry it had.
// False with the reason in `why`.
bool GrantAccount(const std::string& path, uint32_t uid, AccountRight right,
                  std::string* why = nullptr);

// Takes the entry of the account `uid` from `path`'s ACL; an ACL left with no named entry
// becomes the plain mode again. True when there was nothing to take; false with the reason.
bool RevokeAccount(const std::string& path, uint32_t uid, std::string* why = nullptr);

// The folders an account must be given search on to reach `path`: the folder holding it and
// the one above that, each where it is this user's and others cannot pass through it already
// ($XDG_RUNTIME_DIR and Satview's folder in it; not /tmp).
std::vector<std::string> FoldersToPass(const std::string& path);

// The permissions (read 4, write 2, execute or search 1) that `path`'s ACL gives the account
// `uid` by an entry of its own, as the mask limits them; nothing without such an entry.
std::optional<unsigned> AccountEntry(const std::string& path, uint32_t uid);

}  // namespace platform
