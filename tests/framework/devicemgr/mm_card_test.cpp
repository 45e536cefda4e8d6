// A ModemManager modem's card over a double of the API: what its properties tell (SIM states,
// a failed modem, readiness, switched off), the command set's calls and answers, a session
// that changes only what it adds and undoes only that (also after a Satview was killed), and
// a refused authorization said in the log with how to grant it.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "framework/devicemgr/mm_card.h"
#include "nmea_sentences.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace {

using namespace devicemgr;
using nmea_test::Sentence;

// The modem's location setup lives here, as the calls leave it.
struct FakeApi final : MmApi {
    std::vector<std::string> calls;
    Result next{true, "", ""};              // what every call answers
    std::map<std::string, Result> answers;  // what one method answers instead
    bool busThreadFree = true;              // false: every RunSync gives up before its task begins
    LocationSetup setup{1, false, 30};      // 3gpp-lac-ci on, every 30 s
    std::function<void(const std::string&)> onCall;  // sees each call as it is made
    Result Answer(std::string call) {
        if (onCall) onCall(call);
        std::string method = call.substr(0, call.find(' '));
        calls.push_back(std::move(call));
        auto own = answers.find(method);
        return own != answers.end() ? own->second : next;
    }
    Result Enable(const std::string&) override { return Answer("Enable"); }
    Result ReadSetup(const std::string&, LocationSetup& now) override {
        Result r = Answer("ReadSetup");
        if (r.ok) now = setup;
        return r;
    }
    Result Setup(const std::string&, uint32_t sources, bool signal) override {
        Result r = Answer("Setup " + std::to_string(sources) + (signal ? " true" : " false"));
        if (r.ok) setup.sources = sources, setup.signals = signal;
        return r;
    }
    Result SetSuplServer(const std::string&, const std::string& server) override {
        return Answer("SetSuplServer " + server);
    }
    Result SetGpsRefreshRate(const std::string&, uint32_t seconds) override {
        Result r = Answer("SetGpsRefreshRate " + std::to_string(seconds));
        if (r.ok) setup.refreshRate = seconds;
        return r;
    }
    Result Ping(const std::string&) override { return Answer("Ping"); }
    void Post(std::function<void()> task) override { task(); }
    bool RunSync(std::function<void()> task) override {
        if (!busThreadFree) return false;
        task();
        return true;
    }
};

struct Listener final : CardListener {
    int changes = 0;
    int portChanges = 0;
    std::vector<framework::GpsDataRecord> records;
    std::vector<framework::GpsSkyRecord> skies;
    std::vector<std::string> answers;
    std::string traces;
    void OnCardChanged(Card&) override { ++changes; }
    void OnGpsRecord(Card&, const framework::GpsDataRecord& r) override { records.push_back(r); }
    void OnGpsSky(Card&, const framework::GpsSkyRecord& s) override { skies.push_back(s); }
    void OnUserAnswer(Card&, const std::string& answer) override { answers.push_back(answer); }
    void OnCardHungUp(Card&) override {}
    void OnGpsPortHungUp(Card&, std::chrono::steady_clock::time_point) override {}
    void OnCardTrace(Card&, int, const std::string& text) override { traces += text + "\n"; }
    void OnCardPortsChanged(Card&) override { ++portChanges; }
};

MmProperties Modem(int32_t state, uint32_t lock, uint32_t failed = 0, uint32_t caps = 6) {
    MmProperties p;
    p.state = state;
    p.unlockRequired = lock;
    p.failedReason = failed;
    p.model = "Wendrix 3G";
    p.capabilities = caps;
    p.enabled = 1;  // 3gpp-lac-ci on before Satview
    p.signalsLocation = false;
    p.refreshRate = 30;
    p.ports = std::vector<std::pair<std::string, uint32_t>>{{"ttyUSB4", 3}, {"ttyUSB6", 5}};
    return p;
}

