// What the GPS dialog knows of the card, as sequences of what happens to it: device events,
// port searches, the GPS-type answer and the session's start and end, each row with what the
// dialog then draws.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "orbitpane/session/card_watch.h"

using session::CardState;
using session::CardWatch;
using session::GpsTypeAnswer;

namespace {

constexpr int kAny = -1;

// What the dialog draws after the steps; null and kAny are not looked at.
struct Drawn {
    const wchar_t* status = nullptr;  // L"" : the card never asked for the status line
    const wchar_t* device = nullptr;
    const wchar_t* label = nullptr;
    int labelShown = kAny;
    int settings = kAny;
    int canStart = kAny;
    int searching = kAny;
};

struct Row {
    const char* offered;  // "Y": AGPS offered, configured type AGPS; "N": not offered
    std::vector<std::string> steps;
    Drawn drawn;
};

// Runs one step ("ready", "sim 2", "port 5", "type busy", ... see below) on `watch`.
void Step(CardWatch& watch, const std::string& step) {
    std::istringstream words(step);
    std::string verb, arg;
    words >> verb >> arg;
    const unsigned round = watch.View().searchRound;
    if (verb == "arrive") {
        watch.DeviceEvent(20101);
    } else if (verb == "remove") {
        watch.DeviceEvent(20102);
    } else if (verb == "ready") {
        watch.DeviceEvent(20509);
    } else if (verb == "unavailable") {
        // "off": switched off; a number: that reason; nothing: the event carries none.
        watch.DeviceEvent(20510, arg.empty()    ? std::nullopt
                                 : arg == "off" ? std::optional<int32_t>(1)
                                                : std::optional<int32_t>(std::stoi(arg)));
    } else if (verb == "sim") {
        watch.DeviceEvent(20507,
                          arg.empty() ? std::nullopt : std::optional<int32_t>(std::stoi(arg)));
    } else if (verb == "code") {
        watch.DeviceEvent(static_cast<uint32_t>(std::stoul(arg)));
    } else if (verb == "pcui") {
        watch.PcUiSearched(true, arg == "+gps");
    } else if (verb == "nopcui") {
        watch.PcUiSearched(false, false);
    } else if (verb == "port" || verb == "stale-port") {
        watch.GpsPortSearched(verb == "port" ? round : round - 1, std::stoi(arg),
                              "GPS (COM" + arg + ")");
    } else if (verb == "noport") {
        watch.GpsPortSearched(round, std::nullopt, "");
    } else if (verb == "type" || verb == "stale-type") {
        GpsTypeAnswer answer = arg == "agps"   ? GpsTypeAnswer::kAgps
                               : arg == "gps"  ? GpsTypeAnswer::kGpsOnly
                               : arg == "none" ? GpsTypeAnswer::kNoType
                                               : GpsTypeAnswer::kUnanswered;
        watch.GpsTypeAnswered(verb == "type" ? round : round - 1, answer);
    } else if (verb == "failed") {
        watch.SearchFailed();
    } else if (verb == "start") {
        watch.SessionStarting(arg == "agps");
    } else if (verb == "end") {
        watch.SessionEnded();
    } else if (verb == "close") {
        watch.Closing();
    } else if (verb == "saved") {
        watch.SettingsSaved(arg);
    } else {
        FAIL() << "unknown step " << step;
    }
}

std::string Label(const Row& row) {
    std::string label = row.offered;
    for (const std::string& s : row.steps) label += " / " + s;
    return label;
}

void Check(const Row& row) {
    CardWatch watch;
    const bool offered = std::string(row.offered) == "Y";
    watch.Configure(offered, offered ? "AGPS" : "GPS");
    for (const std::string& step : row.steps) Step(watch, step);
    const session::CardView& v = watch.View();
    const Drawn& d = row.drawn;
    const std::string label = Label(row);
    if (d.status) EXPECT_EQ(v.statusKey, d.status) << label;
    if (d.device) EXPECT_EQ(v.deviceStatusKey, d.device) << label;
    if (d.label) EXPECT_EQ(v.gpsType, d.label) << label;
    if (d.labelShown != kAny) EXPECT_EQ(v.gpsTypeShown, d.labelShown == 1) << label;
    if (d.settings != kAny) EXPECT_EQ(v.settingsEnabled, d.settings == 1) << label;
    if (d.canStart != kAny) EXPECT_EQ(v.canStart, d.canStart == 1) << label;
    if (d.searching != kAny) EXPECT_EQ(v.searchPorts, d.searching == 1) << label;
}

}  // namespace

