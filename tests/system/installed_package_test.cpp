#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "child.h"
#include "platform/files.h"
#include "platform/text.h"
#include "temp_dir.h"
#include "tmux_session.h"

namespace fs = std::filesystem;
using system_test::Child;
using system_test::Shell;

namespace {

// The .debs made from this build: satview unpacked alone into a temporary root (no window
// back end, as on a machine without a display), satview-gtk into another; run as a user with
// a home of their own.
class InstalledPackage : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = new testing_support::TempDir;
        // One set of packages for every test process of this build, made again when a file
        // of the program directory is newer than they are.
        const std::string out = PACKAGE_DIR;
        fs::create_directories(out);
        status_ = Shell(
            "cd " + out + " && flock .lock sh -c 'deb=$(ls satview_*.deb 2>/dev/null); " +
            "[ -n \"$deb\" ] && [ -z \"$(find " PROGRAM_DIR " -newer $deb -print -quit)\" ] " +
            "|| { rm -f *.deb; \"" CPACK_COMMAND "\" --config \"" CPACK_CONFIG "\" -G DEB -B " +
            out + " >cpack.log 2>&1; }'");
        for (const fs::directory_entry& e : fs::directory_iterator(out)) {
            const std::string name = e.path().filename().string();
            if (name.starts_with("satview_") && name.ends_with(".deb")) deb_ = e.path().string();
            if (name.starts_with("satview-gtk_") && name.ends_with(".deb")) {
                gtkDeb_ = e.path().string();
            }
        }
        if (!deb_.empty()) status_ += Shell("dpkg-deb -x " + deb_ + " " + root_->path() + "/root");
        if (!gtkDeb_.empty()) {
            status_ += Shell("dpkg-deb -x " + gtkDeb_ + " " + root_->path() + "/gtk");
        }
    }
    static void TearDownTestSuite() { delete root_; }
    void SetUp() override {
        ASSERT_EQ(status_, 0) << platform::ReadWholeFile(PACKAGE_DIR "/cpack.log").value_or("");
        ASSERT_FALSE(deb_.empty());
        ASSERT_FALSE(gtkDeb_.empty());
    }
    static std::string Installed(const std::string& relative) {
        return *root_ / "root/usr/" + relative;
    }
    static std::string InstalledGtk(const std::string& relative) {
        return *root_ / "gtk/usr/" + relative;
    }
    static std::string Field(const std::string& deb, const std::string& name) {
        std::string file = *root_ / "field";
        Shell("dpkg-deb -f " + deb + " " + name + " >" + file);
        return platform::ReadWholeFile(file).value_or("");
    }
    // A shell command's standard output.
    static std::string Output(const std::string& line) {
        std::string file = *root_ / "output";
        Shell(line + " >" + file + " 2>&1");
        return platform::ReadWholeFile(file).value_or("");
    }
    // The environment of a user of the installed program: everything per user below `home`.
    static std::map<std::string, std::string> UserEnvironment(
        const testing_support::TempDir& home) {
        fs::create_directories(home / "run");
        return {
            {"HOME", home.path()},
            {"XDG_CONFIG_HOME", home / "config"},
            {"XDG_STATE_HOME", home / "state"},
            {"XDG_RUNTIME_DIR", home / "run"},
            {"SATVIEW_PORTS_DIR", home / "run/ports"},
        };
    }

    static testing_support::TempDir* root_;
    static std::string deb_, gtkDeb_;
    static int status_;
};
testing_support::TempDir* InstalledPackage::root_ = nullptr;
std::string InstalledPackage::deb_;
std::string InstalledPackage::gtkDeb_;
int InstalledPackage::status_ = -1;

