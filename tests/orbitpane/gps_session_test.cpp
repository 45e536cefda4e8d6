// One GPS session's life as sequences of what happens (Start, Stop, a restart, the window
// closing, the card lost, the watchdog's ticks, positions, the track switched), each row with
// what the session then did, in order: the card's commands, what it showed, the track's calls.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "orbitpane/session/gps_session.h"

using session::GpsSession;

namespace {

using Log = std::vector<std::string>;

std::string Narrow(const std::wstring& wide) {
    return std::string(wide.begin(), wide.end());
}

// The card, the screen and the track, all writing into one log. A command named in `failing`
// fails ("apn", "open", "close", "probe", ...).
struct Doubles : session::CardCommands, session::SessionScreen, session::TrackLog {
    Log log;
    std::set<std::string> failing;
    bool refused = false;
    bool traces = false;
    bool trackWanted = false;
    bool trackOpen = false;
    int points = 0;
    std::wstring statusKey;

    bool Do(const std::string& what, const std::string& name) {
        log.push_back(what);
        return !failing.count(name);
    }
    bool SetSecTime(const std::string& text) override { return Do("time " + text, "time"); }
    bool SetApn(const std::string& apn) override { return Do("apn " + apn, "apn"); }
    bool SetSuplServer(const std::string& s) override { return Do("supl " + s, "supl"); }
    bool SetPositionMode(int mode) override { return Do("mode " + std::to_string(mode), "mode"); }
    bool SetFixInterval(int s) override { return Do("interval " + std::to_string(s), "interval"); }
    bool OpenGps(bool& r) override {
        r = refused;
        return Do("open", "open");
    }
    bool CloseGps() override { return Do("close", "close"); }
    bool ProbeCard() override { return Do("probe", "probe"); }
    void RegisterEvents() override { log.push_back("register"); }
    void UnregisterEvents() override { log.push_back("unregister"); }

    void ShowStatusKey(const wchar_t* key) override {
        statusKey = key;
        log.push_back("status " + Narrow(key).substr(11));  // without "IDS_STATIC_"
    }
    std::wstring StatusKey() override { return statusKey; }
    void ShowDeviceStatus() override { log.push_back("device-status"); }
    void ShowSessionType(bool agps) override { log.push_back(agps ? "type agps" : "type gps"); }
    void ShowButtons(bool running) override {
        log.push_back(running ? "buttons running" : "buttons idle");
    }
    void ShowIdle() override { log.push_back("idle"); }
    void ShowNoData(std::optional<long long> s) override {
        log.push_back(s ? "no-data " + std::to_string(*s) : "no-data hidden");
    }
    void ClearNoDataSeconds() override { log.push_back("clear-no-data"); }
    bool StartWatchdogTimer() override { return Do("timer start", "timer"); }
    bool KillWatchdogTimer() override { return Do("timer kill", "kill"); }
    void Pause(int ms) override { log.push_back("pause " + std::to_string(ms)); }
    void CardGaveUp() override { log.push_back("gave-up"); }
    void ShowFirstFix(std::chrono::milliseconds after) override {
        log.push_back("first-fix " + std::to_string(after.count()));
    }
    void Trace(const std::string& m, const char*, int) override {
        if (traces) log.push_back("trace " + m);
    }