// Every event folds into one state; arrival never hides the SIM's report or readiness, and a
// ready event without a usable SIM repeats the last reaction.
TEST(CardWatch, EventsFoldIntoOneState) {
    const struct {
        std::vector<std::string> steps;
        CardState state;
        bool simReady;
    } rows[] = {
        {{"sim 0", "arrive"}, CardState::kSimReported, false},
        {{"sim 0", "ready"}, CardState::kSimReported, false},
        {{"sim 255", "sim 1", "ready"}, CardState::kReady, true},
        {{"ready"}, CardState::kReady, true},
        {{"ready", "arrive"}, CardState::kReady, true},
        {{"sim 7"}, CardState::kNone, true},
        {{"sim"}, CardState::kNone, true},
        {{"remove"}, CardState::kRemoved, true},
        {{"unavailable", "arrive"}, CardState::kArrived, true},
        {{"code 30000"}, CardState::kNone, true},
        {{"ready", "close"}, CardState::kNone, true},
    };
    for (const auto& row : rows) {
        CardWatch watch;
        watch.Configure(true, "AGPS");
        for (const std::string& step : row.steps) Step(watch, step);
        const std::string label = Label({"Y", row.steps, {}});
        EXPECT_EQ(watch.State(), row.state) << label;
        EXPECT_EQ(watch.SimReady(), row.simReady) << label;
    }
    // Events that change nothing leave the status line alone.
    for (const char* ignored : {"sim 7", "sim", "code 30000"}) {
        CardWatch watch;
        Step(watch, ignored);
        EXPECT_EQ(watch.View().statusTurn, 0u) << ignored;
    }
}

