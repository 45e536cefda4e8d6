#include "platform/access/account_access.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {
namespace {

// An ACL read from `path`, freed with it.
class Acl {
  public:
    explicit Acl(acl_t acl) : acl_(acl) {}
    ~Acl() {
        if (acl_) acl_free(acl_);
    }
    Acl(const Acl&) = delete;
    Acl& operator=(const Acl&) = delete;
    acl_t& get() { return acl_; }
    explicit operator bool() const { return acl_ != nullptr; }

  private:
    acl_t acl_;
};

bool Fail(std::string* why, const std::string& what, const std::string& path) {
    if (why) *why = what + " " + path + ": " + std::strerror(errno);
    return false;
}

// The entry of the named user `uid`, or null.
acl_entry_t FindUser(acl_t acl, uint32_t uid) {
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1;
         which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(entry, &tag) != 0 || tag != ACL_USER) continue;
        auto* qualifier = static_cast<uid_t*>(acl_get_qualifier(entry));
        bool same = qualifier && *qualifier == uid;
        if (qualifier) acl_free(qualifier);
        if (same) return entry;
    }
    return nullptr;
}

unsigned PermsOf(acl_entry_t entry) {
    acl_permset_t set;
    if (acl_get_permset(entry, &set) != 0) return 0;
    return (acl_get_perm(set, ACL_READ) == 1 ? 4u : 0u) |
           (acl_get_perm(set, ACL_WRITE) == 1 ? 2u : 0u) |
           (acl_get_perm(set, ACL_EXECUTE) == 1 ? 1u : 0u);
}

// Whether the ACL still holds an entry of a named user or group.
bool HasNamedEntries(acl_t acl) {
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1;
         which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(entry, &tag) == 0 && (tag == ACL_USER || tag == ACL_GROUP)) {
            return true;
        }
    }
    return false;
}

// The file itself, never what a link names: ACLs are read and set through its descriptor.
int OpenNoFollow(const std::string& path) {
    return ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
}

// acl_get_fd and acl_set_fd do not take an O_PATH descriptor; its /proc name does the same
// without following a link that replaced the file meanwhile.
std::string ProcName(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

std::optional<uint32_t> AccountUid(const std::string& name) {
    std::vector<char> buffer(16384);
    passwd entry{}, *found = nullptr;
    if (::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
        return std::nullopt;
    }
    return found->pw_uid;
}

bool GrantAccount(const std::string& path, uint32_t uid, AccountRight right, std::string* why) {
    int fd = OpenNoFollow(path);
    if (fd < 0) return Fail(why, "cannot open", path);
    const std::string name = ProcName(fd);
    Acl acl(acl_get_file(name.c_str(), ACL_TYPE_ACCESS));
    bool ok = static_cast<bool>(acl);
    if (!ok) Fail(why, "cannot read the ACL of", path);
    acl_entry_t entry = ok ? FindUser(acl.get(), uid) : nullptr;
    if (ok && !entry) {
        ok = acl_create_entry(&acl.get(), &entry) == 0 && acl_set_tag_type(entry, ACL_USER) == 0 &&
             acl_set_qualifier(entry, &uid) == 0;
        if (!ok) Fail(why, "cannot make an ACL entry for", path);
    }
    if (ok) {
        acl_permset_t set;
        ok = acl_get_permset(entry, &set) == 0 && acl_clear_perms(set) == 0;
        if (ok && right == AccountRight::Search) ok = acl_add_perm(set, ACL_EXECUTE) == 0;
        if (ok && right == AccountRight::ReadWrite) {
            ok = acl_add_perm(set, ACL_READ) == 0 && acl_add_perm(set, ACL_WRITE) == 0;
        }
        ok = ok && acl_set_permset(entry, set) == 0 && acl_calc_mask(&acl.get()) == 0;
        if (!ok) Fail(why, "cannot make an ACL entry for", path);
    }
    if (ok && acl_set_file(name.c_str(), ACL_TYPE_ACCESS, acl.get()) != 0) {
        ok = Fail(why, "cannot set the ACL of", path);
    }
    ::close(fd);
    return ok;
}

bool RevokeAccount(const std::string& path, uint32_t uid, std::string* why) {
    int fd = OpenNoFollow(path);
    if (fd < 0) return errno == ENOENT || Fail(why, "cannot open", path);
    const std::string name = ProcName(fd);
    Acl acl(acl_get_file(name.c_str(), ACL_TYPE_ACCESS));
    bool ok = static_cast<bool>(acl);
    if (!ok) Fail(why, "cannot read the ACL of", path);
    acl_entry_t entry = ok ? FindUser(acl.get(), uid) : nullptr;
    if (entry) {
        ok = acl_delete_entry(acl.get(), entry) == 0;
        // Without named entries the mask goes too: the group bits are the group's again.
        if (ok && !HasNamedEntries(acl.get())) {
            acl_entry_t mask;
            for (int which = ACL_FIRST_ENTRY; ok && acl_get_entry(acl.get(), which, &mask) == 1;
                 which = ACL_NEXT_ENTRY) {
                acl_tag_t tag;
                if (acl_get_tag_type(mask, &tag) == 0 && tag == ACL_MASK) {
                    ok = acl_delete_entry(acl.get(), mask) == 0;
                    break;
                }
            }
        } else if (ok) {
            ok = acl_calc_mask(&acl.get()) == 0;
        }
        if (!ok) {
            Fail(why, "cannot take the ACL entry from", path);
        } else if (acl_set_file(name.c_str(), ACL_TYPE_ACCESS, acl.get()) != 0) {
            ok = Fail(why, "cannot set the ACL of", path);
        }
    }
    ::close(fd);
    return ok;
}

std::vector<std::string> FoldersToPass(const std::string& path) {
    std::vector<std::string> folders;
    std::string folder = path;
    for (int level = 0; level < 2; ++level) {
        size_t cut = folder.find_last_of('/');
        if (cut == std::string::npos || cut == 0) break;
        folder.resize(cut);
        struct stat st;
        if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (st.st_uid == ::geteuid() && (st.st_mode & S_IXOTH) == 0) folders.push_back(folder);
    }
    return folders;
}

std::optional<unsigned> AccountEntry(const std::string& path, uint32_t uid) {
    int fd = OpenNoFollow(path);
    if (fd < 0) return std::nullopt;
    Acl acl(acl_get_file(ProcName(fd).c_str(), ACL_TYPE_ACCESS));
    ::close(fd);
    if (!acl) return std::nullopt;
    acl_entry_t entry = FindUser(acl.get(), uid);
    if (!entry) return std::nullopt;
    unsigned perms = PermsOf(entry);
    acl_entry_t mask;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl.get(), which, &mask) == 1;
         which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(mask, &tag) == 0 && tag == ACL_MASK) perms &= PermsOf(mask);
    }
    return perms;
}

}  // namespace platform
