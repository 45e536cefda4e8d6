// What the device manager reads in a card's answers, and in ModemManager's values in their place.
#include "framework/devicemgr/at_answers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "framework/devicemgr/card_life.h"

namespace {

using namespace devicemgr;
using Lines = std::vector<std::string>;

TEST(AtAnswers, LinesAndTheFirstInformationLine) {
    struct Case {
        const char* name;
        std::optional<AtAnswer> answer;
        Lines lines;
        std::string info;
    } cases[] = {
        {"no answer", std::nullopt, {}, ""},
        {"final code only", AtAnswer{"OK"}, {"OK"}, ""},
        {"prefix and quotes",
         AtAnswer{"+CGMM: \"Wendrix 3G\"\r\nOK"},
         {"+CGMM: \"Wendrix 3G\"", "OK"},
         "Wendrix 3G"},
        {"caret prefix, no blank",
         AtAnswer{"^CUSTOMIZE:voice\r\nOK"},
         {"^CUSTOMIZE:voice", "OK"},
         "voice"},
        {"empty lines left out", AtAnswer{"\r\n\r\n12345\r\n\r\nOK\r\n"}, {"12345", "OK"}, "12345"},
        {"only CR LF ends a line; control characters dropped",
         AtAnswer{"Wend\nrix\x7f\r\nOK"},
         {"Wend\nrix\x7f", "OK"},
         "Wendrix"},
        {"failed", AtAnswer{"Wendrix 3G\r\nERROR", true}, {"Wendrix 3G", "ERROR"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.answer) {
            EXPECT_EQ(LinesOf(c.answer->text), c.lines);
        }
        EXPECT_EQ(InfoOf(c.answer), c.info);
    }
}

TEST(AtAnswers, SimStateFromTheAnswerToThePinQuery) {
    struct Case {
        const char* answer;
        bool error;
        uint32_t state;
    };
    const Case cases[] = {
        {"+CPIN: READY\r\nOK", false, 1},
        {"+CME ERROR: 10", true, 0},
        {"+CME ERROR: SIM not inserted", true, 0},
        {"+CPIN: SIM PIN\r\nOK", false, 2},
        {"+CPIN: SIM PUK\r\nOK", false, 2},
        {"+CME ERROR: 12", true, 2},
        {"+CPIN: SIM PIN2\r\nOK", false, 1},
        {"+CME ERROR: 13", true, 3},
        {"+CME ERROR: 15", true, 3},
        {"+CME ERROR: 14", true, 4},
        {"+CPIN: PH-NET PIN\r\nOK", false, 4},
        {"ERROR", true, 255},
        {"OK", false, 255},
        // Other errors whose numbers begin like a SIM error's.
        {"+CME ERROR: 100", true, 255},
        {"+CME ERROR: 111", true, 255},
        {"+CME ERROR: 148", true, 255},
        {"+CME ERROR: 1", true, 255},
        {"+CME ERROR: sim busy", true, 4},
        {"+CME ERROR: SIM not inserted yet", true, 255},
        {"+CPIN: SIM PIN\r\n+CME ERROR: 11", true, 2},
        {"+CPIN: READY TO GO\r\nOK", false, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        EXPECT_EQ(SimStateOf({c.answer, c.error}), c.state);
    }
}

TEST(AtAnswers, RadioFunction) {
    struct Case {
        const char* answer;
        bool error;
        bool on;
    } cases[] = {
        {"+CFUN: 1\r\nOK", false, true},
        {"+CFUN: 0\r\nOK", false, false},
        {"ERROR", true, true},  // no such query: nothing to wait for
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        EXPECT_EQ(RadioOn({c.answer, c.error}), c.on);
    }
}

TEST(AtAnswers, ModemManagerSimStates) {
    struct Case {
        std::optional<uint32_t> failed, lock;
        uint32_t sim;
    } cases[] = {
        // The card's own test runs the common locks and failures through its properties.
        {std::nullopt, std::nullopt, kSimUnknown},
        {0, mm::kLockUnknown, kSimUnknown},
        {0, mm::kLockSimPuk2, kSimUsable},
        {mm::kFailedSimMissing, mm::kLockNone, kSimMissing},  // the failure tells first
        {1, std::nullopt, kSimUnknown},  // failed for a reason that is not the SIM
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.failed.value_or(99)) + "/" +
                     std::to_string(c.lock.value_or(99)));
        EXPECT_EQ(MmSimState(c.failed, c.lock), c.sim);
    }
}

TEST(AtAnswers, ModemManagerGpsTypes) {
    struct Case {
        uint32_t capabilities;
        int type;
    } cases[] = {
        {1, 0},  // 3gpp-lac-ci only
        {mm::kSourceAgpsMsb, 0},
        {1 | mm::kSourceGpsNmea, 1},
        {mm::kSourceGpsRaw | mm::kSourceAgpsMsa, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capabilities);
        EXPECT_EQ(MmGpsType(c.capabilities), c.type);
    }
}

}  // namespace
