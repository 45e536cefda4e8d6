// Start at log-on: the check box and the autostart entry below a private XDG_CONFIG_HOME.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "companion_fixture.h"
#include "platform/autostart.h"
#include "platform/ini.h"

using namespace orbitpane_test;

namespace {

class StartAtLogOn : public CompanionFixture {
  protected:
    std::string Folder() { return dir / "xdg/autostart"; }
    std::string Entry() { return Folder() + "/Satview.desktop"; }
    std::string Launcher() { return dir.path() + "/Startup"; }
    void WriteEntry(const std::string& body) {
        std::filesystem::create_directories(Folder());
        dir.Write("xdg/autostart/Satview.desktop",
                  "[Desktop Entry]\nType=Application\nName=Satview\n" + body);
    }
    // desktop-file-validate's verdict on the entry (its output when it complains).
    static std::string Validate(const std::string& path) {
        std::string command = "desktop-file-validate '" + path + "' 2>&1";
        std::string output;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) return "cannot run desktop-file-validate";
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        int status = ::pclose(pipe);
        return status == 0 ? std::string() : "failed: " + output;
    }
};

}  // namespace

TEST_F(StartAtLogOn, TheBoxShowsWhatTheEntrySaysAtStart) {
    const struct {
        const char* name;
        const char* entry;  // nullptr: no folder at all; "": a folder without entry
        bool checked;
        const char* trace;
    } cases[] = {
        {"no folder", nullptr, false, "Openning run automatically key failed!"},
        {"no entry", "", false, "Getting run automatically key failed!"},
        {"another program", "Exec=/usr/bin/other-tool --flag\n", true, nullptr},
        {"hidden", "Exec=/usr/bin/other-tool\nHidden=true\n", false,
         "Getting run automatically key failed!"},
        {"no Exec", "Terminal=false\n", false, "Getting run automatically key failed!"},
        {"expandable, this launcher", "Exec=@LAUNCHER@\nX-Satview-ValueType=REG_EXPAND_SZ\n", true,
         nullptr},
        {"expandable, another program", "Exec=/usr/bin/other\nX-Satview-ValueType=REG_EXPAND_SZ\n",
         false, nullptr},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(dir / "xdg");
        if (c.entry != nullptr) {
            std::string body = c.entry;
            if (auto at = body.find("@LAUNCHER@"); at != std::string::npos) {
                body.replace(at, 10, platform::DesktopExecValue(Launcher()));
            }
            if (body.empty()) {
                std::filesystem::create_directories(Folder());
            } else {
                WriteEntry(body);
            }
        }
        Open();
        EXPECT_EQ(user->Checked(gps::kAutoRun), c.checked) << c.name;
        std::string log = TraceLog();
        for (const char* message :
             {"Openning run automatically key failed!", "Getting run automatically key failed!"}) {
            bool expected = c.trace != nullptr && std::string(c.trace) == message;
            EXPECT_EQ(log.find(message) != std::string::npos, expected)
                << c.name << ": " << message;
        }
        dialog.reset();
        std::filesystem::remove(CZeltoTrace::LogFilePath());
    }
}

TEST_F(StartAtLogOn, CheckingWritesAValidEntryAndClearingRemovesIt) {
    Open();
    ASSERT_FALSE(std::filesystem::exists(Folder()));
    ASSERT_TRUE(user->SetChecked(gps::kAutoRun, true));
    ASSERT_TRUE(platform::FileExists(Entry())) << "the folder is created when missing";
    EXPECT_EQ(Validate(Entry()), "");
    platform::AutostartValue value;
    ASSERT_EQ(platform::ReadAutostart("Satview", value), platform::AutostartStatus::Ok);
    EXPECT_EQ(value.program, Launcher());
    EXPECT_EQ(value.type, "REG_SZ");
    // Once the program is removed, the desktop skips the entry instead of failing to start it.
    EXPECT_EQ(platform::IniReadString(Entry(), "Desktop Entry", "TryExec", ""), Launcher());

    ASSERT_TRUE(user->SetChecked(gps::kAutoRun, false));
    EXPECT_FALSE(platform::FileExists(Entry()));
    // Clearing again, with no entry left, succeeds without a trace.
    const size_t traced = TraceLog().size();
    EXPECT_TRUE(dialog->DisableAutoRun());
    EXPECT_EQ(TraceLog().size(), traced);
    ASSERT_TRUE(user->SetChecked(gps::kAutoRun, true));
    dialog.reset();
    Open();
    EXPECT_TRUE(user->Checked(gps::kAutoRun)) << "the next start sees the entry";
}

TEST_F(StartAtLogOn, ProgramPathsWithSpecialCharactersSurviveTheEntry) {
    Open();
    for (std::string path : {"/opt/sat view/Startup", "/opt/it's \"here\"/a$b`c\\d/Startup",
                             "/opt/100%/Startup", "/opt/\u5730\u56f3/Startup"}) {
        ASSERT_TRUE(dialog->EnableAutoRun(platform::Utf8ToWide(path))) << path;
        EXPECT_EQ(Validate(Entry()), "") << path;
        platform::AutostartValue value;
        ASSERT_EQ(platform::ReadAutostart("Satview", value), platform::AutostartStatus::Ok);
        EXPECT_EQ(value.program, path);
    }
}

TEST_F(StartAtLogOn, AFolderThatCannotBeMadeOrWrittenFailsWithItsTrace) {
    Open();
    // A file where the folder should be: it cannot be created.
    std::filesystem::create_directories(dir / "xdg");
    dir.Write("xdg/autostart", "not a folder");
    EXPECT_FALSE(dialog->EnableAutoRun(L"/opt/sat/Startup"));
    EXPECT_EQ(TraceCount("RegCreateKeyEx error!"), 1);
    EXPECT_FALSE(dialog->DisableAutoRun());

    // A read-only folder (the superuser writes anyway, so this half needs another user).
    if (::geteuid() == 0) return;
    std::filesystem::remove(dir / "xdg/autostart");
    std::filesystem::create_directories(Folder());
    ::chmod(Folder().c_str(), 0555);
    EXPECT_FALSE(dialog->EnableAutoRun(L"/opt/sat/Startup"));
    EXPECT_EQ(TraceCount("RegOpenKeyEx error!"), 1);
    ::chmod(Folder().c_str(), 0755);
}
