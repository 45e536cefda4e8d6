// The GeoClue setting written by satview-geoclue into the choice file, as the device manager
// reads it back: everything else in the file kept, a file that is not XML left alone.
#include "geoclue_setting.h"

#include <gtest/gtest.h>

#include "framework/devicemgr/card_discovery.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace {

TEST(GeoClueSetting, WrittenAsTheDeviceManagerReadsItAndNothingElseChanges) {
    const char* chosen =
        "<localdevice cardpath=\"serial\" nmeafeed=\"off\"><item id=\"Wendrix 3G\" "
        "port=\"4\">1</item></localdevice>";
    struct Row {
        const char* file;  // nullptr: no file yet
        bool on;
        bool written;
        bool readOn;  // what the device manager reads afterwards
    } rows[] = {
        {nullptr, true, true, true},
        {chosen, true, true, true},
        {"<localdevice geoclue=\"on\"/>", false, true, false},
        {"<localdevice geoclue=\"ON\"/>", true, true, true},
        {"not xml at all", true, false, false},
        {"<devices/>", true, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file ? row.file : "(none)");
        testing_support::TempDir dir;
        const std::string path = dir / "userdata/localdeviceinfo.xml";
        if (row.file) dir.Write("userdata/localdeviceinfo.xml", row.file);
        std::string why;
        EXPECT_EQ(geoclue::WriteSetting(path, row.on, &why), row.written) << why;
        devicemgr::StoredChoice choice = devicemgr::ReadStoredChoice(path);
        EXPECT_EQ(choice.geoclue, row.readOn);
        EXPECT_EQ(geoclue::SettingOn(path), row.readOn);
        if (!row.written && row.file) {
            EXPECT_EQ(platform::ReadWholeFile(path), row.file) << "a file not understood is kept";
        }
        if (row.file == chosen) {
            EXPECT_EQ(choice.cardPath, "serial");
            EXPECT_FALSE(choice.nmeaFeed);
            EXPECT_EQ(choice.id, "wendrix 3g");
            EXPECT_EQ(choice.port, 4);
        }
    }
}

TEST(GeoClueSetting, TheLinesNameTheSocketInGeoCluesNmeaSection) {
    EXPECT_EQ(geoclue::ConfigurationLines("/run/user/1000/satview/nmea.sock"),
              "[network-nmea]\nenable=true\nnmea-socket=/run/user/1000/satview/nmea.sock\n");
}

}  // namespace