TEST(MmCard, PropertiesTellSimReadinessAndFailure) {
    struct Case {
        int32_t state;
        uint32_t lock, failed, caps;
        bool arrived, unavailable;
        uint32_t sim;
        bool ready;
    } cases[] = {
        {8, 1, 0, 6, true, false, kSimUsable, true},    // registered, GPS offered
        {8, 1, 0, 1, true, false, kSimUsable, false},   // no GPS location
        {2, 2, 0, 6, true, false, kSimLocked, false},   // SIM PIN
        {2, 4, 0, 6, true, false, kSimLocked, false},   // SIM PUK
        {2, 8, 0, 6, true, false, kSimBusy, false},     // network lock
        {8, 3, 0, 6, true, false, kSimUsable, true},    // PIN2 locks something else
        {-1, 0, 2, 6, true, true, kSimMissing, false},  // failed: no SIM
        {-1, 0, 3, 6, true, true, kSimFailure, false},  // failed: SIM error
        {-1, 0, 1, 6, true, true, kSimUnknown, false},  // failed for another reason
        {1, 0, 0, 6, true, false, kSimUnknown, false},  // still initialising
    };
    for (const Case& c : cases) {
        FakeApi api;
        Listener listener;
        auto card = std::make_shared<MmCard>("/m/1", api, listener);
        card->Update(Modem(c.state, c.lock, c.failed, c.caps));
        auto s = card->GetState();
        SCOPED_TRACE(std::to_string(c.state) + "/" + std::to_string(c.lock) + "/" +
                     std::to_string(c.failed));
        EXPECT_EQ(s.arrived, c.arrived);
        EXPECT_EQ(s.unavailable, c.unavailable);
        EXPECT_EQ(s.simKnown ? s.sim : kSimUnknown, c.sim);
        EXPECT_EQ(s.ready, c.ready);
        EXPECT_GT(listener.changes, 0);
        EXPECT_TRUE(api.calls.empty());  // an enabled or failed modem is left as it is
    }
}

// Enabled only when found disabled as it first settles, as NetworkManager does; disabled later
// by its user or NetworkManager, it stays so, unavailable as switched off, until switched on.
TEST(MmCard, AModemIsEnabledOnlyWhenFoundDisabledAsItAppears) {
    struct Row {
        std::vector<int32_t> states;  // told one after the other
        std::vector<std::string> calls;
        bool ready;
        bool switchedOff;
    } rows[] = {
        {{3, 3, 6}, {"Enable"}, true, false},
        {{1, 3, 5, 6}, {"Enable"}, true, false},  // initialising first, then found disabled
        {{2, 3, 6}, {"Enable"}, true, false},     // the SIM unlocked, then found disabled
        {{8}, {}, true, false},
        {{8, 4, 3}, {}, false, true},  // disabled by its user: left so
        {{3, 6, 3}, {"Enable"}, false, true},
        {{8, 3, 5}, {}, false, false},  // being switched on again
        {{8, 3, 6}, {}, true, false},
        {{8, -1}, {}, false, false},  // failed: not answering, not switched off
    };
    for (const Row& row : rows) {
        std::string label;
        for (int32_t state : row.states) label += std::to_string(state) + " ";
        SCOPED_TRACE(label);
        FakeApi api;
        Listener listener;
        auto card = std::make_shared<MmCard>("/m/1", api, listener);
        card->Update(Modem(row.states[0], 1));
        for (size_t i = 1; i < row.states.size(); ++i) {
            MmProperties told;
            told.state = row.states[i];
            card->Update(told);
        }
        EXPECT_EQ(api.calls, row.calls);
        auto state = card->GetState();
        EXPECT_EQ(state.ready, row.ready);
        EXPECT_EQ(
            state.unavailable && state.unavailableReason == framework::kUnavailableSwitchedOff,
            row.switchedOff);
    }
}

TEST(MmCard, ItsPortsAreListedAndFollowed) {
    FakeApi api;
    Listener listener;
    auto card = std::make_shared<MmCard>("/m/1", api, listener);
    card->Update(Modem(6, 1));
    EXPECT_TRUE(card->GetState().ready);
    auto ports = card->Ports();
    EXPECT_EQ(ports.at.node, "/dev/ttyUSB4");
    EXPECT_EQ(ports.gps.node, "/dev/ttyUSB6");
    EXPECT_EQ(ports.gps.number, 6);
    EXPECT_NE(ports.gps.friendlyName.find("GPS Interface (COM6)"), std::string::npos);
    EXPECT_EQ(card->Id(), "wendrix 3g");
    EXPECT_EQ(card->PortNodes(), (std::vector<std::string>{"/dev/ttyUSB4", "/dev/ttyUSB6"}));
    EXPECT_EQ(listener.portChanges, 0);
    // ModemManager reports another port later: every port of the modem is followed.
    MmProperties told;
    told.ports = std::vector<std::pair<std::string, uint32_t>>{
        {"ttyUSB4", 3}, {"ttyUSB6", 5}, {"ttyUSB5", 3}};
    card->Update(told);
    EXPECT_EQ(listener.portChanges, 1);
    EXPECT_EQ(card->PortNodes(),
              (std::vector<std::string>{"/dev/ttyUSB4", "/dev/ttyUSB6", "/dev/ttyUSB5"}));
    card->Update(told);  // the same again
    EXPECT_EQ(listener.portChanges, 1);
}

