// The runtime folder: what another user could have planted is refused, never followed; a
// folder made here is 0700 whatever the umask; an unusable XDG_RUNTIME_DIR falls back to a
// checked folder instead of dropping the single-instance lock; sockets are owner-only.
#include "platform/runtime_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "platform/files.h"
#include "platform/single_instance.h"
#include "temp_dir.h"

namespace {

using platform::FolderAccess;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Sets XDG_RUNTIME_DIR (or unsets it, for nullptr) and the umask until destroyed.
class Environment {
  public:
    Environment(const char* runtime, mode_t mask) : mask_(::umask(mask)) {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        saved_ = old ? std::optional<std::string>(old) : std::nullopt;
        runtime ? ::setenv("XDG_RUNTIME_DIR", runtime, 1) : ::unsetenv("XDG_RUNTIME_DIR");
    }
    ~Environment() {
        ::umask(mask_);
        saved_ ? ::setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
    }

  private:
    mode_t mask_;
    std::optional<std::string> saved_;
};

TEST(RuntimeFolder, PlantedFoldersAreRefusedAndNewOnesArePrivate) {
    testing_support::TempDir dir;
    std::string own = dir / "own";
    ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
    struct Case {
        const char* name;
        std::function<void(const std::string&)> plant;
        mode_t umask;
        const char* refusal;  // nullptr: accepted
    };
    const Case cases[] = {
        {"missing, umask 0", [](const std::string&) {}, 0, nullptr},
        {"missing, umask 0777", [](const std::string&) {}, 0777, nullptr},
        {"own 0700", [](const std::string& p) { ::mkdir(p.c_str(), 0700); }, 022, nullptr},
        {"mode 0777",
         [](const std::string& p) {
             ::mkdir(p.c_str(), 0700);
             ::chmod(p.c_str(), 0777);
         },
         022, "mode 0777"},
        {"mode 0750",
         [](const std::string& p) {
             ::mkdir(p.c_str(), 0700);
             ::chmod(p.c_str(), 0750);
         },
         022, "mode 0750"},
        {"another user's",
         [](const std::string& p) {
             ::mkdir(p.c_str(), 0700);
             ASSERT_EQ(::chown(p.c_str(), 4242, 4242), 0);
         },
         022, "belongs to user 4242"},
        {"link to an own folder", [&](const std::string& p) { ::symlink(own.c_str(), p.c_str()); },
         022, "symbolic link"},
        {"a file", [&](const std::string& p) { dir.Write(p.substr(dir.path().size() + 1), ""); },
         022, "not a directory"},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string path = dir / ("f" + std::to_string(n++));
        c.plant(path);
        Environment env(nullptr, c.umask);
        std::string why;
        bool ok = platform::MakeOwnFolder(path, FolderAccess::Private, &why);
        EXPECT_EQ(ok, c.refusal == nullptr) << c.name << ": " << why;
        if (c.refusal) {
            EXPECT_NE(why.find(c.refusal), std::string::npos) << c.name << ": " << why;
            EXPECT_NE(why.find(path), std::string::npos) << c.name << ": " << why;
        } else {
            EXPECT_EQ(ModeOf(path), 0700u) << c.name;
        }
    }
    // Readable by others is enough where only writing could plant something.
    ::chmod(own.c_str(), 0755);
    EXPECT_TRUE(platform::CheckOwnFolder(own, FolderAccess::NoOtherWriters));
    EXPECT_FALSE(platform::CheckOwnFolder(own, FolderAccess::Private));
}

TEST(RuntimeFolder, UnusableXdgRuntimeDirFallsBackAndKeepsTheLock) {
    testing_support::TempDir dir;
    std::string fallback = "/tmp/satview-" + std::to_string(::geteuid());
    std::string open = dir / "open";
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ::chmod(open.c_str(), 0777);
    for (std::string runtime : {dir / "missing", open, dir.Write("file", "")}) {
        Environment env(runtime.c_str(), 022);
        EXPECT_EQ(platform::RuntimeDirectoryPath(), fallback) << runtime;
        platform::InstanceLock::Outcome outcome;
        auto lock = platform::InstanceLock::Acquire("satview-runtime-test", outcome);
        EXPECT_EQ(outcome, platform::InstanceLock::Outcome::Acquired) << runtime;
    }

    // A usable one is taken; a "satview" planted in it is refused, and so is the lock.
    std::string good = dir / "good";
    ASSERT_EQ(::mkdir(good.c_str(), 0700), 0);
    Environment env(good.c_str(), 0);
    EXPECT_EQ(platform::RuntimeDirectoryPath(), good + "/satview");
    ASSERT_EQ(::symlink(open.c_str(), (good + "/satview").c_str()), 0);
    std::string why;
    EXPECT_EQ(platform::RuntimeDirectory(&why), "");
    EXPECT_NE(why.find("symbolic link"), std::string::npos) << why;
    platform::InstanceLock::Outcome outcome;
    EXPECT_FALSE(platform::InstanceLock::Acquire("satview-runtime-test", outcome));
    EXPECT_EQ(outcome, platform::InstanceLock::Outcome::Failed);
    EXPECT_FALSE(platform::FileExists(open + "/satview-runtime-test.lock")) << "link followed";

    // Made afresh under umask 0: the folder 0700, the lock seen from outside, the socket 0600.
    ::unlink((good + "/satview").c_str());
    auto lock = platform::InstanceLock::Acquire("satview-runtime-test", outcome);
    ASSERT_EQ(outcome, platform::InstanceLock::Outcome::Acquired);
    EXPECT_EQ(ModeOf(good + "/satview"), 0700u);
    EXPECT_TRUE(platform::InstanceLockHeld("satview-runtime-test"));
    lock.reset();
    EXPECT_FALSE(platform::InstanceLockHeld("satview-runtime-test"));
    auto listener = platform::RaiseListener::Start("satview-runtime-test", [] {});
    ASSERT_TRUE(listener);
    EXPECT_EQ(ModeOf(good + "/satview/satview-runtime-test.sock"), 0600u);
}

}  // namespace