TEST(CardWatch, WhatTheDialogDrawsFollowsTheCard) {
    const Row rows[] = {
        // A SIM report: GPS only, the reason on the status line.
        {"Y", {"sim 0"}, {L"IDS_STATIC_SUPPORT_AGPS_NOSIM", nullptr, L"GPS", kAny, 0}},
        {"Y", {"sim 2"}, {L"IDS_STATIC_SIM_PIN", nullptr, L"GPS", kAny, 0}},
        {"Y", {"sim 1"}, {L"IDS_STATIC_SUPPORT_AGPS_NOSIM"}},
        // The port found and the type answered, by the card's state and the offer.
        {"Y",
         {"ready", "port 5", "type agps"},
         {L"IDS_STATIC_SUPPORT_AGPS", nullptr, L"AGPS", 1, 1, 1, 0}},
        {"Y",
         {"arrive", "port 5", "type agps"},
         {L"IDS_STATIC_SUPPORT_AGPS_NOSIM", nullptr, L"GPS", 1, 0, 1, 0}},
        {"Y",
         {"ready", "port 5", "type gps"},
         {L"IDS_STATIC_SUPPORT_GPS_ONLY", nullptr, L"GPS", 1, 0, 1, 0}},
        {"Y", {"ready", "port 5", "type none"}, {L"IDS_STATIC_SUPPORT_GPS", nullptr, L"GPS", 1, 0}},
        {"Y", {"ready", "port 5", "type busy"}, {L"IDS_STATIC_SUPPORT_GPS", nullptr, L"GPS", 1, 0}},
        {"N", {"ready", "port 5", "type agps"}, {L"IDS_STATIC_SUPPORT_GPS", nullptr, L"", 0, 0, 1}},
        // A ready event once the type is known shows the card's capability again.
        {"Y",
         {"arrive", "port 5", "type agps", "sim 1", "ready"},
         {L"IDS_STATIC_SUPPORT_AGPS", nullptr, L"AGPS", kAny, 1, 1, 0}},
        {"Y",
         {"arrive", "port 5", "type gps", "sim 1", "ready"},
         {L"IDS_STATIC_SUPPORT_GPS", nullptr, L"GPS", kAny, 0, 1, 0}},
        // A second arrival during the search: GPS until the card is ready.
        {"Y", {"arrive", "arrive"}, {nullptr, nullptr, L"GPS", kAny, 0, 0, 1}},
        // No GPS port yet: told on every pass, Start explains.
        {"Y",
         {"arrive", "noport"},
         {L"IDS_STATIC_NOSUPPORT_GPS", L"IDS_STATIC_NOSUPPORT_GPS", nullptr, kAny, kAny, 0, 1}},
        {"Y",
         {"arrive", "failed"},
         {L"IDS_STATIC_NOSUPPORT_GPS", L"IDS_STATIC_NOSUPPORT_GPS", nullptr, kAny, kAny, 0, 0}},
        // The PC UI search: a card without GPS port every second, its unplugging once.
        {"Y", {"pcui"}, {L"IDS_STATIC_NOSUPPORT_GPS", L"IDS_STATIC_NOSUPPORT_GPS"}},
        {"Y", {"pcui +gps"}, {L"", L"IDS_STATIC_QUER_DataCard"}},
        {"Y", {"pcui +gps", "nopcui"}, {L"IDS_STATIC_DEVICE_OUT", L"IDS_STATIC_DEVICE_OUT"}},
        {"Y",
         {"ready", "port 5", "type agps", "pcui +gps", "nopcui"},
         {L"IDS_STATIC_SUPPORT_AGPS", L"IDS_STATIC_QUER_DataCard"}},
        // The card lost: what the dialog shows of it goes, the loss is the device status.
        {"Y",
         {"ready", "port 5", "type agps", "remove", "end"},
         {L"IDS_STATIC_DEVICE_OUT", L"IDS_STATIC_DEVICE_OUT", nullptr, 0, 0, 0, 0}},
        {"Y",
         {"ready", "port 5", "type agps", "unavailable"},
         {L"IDS_STATIC_DEVICE_Unavailable", L"IDS_STATIC_DEVICE_Unavailable", nullptr, 0, 0, 0}},
        // Switched off by its user: said so, as lost as a card not answering; told again as
        // not answering or ready, it says that.
        {"Y",
         {"ready", "port 5", "type agps", "unavailable off"},
         {L"IDS_STATIC_DEVICE_SWITCHED_OFF", L"IDS_STATIC_DEVICE_SWITCHED_OFF", nullptr, 0, 0, 0,
          0}},
        {"Y",
         {"ready", "port 5", "type agps", "unavailable 0"},
         {L"IDS_STATIC_DEVICE_Unavailable", L"IDS_STATIC_DEVICE_Unavailable"}},
        {"Y",
         {"ready", "port 5", "type agps", "unavailable off", "unavailable 0"},
         {L"IDS_STATIC_DEVICE_Unavailable", L"IDS_STATIC_DEVICE_Unavailable"}},
        {"Y",
         {"ready", "port 5", "type agps", "unavailable off", "ready"},
         {L"IDS_STATIC_SUPPORT_AGPS", nullptr, nullptr, kAny, 1, 0, 1}},
        {"Y",
         {"ready", "port 5", "type agps", "unavailable off", "remove"},
         {L"IDS_STATIC_DEVICE_OUT", L"IDS_STATIC_DEVICE_OUT"}},
        // A session's type, and the idle state after it.
        {"Y", {"ready", "port 5", "type agps", "start agps"}, {nullptr, nullptr, L"AGPS", 1, 1}},
        {"Y", {"ready", "port 5", "type agps", "start gps"}, {nullptr, nullptr, L"GPS", 1, 1}},
        {"N", {"ready", "port 5", "type agps", "start gps"}, {nullptr, nullptr, L""}},
        {"Y",
         {"ready", "port 5", "type agps", "start gps", "end"},
         {nullptr, nullptr, L"AGPS", 1, 1}},
        {"Y", {"ready", "port 5", "type gps", "end"}, {nullptr, nullptr, L"GPS", 1, 0}},
        {"Y", {"arrive", "port 5", "type agps", "end"}, {nullptr, nullptr, L"GPS", 1, 0}},
        // The settings saved while idle: the label shows the type the card will use.
        {"Y", {"ready", "port 5", "type agps", "saved GPS"}, {nullptr, nullptr, L"GPS"}},
        {"Y", {"ready", "port 5", "type gps", "saved AGPS"}, {nullptr, nullptr, L"GPS"}},
        {"Y",
         {"ready", "port 5", "type agps", "saved GPS", "saved AGPS"},
         {nullptr, nullptr, L"AGPS"}},
        // What a search of an earlier round says is over.
        {"Y", {"arrive", "stale-port 5"}, {nullptr, nullptr, nullptr, kAny, kAny, 0, 1}},
        {"Y", {"ready", "port 5", "stale-type agps"}, {nullptr, nullptr, nullptr, 0, 0, 1, 1}},
        // The window closes: no more searching.
        {"Y", {"arrive", "close"}, {nullptr, nullptr, nullptr, kAny, kAny, kAny, 0}},
    };
    for (const Row& row : rows) Check(row);
}