    bool Wanted() override { return trackWanted; }
    bool Open(std::time_t, std::string& why) override {
        why = "disk full";
        trackOpen = Do("track open", "track");
        points = 0;
        return trackOpen;
    }
    bool IsOpen() override { return trackOpen; }
    bool Append(const track::TrackPoint&, std::string& why) override {
        why = "disk full";
        ++points;
        return Do("track point", "point");
    }
    bool Describe(const std::string& text, std::string& why) override {
        why = "disk full";
        return Do("track desc " + text, "desc");
    }
    void Close() override {
        trackOpen = false;
        log.push_back("track close");
    }
    std::string Path() override { return "t.gpx"; }
    int Points() override { return points; }
};

// The session's clock: a steady time the rows move on, and a wall clock they can set back.
struct FakeClock {
    std::chrono::steady_clock::time_point steady{std::chrono::hours(1000)};
    std::time_t wall = 1796786100;  // 2026-12-09 03:15:00 UTC
    session::Clock Clock() {
        return {[this] { return steady; }, [this] { return wall; }};
    }
};

framework::GpsDataRecord Position() {
    framework::GpsDataRecord record{};
    std::snprintf(record.longitude, sizeof record.longitude, "139.767100E");
    std::snprintf(record.latitude, sizeof record.latitude, "35.681200N");
    std::snprintf(record.satellites, sizeof record.satellites, "8");
    return record;
}

struct Row {
    std::vector<std::string> steps;
    Log expected;  // what the last step did
    std::set<std::string> failing = {};
};

// Runs the steps; the log is cleared before the last one, unless the last step is "all".
Log RunSteps(const std::vector<std::string>& steps, Doubles& d) {
    FakeClock clock;
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    GpsSession session(d, d, d, clock.Clock());
    session::StartSettings gps, agps, pedestrian;
    agps.agps = true;
    agps.apn = "web.example";
    agps.suplServer = "supl.example.com:7275";
    // As a configuration file edited by hand can hold them.
    session::StartSettings badApn = agps, badSupl = agps;
    badApn.apn = "my\"apn;AT+CFUN=0";
    badSupl.suplServer = "bad server:99999";
    pedestrian.pedestrian = true;
    bool keepAll = !steps.empty() && steps.back() == "all";
    for (size_t i = 0; i < steps.size(); ++i) {
        std::istringstream words(steps[i]);
        std::string verb, arg;
        words >> verb >> arg;
        if (i + 1 == steps.size() && !keepAll) d.log.clear();
        if (verb == "start") {
            session.Start(arg == "agps"         ? agps
                          : arg == "pedestrian" ? pedestrian
                          : arg == "bad-apn"    ? badApn
                          : arg == "bad-supl"   ? badSupl
                                                : gps);
        } else if (verb == "stop") {
            session.Stop();
        } else if (verb == "restart") {
            session.Restart([&] { d.log.push_back("start"); });
        } else if (verb == "close") {
            session.CloseForExit();
        } else if (verb == "going") {
            session.WindowGoing();
        } else if (verb == "removed") {
            session.CardLost(session::CardLoss::kRemoved);
        } else if (verb == "unavailable") {
            session.CardLost(session::CardLoss::kUnavailable);
        } else if (verb == "after") {  // seconds on the steady clock
            clock.steady += std::chrono::milliseconds(static_cast<int>(std::stod(arg) * 1000));
        } else if (verb == "wall") {  // the wall clock set by seconds
            clock.wall += std::stol(arg);
        } else if (verb == "tick") {
            session.WatchdogTick();
        } else if (verb == "position") {
            if (session.AcceptsPositions()) {
                session.PositionArrived(Position(), clock.wall);
            } else {
                d.log.push_back("dropped");
            }
        } else if (verb == "track") {
            d.trackWanted = arg == "on";
            session.TrackWanted(d.trackWanted);
        } else if (verb == "traces") {
            d.traces = true;
        } else if (verb == "passing") {  // the dialog shows a passing message
            d.statusKey = L"IDS_STATIC_ERROR_OPENMAP";
            session.PassingStatusShown(d.statusKey);
        } else if (verb == "fail") {
            d.failing.insert(arg);
        } else if (verb == "refuse") {
            d.refused = true;
        } else if (verb != "all") {
            ADD_FAILURE() << "unknown step " << steps[i];
        }
    }
    return d.log;
}

std::string Label(const Row& row) {
    std::string label;
    for (const std::string& s : row.steps) label += s + " / ";
    return label;
}

void Check(const Row& row) {
    Doubles d;
    d.failing = row.failing;
    EXPECT_EQ(RunSteps(row.steps, d), row.expected) << Label(row);
}

const Log kGpsStart = {"status START_GPS",
                       "register",
                       "type gps",
                       "mode 0",
                       "interval 1",
                       "open",
                       "status START_GPSSUCCE",
                       "buttons running",
                       "status QUER_GPS",
                       "clear-no-data",
                       "timer start"};

}  // namespace

