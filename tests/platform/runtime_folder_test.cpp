// The runtime folder: what another user could have planted is refused, never followed; a
// folder made here is 0700 whatever the umask; an unusable XDG_RUNTIME_DIR falls back to a
// checked folder instead of dropping the single-instance lock; sockets are owner-only.
#include "platform/runtime_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/single_instance.h"
#include "temp_dir.h"

namespace {

using platform::InstanceLock;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(RuntimeFolder, PlantedFoldersAreRefusedAndNewOnesArePrivate) {
    testing_support::TempDir dir;
    std::string own = dir / "own";
    ::mkdir(own.c_str(), 0700);
    // {what is there, umask, what the refusal says (empty: accepted)}
    const std::tuple<const char*, mode_t, const char*> cases[] = {
        {"", 0, ""},
        {"", 0777, ""},
        {"0700", 022, ""},
        {"0777", 022, "mode 0777"},
        // Search for the group class is what an ACL entry giving one account search shows.
        {"0710", 022, ""},
        {"0750", 022, "mode 0750"},
        {"0730", 022, "mode 0730"},
        {"0701", 022, "mode 0701"},
        {"other", 022, "belongs to user 4242"},
        {"link", 022, "symbolic link"},
        {"file", 022, "not a directory"},
    };
    int n = 0;
    for (auto [planted, mask, refusal] : cases) {
        std::string name = std::to_string(n++), path = dir / name, kind = planted, why;
        if (kind[0] == '0' || kind == "other") ::mkdir(path.c_str(), 0700);
        if (kind[0] == '0') ::chmod(path.c_str(), std::stoi(kind, nullptr, 8));
        if (kind == "other") ASSERT_EQ(::chown(path.c_str(), 4242, 4242), 0);
        if (kind == "link") ::symlink(own.c_str(), path.c_str());
        if (kind == "file") dir.Write(name, "");
        mode_t saved = ::umask(mask);
        bool ok = platform::MakeOwnFolder(path, platform::FolderAccess::Private, &why);
        ::umask(saved);
        EXPECT_EQ(ok, !*refusal) << planted << ": " << why;
        EXPECT_NE(why.find(refusal), std::string::npos) << planted << ": " << why;
        if (ok) EXPECT_EQ(ModeOf(path), kind == "0710" ? 0710u : 0700u) << planted;
    }
}

TEST(RuntimeFolder, UnusableXdgRuntimeDirFallsBackAndNothingPlantedIsFollowed) {
    testing_support::TempDir dir;
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    std::string saved = old ? old : "", open = dir / "open", good = dir / "good";
    ::mkdir(open.c_str(), 0777);
    ::chmod(open.c_str(), 0777);
    ::mkdir(good.c_str(), 0700);
    InstanceLock::Outcome outcome;
    for (std::string runtime : {dir / "missing", open, dir.Write("file", "")}) {
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        EXPECT_EQ(platform::RuntimeDirectoryPath(), "/tmp/satview-" + std::to_string(::geteuid()));
        EXPECT_TRUE(InstanceLock::Acquire("satview-runtime-test", outcome)) << runtime;
    }

    // A usable one is taken; a link planted as its "satview" is refused, lock and all.
    ::setenv("XDG_RUNTIME_DIR", good.c_str(), 1);
    ::symlink(open.c_str(), (good + "/satview").c_str());
    EXPECT_FALSE(InstanceLock::Acquire("satview-runtime-test", outcome));
    EXPECT_EQ(outcome, InstanceLock::Outcome::Failed);
    EXPECT_FALSE(platform::FileExists(open + "/satview-runtime-test.lock"));

    // Made afresh under umask 0: the folder 0700, the lock seen from outside, the socket 0600.
    ::unlink((good + "/satview").c_str());
    mode_t mask = ::umask(0);
    auto lock = InstanceLock::Acquire("satview-runtime-test", outcome);
    auto listener = platform::RaiseListener::Start("satview-runtime-test", [] {});
    ::umask(mask);
    EXPECT_EQ(ModeOf(good + "/satview"), 0700u);
    EXPECT_TRUE(platform::InstanceLockHeld("satview-runtime-test"));
    lock.reset();
    EXPECT_FALSE(platform::InstanceLockHeld("satview-runtime-test"));
    EXPECT_EQ(ModeOf(good + "/satview/satview-runtime-test.sock"), 0600u);
    old ? ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
