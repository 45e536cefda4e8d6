#include "framework/devicemgr/at_receiver.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "at_final_codes.h"

namespace {

using devicemgr::AtOutput;
using devicemgr::AtReceiver;
using Kind = AtOutput::Kind;
using namespace std::string_literals;

struct Seen {
    Kind kind;
    std::string text;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& seen, std::ostream* out) {
    *out << static_cast<int>(seen.kind) << ":\"" << seen.text << "\"";
}

std::vector<Seen> FeedAll(AtReceiver& receiver, const std::vector<std::string>& chunks) {
    std::vector<AtOutput> out;
    for (const std::string& chunk : chunks) receiver.Feed(chunk, out);
    std::vector<Seen> seen;
    for (const AtOutput& o : out) seen.push_back({o.kind, o.text});
    return seen;
}

TEST(AtReceiver, FinalCodes) {
    for (const at_cases::FinalCode& c : at_cases::kFinalCodes) {
        SCOPED_TRACE(c.line);
        bool error = !c.error;
        EXPECT_EQ(devicemgr::IsFinalCode(c.line, error), c.final);
        EXPECT_EQ(error, c.error);
    }
}

TEST(AtReceiver, UnsolicitedUnlessItAnswersTheCommand) {
    struct Case {
        const char* line;
        const char* command;
        bool unsolicited;
    };
    const Case cases[] = {
        {"^RSSI:17", "AT^GPSTYPE?", true},
        {"+CREG: 1", "AT^WPDOM=5", true},
        {"+CREG: 0,1", "AT+CREG?", false},
        {"+CREG: 0,1", "at+creg?", false},
        {"RING", "", true},
        {"^GPSTYPE:2", "AT^GPSTYPE?", false},
        {"+CGREG: 1", "AT+CREG?", true},
        {"+CMTI: \"SM\",3", "AT+CMGL", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line) + " / " + c.command);
        EXPECT_EQ(devicemgr::IsUnsolicited(c.line, c.command), c.unsolicited);
    }
}