TEST(GpsSession, StartSendsTheCommandsOfItsTypeAndStopsAtTheFirstFailure) {
    const Row rows[] = {
        {{"start"}, kGpsStart},
        {{"start agps"},
         {"status START_GPS", "register", "type agps", "time 2026/12/9,3:15:0", "apn web.example",
          "supl supl.example.com:7275", "mode 5", "interval 1", "open", "status START_GPSSUCCE",
          "buttons running", "status QUER_GPS", "clear-no-data", "timer start"}},
        {{"start pedestrian"},
         {"status START_GPS", "register", "type gps", "mode 0", "interval 5", "open",
          "status START_GPSSUCCE", "buttons running", "status QUER_GPS", "clear-no-data",
          "timer start"}},
        // A failed step says which, and leaves no session behind, not even its events.
        {{"start agps"},
         {"status START_GPS", "register", "type agps", "time 2026/12/9,3:15:0",
          "status ERROR_SETSECTIME", "unregister"},
         {"time"}},
        {{"start agps"},
         {"status START_GPS", "register", "type agps", "time 2026/12/9,3:15:0", "apn web.example",
          "status ERROR_SETAPN", "unregister"},
         {"apn"}},
        {{"start agps"},
         {"status START_GPS", "register", "type agps", "time 2026/12/9,3:15:0", "apn web.example",
          "supl supl.example.com:7275", "status ERROR_SETSUPL", "unregister"},
         {"supl"}},
        {{"start agps"},
         {"status START_GPS", "register", "type agps", "time 2026/12/9,3:15:0", "apn web.example",
          "supl supl.example.com:7275", "mode 5", "status ERROR_SETMODE", "unregister"},
         {"mode"}},
        {{"start"},
         {"status START_GPS", "register", "type gps", "mode 0", "interval 1",
          "status ERROR_SETHIGHSPEED", "unregister"},
         {"interval"}},
        {{"start pedestrian"},
         {"status START_GPS", "register", "type gps", "mode 0", "interval 5", "status ERROR_SETPED",
          "unregister"},
         {"interval"}},
        {{"start"},
         {"status START_GPS", "register", "type gps", "mode 0", "interval 1", "open", "unregister",
          "status START_GPSFAILED"},
         {"open"}},
        {{"refuse", "start"},
         {"status START_GPS", "register", "type gps", "mode 0", "interval 1", "open", "unregister",
          "status NOT_AUTHORIZED"},
         {"open"}},
        // Saved values that fail their check reach no AT line: nothing is sent at all.
        {{"start bad-apn"},
         {"status START_GPS", "register", "type agps", "status UNUSABLE_APN", "unregister"}},
        {{"start bad-supl"},
         {"status START_GPS", "register", "type agps", "status UNUSABLE_SUPL", "unregister"}},
        // Start while running only starts the wait again.
        {{"start", "start"}, {"status QUER_GPS", "clear-no-data"}},
        // A failed start leaves the session idle: the next Start runs it all again.
        {{"fail open", "start", "start"},
         {"status START_GPS", "register", "type gps", "mode 0", "interval 1", "open", "unregister",
          "status START_GPSFAILED"}},
    };
    for (const Row& row : rows) Check(row);
}