TEST(MmCard, CommandSetThroughTheApi) {
    FakeApi api;
    Listener listener;
    auto card = std::make_shared<MmCard>("/m/1", api, listener);
    card->Update(Modem(8, 1, 0, 2 | 4 | 64));  // raw, NMEA and MS-based AGPS
    struct Step {
        const char* line;
        const char* answer;
        std::vector<std::string> calls;
    } steps[] = {
        {"AT^GPSTYPE?\r\n", "^GPSTYPE:2\r\nOK", {}},
        {"AT^SOCKETCONT=1,\"IP\",\"internet\"\r\n", "OK", {}},
        {"AT^SECTIME=\"2026/01/08,10:15:00\"\r\n", "OK", {}},
        {"AT^WPDFR=65536,1\r\n", "OK", {}},
        {"AT^WPDOM=1\r\n", "OK", {}},
        {"AT^WPURL=supl.example.org:7275\r\n", "OK", {"SetSuplServer supl.example.org:7275"}},
        {"AT^WPDGP\r\n", "OK", {"Ping"}},
        {" at^wpdgp \r\n", "OK", {"Ping"}},
        {"AT^WPURL=\"supl.example.org\"\r\n", "OK", {"SetSuplServer supl.example.org"}},
        {"AT^WPURL=\r\n", "ERROR", {}},
        // Before: 3gpp-lac-ci (1) without signals, every 30 s; GPS and MS-based AGPS added,
        // signals on, every trace; the stop takes away what the start added.
        {"AT^GPSSTART\r\n", "OK", {"ReadSetup", "SetGpsRefreshRate 0", "Setup 71 true"}},
        {"AT^GPSSTOP\r\n", "OK", {"ReadSetup", "Setup 1 false", "SetGpsRefreshRate 30"}},
        {"AT+CGMM\r\n", "ERROR", {}},
        {"ATD*99#\r\n", "ERROR", {}},
    };
    for (const Step& step : steps) {
        api.calls.clear();
        listener.answers.clear();
        ASSERT_TRUE(card->SendUser(step.line));
        ASSERT_EQ(listener.answers.size(), 1u) << step.line;
        EXPECT_EQ(listener.answers[0], step.answer) << step.line;
        EXPECT_EQ(api.calls, step.calls) << step.line;
    }
    // Standalone chosen: no assisted source.
    EXPECT_EQ(card->Execute("AT^WPDOM=0"), "OK");
    api.calls.clear();
    EXPECT_TRUE(card->OpenGps());
    EXPECT_EQ(api.calls.back(), "Setup 7 true");
}

TEST(MmCard, NmeaTraceGivesRecordsOnlyWhileOpenAndOnlyForNewSentences) {
    FakeApi api;
    Listener listener;
    auto card = std::make_shared<MmCard>("/m/1", api, listener);
    card->Update(Modem(8, 1));
    MmProperties trace;
    trace.nmea = Sentence("GPGGA,101500.00,4807.0381,N,01131.0002,E,1,08,0.9,545.4,M,46.9,M,,") +
                 "\r\n" +
                 Sentence("GPRMC,101500.00,A,4807.0381,N,01131.0002,E,1.2,84.4,080126,,,A");
    card->Update(trace);
    EXPECT_TRUE(listener.records.empty());  // no session
    ASSERT_TRUE(card->OpenGps());
    trace.nmea = Sentence("GPGGA,101501.00,4807.0392,N,01131.0011,E,1,08,0.9,545.4,M,46.9,M,,") +
                 "\r\n" +
                 Sentence("GPRMC,101501.00,A,4807.0392,N,01131.0011,E,1.2,84.4,080126,,,A");
    card->Update(trace);
    card->Update(trace);  // the same trace again: nothing new
    ASSERT_EQ(listener.records.size(), 1u) << card->GpsCounters().badChecksum;
    EXPECT_EQ(std::string(listener.records[0].latitude).substr(0, 7), "48.1173");
    ASSERT_TRUE(card->CloseGps());
}

