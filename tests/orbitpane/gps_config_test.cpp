#include "orbitpane/win32/gps_config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/files.h"
#include "temp_dir.h"

namespace {

std::string Entry(const char* element, const char* attribute, const char* value) {
    return std::string("<") + element + "><element " + attribute + "=\"" + value + "\"/></" +
           element + ">";
}

const std::string kFull =
    "<?xml version=\"1.0\"?>\r\n<ConfigInfo>" + Entry("AGPS", "isSupported", "Y") +
    Entry("Path", "name", "/opt/tools/nav.exe") + Entry("Type", "name", "AGPS") +
    Entry("APN", "name", "internet") + Entry("SUPL", "name", "supl.example.com:7275") +
    Entry("Scenario", "name", "Pedestrianism") + "</ConfigInfo>";

class GpsConfig : public ::testing::Test {
  protected:
    void SetUp() override { file.SetAppDirectory(dir.path()); }
    GPSConfigInfo Load(const std::string& xml) {
        dir.Write("config/ConfigFile.xml", xml);
        GPSConfigInfo info;
        info.strAPN = "stale";  // everything is replaced on load
        file.Load(info);
        return info;
    }
    std::string Saved() { return *platform::ReadWholeFile(file.Path()); }

    testing_support::TempDir dir;
    GpsConfigFile file;
};

}  // namespace

TEST_F(GpsConfig, LoadsEveryValueOfACompleteFile) {
    GPSConfigInfo info = Load(kFull);
    EXPECT_EQ(info.isAGPSSupported, 1);
    EXPECT_EQ(info.strPath, "/opt/tools/nav.exe");
    EXPECT_EQ(info.strType, "AGPS");
    EXPECT_EQ(info.strAPN, "internet");
    EXPECT_EQ(info.strSUPL, "supl.example.com:7275");
    EXPECT_EQ(info.strScenario, "Pedestrianism");
}

TEST_F(GpsConfig, MissingOrUnusableFilesGiveTheDefaults) {
    for (const std::string& xml :
         {std::string(), std::string("not xml"),
          std::string("<Other>") + Entry("Type", "name", "AGPS") + "</Other>"}) {
        GPSConfigInfo info = Load(xml);
        EXPECT_EQ(info.isAGPSSupported, 0);
        EXPECT_EQ(info.strPath, "");
        EXPECT_EQ(info.strType, "GPS");
        EXPECT_EQ(info.strAPN, "");
        EXPECT_EQ(info.strScenario, "High speed");
    }
    GpsConfigFile nowhere;
    nowhere.SetAppDirectory(dir / "missing");
    GPSConfigInfo info;
    nowhere.Load(info);
    EXPECT_EQ(info.strType, "GPS");
}

TEST_F(GpsConfig, OddValuesFallBackToTheirDefaults) {
    GPSConfigInfo info =
        Load("<ConfigInfo>" + Entry("AGPS", "isSupported", "y") + Entry("Type", "name", "agps") +
             Entry("Scenario", "name", "Walking") + "</ConfigInfo>");
    EXPECT_EQ(info.isAGPSSupported, 1);
    EXPECT_EQ(info.strType, "GPS");
    EXPECT_EQ(info.strScenario, "High speed");
    info = Load("<ConfigInfo>" + Entry("AGPS", "isSupported", "Yes") + "</ConfigInfo>");
    EXPECT_EQ(info.isAGPSSupported, 0);
    info =
        Load("<ConfigInfo><AGPS><element/></AGPS><Type><other name=\"AGPS\"/></Type></ConfigInfo>");
    EXPECT_EQ(info.isAGPSSupported, 0);
    EXPECT_EQ(info.strType, "GPS");
}