TEST(GpsSession, EveryEndStopsTheReceiverOnceAndLeavesTheDialogIdle) {
    const Row rows[] = {
        {{"stop"}, {"status STOP_GPS", "status STOP_GPSSUCCE"}},
        {{"start", "stop"},
         {"status STOP_GPS", "timer kill", "close", "status STOP_GPSSUCCE", "idle", "unregister"}},
        {{"start", "stop"},
         {"status STOP_GPS", "timer kill", "close", "status STOP_GPSFAILED", "idle", "unregister"},
         {"close"}},
        {{"start", "stop", "stop"}, {"status STOP_GPS", "status STOP_GPSSUCCE"}},
        // Restart: the stop, the pause, the dialog's Start; while idle, only the pause first.
        {{"start", "restart"},
         {"status STOP_GPS", "timer kill", "close", "status STOP_GPSSUCCE", "idle", "unregister",
          "pause 500", "start"}},
        {{"restart"}, {"pause 500", "start"}},
        // The window closes while running: receiver and events stop, the session counts as
        // running until the next window makes it idle; closed while idle, nothing is sent.
        {{"start", "close"},
         {"timer kill", "device-status", "close", "buttons idle", "status STOP_GPSSUCCE",
          "unregister"}},
        {{"start", "close"},
         {"timer kill", "device-status", "close", "status STOP_GPSFAILED", "unregister"},
         {"close"}},
        {{"close"}, {}},
        {{"start", "close", "going"}, {}},
        // The window goes while a session runs (destroyed, deleted): the receiver is stopped.
        {{"start", "going"}, {"close", "unregister"}},
        {{"start", "stop", "going"}, {}},
        // The card lost: unavailable is told to stop (its card may answer again), a removed
        // card has no receiver left; positions already on their way are dropped.
        {{"start", "unavailable"}, {"close", "unregister", "idle", "timer kill"}},
        {{"start", "removed"}, {"unregister", "idle", "timer kill"}},
        {{"start", "removed", "position"}, {"dropped"}},
        {{"start", "stop", "position"}, {"dropped"}},
        {{"removed"}, {"idle"}},
        {{"start", "stop", "removed"}, {"idle", "timer kill"}},
        {{"start", "stop", "removed"}, {"idle", "timer kill"}, {"kill"}},
    };
    for (const Row& row : rows) Check(row);
}

// The time to the first fix runs from the user's Start to the session's first position, on the
// steady clock; the track's description gets it as soon as both are there.
TEST(GpsSession, TheFirstFixIsTimedFromStart) {
    const Row rows[] = {
        {{"start", "after 4.2", "position"}, {"first-fix 4200", "status START_GPSSUCCE"}},
        {{"start", "wall -3600", "after 35", "position"},
         {"first-fix 35000", "status START_GPSSUCCE"}},
        {{"start", "after 4.2", "position", "after 1", "position"}, {}},
        // Start while running keeps the session's; a new session times its own.
        {{"start", "after 1", "position", "start", "after 5", "position"},
         {"status START_GPSSUCCE"}},
        {{"start", "after 3", "position", "stop", "after 9", "start", "after 1.5", "position"},
         {"first-fix 1500", "status START_GPSSUCCE"}},
        // No session, no first fix.
        {{"position"}, {}},
        {{"track on", "start", "after 2", "position"},
         {"first-fix 2000", "track desc First fix after 2.0 s", "track point",
          "status START_GPSSUCCE"}},
        {{"start", "after 1", "position", "track on"},
         {"track open", "track desc First fix after 1.0 s"}},
        {{"track on", "start", "after 2", "position"},
         {"first-fix 2000", "track desc First fix after 2.0 s", "track point",
          "status START_GPSSUCCE"},
         {"desc"}},
    };
    for (const Row& row : rows) Check(row);
}