// ModemManager's trace holds the latest sentence of each kind, so an unchanged fix mode comes
// again in every trace; it still holds, and the records carry it with the other values.
TEST(MmCard, NmeaTraceFillsTheRecordsExtraFields) {
    FakeApi api;
    Listener listener;
    auto card = std::make_shared<MmCard>("/m/1", api, listener);
    card->Update(Modem(8, 1));
    ASSERT_TRUE(card->OpenGps());
    const char* gsa = "$GPGSA,M,3,14,16,26,27,29,31,,,,,,,2.7,1.5,2.3*34";
    const std::vector<std::vector<std::string>> traces = {
        {"$GPGGA,195959.00,1541.31258893,N,05130.51204125,W,2,06,1.5,9.2,M,-37.6,M,4.0,0138*7E",
         "$GPVTG,147.44,T,164.31,M,0.26,N,0.49,K,D*2C",
         "$GPRMC,195959.00,A,1541.31258893,N,05130.51204125,W,0.26,147.44,140120,16.9,W,D*0B", gsa},
        {"$GPGGA,200000.00,1541.31248595,N,05130.51199976,W,2,06,1.5,8.8,M,-37.6,M,5.0,0138*7D",
         "$GPVTG,154.37,T,171.24,M,0.59,N,1.09,K,D*27",
         "$GPRMC,200000.00,A,1541.31248595,N,05130.51199976,W,0.59,154.37,140120,16.9,W,D*0C", gsa},
        {"$GPGGA,200001.00,1541.31235466,N,05130.51197862,W,2,06,1.5,8.9,M,-37.6,M,6.0,0138*73",
         "$GPVTG,166.14,T,183.01,M,0.49,N,0.90,K,D*2D",
         "$GPRMC,200001.00,A,1541.31235466,N,05130.51197862,W,0.49,166.14,140120,16.9,W,D*01", gsa},
    };
    for (const auto& sentences : traces) {
        MmProperties trace;
        trace.nmea = "";
        for (const std::string& s : sentences) *trace.nmea += s + "\r\n";
        card->Update(trace);
    }
    ASSERT_EQ(listener.records.size(), 3u);
    const framework::GpsDataRecord& last = listener.records[2];
    EXPECT_TRUE(last.altitudeKnown);
    EXPECT_EQ(last.altitudeMetres, 8.9);
    ASSERT_TRUE(last.fixModeKnown) << "the repeated GSA still holds";
    EXPECT_EQ(last.fixMode, framework::kGpsFix3D);
    EXPECT_EQ(last.hdop, 1.5);
    ASSERT_TRUE(last.speedKnown && last.courseKnown && last.utcDateTimeKnown);
    EXPECT_NEAR(last.speedMetresPerSecond, 0.59 * 1852 / 3600, 1e-9);
    EXPECT_EQ(last.utcMilliseconds, 1579032001000);  // 2020-01-14 20:00:01 UTC
    ASSERT_TRUE(card->CloseGps());
}