TEST_F(InstalledPackage, DependsOnTheDebianPackagesOfItsLibrariesAndTheWindowOnTheRest) {
    std::string depends = Field(deb_, "Depends");
    for (const char* package : {"libc6", "libstdc++6", "xdg-utils"}) {
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
    }
    EXPECT_EQ(depends.find("satview"), std::string::npos) << "its own libraries are inside";
    std::string gtkDepends = Field(gtkDeb_, "Depends");
    EXPECT_EQ(gtkDepends.rfind("satview (= " + Field(deb_, "Version").substr(0, 5), 0), 0u)
        << gtkDepends;
#ifdef SATVIEW_WX_MODULE
    // The window back end is the only part that needs a graphical toolkit.
    for (const char* toolkit : {"libwx", "libgtk"}) {
        EXPECT_EQ(depends.find(toolkit), std::string::npos) << toolkit << " in " << depends;
    }
    EXPECT_NE(gtkDepends.find("libwxgtk3.2-1"), std::string::npos) << gtkDepends;
#endif
    // The private libraries need no ldconfig: neither package has maintainer scripts.
    for (const std::string& deb : {deb_, gtkDeb_}) {
        std::string control = Output("dpkg-deb --ctrl-tarfile " + deb + " | tar -t");
        EXPECT_EQ(control.find("postinst"), std::string::npos) << deb << control;
        EXPECT_EQ(control.find("postrm"), std::string::npos) << deb << control;
    }
}

TEST_F(InstalledPackage, LaysOutTheProgramDirectoryCommandsManualsDesktopEntryAndIcons) {
    for (const char* file :
         {"bin/satview", "bin/satview-cardsim", "bin/satview-udev-rules", "bin/satview-nmea",
          "bin/satview-geoclue", "lib/satview/.per-user-files", "lib/satview/Runinfo.ini",
          "lib/satview/config/ConfigFile.xml", "lib/satview/Plugins/Orbitpane/Orbitpane.so",
          "lib/satview/Plugins/Orbitpane/Orbitpane_ja.lang", "lib/satview/libsatview_ui.so",
          "share/doc/satview/copyright", "share/doc/satview/changelog.Debian.gz"}) {
        EXPECT_TRUE(fs::exists(Installed(file))) << file;
    }
    for (const char* file :
         {"share/applications/satview.desktop", "share/icons/hicolor/scalable/apps/satview.svg",
          "share/icons/hicolor/16x16/apps/satview.png",
          "share/icons/hicolor/48x48/apps/satview.png",
          "share/icons/hicolor/256x256/apps/satview.png", "share/doc/satview-gtk/copyright",
          "share/doc/satview-gtk/changelog.Debian.gz"}) {
        EXPECT_TRUE(fs::exists(InstalledGtk(file))) << file;
        EXPECT_FALSE(fs::exists(Installed(file))) << file << " belongs to satview-gtk only";
    }
    EXPECT_EQ(Shell("desktop-file-validate " + InstalledGtk("share/applications/satview.desktop")),
              0);
    // Installed libraries find each other in the program directory, wherever it lies.
    EXPECT_EQ(Shell("ldd " + Installed("lib/satview/Plugins/Orbitpane/Orbitpane.so") +
                    " | grep -q 'not found'"),
              1);
    // The changelog names each package at the version it has.
    for (const auto& [deb, doc] : {std::pair{deb_, Installed("share/doc/satview")},
                                   std::pair{gtkDeb_, InstalledGtk("share/doc/satview-gtk")}}) {
        std::string changelog = Output("zcat " + doc + "/changelog.Debian.gz");
        std::string head = Field(deb, "Package") + " (" + Field(deb, "Version") + ")";
        head.erase(std::remove(head.begin(), head.end(), '\n'), head.end());
        EXPECT_EQ(changelog.rfind(head, 0), 0u) << changelog;
    }
}

TEST_F(InstalledPackage, ManualPagesTellEachCommandsOptions) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> pages = {
        {"satview",
         {"GPS position", "\\-\\-terminal", "\\-\\-headless", "\\-\\-version", "SATVIEW_TRACE",
          "nmea.sock", "tracks", "F10", "ConfigFile.xml"}},
        {"satview-cardsim", {"simulated", "\\-\\-gps\\-type", "stand\\-alone GPS only"}},
        {"satview-udev-rules", {"ModemManager", "ID_MM_DEVICE_IGNORE", "udevadm"}},
        {"satview-nmea", {"gpsd", "\\-\\-gpx", "gnssid"}},
        {"satview-geoclue", {"GeoClue", "network\\-nmea", "nmea\\-socket"}},
    };
    for (const auto& [command, texts] : pages) {
        const std::string page = Installed("share/man/man1/" + command + ".1.gz");
        ASSERT_TRUE(fs::exists(page)) << page;
        std::string text = Output("zcat " + page);
        std::string title = ".TH " + command;
        std::transform(title.begin(), title.end(), title.begin(), ::toupper);
        EXPECT_NE(text.find(title), std::string::npos) << text;
        for (const std::string& expected : texts) {
            EXPECT_NE(text.find(expected), std::string::npos) << command << ": " << expected;
        }
    }
}