// The watchdog measures with the steady clock: the no-data line from the last position, the
// card's check every 20 s from Start or the last good check, whatever the wall clock does.
TEST(GpsSession, TheWatchdogCountsOnTheSteadyClock) {
    const Row rows[] = {
        {{"start", "after 2.9", "tick"}, {"no-data hidden"}},
        {{"start", "after 3", "tick"}, {"no-data 3"}},
        {{"start", "after 2", "position", "after 2", "tick"}, {"no-data hidden"}},
        {{"start", "position", "after 3.5", "tick"}, {"no-data 3", "status QUER_GPS"}},
        {{"start", "after 1", "position"}, {"first-fix 1000", "status START_GPSSUCCE"}},
        // The wall clock set back an hour or forward a day changes nothing measured.
        {{"start", "wall -3600", "after 3", "tick"}, {"no-data 3"}},
        {{"start", "wall 86400", "after 1", "tick"}, {"no-data hidden"}},
        {{"start", "wall -3600", "after 20", "tick"}, {"no-data 20", "probe"}},
        // Positions every second: the card is still checked every 20 s, and the log does not
        // say that no data came.
        {{"start", "after 19", "position", "after 1", "tick"}, {"no-data hidden", "probe"}},
        {{"traces", "start", "after 19", "position", "after 1", "tick"},
         {"no-data hidden", "probe", "trace Data Card is OK!\n"}},
        {{"traces", "start", "after 20", "tick"},
         {"no-data 20", "trace NO GPS Data in 20 second!\n", "probe", "trace Data Card is OK!\n"}},
        {{"start", "after 20", "tick", "after 3", "tick"}, {"no-data 23"}},
        {{"start", "after 20", "tick", "after 20", "tick"}, {"no-data 40", "probe"}},
        // An unanswered check gives the card up while a session runs, and is told (the dialog
        // then handles the card as unavailable); idle, the check comes again on every tick.
        {{"start", "after 20", "tick"},
         {"no-data 20", "probe", "gave-up", "timer kill"},
         {"probe"}},
        {{"start", "after 20", "tick", "unavailable"},
         {"close", "unregister", "idle", "timer kill", "status STOPPED_NOANSWER"},
         {"probe"}},
        {{"start", "after 20", "tick", "unavailable", "unavailable"},
         {"idle", "timer kill"},
         {"probe"}},
        {{"start", "stop", "after 20", "tick", "after 3", "tick"},
         {"no-data 23", "probe"},
         {"probe"}},
    };
    for (const Row& row : rows) Check(row);
}

// A passing message (a map that could not be opened) stays while positions come for 5 s, then
// gives way to the session's status; without positions, or idle, it stays.
TEST(GpsSession, APassingMessageGivesWayOncePositionsKeepComing) {
    const Row rows[] = {
        {{"start", "position", "passing", "after 4.9", "position"}, {}},
        {{"start", "position", "passing", "after 5", "position"}, {"status START_GPSSUCCE"}},
        {{"start", "passing", "after 4", "position", "after 1", "position"},
         {"status START_GPSSUCCE"}},
        {{"start", "passing", "after 6", "tick"}, {"no-data 6"}},
        {{"passing", "after 6", "position"}, {}},
        // Once it gave way, the status follows the positions as before.
        {{"start", "passing", "after 5", "position", "after 3.5", "tick"},
         {"no-data 3", "status QUER_GPS"}},
    };
    for (const Row& row : rows) Check(row);
}

