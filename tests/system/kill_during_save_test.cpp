#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <thread>

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/user_files.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

// Written whole by one save each.
const char* const kFiles[] = {"config/ConfigFile.xml", "plugins.xml"};

void Install(const std::string& dir) {
    fs::create_directories(dir + "/config");
    fs::copy_file(SATVIEW_DATA_DIR "/config/ConfigFile.xml", dir + "/config/ConfigFile.xml");
    fs::copy_file(SATVIEW_DATA_DIR "/Runinfo.ini", dir + "/Runinfo.ini");
}

int RunWriter(const std::string& dir, const char* mode, const char* version) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(SAVE_WRITER, SAVE_WRITER, dir.c_str(), mode, version, nullptr);
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts the writer looping from either version and kills it with SIGKILL once it has written
// every file and then up to three milliseconds more, in the middle of some write.
void KillWhileWriting(const std::string& dir, std::mt19937& random) {
    const char* first = random() % 2 ? "new" : "old";
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::execl(SAVE_WRITER, SAVE_WRITER, dir.c_str(), "loop", first, nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    char started = 0;
    ASSERT_EQ(::read(out[0], &started, 1), 1) << "the writer ended before writing";
    ::close(out[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
}

TEST(KillDuringSave, EveryFileIsEitherTheOldOrTheNewVersionNeverBroken) {
    testing_support::TempDir work;
    // The two versions of each file, as the writers produce them.
    std::map<std::string, std::set<std::string>> versions;
    for (const char* version : {"old", "new"}) {
        std::string dir = work / version;
        Install(dir);
        ASSERT_EQ(RunWriter(dir, "once", version), 0);
        for (const char* file : kFiles) {
            versions[file].insert(platform::ReadWholeFile(dir + "/" + file).value_or(""));
        }
    }
    for (const char* file : kFiles) ASSERT_EQ(versions[file].size(), 2u) << file;

    std::string dir = work / "killed";
    Install(dir);
    std::mt19937 random(17);
    std::map<std::string, int> seen;
    const int kKills = 200;
    for (int round = 0; round < kKills; ++round) {
        ASSERT_NO_FATAL_FAILURE(KillWhileWriting(dir, random));
        for (const char* file : kFiles) {
            std::string text = platform::ReadWholeFile(dir + "/" + file).value_or("<missing>");
            ASSERT_EQ(versions[file].count(text), 1u) << file << " after kill " << round << ":\n"
                                                      << text;
            ++seen[file + text];
        }
        // A language change writes its two keys one after the other: each key is whole, with
        // its old or its new value, and the rest of the file is kept.
        std::string ini = dir + "/Runinfo.ini";
        std::string active = platform::IniReadString(ini, "language", "active", "<missing>");
        std::string id = platform::IniReadString(ini, "language", "LangID", "<missing>");
        ASSERT_TRUE(active == "_en-us" || active == "_ja") << active << " after kill " << round;
        ASSERT_TRUE(id == "1033" || id == "1041") << id << " after kill " << round;
        ASSERT_EQ(platform::IniReadString(ini, "version", "version", ""), "0.1.0");
        ++seen["ini" + active + id];
    }
    // Both versions of each turned up, so the kills did land at different points of the saving.
    for (const char* file : kFiles) {
        for (const std::string& text : versions[file]) EXPECT_GT(seen[file + text], 0) << file;
    }
    EXPECT_GT(seen["ini_en-us1033"] + seen["ini_en-us1041"], 0);
    EXPECT_GT(seen["ini_ja1041"] + seen["ini_ja1033"], 0);

    // The kills left the writers' temporary files behind; the next start removes them all,
    // and only them.
    auto leftovers = [&] {
        int count = 0;
        for (const char* folder : {"", "/config"}) {
            for (const auto& e : fs::directory_iterator(dir + folder)) {
                count += platform::IsWriterTempName(e.path().filename().string());
            }
        }
        return count;
    };
    std::map<std::string, std::string> kept;
    for (const char* file : {"config/ConfigFile.xml", "plugins.xml", "Runinfo.ini"}) {
        kept[file] = platform::ReadWholeFile(dir + "/" + file).value_or("<missing>");
    }
    int left = leftovers();
    EXPECT_GT(left, 0);
    EXPECT_EQ(platform::RemoveLeftoverSaves(dir), left);
    EXPECT_EQ(leftovers(), 0);
    for (const auto& [file, text] : kept) {
        EXPECT_EQ(platform::ReadWholeFile(dir + "/" + file).value_or(""), text) << file;
    }
}

}  // namespace
