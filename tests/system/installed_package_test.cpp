#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "child.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using system_test::Child;
using system_test::Shell;

namespace {

// The .deb made from this build, unpacked into a temporary root, run as a user with a home of
// their own.
class InstalledPackage : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = new testing_support::TempDir;
        // One package for every test process of this build, made again when a file of the
        // program directory is newer than it.
        const std::string out = PACKAGE_DIR;
        fs::create_directories(out);
        status_ = Shell("cd " + out + " && flock .lock sh -c 'deb=$(ls *.deb 2>/dev/null); " +
                        "[ -n \"$deb\" ] && [ -z \"$(find " PROGRAM_DIR
                        " -newer $deb -print -quit)\" ] " +
                        "|| \"" CPACK_COMMAND "\" --config \"" CPACK_CONFIG "\" -G DEB -B " + out +
                        " >cpack.log 2>&1'");
        for (const fs::directory_entry& e : fs::directory_iterator(out)) {
            if (e.path().extension() == ".deb") deb_ = e.path().string();
        }
        if (!deb_.empty()) status_ += Shell("dpkg-deb -x " + deb_ + " " + root_->path() + "/root");
    }
    static void TearDownTestSuite() { delete root_; }
    void SetUp() override {
        ASSERT_EQ(status_, 0) << platform::ReadWholeFile(PACKAGE_DIR "/cpack.log").value_or("");
        ASSERT_FALSE(deb_.empty());
    }
    static std::string Installed(const std::string& relative) {
        return *root_ / "root/usr/" + relative;
    }
    static std::string Field(const std::string& name) {
        std::string file = *root_ / ("field-" + name);
        Shell("dpkg-deb -f " + deb_ + " " + name + " >" + file);
        return platform::ReadWholeFile(file).value_or("");
    }

    static testing_support::TempDir* root_;
    static std::string deb_;
    static int status_;
};
testing_support::TempDir* InstalledPackage::root_ = nullptr;
std::string InstalledPackage::deb_;
int InstalledPackage::status_ = -1;

TEST_F(InstalledPackage, DependsOnTheDebianPackagesOfItsLibraries) {
    std::string depends = Field("Depends");
    for (const char* package : {"libwxgtk3.2-1", "libc6", "libstdc++6", "xdg-utils"}) {
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
    }
    EXPECT_EQ(depends.find("satview"), std::string::npos) << "its own libraries are inside";
}

TEST_F(InstalledPackage, LaysOutTheProgramDirectoryCommandsDesktopEntryAndIcons) {
    for (const char* file :
         {"bin/satview", "bin/satview-cardsim", "bin/satview-udev-rules",
          "lib/satview/.per-user-files", "lib/satview/Runinfo.ini",
          "lib/satview/config/ConfigFile.xml", "lib/satview/Plugins/Orbitpane/Orbitpane.so",
          "lib/satview/Plugins/Orbitpane/Orbitpane_ja.lang", "lib/satview/libsatview_ui.so",
          "share/applications/satview.desktop", "share/icons/hicolor/scalable/apps/satview.svg",
          "share/icons/hicolor/16x16/apps/satview.png",
          "share/icons/hicolor/48x48/apps/satview.png",
          "share/icons/hicolor/256x256/apps/satview.png"}) {
        EXPECT_TRUE(fs::exists(Installed(file))) << file;
    }
    EXPECT_EQ(Shell("desktop-file-validate " + Installed("share/applications/satview.desktop")), 0);
    // Installed libraries find each other in the program directory, wherever it lies.
    EXPECT_EQ(Shell("ldd " + Installed("lib/satview/Plugins/Orbitpane/Orbitpane.so") +
                    " | grep -q 'not found'"),
              1);
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
    std::map<std::string, std::string> env = {
        {"HOME", home.path()},
        {"XDG_CONFIG_HOME", home / "config"},
        {"XDG_STATE_HOME", home / "state"},
        {"XDG_RUNTIME_DIR", home / "run"},
        {"SATVIEW_PORTS_DIR", home / "run/ports"},
        {"SATVIEW_UI", "headless"},
    };
    fs::create_directories(home / "run");
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
