#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "platform/ini.h"
#include "temp_dir.h"

using namespace platform;

TEST(Files, AtomicWriteReplacesWholeFileAndKeepsMode) {
    testing_support::TempDir dir;
    std::string path = dir.Write("doc.xml", "old contents that are longer");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomic(path, "new"));
    EXPECT_EQ(ReadWholeFile(path), "new");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "no temporary file is left behind";
}

TEST(Files, AtomicWriteCreatesNewAndEmptyFiles) {
    testing_support::TempDir dir;
    ASSERT_TRUE(WriteFileAtomic(dir / "empty", ""));
    EXPECT_EQ(ReadWholeFile(dir / "empty"), "");
    EXPECT_FALSE(WriteFileAtomic(dir / "no/such/folder/file", "x"));
    EXPECT_FALSE(FileExists(dir / "no/such/folder/file"));

    // A new file takes the process's mask, which the write leaves as it was.
    mode_t before = ::umask(027);
    ASSERT_TRUE(WriteFileAtomic(dir / "masked", "x"));
    EXPECT_EQ(::umask(before), 027u);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "masked").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Files, ReadOnlyFileIsRefusedUntilCleared) {
    testing_support::TempDir dir;
    std::string path = dir.Write("ro.xml", "keep");
    ::chmod(path.c_str(), 0444);
    EXPECT_TRUE(IsReadOnly(path));
    EXPECT_FALSE(WriteFileAtomic(path, "lost?"));
    EXPECT_EQ(ReadWholeFile(path), "keep");
    ASSERT_TRUE(ClearReadOnly(path));
    EXPECT_FALSE(IsReadOnly(path));
    EXPECT_TRUE(WriteFileAtomic(path, "changed"));
    EXPECT_EQ(ReadWholeFile(path), "changed");
}

TEST(Files, MissingFiles) {
    testing_support::TempDir dir;
    EXPECT_FALSE(FileExists(dir / "nope"));
    EXPECT_FALSE(IsReadOnly(dir / "nope"));
    EXPECT_FALSE(ClearReadOnly(dir / "nope"));
    EXPECT_FALSE(ReadWholeFile(dir / "nope").has_value());
}

// A folder where a file belongs reads as a failure (or the default), never as an exception.
TEST(Files, FolderInPlaceOfFileIsAFailedRead) {
    testing_support::TempDir dir;
    std::filesystem::create_directories(dir / "Runinfo.ini");
    EXPECT_FALSE(ReadWholeFile(dir / "Runinfo.ini").has_value());
    EXPECT_EQ(IniReadString(dir / "Runinfo.ini", "Language", "Active", "dflt"), "dflt");
}

TEST(Ini, NamesCompareWithoutCaseAndDefaultsApply) {
    testing_support::TempDir dir;
    std::string path =
        dir.Write("Runinfo.ini", "[Language]\nActive=ja\n[Other]\nKey = spaced value \n");
    EXPECT_EQ(IniReadString(path, "language", "ACTIVE", "en-us"), "ja");
    EXPECT_EQ(IniReadString(path, "Other", "key", ""), "spaced value");
    EXPECT_EQ(IniReadString(path, "Language", "Missing", "dflt"), "dflt");
    EXPECT_EQ(IniReadString(path, "NoSection", "Active", "dflt"), "dflt");
    EXPECT_EQ(IniReadString(dir / "missing.ini", "Language", "Active", "dflt"), "dflt");
}

TEST(Ini, WriteCreatesFileAndSectionAndKeepsOtherEntries) {
    testing_support::TempDir dir;
    std::string path = dir / "new.ini";
    ASSERT_TRUE(IniWriteString(path, "Language", "Active", "pt-br"));
    ASSERT_TRUE(IniWriteString(path, "Other", "K", "\xE6\x97\xA5"));
    ASSERT_TRUE(IniWriteString(path, "LANGUAGE", "active", "ja"));
    EXPECT_EQ(IniReadString(path, "Language", "Active", ""), "ja");
    EXPECT_EQ(IniReadString(path, "other", "k", ""), "\xE6\x97\xA5");
}

TEST(Ini, ReadOnlyFileIsNotWritten) {
    testing_support::TempDir dir;
    std::string path = dir.Write("ro.ini", "[S]\nK=old\n");
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(IniWriteString(path, "S", "K", "new"));
    EXPECT_EQ(IniReadString(path, "S", "K", ""), "old");
    ClearReadOnly(path);
    EXPECT_TRUE(IniWriteString(path, "S", "K", "new"));
    EXPECT_EQ(IniReadString(path, "S", "K", ""), "new");
}
