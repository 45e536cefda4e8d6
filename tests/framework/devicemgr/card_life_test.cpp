// A card's life as the rows of its transition table (card_life.h): from a link, what is learnt,
// the link then, what the owner may tell and what is asked of the card next.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "framework/devicemgr/card_life.h"

using devicemgr::CardLife;
using devicemgr::Link;

namespace {

// Runs one step on `life`; true when the step says the owner may tell something new.
bool Step(CardLife& life, const std::string& step) {
    std::istringstream words(step);
    std::string verb, arg;
    words >> verb >> arg;
    if (verb == "answered") return life.Answered();
    if (verb == "first-unanswered") return life.FirstWordsUnanswered();
    if (verb == "probe-missed") return life.ProbeMissed();
    if (verb == "link-lost") return life.LinkLost();
    if (verb == "identified") return life.Identified();
    if (verb == "sim") return life.SimRead(static_cast<uint32_t>(std::stoul(arg)));
    if (verb == "radio") return life.RadioRead(arg == "on");
    if (verb == "switched") return life.SwitchedOff(arg == "off");
    if (verb == "take") {
        life.TakeWork();
        return false;
    }
    if (verb == "command-unanswered") {
        life.CommandUnanswered();
    } else if (verb == "restarted") {
        life.Restarted();
    } else if (verb == "sim-reported") {
        life.SimReported();
    } else if (verb == "identity-complete") {
        life.IdentityRead(true);
    } else if (verb == "gps-opened") {
        life.GpsOpened();
    } else if (verb == "gps-start-unanswered") {
        life.GpsStartUnanswered();
    } else if (verb == "gps-stop-unanswered") {
        life.GpsCloseUnanswered();
    } else if (verb == "gps-stop-answered") {
        life.GpsCloseAnswered(arg == "stopped");
    } else {
        ADD_FAILURE() << "unknown step " << step;
    }
    return false;
}

std::string WorkOf(CardLife& life) {
    devicemgr::CardWork w = life.TakeWork();
    std::string out;
    if (w.init) out += "settings ";
    if (w.identify) out += "identity ";
    if (w.readSim) out += "sim ";
    if (w.readIdentity) out += "identity-again ";
    if (w.stopGps) out += "stop-gps ";
    if (!out.empty()) out.pop_back();
    return out;
}

const char* NameOf(Link link) {
    return link == Link::Unheard ? "unheard" : link == Link::Answering ? "answering" : "silent";
}

struct Row {
    std::vector<std::string> steps;
    const char* link;        // after the steps
    bool told;               // what the last step returned
    const char* work;        // what is asked of the card next
    const char* state = "";  // "arrived unavailable ready gps-open", each where it holds
};

std::string StateOf(const CardLife& life) {
    std::string out;
    if (life.State().arrived) out += "arrived ";
    if (life.State().unavailable) {
        out += life.State().unavailableReason == framework::kUnavailableSwitchedOff
                   ? "switched-off "
                   : "unavailable ";
    }
    if (life.State().ready) out += "ready ";
    if (life.GpsOpen()) out += "gps-open ";
    if (!out.empty()) out.pop_back();
    return out;
}

}  // namespace

