#include "framework/devicemgr/nmea_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nmea_sentences.h"

namespace {

using devicemgr::NmeaDecoder;
using devicemgr::NmeaLexer;
using nmea_test::Sentence;

struct Record {
    std::string longitude, latitude, satellites;
};

// Feeds every sentence and answers the records made, as text.
std::vector<Record> Decode(const std::vector<std::string>& sentences, NmeaDecoder& decoder) {
    std::vector<Record> records;
    for (const std::string& s : sentences) {
        if (auto fix = decoder.Decode(s)) {
            auto r = devicemgr::MakeRecord(*fix);
            records.push_back({r.longitude, r.latitude, r.satellites});
        }
    }
    return records;
}

TEST(NmeaDecoder, PositionsFromEachTalkerAndHemisphere) {
    struct Case {
        const char* name;
        std::string sentence;
        const char* longitude;
        const char* latitude;
    };
    const Case cases[] = {
        {"textbook GGA", "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
         "11.516667E", "48.117300N"},
        {"textbook RMC", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
         "11.516667E", "48.117300N"},
        {"GLONASS, west and south",
         Sentence("GLRMC,101010.00,A,3339.2250,S,07036.4440,W,0.0,0.0,071226,,,A"), "-70.607400W",
         "-33.653750S"},
        {"Galileo", Sentence("GAGGA,101010.00,3746.9400,N,12225.1980,W,1,07,1.0,10.0,M,,M,,"),
         "-122.419967W", "37.782333N"},
        {"BeiDou as GB", Sentence("GBRMC,000001,A,3954.4800,N,11623.4400,E,0,0,071226,,,A"),
         "116.390667E", "39.908000N"},
        {"BeiDou as BD", Sentence("BDGGA,000001,3954.4800,N,11623.4400,E,2,05,1.0,50,M,,M,,"),
         "116.390667E", "39.908000N"},
        {"mixed talker, on both zero lines",
         Sentence("GNRMC,000002,A,0000.0000,N,00000.0000,E,0,0,071226,,,D"), "0.000000E",
         "0.000000N"},
        {"half a degree south", Sentence("GNGGA,000003,0030.0000,S,00030.0000,W,1,04,1,0,M,,M,,"),
         "-0.500000W", "-0.500000S"},
        {"lower-case checksum digits",
         "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", "11.516667E",
         "48.117300N"},
        {"far corner", Sentence("GPRMC,000004,A,8959.9999,S,17959.9999,E,0,0,071226,,,A"),
         "179.999998E", "-89.999998S"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NmeaDecoder decoder;
        auto records = Decode({c.sentence}, decoder);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].longitude, c.longitude);
        EXPECT_EQ(records[0].latitude, c.latitude);
        EXPECT_EQ(decoder.Counters().accepted, 1u);
    }
}

TEST(NmeaDecoder, NoFixMakesNoRecord) {
    const std::string cases[] = {
        Sentence("GPRMC,000005,V,4807.038,N,01131.000,E,0,0,071226,,,N"),  // void
        Sentence("GPRMC,000005,A,4807.038,N,01131.000,E,0,0,071226,,,N"),  // mode: not valid
        Sentence("GPGGA,000005,4807.038,N,01131.000,E,0,00,,,M,,M,,"),     // quality 0
        Sentence("GPGGA,000005,,,,,0,00,,,M,,M,,"),                        // cold start
        Sentence("GPRMC,,V,,,,,,,,,,N"),                                   // empty
        // Receivers' own no-fix sentences: a GNS with no system fixed (and a placeholder
        // position), a GNS of one system beside the combined one, void GLL and RMC.
        "$GNGNS,000609.916,0000.0000,N,00000.0000,E,NNN,00,,-18.0,18.0,,,V*6E",
        "$GPGNS,014035.00,,,,,,8,,,,1.0,23*76",
        "$GPGLL,,,,,030743.57,V,N*4B",
        "$GPGLL,,,,,,V,N*64",
        "$GNRMC,000609.916,V,0000.0000,N,00000.0000,E,0.00,0.00,220899,,,N,V*1B",
        "$GPRMC,030807.00,V,,,,,,,100806,,,N*7E",
        // Fix mode and speed alone make no position.
        "$GPGSA,A,1,,,,,,,,,,,,,99.99,99.99,99.99*30",
        "$GNGSA,A,1,,,,,,,,,,,,,,,,1*1D",
        "$GPVTG,,,,,,,,,N*30",
        "$GPVTG,147.44,T,164.31,M,0.26,N,0.49,K,D*2C",
    };
    for (const std::string& s : cases) {
        SCOPED_TRACE(s);
        NmeaDecoder decoder;
        EXPECT_FALSE(decoder.Decode(s));
        EXPECT_EQ(decoder.Counters().accepted, 1u);
    }
}

