#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "temp_dir.h"

using platform::JoinPath;
using platform::RealPathOr;
using platform::ResolveNoCase;

TEST(Paths, ProgramDirectoryHoldsTheTestExecutable) {
    std::string dir = platform::ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(std::filesystem::exists(JoinPath(dir, "platform_tests")));
}

TEST(Paths, JoinUsesExactlyOneSeparator) {
    EXPECT_EQ(JoinPath("/a/b", "c"), "/a/b/c");
    EXPECT_EQ(JoinPath("/a/b/", "c"), "/a/b/c");
    EXPECT_EQ(JoinPath("/a/b//", "c/d"), "/a/b/c/d");
    EXPECT_EQ(JoinPath("/", "c"), "/c");
    EXPECT_EQ(JoinPath("", "c"), "c");
    EXPECT_EQ(JoinPath("/a", ""), "/a");
    EXPECT_EQ(JoinPath("/a", "/abs"), "/abs");
}

TEST(Paths, ResolveFindsNamesThatDifferOnlyInCase) {
    testing_support::TempDir dir;
    dir.Write("Runinfo.ini", "x");
    dir.Write("Plugins/Orbitpane/en-us.lang", "x");

    EXPECT_EQ(ResolveNoCase(dir.path(), "Runinfo.ini"), dir / "Runinfo.ini");
    EXPECT_EQ(ResolveNoCase(dir.path(), "RunInfo.ini"), dir / "Runinfo.ini");
    EXPECT_EQ(ResolveNoCase(dir.path(), "plugins\\orbitpane\\EN-US.lang"),
              dir / "Plugins/Orbitpane/en-us.lang");
}

TEST(Paths, ResolveKeepsMissingNamesAsGiven) {
    testing_support::TempDir dir;
    dir.Write("config/ConfigFile.xml", "x");
    EXPECT_EQ(ResolveNoCase(dir.path(), "CONFIG/new.xml"), dir / "config/new.xml");
    EXPECT_EQ(ResolveNoCase(dir.path(), "missing/dir/file"), dir / "missing/dir/file");
}

TEST(Paths, ResolvePrefersTheExactName) {
    testing_support::TempDir dir;
    dir.Write("a.txt", "lower");
    dir.Write("A.txt", "upper");
    EXPECT_EQ(ResolveNoCase(dir.path(), "A.txt"), dir / "A.txt");
    EXPECT_EQ(ResolveNoCase(dir.path(), "a.txt"), dir / "a.txt");
}

TEST(Paths, RealPathFollowsLinksAndKeepsWhatCannotBeResolved) {
    testing_support::TempDir dir;
    dir.Write("ttyUSB2", "");
    std::filesystem::create_symlink(dir / "ttyUSB2", dir / "gps0");
    EXPECT_EQ(RealPathOr(dir / "gps0"), std::filesystem::canonical(dir / "ttyUSB2").string());
    EXPECT_EQ(RealPathOr(dir / "missing"), dir / "missing");
}