TEST_F(InstalledPackage, AloneRunsInTheTerminalOnTheSimulatedCard) {
    if (!testing_support::TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    testing_support::TempDir home;
    std::map<std::string, std::string> env = UserEnvironment(home);
    Child card({Installed("bin/satview-cardsim"), "--ready-after", "0"}, env, home / "card.log");
    ASSERT_TRUE(system_test::WaitUntil([&] {
        return card.Output().find("control socket") != std::string::npos;
    })) << card.Output();
    std::string line = "env";
    for (const auto& [name, value] : env) line += " " + name + "=" + value;
    // In a terminal, as over SSH.
    testing_support::TmuxSession terminal(
        line + " TERM=xterm-256color " + Installed("bin/satview") + " --terminal", 100, 30);
    bool shown = false;
    for (int i = 0; i < 6 && !shown; ++i) shown = terminal.WaitForText(L"(COM");
    const std::wstring screen = terminal.Screen();
    terminal.Keys("C-c");
    ASSERT_TRUE(shown) << platform::WideToUtf8(screen);
    EXPECT_NE(screen.find(L"Satellites"), std::wstring::npos) << platform::WideToUtf8(screen);
    EXPECT_TRUE(system_test::WaitUntil([&] { return terminal.Variable("pane_dead") == "1"; }, 10));
}

TEST_F(InstalledPackage, RunsHeadlessOnTheSimulatedCardWithItsFilesPerUser) {
    const std::string program = Installed("lib/satview");
    if (!fs::exists(program + "/Startup") || !fs::exists(program + "/satview-cardsim")) {
        GTEST_SKIP() << "the launcher or the simulated card is not built";
    }
    auto listing = [&] {
        std::set<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(program)) {
            files.insert(e.path().string() + " " +
                         std::to_string(e.is_regular_file() ? fs::file_size(e.path()) : 0));
        }
        return files;
    };
    // Installed read-only, as a package's files are: the user's copies must still save.
    ASSERT_EQ(Shell("chmod -R a-w " + program), 0);
    const std::set<std::string> before = listing();
    testing_support::TempDir home;
    std::map<std::string, std::string> env = UserEnvironment(home);
    env["SATVIEW_UI"] = "headless";
    Child card({Installed("bin/satview-cardsim"), "--ready-after", "0"}, env, home / "card.log");
    ASSERT_TRUE(system_test::WaitUntil([&] {
        return card.Output().find("control socket") != std::string::npos;
    })) << card.Output();
    Child satview({Installed("bin/satview"), "--headless"}, env, home / "satview.log");

    // The launcher chose the card and wrote its plug-in list, with the GPS plug-in, per user.
    const std::string list = home / "state/satview/plugins.xml";
    bool listed = system_test::WaitUntil([&] {
        return platform::ReadWholeFile(list).value_or("").find("Orbitpane") != std::string::npos;
    });
    // The GPS dialog reads the language and its settings once it is up.
    system_test::WaitUntil(
        [&] {
            return fs::exists(home / "config/satview/Runinfo.ini") &&
                   fs::exists(home / "config/satview/config/ConfigFile.xml");
        },
        10);
    bool running = satview.Running();
    satview.Stop();
    ASSERT_TRUE(listed) << satview.Output();
    EXPECT_TRUE(running) << satview.Output();
    for (const char* file : {"config/satview/Runinfo.ini", "config/satview/SysSetting.xml",
                             "state/satview/userdata/localdeviceinfo.xml"}) {
        EXPECT_TRUE(fs::exists(home / file)) << file;
    }
    EXPECT_FALSE(fs::is_empty(home / "state/satview/Log"));
    // The card's name was saved in the user's copy of the settings, which stays theirs.
    std::string settings = home / "config/satview/SysSetting.xml";
    std::string saved = platform::ReadWholeFile(settings).value_or("");
    EXPECT_EQ(saved.find("\"></devicename>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("</devicename>"), std::string::npos) << saved;
    EXPECT_FALSE(platform::IsReadOnly(settings));
    // Nothing was written into the installed program directory.
    EXPECT_EQ(listing(), before);
    Shell("chmod -R u+w " + program);
}

}  // namespace
