// The AT answers of the simulated card, without a terminal in between.
#include <gtest/gtest.h>

#include "at_commands.h"

namespace {

using cardsim::AnswerAt;
using cardsim::CardState;
using cardsim::SimState;

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += cardsim::WireLine(line);
    return text;
}

CardState ReadyCard() {
    CardState state;
    state.ready = true;
    return state;
}

TEST(AtAnswers, EveryCommandAnswersAsACardDoes) {
    struct Case {
        const char* line;
        std::string answer;
    };
    const Case cases[] = {
        {"AT", Lines({"OK"})},
        {"at+cgmi", Lines({"TARVEK", "OK"})},
        {"AT+CGMM", Lines({"Wendrix 3G", "OK"})},
        {"AT+CGSN", Lines({"123456789012347", "OK"})},
        {"AT+CGMR", Lines({"11.100.01.00.00", "OK"})},
        {"ATI",
         Lines({"Manufacturer: TARVEK", "Model: Wendrix 3G", "Revision: 11.100.01.00.00", "OK"})},
        {"AT+CPIN?", Lines({"+CPIN: READY", "OK"})},
        {"AT+CFUN?", Lines({"+CFUN: 1", "OK"})},
        {"AT+CREG?", Lines({"+CREG: 0,1", "OK"})},
        {"AT^SYSINFO", Lines({"^SYSINFO:2,3,0,5,1", "OK"})},
        {"AT^CUSTOMIZE?", Lines({"^CUSTOMIZE:generic", "OK"})},
        {"AT^GPSTYPE?", Lines({"^GPSTYPE:2", "OK"})},
        {"AT^WPDGP", Lines({"OK"})},
        {"at^gpstype?", Lines({"^GPSTYPE:2", "OK"})},
        {"AT^WPDGP ", Lines({"ERROR"})},
        // The set commands check their arguments.
        {"AT^SOCKETCONT=1,\"IP\",\"internet.example\"", Lines({"OK"})},
        {"AT^SOCKETCONT=1,\"IP\",\"\"", Lines({"OK"})},
        {"AT^SOCKETCONT=1,\"IP\",internet", Lines({"ERROR"})},
        {"AT^SOCKETCONT=1,\"XYZ\",\"a\"", Lines({"ERROR"})},
        {"at^socketcont=16,\"ipv6\",\"a\"", Lines({"OK"})},
        {"AT^SOCKETCONT=17,\"IP\",\"a\"", Lines({"ERROR"})},
        {"AT^WPURL=supl.example.net:7275", Lines({"OK"})},
        {"AT^WPURL=", Lines({"ERROR"})},
        {"AT^WPURL=two words", Lines({"ERROR"})},
        {"AT^WPDOM=0", Lines({"OK"})},
        {"AT^WPDOM=5", Lines({"OK"})},
        {"AT^WPDOM=6", Lines({"ERROR"})},
        {"AT^WPDOM=-1", Lines({"ERROR"})},
        {"AT^WPDFR=65536,1", Lines({"OK"})},
        {"AT^WPDFR=65536,", Lines({"ERROR"})},
        {"AT^WPDFR=65536,x", Lines({"ERROR"})},
        {"AT^SECTIME=\"2026/12/8,0:5:9\"", Lines({"OK"})},
        {"AT^SECTIME=\"2026/13/8,0:5:9\"", Lines({"ERROR"})},
        {"AT^SECTIME=2026/12/8,0:5:9", Lines({"ERROR"})},
        {"AT+CREG=3", Lines({"ERROR"})},
        {"AT^NOSUCH", Lines({"ERROR"})},
        {"AT^GPSTYPE=1", Lines({"ERROR"})},
        {"hello", Lines({"ERROR"})},
        // S-registers: three-digit reads, several in one line.
        {"ATS7?", Lines({"050", "OK"})},
        {"ats3?", Lines({"013", "OK"})},
        {"ATS7?S7=123S7?", Lines({"050", "123", "OK"})},
        {"ATS7=256S7?", Lines({"ERROR"})},
        {"ATS99?", Lines({"ERROR"})},
        {"ATS7", Lines({"ERROR"})},
        {"ATS7?X", Lines({"ERROR"})},
    };
    for (const Case& c : cases) {
        CardState state = ReadyCard();
        EXPECT_EQ(AnswerAt(c.line, state).text, c.answer) << c.line;
    }
}

TEST(AtAnswers, SRegisterWritesStickUnlessTheLineFails) {
    CardState state;  // answered before the card is ready too
    EXPECT_EQ(AnswerAt("ATS7=9", state).text, Lines({"OK"}));
    EXPECT_EQ(AnswerAt("ATS7=30S99?", state).text, Lines({"ERROR"}));
    EXPECT_EQ(AnswerAt("ATS7?", state).text, Lines({"009", "OK"}));
}

