// Entries of other accounts in a file's or folder's access ACL: each grant and revocation
// touches its own account's entry alone, the mask follows, and an ACL left without named
// entries is the plain mode again.
#include "platform/access/account_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "temp_dir.h"

namespace {

using platform::AccountEntry;
using platform::AccountRight;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(AccountAccess, GrantsAndRevocationsTouchTheirOwnAccountsEntryAlone) {
    testing_support::TempDir dir;
    const std::string folder = dir / "folder", file = dir.Write("file", "");
    ::mkdir(folder.c_str(), 0700);
    ::chmod(file.c_str(), 0600);
    constexpr uint32_t a = 4242, b = 4243;
    std::string why;
    // Step by step: {path, account, grant (true) or revoke, a's entry, b's entry, mode}.
    struct Step {
        const std::string& path;
        uint32_t uid;
        bool grant;
        AccountRight right;
        std::optional<unsigned> aEntry, bEntry;
        mode_t mode;
    } steps[] = {
        {folder, a, true, AccountRight::Search, 1u, std::nullopt, 0710},
        {folder, b, true, AccountRight::ReadWrite, 1u, 6u, 0770},
        {folder, a, true, AccountRight::ReadWrite, 6u, 6u, 0760},  // replaced, not added
        {folder, b, false, AccountRight::Search, 6u, std::nullopt, 0760},
        {folder, b, false, AccountRight::Search, 6u, std::nullopt, 0760},  // nothing to take
        {folder, a, false, AccountRight::Search, std::nullopt, std::nullopt, 0700},
        {file, a, true, AccountRight::ReadWrite, 6u, std::nullopt, 0660},
        {file, a, false, AccountRight::ReadWrite, std::nullopt, std::nullopt, 0600},
    };
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE("step " + std::to_string(n++));
        bool ok = step.grant ? platform::GrantAccount(step.path, step.uid, step.right, &why)
                             : platform::RevokeAccount(step.path, step.uid, &why);
        EXPECT_TRUE(ok) << why;
        EXPECT_EQ(AccountEntry(step.path, a), step.aEntry);
        EXPECT_EQ(AccountEntry(step.path, b), step.bEntry);
        EXPECT_EQ(ModeOf(step.path), step.mode);
    }
    // A link is never followed, and what is missing is said.
    const std::string link = dir / "link";
    ::symlink(file.c_str(), link.c_str());
    EXPECT_FALSE(platform::GrantAccount(link, a, AccountRight::ReadWrite, &why));
    EXPECT_EQ(AccountEntry(file, a), std::nullopt);
    EXPECT_FALSE(platform::GrantAccount(dir / "missing", a, AccountRight::Search, &why));
    EXPECT_NE(why.find("missing"), std::string::npos) << why;
    EXPECT_TRUE(platform::RevokeAccount(dir / "missing", a, &why)) << "nothing to take";
}

TEST(AccountAccess, AccountsAreFoundByName) {
    EXPECT_EQ(platform::AccountUid("root"), 0u);
    EXPECT_EQ(platform::AccountUid("satview-no-such-account"), std::nullopt);
}

}  // namespace