TEST(AtReceiver, AssemblesAnswersWhateverTheLineEnds) {
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<Seen> expected;
    };
    const Case cases[] = {
        {"CR LF, one read",
         {"\r\n^GPSTYPE:2\r\n\r\nOK\r\n"},
         {{Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
        {"bare LF and bare CR", {"^GPSTYPE:2\nOK\r"}, {{Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
        {"split inside every token",
         {"\r", "\n^GPS", "TYPE:", "2\r", "\n\r\nO", "K", "\r\n"},
         {{Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
        {"echo of the command dropped",
         {"AT^GPSTYPE?\r\r\n^GPSTYPE:2\r\n\r\nOK\r\n"},
         {{Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
        {"unsolicited lines kept apart",
         {"\r\n^RSSI:20\r\n^GPSTYPE:2\r\n", "\r\n^MODE:5,4\r\n\r\nOK\r\n"},
         {{Kind::kUnsolicited, "^RSSI:20"},
          {Kind::kUnsolicited, "^MODE:5,4"},
          {Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
        {"error answer", {"\r\n+CME ERROR: 3\r\n"}, {{Kind::kAnswer, "+CME ERROR: 3"}}},
        {"a second answer is stray",
         {"\r\nOK\r\n\r\nOK\r\n"},
         {{Kind::kAnswer, "OK"}, {Kind::kStray, "OK"}}},
        {"NUL bytes vanish",
         {"\r\n^GPS\0TYPE:1\r\nOK\r\n"s},
         {{Kind::kAnswer, "^GPSTYPE:1\r\nOK"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AtReceiver receiver;
        receiver.SetCommand("AT^GPSTYPE?\r\n");
        EXPECT_EQ(FeedAll(receiver, c.chunks), c.expected);
    }
}

// A message, status report or broadcast arriving in the middle of an answer: its second
// line (PDU or text, whatever it reads) goes with its header, never into the answer.
TEST(AtReceiver, TwoLineUnsolicitedResultsStayWhole) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<Seen> expected;
    };
    const std::string answer = "\r\n^GPSTYPE:2\r\n\r\nOK\r\n";
    const Case cases[] = {
        {"+CMT, PDU mode",
         "\r\n+CMT: "
         ",24\r\n07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07\r\n" +
             answer,
         {{Kind::kUnsolicited,
           "+CMT: "
           ",24\r\n07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07"},
          {Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
        {"+CMT, text mode, a text that reads like a final code",
         "\r\n^GPSTYPE:2\r\n+CMT: \"+15551230000\",,\"24/05/01,10:00:00+08\"\r\nOK\r\n\r\nOK\r\n",
         {{Kind::kUnsolicited, "+CMT: \"+15551230000\",,\"24/05/01,10:00:00+08\"\r\nOK"},
          {Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
        {"+CDS, PDU mode",
         "\r\n+CDS: 25\r\nERROR\r\n" + answer,
         {{Kind::kUnsolicited, "+CDS: 25\r\nERROR"}, {Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
        {"+CDS, text mode is one line",
         "\r\n+CDS: 6,3,\"+1555\",145\r\n" + answer,
         {{Kind::kUnsolicited, "+CDS: 6,3,\"+1555\",145"}, {Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
        {"+CBM split over reads, blank lines between",
         "\r\n+CBM: 88\r\n\r\n0011000B91\r\n" + answer,
         {{Kind::kUnsolicited, "+CBM: 88\r\n0011000B91"}, {Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
        {"+CMTI is one line",
         "\r\n+CMTI: \"SM\",3\r\n" + answer,
         {{Kind::kUnsolicited, "+CMTI: \"SM\",3"}, {Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
        {"second line too long: the header goes alone",
         "\r\n+CMT: ,200\r\n" + std::string(devicemgr::kMaxAtLine + 1, 'A') + answer,
         {{Kind::kUnsolicited, "+CMT: ,200"}, {Kind::kAnswer, "^GPSTYPE:2\r\nOK"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AtReceiver receiver;
        receiver.SetCommand("AT^GPSTYPE?");
        // Fed in pieces of 7 bytes: no line end is where a read ends.
        std::vector<std::string> chunks;
        for (size_t at = 0; at < c.bytes.size(); at += 7) chunks.push_back(c.bytes.substr(at, 7));
        EXPECT_EQ(FeedAll(receiver, chunks), c.expected);
    }
}

TEST(AtReceiver, NothingOutstandingMakesNoAnswer) {
    AtReceiver receiver;
    auto seen = FeedAll(receiver, {"\r\nOK\r\n^RSSI:3\r\n^GPSTYPE:2\r\n"});
    EXPECT_EQ(seen, (std::vector<Seen>{{Kind::kStray, "OK"},
                                       {Kind::kUnsolicited, "^RSSI:3"},
                                       {Kind::kStray, "^GPSTYPE:2"}}));
    // A partial answer is dropped when the next command goes out.
    receiver.SetCommand("AT+CGMM");
    FeedAll(receiver, {"MODEL-A\r\n"});
    receiver.SetCommand("AT+CGSN");
    EXPECT_EQ(FeedAll(receiver, {"12345\r\nOK\r\n"}),
              (std::vector<Seen>{{Kind::kAnswer, "12345\r\nOK"}}));
}

TEST(AtReceiver, ACommandWithManyAnswersStaysOutstanding) {
    // Answers owed and the command's own, in one read: each one whole, none stray.
    AtReceiver receiver;
    receiver.SetCommand("ATS7?S7=9S7?", true);
    EXPECT_EQ(
        FeedAll(receiver, {"\r\nOK\r\n\r\n12345\r\n\r\nERROR\r\n\r\n050\r\n\r\n009\r\n\r\nOK\r\n"}),
        (std::vector<Seen>{{Kind::kAnswer, "OK"},
                           {Kind::kAnswer, "12345\r\nERROR"},
                           {Kind::kAnswer, "050\r\n009\r\nOK"}}));
    receiver.SetCommand("AT+CGMM");
    EXPECT_EQ(FeedAll(receiver, {"\r\nOK\r\n\r\nOK\r\n"}),
              (std::vector<Seen>{{Kind::kAnswer, "OK"}, {Kind::kStray, "OK"}}));
}

TEST(AtReceiver, MemoryStaysBounded) {
    AtReceiver receiver;
    receiver.SetCommand("AT+CGMM");
    std::vector<AtOutput> out;
    std::string noise(devicemgr::kMaxAtLine * 3, 'x');
    receiver.Feed(noise, out);
    receiver.Feed("\r\n", out);
    for (size_t i = 0; i < devicemgr::kMaxAnswerLines + 10; ++i) receiver.Feed("line\r\n", out);
    receiver.Feed("OK\r\n", out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text.size(), devicemgr::kMaxAnswerLines * 6 + 2);
    EXPECT_EQ(receiver.Counters().overlong, 11u);
}

}  // namespace