TEST(AtAnswers, SimStatesAndReadiness) {
    struct Case {
        SimState sim;
        bool ready;
        const char* line;
        std::string answer;
    };
    const Case cases[] = {
        {SimState::Missing, true, "AT+CPIN?", Lines({"+CME ERROR: 10"})},
        {SimState::Pin, true, "AT+CPIN?", Lines({"+CME ERROR: 11"})},
        {SimState::Puk, true, "AT+CPIN?", Lines({"+CME ERROR: 12"})},
        {SimState::Missing, true, "AT^SYSINFO", Lines({"^SYSINFO:0,0,0,0,255", "OK"})},
        {SimState::Pin, true, "AT^SYSINFO", Lines({"^SYSINFO:0,0,0,0,4", "OK"})},
        {SimState::Missing, true, "AT+CREG?", Lines({"+CREG: 0,0", "OK"})},
        {SimState::Ready, false, "AT+CPIN?", Lines({"+CME ERROR: 14"})},
        {SimState::Ready, false, "AT+CFUN?", Lines({"+CFUN: 0", "OK"})},
        {SimState::Ready, false, "AT^GPSTYPE?", Lines({"+CME ERROR: 14"})},
        {SimState::Ready, false, "AT+CGMM", Lines({"Wendrix 3G", "OK"})},
    };
    for (const Case& c : cases) {
        CardState state;
        state.options.sim = c.sim;
        state.ready = c.ready;
        EXPECT_EQ(AnswerAt(c.line, state).text, c.answer) << c.line;
    }
}

TEST(AtAnswers, CommandsChangeTheCard) {
    CardState state = ReadyCard();
    AnswerAt("ATE0", state);
    EXPECT_FALSE(state.echo);
    AnswerAt("ATE1", state);
    EXPECT_TRUE(state.echo);
    AnswerAt("AT+CREG=2", state);
    EXPECT_EQ(state.cregMode, 2);

    EXPECT_EQ(AnswerAt("AT^GPSSTART", state).text, Lines({"OK"}));
    EXPECT_TRUE(state.positioning);
    state.options.refuseClose = true;
    EXPECT_EQ(AnswerAt("AT^GPSSTOP", state).text, Lines({"ERROR"}));
    EXPECT_TRUE(state.positioning);
    state.options.refuseClose = false;
    EXPECT_EQ(AnswerAt("AT^GPSSTOP", state).text, Lines({"OK"}));
    EXPECT_FALSE(state.positioning);

    state.options.gpsPort = false;
    EXPECT_EQ(AnswerAt("AT^GPSSTART", state).text, Lines({"ERROR"}));
    EXPECT_FALSE(state.positioning);
}

TEST(AtAnswers, ChosenCommandsAnswerErrorOrNothing) {
    CardState state = ReadyCard();
    state.options.replies = {{"AT^WPDGP", cardsim::Reply::None},
                             {"AT^GPSTYPE", cardsim::Reply::Error}};
    EXPECT_TRUE(AnswerAt("AT^WPDGP", state).silent);
    EXPECT_EQ(AnswerAt("at^gpstype?", state).text, Lines({"ERROR"}));
    EXPECT_EQ(AnswerAt("AT", state).text, Lines({"OK"}));
}

}  // namespace

namespace {

TEST(AtAnswers, PinOrPukEntryUnlocksTheSim) {
    struct Step {
        SimState before;
        const char* line;
        std::string answer;
        SimState after;
    };
    const Step steps[] = {
        {SimState::Pin, "AT+CPIN=\"0000\"", Lines({"+CME ERROR: 16"}), SimState::Pin},
        {SimState::Pin, "AT+CPIN=\"12x4\"", Lines({"+CME ERROR: 16"}), SimState::Pin},
        {SimState::Pin, "AT+CPIN=\"1234\"", Lines({"OK"}), SimState::Ready},
        {SimState::Ready, "AT+CPIN=1234", Lines({"+CME ERROR: 3"}), SimState::Ready},
        {SimState::Puk, "AT+CPIN=\"1234\"", Lines({"+CME ERROR: 16"}), SimState::Puk},
        {SimState::Puk, "AT+CPIN=\"12345678\",\"4321\"", Lines({"OK"}), SimState::Ready},
        {SimState::Missing, "AT+CPIN=\"1234\"", Lines({"+CME ERROR: 10"}), SimState::Missing},
    };
    for (const Step& step : steps) {
        CardState state = ReadyCard();
        state.options.sim = step.before;
        EXPECT_EQ(AnswerAt(step.line, state).text, step.answer) << step.line;
        EXPECT_EQ(state.options.sim, step.after) << step.line;
        if (step.before == SimState::Puk && step.after == SimState::Ready) {
            EXPECT_EQ(state.options.pin, "4321");
        }
    }
}

}  // namespace