// A card that is still starting answers the type query "busy": it is asked again once it is
// ready, and after every replug, so that its type is always learnt. A card that answered that
// it has no GPS type is not asked again.
TEST(CardWatch, ABusyCardIsAskedItsTypeAgainOnceReady) {
    const Row rows[] = {
        {"Y", {"arrive", "port 5", "type busy", "sim 1"}, {nullptr, nullptr, L"GPS", 1, 0, 1, 0}},
        {"Y",
         {"arrive", "port 5", "type busy", "sim 1", "ready"},
         {L"IDS_STATIC_SUPPORT_GPS", nullptr, nullptr, kAny, 0, 1, 1}},
        {"Y",
         {"arrive", "port 5", "type busy", "sim 1", "ready", "port 5", "type agps"},
         {L"IDS_STATIC_SUPPORT_AGPS", nullptr, L"AGPS", 1, 1, 1, 0}},
        // Ready while the first answer was still on its way.
        {"Y",
         {"arrive", "port 5", "ready", "type busy"},
         {nullptr, nullptr, nullptr, kAny, 0, 1, 1}},
        {"Y",
         {"arrive", "port 5", "ready", "type busy", "port 5", "type agps"},
         {L"IDS_STATIC_SUPPORT_AGPS", nullptr, L"AGPS", 1, 1, 1, 0}},
        // Busy again when asked again: asked again at the next ready event, not in a loop.
        {"Y",
         {"ready", "port 5", "type busy", "ready", "port 5", "type busy"},
         {L"IDS_STATIC_SUPPORT_GPS", nullptr, nullptr, kAny, 0, 1, 0}},
        // No GPS type at all: answered, not asked again.
        {"Y",
         {"arrive", "port 5", "type none", "sim 1", "ready"},
         {L"IDS_STATIC_SUPPORT_GPS", nullptr, L"GPS", kAny, 0, 1, 0}},
        // Replugged: found and asked again, whatever was known.
        {"Y",
         {"ready", "port 5", "type agps", "remove", "arrive"},
         {nullptr, nullptr, nullptr, kAny, 0, 0, 1}},
        {"Y",
         {"ready", "port 5", "type agps", "remove", "arrive", "port 7", "type busy", "sim 1",
          "ready", "port 7", "type agps"},
         {L"IDS_STATIC_SUPPORT_AGPS", nullptr, L"AGPS", 1, 1, 1, 0}},
        // A SIM report ends a search that had not found the port; readiness starts a new one.
        {"Y", {"arrive", "noport", "sim 1"}, {nullptr, nullptr, nullptr, kAny, kAny, 0, 0}},
        {"Y",
         {"arrive", "noport", "sim 1", "ready"},
         {nullptr, nullptr, nullptr, kAny, kAny, 0, 1}},
    };
    for (const Row& row : rows) Check(row);
}

TEST(CardWatch, OnlyANewSearchRoundSearches) {
    CardWatch watch;
    watch.Configure(true, "AGPS");
    watch.DeviceEvent(20101);
    const unsigned first = watch.View().searchRound;
    watch.DeviceEvent(20101);
    EXPECT_EQ(watch.View().searchRound, first) << "one search at a time";
    watch.GpsPortSearched(first, 5, "GPS (COM5)");
    EXPECT_EQ(watch.View().portText, L"") << "shown with the type";
    watch.GpsTypeAnswered(first, GpsTypeAnswer::kUnanswered);
    EXPECT_EQ(watch.View().portText, L"GPS (COM5)");
    watch.DeviceEvent(20507, 1);
    watch.DeviceEvent(20509);
    EXPECT_GT(watch.View().searchRound, first);
    EXPECT_TRUE(watch.AgpsReady() == false) << "not known to be AGPS yet";
    watch.GpsTypeAnswered(watch.View().searchRound, GpsTypeAnswer::kAgps);
    EXPECT_TRUE(watch.AgpsReady());
    EXPECT_EQ(watch.View().portText, L"GPS (COM5)") << "the port row stays while asking again";
}