// A session's track starts with it and ends with it, however it ends: each session its own.
TEST(GpsSession, TheTrackEndsWithItsSession) {
    const Row rows[] = {
        {{"track on", "start", "position", "position", "stop", "all"},
         {"status START_GPS",
          "register",
          "type gps",
          "mode 0",
          "interval 1",
          "open",
          "status START_GPSSUCCE",
          "buttons running",
          "track open",
          "status QUER_GPS",
          "clear-no-data",
          "timer start",
          "first-fix 0",
          "track desc First fix after 0.0 s",
          "track point",
          "status START_GPSSUCCE",
          "track point",
          "status STOP_GPS",
          "timer kill",
          "track close",
          "close",
          "status STOP_GPSSUCCE",
          "idle",
          "unregister"}},
        {{"track on", "start", "removed"}, {"track close", "unregister", "idle", "timer kill"}},
        {{"track on", "start", "unavailable"},
         {"track close", "close", "unregister", "idle", "timer kill"}},
        {{"track on", "start", "close"},
         {"timer kill", "device-status", "track close", "close", "buttons idle",
          "status STOP_GPSSUCCE", "unregister"}},
        {{"track on", "start", "going"}, {"track close", "close", "unregister"}},
        {{"track on", "start", "removed", "start"},
         {"status START_GPS", "register", "type gps", "mode 0", "interval 1", "open",
          "status START_GPSSUCCE", "buttons running", "track open", "status QUER_GPS",
          "clear-no-data", "timer start"}},
        // Switched from the menu: a running session is recorded from then on, or no longer.
        {{"start", "track on"}, {"track open"}},
        {{"track on", "start", "track off"}, {"track close"}},
        {{"track on"}, {}},
        {{"track on", "start", "stop", "track on"}, {}},
        // A point that cannot be written (a full disk) ends the track; the session goes on,
        // and the status line says so once a session, in place of "started".
        {{"track on", "start", "position"},
         {"first-fix 0", "track desc First fix after 0.0 s", "track point", "track close",
          "status ERROR_TRACK"},
         {"point"}},
        {{"track on", "start", "position", "position"}, {}, {"point"}},
        {{"track on", "start", "position", "track off", "track on", "position"},
         {"track point", "track close"},
         {"point"}},
        {{"track on", "start", "position", "stop", "start", "position"},
         {"first-fix 0", "track desc First fix after 0.0 s", "track point", "track close",
          "status ERROR_TRACK"},
         {"point"}},
        // A track that cannot be opened (its folder cannot be made) leaves the session
        // unrecorded, and is told after the session's own status.
        {{"track on", "start"},
         {"status START_GPS", "register", "type gps", "mode 0", "interval 1", "open",
          "status START_GPSSUCCE", "buttons running", "track open", "status QUER_GPS",
          "status ERROR_TRACK", "clear-no-data", "timer start"},
         {"track"}},
        {{"track on", "start", "position"}, {"first-fix 0"}, {"track"}},
        {{"start", "track on"}, {"track open", "status ERROR_TRACK"}, {"track"}},
        {{"track on", "start", "track off", "track on"}, {"track open"}, {"track"}},
    };
    for (const Row& row : rows) Check(row);
}

TEST(GpsSession, TracesSayWhatHappened) {
    Doubles d;
    d.traces = true;
    d.trackWanted = true;
    d.failing = {"probe", "kill"};
    RunSteps({"start", "position", "after 20", "tick", "unavailable", "all"}, d);
    const Log expected = {"trace GPS has been openned successfully.",
                          "trace Recording the session in t.gpx",
                          "trace First fix after 0.0 s",
                          "trace NO GPS Data in 20 second!\n",
                          "trace Data Card is Not OK!\n",
                          "trace Track ended with 1 points: t.gpx",
                          "trace GPS has been closed successfully.",
                          "trace The GPS Data determining Timer Killing failed!"};
    Log traces;
    for (const std::string& line : d.log) {
        if (line.rfind("trace ", 0) == 0) traces.push_back(line);
    }
    EXPECT_EQ(traces, expected);
}

TEST(SecTimeText, FieldsCarryNoLeadingZeros) {
    struct Case {
        int year, month, day, hour, minute, second;
        const char* text;
    } cases[] = {
        {2026, 12, 7, 21, 30, 5, "2026/12/7,21:30:5"},
        {2026, 12, 8, 0, 5, 0, "2026/12/8,0:5:0"},  // the first hour of the day
        {2027, 1, 1, 0, 0, 0, "2027/1/1,0:0:0"},
        {2027, 9, 30, 23, 59, 59, "2027/9/30,23:59:59"},
    };
    for (const Case& c : cases) {
        std::tm local{};
        local.tm_year = c.year - 1900;
        local.tm_mon = c.month - 1;
        local.tm_mday = c.day;
        local.tm_hour = c.hour;
        local.tm_min = c.minute;
        local.tm_sec = c.second;
        EXPECT_EQ(session::SecTimeText(local), c.text);
    }
}
