// The file of what Satview changed on a modem: one file per modem inside its folder whatever
// the modem's name, read back as written, and a missing or damaged file read as nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "framework/devicemgr/mm_location.h"
#include "platform/files.h"
#include "temp_dir.h"

using devicemgr::ChangesPath;
using devicemgr::LoadChanges;
using devicemgr::LocationChanges;
using devicemgr::SaveChanges;

TEST(LocationChangesFile, OneFileInsideTheFolderPerModem) {
    const struct {
        const char* modem;
        const char* file;
    } rows[] = {
        {"000000000000042", "/f/000000000000042.location"},
        {"/sys/devices/pci0000:00/usb1/1-3", "/f/_sys_devices_pci0000_00_usb1_1-3.location"},
        {"../../etc/x", "/f/m.._.._etc_x.location"},
        {"", "/f/m.location"},
    };
    for (const auto& row : rows) EXPECT_EQ(ChangesPath("/f", row.modem), row.file) << row.modem;
}

TEST(LocationChangesFile, ReadBackAsWrittenAndGoneOnceEmpty) {
    testing_support::TempDir dir;
    const std::string folder = dir.path() + "/changes";
    const std::string path = ChangesPath(folder, "modem");
    const LocationChanges rows[] = {
        {6, true, 30u}, {64 | 4, false, std::nullopt}, {0, false, 5u},  // the refresh rate alone
    };
    for (const LocationChanges& changes : rows) {
        ASSERT_TRUE(SaveChanges(path, changes));
        EXPECT_EQ(LoadChanges(path), changes);
    }
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "nobody else reads or plants it";
    ASSERT_TRUE(SaveChanges(path, {}));
    EXPECT_FALSE(platform::FileExists(path));
    EXPECT_EQ(LoadChanges(path), std::nullopt);
    // Damaged: what cannot be read is left out, never taken for a change.
    ASSERT_TRUE(platform::WriteFileAtomic(path, "sources=x\nsignals=1\ngarbage\nrefresh=-3\n"));
    EXPECT_EQ(LoadChanges(path), (LocationChanges{0, true, std::nullopt}));
}
