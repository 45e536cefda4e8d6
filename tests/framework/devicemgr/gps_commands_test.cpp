// The GPS command set: the lines as they are sent, read back, and the odd lines a card gets.
#include "framework/devicemgr/gps_commands.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <ostream>
#include <string>

namespace {

using devicemgr::GpsCommand;
using devicemgr::GpsOffer;
using devicemgr::GpsRequest;

GpsRequest Text(GpsCommand command, const char* text, const char* value) {
    return {.command = command, .text = text, .value = value};
}
GpsRequest Number(GpsCommand command, int number, const char* value) {
    return {.command = command, .number = number, .value = value};
}

}  // namespace

namespace devicemgr {
void PrintTo(const GpsRequest& r, std::ostream* out) {
    *out << static_cast<int>(r.command) << " text \"" << r.text << "\" number " << r.number
         << " value \"" << r.value << "\"";
}
}  // namespace devicemgr

namespace {

TEST(GpsCommands, EveryLineAsSentAndReadBack) {
    struct Case {
        GpsRequest request;
        const char* line;
    } cases[] = {
        {{GpsCommand::kGpsType}, "AT^GPSTYPE?\r\n"},
        {{GpsCommand::kGpsStart}, "AT^GPSSTART\r\n"},
        {{GpsCommand::kGpsStop}, "AT^GPSSTOP\r\n"},
        {{GpsCommand::kProbe}, "AT^WPDGP\r\n"},
        {Text(GpsCommand::kApn, "", "1,\"IP\",\"\""), "AT^SOCKETCONT=1,\"IP\",\"\"\r\n"},
        {Text(GpsCommand::kApn, "a,b", "1,\"IP\",\"a,b\""), "AT^SOCKETCONT=1,\"IP\",\"a,b\"\r\n"},
        {Text(GpsCommand::kSuplServer, "supl.example.com:7275", "supl.example.com:7275"),
         "AT^WPURL=supl.example.com:7275\r\n"},
        {Number(GpsCommand::kPositionMode, -123456, "-123456"), "AT^WPDOM=-123456\r\n"},
        {Number(GpsCommand::kFixInterval, INT_MAX, "65536,2147483647"),
         "AT^WPDFR=65536,2147483647\r\n"},
        {Text(GpsCommand::kSecTime, "2026/12/07,21:30:05", "\"2026/12/07,21:30:05\""),
         "AT^SECTIME=\"2026/12/07,21:30:05\"\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(devicemgr::GpsLine(c.request), c.line);
        EXPECT_EQ(devicemgr::ReadGpsLine(c.line), c.request);
    }
}

TEST(GpsCommands, OddLinesAsACardGetsThem) {
    struct Case {
        const char* line;
        std::optional<GpsRequest> request;
    } cases[] = {
        // Any case, any line end or none.
        {"at^wpdom=5", Number(GpsCommand::kPositionMode, 5, "5")},
        {"At^GpsType?", GpsRequest{GpsCommand::kGpsType}},
        {"AT^GPSSTOP\n", GpsRequest{GpsCommand::kGpsStop}},
        // Blanks are no part of the set's lines.
        {"AT^WPDGP ", std::nullopt},
        {"AT^WPURL=supl.example.com\t\r\n", std::nullopt},
        // Fields before the argument are the card's to check; quotes are optional.
        {"AT^SOCKETCONT=16,\"IPV6\",apn", Text(GpsCommand::kApn, "apn", "16,\"IPV6\",apn")},
        {"AT^WPDFR=1,30", Number(GpsCommand::kFixInterval, 30, "1,30")},
        {"AT^WPURL=\"supl.example.com\"",
         Text(GpsCommand::kSuplServer, "supl.example.com", "\"supl.example.com\"")},
        // No argument, or no number where one belongs.
        {"AT^WPURL=", std::nullopt},
        {"AT^SOCKETCONT=1,\"IP\"", std::nullopt},
        {"AT^WPDFR=65536", std::nullopt},
        {"AT^WPDOM=+5", std::nullopt},
        {"AT^WPDOM=5,1", std::nullopt},
        {"AT^WPDOM=99999999999", std::nullopt},
        // Another form of a command of the set, or no command of it.
        {"AT^GPSTYPE=1", std::nullopt},
        {"AT^WPDOM", std::nullopt},
        {"AT^WPDGP?", std::nullopt},
        {"AT^GPSSTARTX", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(devicemgr::ReadGpsLine(c.line), c.request);
    }
}

TEST(GpsCommands, TheTypeLineTellsTheOffer) {
    struct Case {
        int type;
        GpsOffer offer;
    } cases[] = {
        {0, GpsOffer::kNone}, {1, GpsOffer::kGpsOnly}, {3, GpsOffer::kAgps}, {7, GpsOffer::kNone}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        std::string line = devicemgr::GpsTypeLine(c.type);
        EXPECT_EQ(line, "^GPSTYPE:" + std::to_string(c.type));
        EXPECT_EQ(devicemgr::GpsOfferOf(line + "\r\nOK"), c.offer);
    }
    EXPECT_EQ(devicemgr::GpsOfferOf("OK"), GpsOffer::kNone);
}

}  // namespace