// The trace holds each talker's GSV run and the GSA sentences in an order of its own: each new
// trace makes one whole view of the sky, its satellites marked used as the GSA sentences say.
TEST(MmCard, EachNewNmeaTraceMakesOneViewOfTheSky) {
    FakeApi api;
    Listener listener;
    auto card = std::make_shared<MmCard>("/m/1", api, listener);
    card->Update(Modem(8, 1));
    auto traceAt = [](int second) {
        const std::string time = "10150" + std::to_string(second) + ".00";
        const std::vector<std::string> bodies = {
            "GLGSV,1,1,02,65,40,083,46,66,17,308,41,1",
            "GPGSV,2,2,05,18,38,010,40,1",
            "GNGSA,A,3,02,05,,,,,,,,,,,1.6,0.9,1.3,1",
            "GPRMC," + time + ",A,4807.0381,N,01131.0002,E,1.2,84.4,080126,,,A",
            "GPGSV,2,1,05,02,67,040,44,05,45,110,41,07,30,200,38,12,55,275,43,1",
            "GLGSA,A,3,66,,,,,,,,,,,,1.6,0.9,1.3",
            "GPGGA," + time + ",4807.0381,N,01131.0002,E,1,03,0.9,545.4,M,46.9,M,,",
        };
        MmProperties trace;
        trace.nmea = "";
        for (const std::string& b : bodies) *trace.nmea += Sentence(b) + "\r\n";
        return trace;
    };
    card->Update(traceAt(0));
    EXPECT_TRUE(listener.skies.empty()) << "no session";
    ASSERT_TRUE(card->OpenGps());
    card->Update(traceAt(1));
    card->Update(traceAt(1));  // the same trace: nothing new
    card->Update(traceAt(2));
    ASSERT_EQ(listener.skies.size(), 2u);
    const framework::GpsSkyRecord& sky = listener.skies.back();
    ASSERT_EQ(sky.count, 7);
    std::string used;
    for (int i = 0; i < sky.count; ++i) {
        if (sky.satellites[i].used) used += std::to_string(sky.satellites[i].prn) + " ";
    }
    EXPECT_EQ(used, "2 5 66 ");
    EXPECT_TRUE(sky.hdopKnown);
    ASSERT_TRUE(card->CloseGps());
}

TEST(MmCard, RefusedAuthorizationIsSaidWithHowToGrantIt) {
    FakeApi api;
    Listener listener;
    auto card = std::make_shared<MmCard>("/m/1", api, listener);
    card->Update(Modem(8, 1));
    api.next = {false, mm::kUnauthorized, "Not authorized to control location"};
    EXPECT_FALSE(card->OpenGps());
    EXPECT_FALSE(card->GpsOpen());
    EXPECT_NE(listener.traces.find("not authorized"), std::string::npos) << listener.traces;
    EXPECT_NE(listener.traces.find("org.freedesktop.ModemManager1.Location"), std::string::npos);
    EXPECT_EQ(card->Execute("AT^GPSSTART"), "ERROR");
    // A modem that no longer answers the probe is unavailable.
    api.next = {false, "org.freedesktop.DBus.Error.UnknownObject", "gone"};
    EXPECT_EQ(card->Execute("AT^WPDGP"), "ERROR");
    EXPECT_TRUE(card->GetState().unavailable);
    EXPECT_FALSE(card->OpenGps());
}

// A call that gets no reply in time leaves its command without an answer, as a serial card
// that stays silent leaves it.
TEST(MmCard, ACallWithoutReplyGivesNoAnswer) {
    const MmApi::Result unanswered{false, "org.freedesktop.DBus.Error.NoReply", "", true};
    struct Step {
        const char* line;
        const char* silent;  // the method that gets no reply
        std::vector<std::string> calls;
        bool unavailable;  // the modem no longer counts as answering
    } steps[] = {
        // Nothing more is asked after the call without reply.
        {"AT^GPSSTART\r\n", "ReadSetup", {"ReadSetup"}, false},
        {"AT^GPSSTART\r\n", "SetGpsRefreshRate", {"ReadSetup", "SetGpsRefreshRate 0"}, false},
        {"AT^GPSSTART\r\n", "Setup", {"ReadSetup", "SetGpsRefreshRate 0", "Setup 7 true"}, false},
        {"AT^GPSSTOP\r\n", "ReadSetup", {"ReadSetup"}, false},
        {"AT^WPURL=supl.example.org:7275\r\n",
         "SetSuplServer",
         {"SetSuplServer supl.example.org:7275"},
         false},
        {"AT^WPDGP\r\n", "Ping", {"Ping"}, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.line) + step.silent);
        FakeApi api;
        Listener listener;
        auto card = std::make_shared<MmCard>("/m/1", api, listener);
        card->Update(Modem(8, 1));
        api.answers[step.silent] = unanswered;
        ASSERT_TRUE(card->SendUser(step.line));
        EXPECT_TRUE(listener.answers.empty());
        EXPECT_EQ(api.calls, step.calls);
        EXPECT_EQ(card->GetState().unavailable, step.unavailable);
        EXPECT_NE(listener.traces.find("did not answer"), std::string::npos) << listener.traces;
    }
}