TEST_F(GpsConfig, ElementsAreSearchedInOrder) {
    // A missing Path does not hide what follows it.
    GPSConfigInfo info =
        Load("<ConfigInfo>" + Entry("AGPS", "isSupported", "Y") + Entry("Type", "name", "AGPS") +
             Entry("APN", "name", "a") + "</ConfigInfo>");
    EXPECT_EQ(info.strType, "AGPS");
    EXPECT_EQ(info.strAPN, "a");
    // Type before Path: Path is found, Type is not (its search starts after Path).
    info = Load("<ConfigInfo>" + Entry("Type", "name", "AGPS") + Entry("Path", "name", "/p") +
                Entry("APN", "name", "a") + "</ConfigInfo>");
    EXPECT_EQ(info.strPath, "/p");
    EXPECT_EQ(info.strType, "GPS");
    EXPECT_EQ(info.strAPN, "a");
}

TEST_F(GpsConfig, SavingUpdatesOnlyTheValuesInPlace) {
    Load(kFull);
    GPSConfigInfo info;
    file.Load(info);
    info.strType = "GPS";
    info.strAPN = "a&b \"quoted\"";
    info.strSUPL = "";
    info.strScenario = "High speed";
    ASSERT_TRUE(file.SaveSettings(info));
    ASSERT_TRUE(file.SaveProgramPath(info, "/usr/bin/nav <new>"));
    EXPECT_NE(Saved().find("<?xml version=\"1.0\"?>\r\n<ConfigInfo>"), std::string::npos)
        << "the rest of the file stays as it was";

    GPSConfigInfo again;
    file.Load(again);
    EXPECT_EQ(again.isAGPSSupported, 1);
    EXPECT_EQ(again.strPath, "/usr/bin/nav <new>");
    EXPECT_EQ(again.strType, "GPS");
    EXPECT_EQ(again.strAPN, "a&b \"quoted\"");
    EXPECT_EQ(again.strSUPL, "");
    EXPECT_EQ(again.strScenario, "High speed");
}

TEST_F(GpsConfig, ProgramPathNeedsItsElementAndChild) {
    GPSConfigInfo info;
    const std::string noPath = "<ConfigInfo>" + Entry("Type", "name", "GPS") + "</ConfigInfo>";
    Load(noPath);
    EXPECT_TRUE(file.SaveProgramPath(info, "/x")) << "the unchanged file is written back";
    EXPECT_EQ(info.strPath, "");
    EXPECT_EQ(Saved(), noPath);

    const std::string noChild = "<ConfigInfo><Path/></ConfigInfo>";
    Load(noChild);
    EXPECT_FALSE(file.SaveProgramPath(info, "/x"));
    EXPECT_EQ(Saved(), noChild);

    Load("garbage");
    EXPECT_FALSE(file.SaveProgramPath(info, "/x"));
}

TEST_F(GpsConfig, AReadOnlyFileIsLeftAsItWas) {
    Load(kFull);
    ::chmod(file.Path().c_str(), 0444);
    GPSConfigInfo info;
    file.Load(info);
    info.strAPN = "changed";
    EXPECT_FALSE(file.SaveSettings(info));
    EXPECT_FALSE(file.SaveProgramPath(info, "/x"));
    EXPECT_EQ(Saved(), kFull);
}

TEST_F(GpsConfig, SettingsSaveWritesAnUnparsableFileBackUnchanged) {
    Load("<ConfigInfo><broken>");
    EXPECT_TRUE(file.SaveSettings(GPSConfigInfo()));
    EXPECT_EQ(Saved(), "<ConfigInfo><broken>");
}

// Nothing to update in a missing file: the save writes what it has (nothing) where it can, and
// the next load gives the defaults rather than the values of the session.
TEST_F(GpsConfig, SettingsSaveOnAMissingFileStoresNoValue) {
    GPSConfigInfo info;
    info.strType = "AGPS";
    info.strAPN = "changed";
    EXPECT_FALSE(file.SaveSettings(info)) << "no config folder to write in";
    std::filesystem::create_directories(dir / "config");
    EXPECT_TRUE(file.SaveSettings(info));
    GPSConfigInfo loaded;
    file.Load(loaded);
    EXPECT_EQ(loaded.strType, "GPS");
    EXPECT_EQ(loaded.strAPN, "");
}
