// Which sentences report a position without a fix, whatever the talker: they are held back from
// readers that take any position they are given.
#include "framework/devicemgr/position_sentences.h"

#include <gtest/gtest.h>

namespace {

TEST(ReportsNoFix, GgaRmcGllAndGnsByTheirStatusFieldsAndNothingElse) {
    const std::pair<const char*, bool> rows[] = {
        {"$GPGGA,120000.00,3540.0000,N,13946.0000,E,1,08,0.9,35.2,M,-29.8,M,,*5B", false},
        {"$GPGGA,120000.00,3540.0000,N,13946.0000,E,6,08,0.9,35.2,M,-29.8,M,,*5B", false},
        {"$GPGGA,120000.00,3540.0000,N,13946.0000,E,0,00,,,M,,M,,*00", true},
        {"$GNGGA,120000.00,,,,,0,00,99.9,,,,,,*00", true},
        {"$GPGGA,120000.00,3540.0000,N,13946.0000,E,,08,0.9,35.2,M,-29.8,M,,*00", true},
        {"$GPRMC,120000.00,A,3540.0000,N,13946.0000,E,0.5,10.0,081226,,,A*00", false},
        {"$GPRMC,120000.00,A,3540.0000,N,13946.0000,E,0.5,10.0,081226,,*00", false},
        {"$GPRMC,120000.00,V,3540.0000,N,13946.0000,E,,,081226,,,N*00", true},
        {"$GNRMC,120000.00,A,3540.0000,N,13946.0000,E,,,081226,,,N*00", true},
        {"$GLRMC,,V,,,,,,,,,,N*00", true},
        {"$GPGLL,3540.0000,N,13946.0000,E,120000.00,A,A*00", false},
        {"$GPGLL,3540.0000,N,13946.0000,E,120000.00,V,N*00", true},
        {"$GPGLL,3540.0000,N,13946.0000,E,120000.00,A,N*00", true},
        {"$GNGNS,120000.00,3540.0000,N,13946.0000,E,AN,08,0.9,35.2,-29.8,,*00", false},
        {"$GNGNS,120000.00,3540.0000,N,13946.0000,E,NN,00,,,,,*00", true},
        {"$GNGNS,120000.00,,,,,,00,,,,,*00", true},
        // Sentences without a position pass, and so does what is not a sentence at all.
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*00", false},
        {"$GPGSV,1,1,00*00", false},
        {"$GPVTG,,T,,M,,N,,K,N*00", false},
        {"$GPGG", false},
        {"GPGGA,120000.00,,,,,0*00", false},
        {"", false},
    };
    for (const auto& [sentence, noFix] : rows) {
        EXPECT_EQ(devicemgr::ReportsNoFix(sentence), noFix) << sentence;
    }
}

}  // namespace