// Opening and closing fail when the stop got no reply or the bus thread never came to them;
// the session no longer counts as open either way, as with a serial card's unanswered stop.
TEST(MmCard, SessionUnansweredOrNotCarriedOutInTime) {
    for (bool busHeldUp : {false, true}) {
        SCOPED_TRACE(busHeldUp ? "the bus thread held up" : "the stop unanswered");
        FakeApi api;
        Listener listener;
        auto card = std::make_shared<MmCard>("/m/1", api, listener);
        card->Update(Modem(8, 1));
        ASSERT_TRUE(card->OpenGps());
        api.calls.clear();
        if (busHeldUp) {
            api.busThreadFree = false;
        } else {
            api.next = {false, "org.freedesktop.DBus.Error.NoReply", "", true};
        }
        EXPECT_FALSE(card->CloseGps());
        EXPECT_FALSE(card->GpsOpen());
        uint32_t status = 12345;
        EXPECT_FALSE(card->OpenGps(status));
        EXPECT_EQ(status, busHeldUp ? 12345u : 0u);
        EXPECT_FALSE(card->GpsOpen());
        // Without reply: the stop's and the start's look at the setup.
        EXPECT_EQ(api.calls.size(), busHeldUp ? 0u : 2u);
    }
}

}  // namespace

