// The launcher as scripts and the desktop see it: its exit status after each way its run can
// end, the built program copied into a program directory of each setup.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "Startup/Win32/startupapp.h"
#include "platform/files.h"
#include "platform/single_instance.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

// Runs `program` with a home and runtime folder below `home`, on the headless kit; its exit
// status (-1 when it did not end by itself within a minute).
int RunLauncher(const std::string& program, const testing_support::TempDir& home) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("HOME", home.path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
        ::setenv("SATVIEW_UI", "headless", 1);
        // The status is the launcher's own, not the leak checker's.
        ::setenv("ASAN_OPTIONS", "detect_leaks=0:detect_odr_violation=0", 1);
        ::execl(program.c_str(), program.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    for (int i = 0; i < 6000; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

// A program directory at `dir` holding the launcher and `list` as its plug-in list (none when
// empty).
std::string InstallLauncher(const std::string& dir, const std::string& list) {
    fs::create_directories(dir);
    fs::copy_file(STARTUP_PATH, dir + "/Startup", fs::copy_options::overwrite_existing);
    if (!list.empty()) platform::WriteFileAtomic(dir + "/plugins.xml", list);
    return dir + "/Startup";
}

std::string MainFrameAt(const std::string& url) {
    return "<main><mainplugin>M</mainplugin><plugin><clsid>M</clsid><url>" + url +
           "</url></plugin></main>";
}

TEST(LauncherExitStatus, NonZeroOnEveryFailureZeroForANormalEndOrAHandOver) {
    testing_support::TempDir work;
    std::string frame = work.Write("frame.sh", "#!/bin/sh\ntouch \"$0.started\"\n");
    fs::permissions(frame, fs::perms::owner_all);
    std::string deep = work.path();
    while (deep.size() < 240) deep += "/" + std::string(40, 'd');
    deep = deep.substr(0, 250);  // the launcher's path fits, its plug-in list's does not

    struct Case {
        const char* name;
        std::string folder;
        std::string list;
        int status;
    } cases[] = {
        {"no plug-in list", work / "none", "", CStartupApp::kFailureExitCode},
        {"no main frame listed", work / "unlisted",
         "<main><plugin><clsid>X</clsid><url>x.so</url></plugin></main>",
         CStartupApp::kFailureExitCode},
        {"main frame without URL", work / "nourl",
         "<main><mainplugin>M</mainplugin><plugin><clsid>X</clsid><url>x.so</url></plugin></main>",
         CStartupApp::kFailureExitCode},
        {"main frame URL without suffix", work / "nodot", MainFrameAt("frame"),
         CStartupApp::kFailureExitCode},
        {"main frame library missing", work / "nolib", MainFrameAt(work / "missing/Frame.so"),
         CStartupApp::kFailureExitCode},
        {"main frame program missing", work / "noprog", MainFrameAt(work / "missing/frame.sh"),
         CStartupApp::kFailureExitCode},
        {"configuration path too long", deep, MainFrameAt(frame), CStartupApp::kFailureExitCode},
        {"main frame program started", work / "normal", MainFrameAt(frame), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::TempDir home;
        fs::create_directories(home / "run");
        EXPECT_EQ(RunLauncher(InstallLauncher(c.folder, c.list), home), c.status);
    }
    for (int i = 0; i < 200 && !fs::exists(frame + ".started"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(fs::exists(frame + ".started"));

    // A second instance hands over to the running one and ends well, even where it would fail.
    testing_support::TempDir home;
    fs::create_directories(home / "run");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string saved = runtime ? runtime : "";
    ::setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
    platform::InstanceLock::Outcome outcome;
    auto first = platform::InstanceLock::Acquire(launcher::kInstanceName, outcome);
    runtime ? ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
    ASSERT_EQ(outcome, platform::InstanceLock::Outcome::Acquired);
    EXPECT_EQ(RunLauncher(InstallLauncher(work / "second", ""), home), 0);
}

}  // namespace
