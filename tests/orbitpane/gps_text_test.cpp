// The texts behind the GPS dialog's rows and links: coordinates, arrival time, the port
// number from a friendly name, and the map link from its template.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "orbitpane/win32/gps_data_format.h"
#include "orbitpane/win32/map_link.h"
#include "orbitpane/win32/port_search.h"

using namespace orbitpane;

TEST(Coordinate, DegreesAndDecimalMinutesWithTheHemisphere) {
    const struct {
        const wchar_t* text;
        bool isPlus;
        const wchar_t* result;
    } cases[] = {
        {L"-122.123456X", false, L"122d 7.407360"},
        {L"37.5X", true, L"37d 30.000000"},
        {L"45X", true, L"45d"},
        {L"0.000000X", true, L"0d 0.000000"},
        {L"-0.5X", false, L"0d 30.000000"},
        {L"12.X", true, L"12d 0.000000"},
        {L"X", true, L"0d"},
        {L"99999999999.5X", true, L"2147483647d 30.000000"},
    };
    for (const auto& c : cases) {
        bool isPlus = !c.isPlus;
        std::wstring result;
        ASSERT_TRUE(FormatCoordinate(c.text, isPlus, result)) << c.text;
        EXPECT_EQ(isPlus, c.isPlus) << c.text;
        EXPECT_EQ(result, c.result) << c.text;
    }
    bool isPlus = false;
    std::wstring result = L"kept";
    EXPECT_FALSE(FormatCoordinate(L"", isPlus, result));
    EXPECT_FALSE(isPlus);
    EXPECT_EQ(result, L"kept");
}

TEST(Coordinate, TheArrivalTimeHasEnglishNamesInAnyLocale) {
    const char* oldTz = std::getenv("TZ");
    std::string savedTz = oldTz ? oldTz : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    // A locale with other day names, where the system has it.
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(FormatArrivalTime(1796586917), L"Sunday, December 06, 2026 19:55:17");
    EXPECT_EQ(FormatArrivalTime(1796586917 + 86400 * 3 + 3600 * 5),
              L"Thursday, December 10, 2026 00:55:17");
    std::setlocale(LC_ALL, "C");
    oldTz ? ::setenv("TZ", savedTz.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
}

TEST(PortSearch, TheNumberAfterTheFirstComOfAMatchingName) {
    auto port = [](const std::string& name) {
        return platform::SerialPort{"/dev/null", 0, name, "card"};
    };
    const std::vector<platform::SerialPort> card = {
        port("TARVEK Wendrix - 3G PC UI Interface (COM3)"),
        port("TARVEK Wendrix - 3G GPS Interface (COM12)"),
        port("TARVEK Wendrix - 3G GPS Interface (COM13)"),
    };
    const struct {
        std::vector<platform::SerialPort> ports;
        std::string text;
        bool found;
        int number;
    } cases[] = {
        {{port("TARVEK Wendrix - 3G GPS Interface (COM5)")}, kGpsInterfaceText, true, 5},
        {card, kGpsInterfaceText, true, 12},
        {card, kPcUiInterfaceText, true, 3},
        {{port("tarvek wendrix - 3g gps interface (COM5)")}, kGpsInterfaceText, false, -1},
        {{port("TARVEK Wendrix - 3G PC UI Interface (COM3)")}, kGpsInterfaceText, false, -1},
        {{port("TARVEK Wendrix - 3G GPS Interface")}, kGpsInterfaceText, false, -1},
        {{port("TARVEK Wendrix - 3G GPS Interface (COMx)")}, kGpsInterfaceText, true, 0},
        {{port("COM7 TARVEK Wendrix - 3G GPS Interface (COM9)")}, kGpsInterfaceText, true, 7},
        {{}, kGpsInterfaceText, false, -1},
    };
    for (const auto& c : cases) {
        int number = -1;
        EXPECT_EQ(FindComPortIn(c.ports, c.text, number), c.found)
            << (c.ports.empty() ? "none" : c.ports[0].friendlyName);
        EXPECT_EQ(number, c.number) << "written only when found";
    }
}

TEST(MapLink, TheSiteTextChoosesTheTemplate) {
    EXPECT_STREQ(LinkTemplateKey(L"Google Maps (google)"), L"IDS_LINK_GOOGLE");
    EXPECT_STREQ(LinkTemplateKey(L"Google Maps"), L"IDS_LINK_LIVE");
    EXPECT_STREQ(LinkTemplateKey(L"my yahoo and google"), L"IDS_LINK_GOOGLE");
    EXPECT_STREQ(LinkTemplateKey(L"yahoo"), L"IDS_LINK_YAHOO");
    EXPECT_STREQ(LinkTemplateKey(L""), L"IDS_LINK_LIVE");
}

TEST(MapLink, FloatingPointConversionsTakeLatitudeLongitudeTwice) {
    const struct {
        const char* linkTemplate;
        const char* link;
    } cases[] = {
        {"q=%.6f,%.6f", "q=22.543210,114.057900"},
        {"a=%g,%g&b=%.1f,%.1f", "a=22.5432,114.058&b=22.5,114.1"},
        {"%-+10.2e|%#G|%%|%A", "+2.25e+01 |114.058|%|0X1.68B0FCF80DC33P+4"},
        {"plain", "plain"},
        {"", ""},
    };
    // A locale with a decimal comma must not change the link.
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    for (const auto& c : cases) {
        std::string why;
        auto link = BuildMapLink(c.linkTemplate, ReadCoordinate("22.543210"),
                                 ReadCoordinate("114.0579"), why);
        ASSERT_TRUE(link.has_value()) << c.linkTemplate << ": " << why;
        EXPECT_EQ(*link, c.link);
    }
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(ReadCoordinate("  -7.25abc"), -7.25);
    EXPECT_EQ(ReadCoordinate(""), 0.0);
}

TEST(MapLink, TemplatesThatWouldReadOrWriteOtherMemoryOpenNothing) {
    const std::string longTail(240, 'x');
    const char* refused[] = {
        "%s",  "%n",      "%d",  "%.6f,%.6f,%.6f,%.6f,%.6f",
        "%*f", "%.*f",    "%Lf", "%lf",
        "50%", "%1$f",    "%p",  "%c",
        "% q", "%99999f",
    };
    for (const char* t : refused) {
        std::string why;
        EXPECT_FALSE(BuildMapLink(t, 1.0, 2.0, why).has_value()) << t;
        EXPECT_FALSE(why.empty()) << t;
    }
    std::string why;
    EXPECT_TRUE(BuildMapLink(longTail + "%.6f", 1.0, 2.0, why).has_value()) << "255 fit";
    EXPECT_FALSE(BuildMapLink(longTail + "%.6f,%.6f", 1.0, 2.0, why).has_value());
    EXPECT_NE(why.find("255"), std::string::npos);
}