// Other clients share the modem's location setup: a session adds what it needs, and its stop
// takes away only what it added and nobody turned off since; what another client changes
// mid-session is left as they made it, and said.
TEST(MmCard, ASessionUndoesOnlyWhatItAdded) {
    struct Row {
        const char* what;
        LocationSetup before;
        std::vector<std::string> start;  // the calls of the start
        // Another client's change mid-session, told by ModemManager; none when unset.
        std::function<void(LocationSetup&)> other;
        std::vector<std::string> stop;
        const char* traced;  // in the log after the stop; "" for nothing of another client
    } rows[] = {
        {"alone",
         {0, false, 30},
         {"ReadSetup", "SetGpsRefreshRate 0", "Setup 6 true"},
         nullptr,
         {"ReadSetup", "Setup 0 false", "SetGpsRefreshRate 30"},
         ""},
        {"GeoClue's NMEA and signals on before",
         {4 | 1, true, 30},
         {"ReadSetup", "SetGpsRefreshRate 0", "Setup 7 true"},
         nullptr,
         {"ReadSetup", "Setup 5 true", "SetGpsRefreshRate 30"},
         ""},
        {"everything on before: nothing to add, nothing to take",
         {6, true, 0},
         {"ReadSetup", "Setup 6 true"},
         nullptr,
         {"ReadSetup"},
         ""},
        {"another client enables 3gpp-lac-ci meanwhile",
         {0, false, 30},
         {"ReadSetup", "SetGpsRefreshRate 0", "Setup 6 true"},
         [](LocationSetup& s) { s.sources |= 1; },
         {"ReadSetup", "Setup 1 false", "SetGpsRefreshRate 30"},
         ""},
        {"another client switches NMEA off, and on again: its own then",
         {0, false, 30},
         {"ReadSetup", "SetGpsRefreshRate 0", "Setup 6 true"},
         [](LocationSetup& s) { s.sources = 2; },
         {"ReadSetup", "Setup 4 false", "SetGpsRefreshRate 30"},
         "gps-nmea no longer as Satview set it; left so (the session's positions stop)"},
        {"another client switches the signals off",
         {0, false, 30},
         {"ReadSetup", "SetGpsRefreshRate 0", "Setup 6 true"},
         [](LocationSetup& s) { s.signals = false; },
         {"ReadSetup", "Setup 0 false", "SetGpsRefreshRate 30"},
         "the location signals no longer as Satview set it"},
        {"another client sets its own refresh rate",
         {0, false, 30},
         {"ReadSetup", "SetGpsRefreshRate 0", "Setup 6 true"},
         [](LocationSetup& s) { s.refreshRate = 5; },
         {"ReadSetup", "Setup 0 false"},
         "the refresh rate no longer as Satview set it"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FakeApi api;
        api.setup = row.before;
        Listener listener;
        auto card = std::make_shared<MmCard>("/m/1", api, listener);
        MmProperties modem = Modem(8, 1);
        modem.enabled = row.before.sources;
        modem.signalsLocation = row.before.signals;
        modem.refreshRate = row.before.refreshRate;
        card->Update(modem);
        ASSERT_TRUE(card->OpenGps());
        EXPECT_EQ(api.calls, row.start);
        auto tell = [&](const LocationSetup& s) {
            MmProperties told;
            told.enabled = s.sources;
            told.signalsLocation = s.signals;
            told.refreshRate = s.refreshRate;
            card->Update(told);
        };
        // A change told before Satview's own came in force says nothing of another client.
        tell(row.before);
        tell(api.setup);
        if (row.other) {
            row.other(api.setup);
            tell(api.setup);
            if (std::string(row.what).find("on again") != std::string::npos) {
                api.setup.sources |= 4;
                tell(api.setup);
            }
        }
        api.calls.clear();
        ASSERT_TRUE(card->CloseGps());
        EXPECT_EQ(api.calls, row.stop);
        if (*row.traced) {
            EXPECT_NE(listener.traces.find(row.traced), std::string::npos) << listener.traces;
        } else {
            EXPECT_EQ(listener.traces.find("another client"), std::string::npos) << listener.traces;
        }
    }
}

// What a session changes is written before the calls; a Satview killed mid-session leaves it,
// and the next Satview undoes it once the modem is enabled.
TEST(MmCard, WhatAKilledSessionLeftIsUndoneByTheNextSatview) {
    testing_support::TempDir dir;
    const std::string folder = dir.path() + "/changes";
    MmProperties modem = Modem(8, 1);
    modem.equipmentId = "000000000000042";
    modem.enabled = 0;
    modem.refreshRate = 30;
    const std::string file = ChangesPath(folder, "000000000000042");

    FakeApi api;
    api.setup = {0, false, 30};
    std::vector<std::string> writtenAtCall;
    api.onCall = [&](const std::string& call) {
        if (call.starts_with("Set")) {
            writtenAtCall.push_back(call + ": " + platform::ReadWholeFile(file).value_or("none"));
        }
    };
    {
        Listener listener;
        auto killed = std::make_shared<MmCard>("/m/1", api, listener, folder);
        killed->Update(modem);
        EXPECT_EQ(api.calls, std::vector<std::string>{}) << "nothing left to undo";
        ASSERT_TRUE(killed->OpenGps());
        // Dropped without a stop, as by a kill.
    }
    EXPECT_EQ(writtenAtCall,
              (std::vector<std::string>{"SetGpsRefreshRate 0: sources=6\nsignals=1\nrefresh=30\n",
                                        "Setup 6 true: sources=6\nsignals=1\nrefresh=30\n"}));
    // GeoClue turned 3gpp-lac-ci on since; ModemManager restarted, so the object is another.
    api.setup.sources |= 1;
    api.calls.clear();
    struct Row {
        const char* what;
        MmApi::Result setupAnswer;
        std::vector<std::string> calls;
        bool fileLeft;
    } rows[] = {
        {"the undo refused: tried again next time",
         {false, "org.freedesktop.ModemManager1.Error.Core.Failed", "busy"},
         {"ReadSetup", "Setup 1 false"},
         true},
        {"the undo done",
         {true, "", ""},
         {"ReadSetup", "Setup 1 false", "SetGpsRefreshRate 30"},
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        api.calls.clear();
        api.answers["Setup"] = row.setupAnswer;
        Listener listener;
        auto next = std::make_shared<MmCard>("/m/7", api, listener, folder);
        MmProperties appearing = modem;
        appearing.state = 3;  // disabled: enabled first, then undone
        next->Update(appearing);
        EXPECT_EQ(api.calls, std::vector<std::string>{"Enable"});
        MmProperties enabled;
        enabled.state = 6;
        next->Update(enabled);
        next->Update(enabled);  // once only
        api.calls.erase(api.calls.begin());
        EXPECT_EQ(api.calls, row.calls);
        EXPECT_EQ(platform::FileExists(file), row.fileLeft);
        EXPECT_NE(listener.traces.find("an earlier Satview left gps-raw|gps-nmea"),
                  std::string::npos)
            << listener.traces;
    }
    EXPECT_EQ(api.setup, (LocationSetup{1, false, 30})) << "GeoClue's source stays";
}
