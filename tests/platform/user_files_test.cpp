#include "platform/user_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/files.h"
#include "platform/paths.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using platform::UserFilePath;

namespace {

// An installed program directory and one user's home, with the XDG variables pointing into it;
// the variables are put back afterwards.
class UserFiles : public testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        program_.Write("config/ConfigFile.xml", "<installed/>");
        program_.Write("Runinfo.ini", "[language]\nactive=_en-us\n");
        program_.Write("plugins.xml", "<plugins/>");
        program_.Write("config/PluginsConfig.xml", "<rules/>");
        fs::create_directories(program_ / "Log");
        UseHome(home_.path());
    }
    void TearDown() override {
        for (auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    void UseHome(const std::string& home) {
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/cfg").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (home + "/state").c_str(), 1);
    }
    void MarkInstalled() { program_.Write(platform::kPerUserMarker, ""); }
    std::string Read(const std::string& path) {
        return platform::ReadWholeFile(path).value_or("?");
    }

    testing_support::TempDir program_, home_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(UserFiles, BesideAWritableProgramEverythingStaysInIt) {
    EXPECT_FALSE(platform::FilesArePerUser(program_.path()));
    EXPECT_EQ(UserFilePath(program_.path(), "config/ConfigFile.xml"),
              program_ / "config/ConfigFile.xml");
    EXPECT_EQ(UserFilePath(program_.path(), "RunInfo.ini"), program_ / "Runinfo.ini");
    EXPECT_EQ(UserFilePath(program_.path(), "Log"), program_ / "Log");
    EXPECT_TRUE(fs::is_empty(home_.path()));
}

TEST_F(UserFiles, InstalledDefaultsAreCopiedOnFirstUseToTheSettingsOrStateFolder) {
    MarkInstalled();
    ASSERT_TRUE(platform::FilesArePerUser(program_.path()));
    struct Case {
        const char* asked;
        std::string expected;
        const char* content;
    } cases[] = {
        {"config/ConfigFile.xml", home_ / "cfg/satview/config/ConfigFile.xml", "<installed/>"},
        {"RUNINFO.INI", home_ / "cfg/satview/Runinfo.ini", "[language]\nactive=_en-us\n"},
        {"Runinfo.ini", home_ / "cfg/satview/Runinfo.ini", "[language]\nactive=_en-us\n"},
        {"plugins.xml", home_ / "state/satview/plugins.xml", "<plugins/>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        EXPECT_EQ(UserFilePath(program_.path(), c.asked), c.expected);
        EXPECT_EQ(Read(c.expected), c.content);
    }
    // A folder is created empty; a file with no installed default gets its folder only.
    EXPECT_EQ(UserFilePath(program_.path(), "Log"), home_ / "state/satview/Log");
    EXPECT_TRUE(fs::is_directory(home_ / "state/satview/Log"));
    EXPECT_EQ(UserFilePath(program_.path(), "userdata/localdeviceinfo.xml"),
              home_ / "state/satview/userdata/localdeviceinfo.xml");
    EXPECT_TRUE(fs::is_directory(home_ / "state/satview/userdata"));
    EXPECT_FALSE(fs::exists(home_ / "state/satview/userdata/localdeviceinfo.xml"));
    // The copy is the user's own: writable by its owner, and the installed file is untouched.
    struct stat st;
    ASSERT_EQ(::stat((home_ / "cfg/satview/config/ConfigFile.xml").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
    EXPECT_EQ(Read(program_ / "config/ConfigFile.xml"), "<installed/>");
}

TEST_F(UserFiles, TheUsersCopyIsNeverReplacedByTheDefault) {
    MarkInstalled();
    std::string own = UserFilePath(program_.path(), "config/ConfigFile.xml");
    ASSERT_TRUE(platform::WriteFileAtomic(own, "<mine/>"));
    program_.Write("config/ConfigFile.xml", "<newer default/>");
    EXPECT_EQ(UserFilePath(program_.path(), "config/configfile.xml"), own);
    EXPECT_EQ(Read(own), "<mine/>");
}

TEST_F(UserFiles, TwoUsersNeverShareAFile) {
    MarkInstalled();
    testing_support::TempDir other;
    std::string first = UserFilePath(program_.path(), "Runinfo.ini");
    ASSERT_TRUE(platform::WriteFileAtomic(first, "[language]\nactive=_ja\n"));

    UseHome(other.path());
    std::string second = UserFilePath(program_.path(), "Runinfo.ini");
    EXPECT_EQ(second, other / "cfg/satview/Runinfo.ini");
    EXPECT_EQ(Read(second), "[language]\nactive=_en-us\n");

    // Relative or empty XDG variables are not used: the home folder's defaults are.
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    ::setenv("XDG_STATE_HOME", "", 1);
    EXPECT_EQ(UserFilePath(program_.path(), "Runinfo.ini"), other / ".config/satview/Runinfo.ini");
    EXPECT_EQ(UserFilePath(program_.path(), "Log"), other / ".local/state/satview/Log");
}

TEST_F(UserFiles, APerUserFileBelongsToTheRunningProgram) {
    MarkInstalled();
    std::string list = UserFilePath(program_.path(), "plugins.xml");
    EXPECT_EQ(platform::ProgramDirectoryOf(list), platform::ProgramDirectory());
    EXPECT_EQ(platform::ProgramDirectoryOf(home_ / "cfg/satview/config/ConfigFile.xml"),
              platform::ProgramDirectory());
    EXPECT_EQ(platform::ProgramDirectoryOf(program_ / "plugins.xml"), program_.path());
    EXPECT_EQ(platform::ProgramDirectoryOf(home_ / "cfg/satview-other/plugins.xml"),
              home_ / "cfg/satview-other");
}

TEST_F(UserFiles, CopiesOfAReadOnlyInstalledTreeAreTheUsersToSave) {
    MarkInstalled();
    for (const char* file : {"config/ConfigFile.xml", "Runinfo.ini", "plugins.xml"}) {
        ::chmod((program_ / file).c_str(), 0444);
    }
    // An earlier version left this user's plug-in list read-only.
    std::string list = home_ / "state/satview/plugins.xml";
    fs::create_directories(home_ / "state/satview");
    ASSERT_TRUE(platform::WriteFileAtomic(list, "<earlier/>"));
    ::chmod(list.c_str(), 0444);

    for (const char* file : {"config/ConfigFile.xml", "Runinfo.ini", "plugins.xml"}) {
        SCOPED_TRACE(file);
        std::string own = UserFilePath(program_.path(), file);
        EXPECT_FALSE(platform::IsReadOnly(own));
        ASSERT_TRUE(platform::WriteFileAtomic(own, std::string("<saved ") + file + "/>"));
        // What the next start reads.
        EXPECT_EQ(Read(UserFilePath(program_.path(), file)), std::string("<saved ") + file + "/>");
        EXPECT_TRUE(platform::IsReadOnly(program_ / file)) << "the installed file stays as it is";
    }
    EXPECT_EQ(Read(program_ / "config/ConfigFile.xml"), "<installed/>");
}

TEST_F(UserFiles, LeftoverTemporariesOfKilledWritesGoOnlyFromTheWritersFolders) {
    struct Case {
        const char* name;
        bool removed;
    } cases[] = {
        {"cfg/satview/Runinfo.ini.newAb3dE9", true},
        {"cfg/satview/config/ConfigFile.xml.new0a1B2c", true},
        {"cfg/satview/SysSetting.xml.tmpZZ09aa", true},  // an earlier version's writer
        {"state/satview/plugins.xml.newQwErTy", true},
        {"state/satview/userdata/localdeviceinfo.xml.new123456", true},
        {"cfg/satview/Runinfo.ini.newAb3d", false},    // not six characters
        {"cfg/satview/Runinfo.ini.new-b3dE9", false},  // not the writer's letters
        {"cfg/satview/.newAb3dE9", false},             // not after a name
        {"cfg/satview/notes.new", false},
        {"cfg/satview/Runinfo.ini", false},
        {"state/satview/Log/trace.log.newAb3dE9", false},  // no writer of these saves there
        {"cfg/other/Runinfo.ini.newAb3dE9", false},        // another program's folder
    };
    MarkInstalled();
    for (const Case& c : cases) home_.Write(c.name, "x");
    // A link of that name is not followed, nor removed.
    fs::create_symlink(home_ / "cfg/satview/Runinfo.ini", home_ / "cfg/satview/link.xml.newAAAAAA");

    EXPECT_EQ(platform::RemoveLeftoverSaves(program_.path()), 5);
    for (const Case& c : cases) {
        EXPECT_EQ(fs::exists(home_ / c.name), !c.removed) << c.name;
    }
    EXPECT_TRUE(fs::is_symlink(home_ / "cfg/satview/link.xml.newAAAAAA"));
    EXPECT_EQ(Read(home_ / "cfg/satview/Runinfo.ini"), "x");

    // Files beside the program: its own folders are the writers'.
    testing_support::TempDir beside;
    beside.Write("Runinfo.ini.newAb3dE9", "x");
    beside.Write("config/ConfigFile.xml.newAb3dE9", "x");
    beside.Write("Plugins/Orbitpane/a.lang.newAb3dE9", "x");
    EXPECT_EQ(platform::RemoveLeftoverSaves(beside.path()), 2);
    EXPECT_TRUE(fs::exists(beside / "Plugins/Orbitpane/a.lang.newAb3dE9"));
}

TEST_F(UserFiles, AProgramDirectoryTheUserCannotWriteIsPerUser) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
    ::chmod(program_.path().c_str(), 0555);
    bool perUser = platform::FilesArePerUser(program_.path());
    std::string path = UserFilePath(program_.path(), "config/ConfigFile.xml");
    ::chmod(program_.path().c_str(), 0755);
    EXPECT_TRUE(perUser);
    EXPECT_EQ(path, home_ / "cfg/satview/config/ConfigFile.xml");
}

}  // namespace
