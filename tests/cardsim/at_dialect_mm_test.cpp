// The ModemManager dialect of the simulated card: what ModemManager reads and the GNSS
// commands, against the card's own dialect, which knows none of them.
#include <gtest/gtest.h>

#include "at_commands.h"

namespace {

using cardsim::AnswerAt;
using cardsim::CardState;
using cardsim::Dialect;

CardState ReadyCard(Dialect dialect) {
    CardState state;
    state.ready = true;
    state.options.dialect = dialect;
    return state;
}

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += cardsim::WireLine(line);
    return text;
}

TEST(ModemManagerDialect, AnswersWhatModemManagerAsksAndTheCardOwnSetStaysAsItWas) {
    struct Case {
        const char* line;
        std::string modemManager, card;
    };
    const Case cases[] = {
        {"AT+CGMI", Lines({"Telit", "OK"}), Lines({"TARVEK", "OK"})},
        {"AT+CGMM", Lines({"Wendrix 3G", "OK"}), Lines({"Wendrix 3G", "OK"})},
        {"AT+GCAP", Lines({"+GCAP: +CGSM,+DS", "OK"}), Lines({"ERROR"})},
        {"AT+CRSM=176,12258,0,0,10", Lines({"+CRSM: 144,0,\"98001132547698103254\"", "OK"}),
         Lines({"ERROR"})},
        {"AT+CRSM=176,28486,0,0,17", Lines({"+CRSM: 106,130", "OK"}), Lines({"ERROR"})},
        {"AT+CIMI", Lines({"001010123456789", "OK"}), Lines({"ERROR"})},
        {"AT+CGREG?", Lines({"+CGREG: 0,1", "OK"}), Lines({"ERROR"})},
        {"AT+CGREG=2", Lines({"OK"}), Lines({"ERROR"})},
        {"AT+CGREG=7", Lines({"ERROR"}), Lines({"ERROR"})},
        {"AT+COPS?", Lines({"+COPS: 0,2,\"00101\",2", "OK"}), Lines({"ERROR"})},
        {"AT$GPSP=?", Lines({"$GPSP: (0,1)", "OK"}), Lines({"ERROR"})},
        {"AT$GPSP?", Lines({"$GPSP: 0", "OK"}), Lines({"ERROR"})},
        {"AT$GPSP=2", Lines({"ERROR"}), Lines({"ERROR"})},
        {"AT$GPSNMUN=2,1,1,1,1,1,1", Lines({"OK"}), Lines({"ERROR"})},
        {"AT$GPSNMUN=2,x", Lines({"ERROR"}), Lines({"ERROR"})},
        // The card's own commands answer in both.
        {"AT+CPIN?", Lines({"+CPIN: READY", "OK"}), Lines({"+CPIN: READY", "OK"})},
        {"AT^GPSTYPE?", Lines({"^GPSTYPE:2", "OK"}), Lines({"^GPSTYPE:2", "OK"})},
    };
    for (const Case& c : cases) {
        CardState mm = ReadyCard(Dialect::ModemManager), card = ReadyCard(Dialect::Card);
        EXPECT_EQ(AnswerAt(c.line, mm).text, c.modemManager) << c.line;
        EXPECT_EQ(AnswerAt(c.line, card).text, c.card) << c.line;
    }
}

TEST(ModemManagerDialect, GnssPowerStartsAndStopsPositioning) {
    CardState state = ReadyCard(Dialect::ModemManager);
    EXPECT_EQ(AnswerAt("AT$GPSP=1", state).text, Lines({"OK"}));
    EXPECT_TRUE(state.positioning);
    EXPECT_EQ(AnswerAt("AT$GPSP?", state).text, Lines({"$GPSP: 1", "OK"}));
    EXPECT_EQ(AnswerAt("AT$GPSP=0", state).text, Lines({"OK"}));
    EXPECT_FALSE(state.positioning);

    // A card that refuses to stop, or has no GPS port, says so as the card's own set does.
    state.options.refuseClose = true;
    AnswerAt("AT$GPSP=1", state);
    EXPECT_EQ(AnswerAt("AT$GPSP=0", state).text, Lines({"ERROR"}));
    EXPECT_TRUE(state.positioning);
    CardState noGps = ReadyCard(Dialect::ModemManager);
    noGps.options.gpsPort = false;
    EXPECT_EQ(AnswerAt("AT$GPSP=1", noGps).text, Lines({"ERROR"}));
    EXPECT_FALSE(noGps.positioning);

    // Without a SIM neither the card number nor the subscriber can be read.
    CardState noSim = ReadyCard(Dialect::ModemManager);
    noSim.options.sim = cardsim::SimState::Missing;
    EXPECT_EQ(AnswerAt("AT+CRSM=176,12258,0,0,10", noSim).text, Lines({"+CME ERROR: 10"}));
    EXPECT_EQ(AnswerAt("AT+CIMI", noSim).text, Lines({"+CME ERROR: 10"}));
}

}  // namespace