TEST(NmeaDecoder, WrongSentencesAreDroppedAndCounted) {
    struct Case {
        std::string sentence;
        bool badChecksum;  // else malformed
    };
    const Case cases[] = {
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48", true},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", true},  // none
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4", true},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*G7", true},
        {Sentence("XXGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,M,,"), false},
        {Sentence("GPGGA,123519,4807.038,N,01131.000,E,1"), false},                    // short
        {Sentence("GPGGA,123519,4807.038,X,01131.000,E,1,08,0.9,545,M,,M,,"), false},  // hemi
        {Sentence("GPGGA,123519,4867.038,N,01131.000,E,1,08,0.9,545,M,,M,,"), false},  // 67'
        {Sentence("GPRMC,123519,A,9107.038,N,01131.000,E,0,0,071226,,"), false},       // > 90
        {Sentence("GPRMC,123519,A,48a7.038,N,01131.000,E,0,0,071226,,"), false},
        {Sentence("GPGSV,x,1,08"), false},
        {Sentence("GPGSV,2,3,08"), false},                           // part beyond total
        {Sentence("GPGSA,A,4,14,16,,,,,,,,,,,2.7,1.5,2.3"), false},  // no mode 4
        {Sentence("GPGSA,A,3,14,16"), false},                        // short
        {Sentence("GPVTG,054.7,T,034.4,M"), false},                  // short
        {Sentence("GPGLL,1541.3125,N,05130.5120,W"), false},         // no status
        {Sentence("GNGNS,221459.00,3647.7477,N,13644.8298,X,AA,24,0.6,16.5,34.0,,,V"), false},
        {Sentence("GNGNS,221459.00,3647.7477,N"), false},  // short
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sentence);
        NmeaDecoder decoder;
        EXPECT_FALSE(decoder.Decode(c.sentence));
        EXPECT_EQ(decoder.Counters().badChecksum, c.badChecksum ? 1u : 0u);
        EXPECT_EQ(decoder.Counters().malformed, c.badChecksum ? 0u : 1u);
        EXPECT_EQ(decoder.Counters().accepted, 0u);
    }
}

TEST(NmeaDecoder, SatellitesInViewComeFromGsvAcrossSystems) {
    NmeaDecoder decoder;
    auto records = Decode(
        {
            // Epoch 1: GGA says 5 used, no GSV yet.
            Sentence("GPGGA,000001,4807.038,N,01131.000,E,1,05,0.9,545.4,M,46.9,M,,"),
            // GPS in two parts, GLONASS in one; GPS again on a second signal (same numbers).
            Sentence("GPGSV,2,1,06,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45,1"),
            Sentence("GPGSV,2,2,06,20,10,100,30,21,11,101,31,1"),
            Sentence("GPGSV,1,1,02,01,40,083,40,02,17,308,38,8"),
            Sentence("GLGSV,1,1,03,65,40,083,46,66,17,308,41,67,07,344,,"),
            "$GPZDA,195959.00,14,01,2020,00,00*6A",
            // Epoch 2: RMC and GGA of one time make one record.
            Sentence("GPRMC,000002,A,4807.038,N,01131.000,E,0,0,071226,,,A"),
            Sentence("GPGGA,000002,4807.038,N,01131.000,E,1,05,0.9,545.4,M,46.9,M,,"),
            // A GSV run whose blocks are left empty counts its announced number.
            Sentence("BDGSV,1,1,04,,,,,,,,,,,,,,,,"),
            Sentence("GPRMC,000003,A,4807.038,N,01131.000,E,0,0,071226,,,A"),
        },
        decoder);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].satellites, "5");
    EXPECT_EQ(records[1].satellites, "9");
    EXPECT_EQ(records[2].satellites, "4");
    EXPECT_EQ(decoder.Counters().ignored, 1u);
}