TEST(CardLife, EachRowOfItsTransitionTable) {
    const std::string kAnswering = "answered";  // a card that answered its first words
    const std::string kReady[] = {"answered", "take", "identified", "sim 1", "radio on"};
    const Row rows[] = {
        // A new card is asked its settings, identity and SIM, answering or not.
        {{}, "unheard", false, "settings identity sim"},
        {{"answered"}, "answering", false, "settings identity sim"},
        {{"first-unanswered"}, "unheard", true, "settings identity sim", "arrived"},
        {{"first-unanswered", "first-unanswered"},
         "unheard",
         false,
         "settings identity sim",
         "arrived"},
        // Probes missed in a row make it silent: unavailable, its open session lost.
        {{kAnswering, "take", "probe-missed", "probe-missed"}, "answering", false, ""},
        {{kAnswering, "take", "probe-missed", "probe-missed", "probe-missed"},
         "silent",
         true,
         "",
         "arrived unavailable"},
        {{kAnswering, "take", "gps-opened", "probe-missed", "probe-missed", "probe-missed"},
         "silent",
         true,
         "stop-gps",
         "arrived unavailable"},
        {{kAnswering, "take", "gps-opened", "link-lost"},
         "silent",
         true,
         "stop-gps",
         "arrived unavailable"},
        {{kAnswering, "take", "link-lost", "link-lost"},
         "silent",
         false,
         "",
         "arrived unavailable"},
        // Silent, then answering: settings and SIM again, and the lost session's stop.
        {{kAnswering, "take", "gps-opened", "link-lost", "answered"},
         "answering",
         true,
         "settings identity sim stop-gps",
         "arrived"},
        {{kAnswering, "take", "identity-complete", "link-lost", "answered"},
         "answering",
         true,
         "settings sim",
         "arrived"},
        // A command unanswered, then an answer: the SIM again, readiness told again.
        {{kReady[0], kReady[1], kReady[2], kReady[3], kReady[4], "take", "command-unanswered",
          "answered"},
         "answering",
         false,
         "sim",
         "arrived ready"},
        {{kReady[0], kReady[1], kReady[2], kReady[3], kReady[4], "take", "command-unanswered",
          "answered", "radio on"},
         "answering",
         true,
         "sim identity-again",
         "arrived ready"},
        {{kReady[0], kReady[1], kReady[2], kReady[3], kReady[4], "take", "radio on"},
         "answering",
         false,
         "",
         "arrived ready"},
        // Restarted; the SIM reported by the card.
        {{kAnswering, "take", "restarted"}, "answering", false, "settings identity sim"},
        {{kAnswering, "take", "identity-complete", "restarted"},
         "answering",
         false,
         "settings sim"},
        {{kAnswering, "take", "sim-reported"}, "answering", false, "sim"},
        // The SIM read: told when it changed; one that cannot be used makes the card not ready.
        {{kAnswering, "take", "sim 1"}, "answering", true, ""},
        {{kAnswering, "take", "sim 1", "sim 1"}, "answering", false, ""},
        {{kReady[0], kReady[1], kReady[2], kReady[3], kReady[4], "take", "sim 2"},
         "answering",
         true,
         "",
         "arrived"},
        // Radio on with a usable SIM: ready told, the identity read again until complete.
        {{kReady[0], kReady[1], kReady[2], kReady[3], kReady[4]},
         "answering",
         true,
         "identity-again",
         "arrived ready"},
        {{kAnswering, "take", "identity-complete", "sim 1", "radio on"},
         "answering",
         true,
         "",
         "ready"},
        {{kAnswering, "take", "sim 0", "radio on"}, "answering", false, ""},
        {{kAnswering, "take", "sim 1", "radio off"}, "answering", false, ""},
        {{"sim 1", "radio on"}, "unheard", false, "settings identity sim"},
        // Switched off by its user: unavailable for that reason, the session gone with the
        // radio and nothing owed; switched on, ready told again once the radio is read on.
        {{kReady[0], kReady[1], kReady[2], kReady[3], kReady[4], "gps-opened", "take",
          "switched off"},
         "answering",
         true,
         "",
         "arrived switched-off"},
        {{kReady[0], kReady[1], kReady[2], kReady[3], kReady[4], "switched off", "switched off"},
         "answering",
         false,
         "identity-again",
         "arrived switched-off"},
        {{kReady[0], kReady[1], kReady[2], kReady[3], kReady[4], "switched off", "radio on"},
         "answering",
         false,
         "identity-again",
         "arrived switched-off"},
        {{kReady[0], kReady[1], kReady[2], kReady[3], kReady[4], "take", "switched off",
          "switched on"},
         "answering",
         true,
         "",
         "arrived"},
        {{kReady[0], kReady[1], kReady[2], kReady[3], kReady[4], "take", "switched off",
          "switched on", "radio on"},
         "answering",
         true,
         "identity-again",
         "arrived ready"},
        // Silence wins over the switch, and the switch is looked at anew once it answers.
        {{kAnswering, "take", "link-lost", "switched off"},
         "silent",
         false,
         "",
         "arrived unavailable"},
        {{kReady[0], kReady[1], kReady[2], kReady[3], kReady[4], "take", "switched off",
          "link-lost", "answered", "take", "switched off"},
         "answering",
         true,
         "",
         "arrived switched-off"},
        // The receiver's session: a start or a stop the card did not answer owes a stop, done
        // once the card answers; opening again forgets it; a refused stop still streams.
        {{kAnswering, "take", "gps-opened"}, "answering", false, "", "gps-open"},
        {{kAnswering, "take", "gps-start-unanswered"}, "answering", false, "stop-gps"},
        {{kAnswering, "take", "gps-opened", "gps-stop-unanswered"}, "answering", false, "stop-gps"},
        {{kAnswering, "take", "gps-start-unanswered", "gps-opened"},
         "answering",
         false,
         "",
         "gps-open"},
        {{kAnswering, "take", "gps-opened", "gps-stop-answered stopped"}, "answering", false, ""},
        {{kAnswering, "take", "gps-opened", "gps-stop-answered refused"},
         "answering",
         false,
         "",
         "gps-open"},
        {{kAnswering, "take", "gps-start-unanswered", "gps-stop-answered stopped"},
         "answering",
         false,
         ""},
    };
    for (const Row& row : rows) {
        CardLife life;
        bool told = false;
        std::string label;
        for (const std::string& step : row.steps) {
            told = Step(life, step);
            label += step + " / ";
        }
        EXPECT_STREQ(NameOf(life.GetLink()), row.link) << label;
        EXPECT_EQ(told, row.told) << label;
        EXPECT_EQ(StateOf(life), row.state) << label;
        EXPECT_EQ(WorkOf(life), row.work) << label;
    }
}

// Every report carries a count, so that a change that came and went between two looks of the
// owner is still told.
TEST(CardLife, CountsTellChangesThatCameAndWent) {
    CardLife life;
    life.Answered();
    life.Identified();
    life.SimRead(1);
    life.RadioRead(true);
    const devicemgr::CardState before = life.State();
    life.LinkLost();
    life.Answered();
    life.SimRead(0);
    life.SimRead(1);
    life.RadioRead(true);
    EXPECT_EQ(life.State().unavailableCount, before.unavailableCount + 1);
    EXPECT_EQ(life.State().simCount, before.simCount + 2);
    EXPECT_EQ(life.State().readyCount, before.readyCount + 1);
    EXPECT_TRUE(life.State().ready) << "as before, yet told again";
}