// A fix that comes before the receiver told any count (RMC first in its epoch) has none: the
// record's count stays empty rather than saying 0.
TEST(NmeaDecoder, NoSatelliteCountBeforeTheReceiverTellsOne) {
    NmeaDecoder decoder;
    auto records = Decode(
        {
            Sentence("GPRMC,000001,A,4807.038,N,01131.000,E,0,0,071226,,,A"),
            Sentence("GPGGA,000001,4807.038,N,01131.000,E,1,,0.9,545.4,M,46.9,M,,"),
            Sentence("GPRMC,000002,A,4807.038,N,01131.000,E,0,0,071226,,,A"),
            Sentence("GPGSV,1,1,03,01,40,083,46,02,17,308,41,12,07,344,39"),
            Sentence("GPRMC,000003,A,4807.038,N,01131.000,E,0,0,071226,,,A"),
        },
        decoder);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].satellites, "");
    EXPECT_EQ(records[1].satellites, "") << "a GGA without its count tells none";
    EXPECT_EQ(records[2].satellites, "3");
}

TEST(NmeaDecoder, GgaCountReturnsWhenGsvStops) {
    NmeaDecoder decoder;
    std::vector<std::string> input = {
        Sentence("GPGSV,1,1,09,01,40,083,46"),
        Sentence("GPGGA,000000,4807.038,N,01131.000,E,1,04,0.9,545.4,M,46.9,M,,"),
    };
    for (int second = 1; second <= 6; ++second) {
        input.push_back(Sentence("GPGGA,00000" + std::to_string(second) +
                                 ",4807.038,N,01131.000,E,1,04,0.9,545.4,M,46.9,M,,"));
    }
    auto records = Decode(input, decoder);
    ASSERT_EQ(records.size(), 7u);
    EXPECT_EQ(records.front().satellites, "9");
    EXPECT_EQ(records.back().satellites, "4");
}

TEST(NmeaLexer, CutsSentencesOutOfNoise) {
    NmeaLexer lexer;
    std::vector<std::string> out;
    std::string overlong = "$GPTXT," + std::string(200, 'A') + "\r\n";
    // Split reads, both line ends, a doubled '$', noise before and binary inside a sentence.
    lexer.Feed("junk$GPGGA,1*0", out);
    lexer.Feed("0\r\n$$GPRMC,2*00\n\n$GPG", out);
    lexer.Feed(std::string("SV,\x01\x02,3*00\r\n", 13), out);
    lexer.Feed(overlong, out);
    lexer.Feed("$GNRMC,4*00\r", out);
    EXPECT_EQ(out, (std::vector<std::string>{"$GPGGA,1*00", "$GPRMC,2*00", "$GNRMC,4*00"}));
    EXPECT_EQ(lexer.Discarded(), 2u);  // the binary one and the overlong one
}

// The longest sentence kept, whole or in pieces, and one byte more: the rest of that one is
// dropped up to the next '$'.
TEST(NmeaLexer, KeepsSentencesUpToTheLongestAndCutsLongerOnes) {
    const std::string longest = "$" + std::string(devicemgr::kMaxSentence - 1, 'A');
    const std::string longer = longest + "B";
    struct Row {
        std::vector<std::string> reads;
        std::vector<std::string> kept;
        uint64_t discarded;
    } rows[] = {
        {{longest + "\r\n"}, {longest}, 0},
        {{longest.substr(0, 60), longest.substr(60) + "\n"}, {longest}, 0},
        {{longer + "\r\n$GPGGA,1*00\r\n"}, {"$GPGGA,1*00"}, 1},
        {{longest, "BC\r\n", "$GPGGA,1*00\n"}, {"$GPGGA,1*00"}, 1},
    };
    for (const Row& row : rows) {
        NmeaLexer lexer;
        std::vector<std::string> out;
        for (const std::string& read : row.reads) lexer.Feed(read, out);
        EXPECT_EQ(out, row.kept) << row.reads.front().size();
        EXPECT_EQ(lexer.Discarded(), row.discarded) << row.reads.front().size();
    }
}

}  // namespace
