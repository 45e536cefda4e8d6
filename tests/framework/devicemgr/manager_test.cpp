// The device manager driving simulated cards over real pseudo-terminals.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <stdexcept>

#include "manager_fixture.h"

namespace manager_test {
namespace {

using devicemgr::DeviceManager;
constexpr uint32_t kArrived = framework::kEventCardArrived;
constexpr uint32_t kRemoved = framework::kEventCardRemoved;
constexpr uint32_t kSim = framework::kEventSimStatus;
constexpr uint32_t kReady = framework::kEventCardReady;
constexpr uint32_t kUnavailable = framework::kEventCardUnavailable;

// Collects the answers of the current device's handler; one exchange at a time in these tests.
std::mutex answersMutex;
std::vector<std::string> answers;
void Collect(const char* answer) {
    std::lock_guard<std::mutex> lock(answersMutex);
    answers.push_back(answer);
}
std::vector<std::string> TakeAnswers(size_t count) {
    WaitUntil([&] {
        std::lock_guard<std::mutex> lock(answersMutex);
        return answers.size() >= count;
    });
    std::lock_guard<std::mutex> lock(answersMutex);
    auto taken = answers;
    answers.clear();
    return taken;
}

TEST_F(ManagerTest, EventsInOrderForEachSimState) {
    struct Case {
        const char* name;
        cardsim::SimState sim;
        bool neverReady;
        std::chrono::milliseconds readyAfter;
        std::vector<Event> expected;
    };
    const Case cases[] = {
        {"usable", cardsim::SimState::Ready, false, 0ms, {{kArrived, 0}, {kSim, 1}, {kReady, 0}}},
        {"no SIM", cardsim::SimState::Missing, false, 0ms, {{kArrived, 0}, {kSim, 0}}},
        {"PIN", cardsim::SimState::Pin, false, 0ms, {{kArrived, 0}, {kSim, 2}}},
        {"PUK", cardsim::SimState::Puk, false, 0ms, {{kArrived, 0}, {kSim, 2}}},
        {"starting up",
         cardsim::SimState::Ready,
         false,
         250ms,
         {{kArrived, 0}, {kSim, 4}, {kSim, 1}, {kReady, 0}}},
        {"never ready", cardsim::SimState::Ready, true, 0ms, {{kArrived, 0}, {kSim, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        StartManager(&sink);  // no card yet: the card is plugged in afterwards
        cardsim::CardOptions options;
        options.sim = c.sim;
        options.neverReady = c.neverReady;
        options.readyAfter = c.readyAfter;
        Plug(options);
        EXPECT_EQ(sink.WaitEvents(c.expected.size()), c.expected);
        std::this_thread::sleep_for(200ms);  // nothing more comes
        EXPECT_EQ(sink.Events(), c.expected);
        manager_->RemoveDeviceSink(&sink);
        manager_.reset();
        cards_.clear();
    }
}

TEST_F(ManagerTest, ASinkAddedLaterIsToldWhatTheOthersKnow) {
    RecordingSink first, later;
    Plug();
    StartManager(&first);
    const std::vector<Event> known{{kArrived, 0}, {kSim, 1}, {kReady, 0}};
    ASSERT_EQ(first.WaitEvents(3), known);
    ASSERT_TRUE(manager_->AddDeviceSink(&later));
    EXPECT_EQ(later.WaitEvents(3), known);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(first.Events(), known) << "the others are not told again";
    manager_->RemoveDeviceSink(&later);
}

TEST_F(ManagerTest, ReadinessLostWhenSilentAndRegained) {
    RecordingSink sink;
    auto& card = Plug();
    StartManager(&sink);
    ASSERT_EQ(sink.WaitEvents(3).size(), 3u);
    card.SetSilentAfter(1ms);
    auto events = sink.WaitEvents(4);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[3], (Event{kUnavailable, 0}));
    card.SetSilentAfter(0ms);
    events = sink.WaitEvents(5);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[4], (Event{kReady, 0}));
}

TEST_F(ManagerTest, UnplugAndPlugAgainOnTheSameOrOtherPorts) {
    RecordingSink sink;
    auto& card = Plug();
    DeviceManager& manager = StartManager(&sink);
    ASSERT_EQ(sink.WaitEvents(3).size(), 3u);
    const std::vector<Event> cycle = {{kRemoved, 0}, {kArrived, 0}, {kSim, 1}, {kReady, 0}};
    std::vector<Event> expected = {{kArrived, 0}, {kSim, 1}, {kReady, 0}};

    // Straight back: the freed port number is usually taken again.
    card.Unplug();
    ASSERT_EQ(sink.WaitEvents(4).size(), 4u);
    ASSERT_TRUE(card.Plug());
    expected.insert(expected.end(), cycle.begin(), cycle.end());
    EXPECT_EQ(sink.WaitEvents(7), expected);

    // Another card holds the freed numbers meanwhile: back on other ports.
    card.Unplug();
    ASSERT_EQ(sink.WaitEvents(8).size(), 8u);
    cardsim::CardOptions other;
    other.id = "other";
    other.pcuiText = "Some Other Interface";
    other.gpsText = "Some Other GPS";
    Plug(other);
    ASSERT_TRUE(card.Plug());
    expected.insert(expected.end(), cycle.begin(), cycle.end());
    EXPECT_EQ(sink.WaitEvents(11), expected);
    auto cards = manager.Cards();
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ("/dev/pts/" + std::to_string(cards[0].port), card.AtNode());
}

TEST_F(ManagerTest, FirstScanReportsEveryCardWithinASecond) {
    {
        InitializeSink early;
        auto started = std::chrono::steady_clock::now();
        manager_ = std::make_unique<DeviceManager>(Options());
        manager_->AddInitializeSink(&early);
        ASSERT_TRUE(early.Wait());
        EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
        EXPECT_EQ(early.Codes(), std::vector<int>{framework::kEventDevicesInitialized});
        EXPECT_EQ(early.Count(), 0);
        manager_->RemoveInitializeSink(&early);
        manager_.reset();
    }
    cardsim::CardOptions a, b;
    a.id = "sim-a";
    a.model = "Model A";
    b.id = "sim-b";
    b.model = "Model B";
    auto& cardA = Plug(a);
    auto& cardB = Plug(b);
    StartManager();
    InitializeSink late;  // added after the scan: told at once
    manager_->AddInitializeSink(&late);
    ASSERT_TRUE(late.Wait());
    auto listed = late.ListedDevices();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].id + "," + listed[1].id, "model a,model b");
    EXPECT_EQ("/dev/pts/" + std::to_string(listed[0].port), cardA.AtNode());
    EXPECT_EQ("/dev/pts/" + std::to_string(listed[1].port), cardB.AtNode());
    manager_->RemoveInitializeSink(&late);
}

TEST_F(ManagerTest, StoredChoiceIsCurrentAndTheNextTakesOverWhenItGoes) {
    cardsim::CardOptions a, b;
    a.id = "sim-a";
    a.model = "Model A";
    a.customize = "";
    b.id = "sim-b";
    b.model = "Model B";
    b.customize = "voice";
    Plug(a);
    auto& cardB = Plug(b);
    std::string port = cardB.AtNode().substr(std::strlen("/dev/pts/"));
    dir_.Write("localdeviceinfo.xml",
               "<localdevice><item name=\"x\" id=\"MODEL A\" port=\"999\"></item>"
               "<item name=\"y\" id=\"Model B\" port=\"" +
                   port + "\">1</item></localdevice>");
    RecordingSink sink;
    ChangedSink changed(-2);
    SetSink set;
    DeviceManager& manager = StartManager(&sink);
    EXPECT_EQ(manager.CurrentId(), "model b");
    EXPECT_STREQ(manager.CustomizeText(), "voice");
    manager.AddChangedSink(&changed);
    manager.AddPluginSetSink(&set);
    ASSERT_EQ(sink.WaitEvents(3).size(), 3u);
    cardB.Unplug();
    auto events = sink.WaitEvents(7);
    EXPECT_EQ(events, (std::vector<Event>{{kArrived, 0},
                                          {kSim, 1},
                                          {kReady, 0},
                                          {kRemoved, 0},
                                          {kArrived, 0},
                                          {kSim, 1},
                                          {kReady, 0}}));
    EXPECT_EQ(manager.CurrentId(), "model a");
    EXPECT_EQ(changed.Seen(), std::vector<std::string>{"model a/"});
    EXPECT_EQ(set.told, 1);
    manager.RemoveChangedSink(&changed);
    manager.RemovePluginSetSink(&set);
}

TEST_F(ManagerTest, ExchangesReachTheHandlerWholeAndLateAnswersNowhere) {
    cardsim::CardOptions options;
    options.answerPieces = 3;
    options.unsolicitedPeriod = 5ms;
    auto& card = Plug(options);
    DeviceManager& manager = StartManager();
    ASSERT_TRUE(WaitUntil([&] { return manager.Cards().size() == 1; }));
    manager.SetAnswerHandler(Collect);
    ASSERT_TRUE(manager.SendCommand("AT^GPSTYPE?\r\n"));
    EXPECT_EQ(TakeAnswers(1), std::vector<std::string>{"^GPSTYPE:2\r\nOK"});
    manager.EndExchange();

    // The card answers late: the exchange ends first, and the next one gets its own answer.
    card.SetAnswerDelay(300ms);
    ASSERT_TRUE(manager.SendCommand("AT^WPDOM=9\r\n"));  // answered ERROR, too late
    std::this_thread::sleep_for(100ms);
    manager.EndExchange();
    card.SetAnswerDelay(0ms);
    ASSERT_TRUE(manager.SendCommand("AT^WPDOM=5\r\n"));
    EXPECT_EQ(TakeAnswers(1), std::vector<std::string>{"OK"});
    manager.EndExchange();
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(TakeAnswers(0).empty());
    manager.RemoveAnswerHandler(Collect);

    // A command the card ignores: the exchange just ends, the card stays usable.
    card.SetReply("AT^WPDGP", cardsim::Reply::None);
    manager.SetAnswerHandler(Collect);
    ASSERT_TRUE(manager.SendCommand("AT^WPDGP\r\n"));
    std::this_thread::sleep_for(100ms);
    manager.EndExchange();
    card.SetReply("AT^WPDGP", cardsim::Reply::Normal);
    EXPECT_TRUE(manager.OpenGps());
    EXPECT_TRUE(manager.CloseGps());
    manager.RemoveAnswerHandler(Collect);
    EXPECT_TRUE(TakeAnswers(0).empty());
}

TEST(CardPath, TheOptionThenTheVariableThenTheSettingDecide) {
    using devicemgr::CardPath;
    const struct {
        const char* option;
        const char* environment;  // null: not set
        const char* setting;
        CardPath path;
    } cases[] = {
        {"", nullptr, "", CardPath::Auto},
        {"", nullptr, "serial", CardPath::Serial},
        {"", nullptr, "modemmanager", CardPath::ModemManager},
        {"", nullptr, "bogus", CardPath::Auto},
        {"", "", "serial", CardPath::Serial},  // an empty variable is not set
        {"", "modemmanager", "serial", CardPath::ModemManager},
        {"", "auto", "serial", CardPath::Auto},
        {"serial", "modemmanager", "modemmanager", CardPath::Serial},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.option) + "/" + (c.environment ? c.environment : "-") + "/" +
                     c.setting);
        EXPECT_EQ(devicemgr::ChooseCardPath(c.option, c.environment, c.setting), c.path);
    }
    // The setting is the "cardpath" attribute of the choice file's root, read with the choice.
    testing_support::TempDir dir;
    auto choice = devicemgr::ReadStoredChoice(
        dir.Write("localdeviceinfo.xml",
                  "<localdevice cardpath=\"serial\"><item id=\"Wendrix 3G\" port=\"4\">1</item>"
                  "</localdevice>"));
    EXPECT_EQ(choice.cardPath, "serial");
    EXPECT_EQ(choice.id, "wendrix 3g");
    EXPECT_EQ(choice.port, 4);
    EXPECT_EQ(devicemgr::ReadStoredChoice(dir.Write("empty.xml", "<localdevice/>")).cardPath, "");
}

TEST_F(ManagerTest, NoCardSendsNothing) {
    DeviceManager& manager = StartManager();
    EXPECT_FALSE(manager.SendCommand("AT\r\n"));
    EXPECT_FALSE(manager.OpenGps());
    EXPECT_FALSE(manager.CloseGps());
    EXPECT_STREQ(manager.CustomizeText(), "");
}

// Each epoch's view of the sky reaches the sinks while the session is open: every satellite
// of the card's four systems, those in the fix marked, with the dilutions and error estimates.
TEST_F(ManagerTest, GpsSessionDeliversEachViewOfTheSky) {
    cardsim::CardOptions options;
    options.nmeaPeriod = 20ms;
    auto& card = Plug(options);
    RecordingSink sink;
    DeviceManager& manager = StartManager(&sink);
    ASSERT_EQ(sink.WaitEvents(3).size(), 3u);
    ASSERT_TRUE(manager.OpenGps());
    auto skies = sink.WaitSkies(3);
    ASSERT_GE(skies.size(), 3u);
    for (const framework::GpsSkyRecord& sky : skies) {
        int systems[framework::kSkyMaxSatellites] = {}, used = 0;
        for (int i = 0; i < sky.count; ++i) {
            systems[sky.satellites[i].gnssid] = 1;
            used += sky.satellites[i].used;
            EXPECT_TRUE(sky.satellites[i].snrKnown && sky.satellites[i].elevationKnown);
        }
        EXPECT_GE(sky.count, 18);
        EXPECT_GE(used, 13);
        EXPECT_EQ(systems[0] + systems[2] + systems[3] + systems[6], 4)
            << "GPS, Galileo, BeiDou, GLONASS";
        EXPECT_TRUE(sky.hdopKnown && sky.pdopKnown && sky.vdopKnown);
        EXPECT_TRUE(sky.latitudeErrorKnown && sky.altitudeErrorKnown);
    }
    ASSERT_TRUE(manager.CloseGps());
    EXPECT_FALSE(card.Positioning());
    size_t closed = sink.WaitSkies(0, 0ms).size();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.WaitSkies(0, 0ms).size(), closed) << "none once the session is closed";
    manager.RemoveDeviceSink(&sink);
}

TEST_F(ManagerTest, GpsSessionDeliversRecordsDespiteNoise) {
    cardsim::CardOptions options;
    options.nmeaPeriod = 20ms;
    options.badChecksums = true;
    options.garbage = true;
    auto& card = Plug(options);
    RecordingSink sink;
    DeviceManager& manager = StartManager(&sink);
    ASSERT_EQ(sink.WaitEvents(3).size(), 3u);
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(sink.WaitRecords(1, 0ms).empty());  // nothing before the session opens
    ASSERT_TRUE(manager.OpenGps());
    auto records = sink.WaitRecords(3);
    ASSERT_GE(records.size(), 3u);
    for (const auto& r : records) {
        std::string lon = r.longitude, lat = r.latitude;
        ASSERT_GE(lon.size(), 3u);
        EXPECT_TRUE(lon.back() == 'E' || lon.back() == 'W') << lon;
        EXPECT_TRUE(lat.back() == 'N' || lat.back() == 'S') << lat;
        EXPECT_EQ(lon.size() - lon.find('.'), 8u) << lon;  // six decimals and the letter
        EXPECT_GT(std::atoi(r.satellites), 0);
    }
    EXPECT_GT(manager.GpsCounters().badChecksum, 0u);
    ASSERT_TRUE(manager.CloseGps());
    EXPECT_FALSE(card.Positioning());
    card.SetRefuseClose(true);
    ASSERT_TRUE(manager.OpenGps());
    EXPECT_FALSE(manager.CloseGps());  // the card's own answer
    manager.RemoveDeviceSink(&sink);   // the session goes on
}

TEST_F(ManagerTest, CardWithoutGpsPortRefusesTheSession) {
    cardsim::CardOptions options;
    options.gpsPort = false;
    Plug(options);
    RecordingSink sink;
    DeviceManager& manager = StartManager(&sink);
    ASSERT_EQ(sink.WaitEvents(3).size(), 3u);
    EXPECT_FALSE(manager.OpenGps());
    EXPECT_EQ(manager.CurrentId(), "wendrix 3g");
}

TEST_F(ManagerTest, ClosingMidExchangeEndsPromptly) {
    cardsim::CardOptions options;
    options.nmeaPeriod = 10ms;
    auto& card = Plug(options);
    RecordingSink sink;
    StartManager(&sink);
    ASSERT_EQ(sink.WaitEvents(3).size(), 3u);
    ASSERT_TRUE(manager_->OpenGps());
    ASSERT_FALSE(sink.WaitRecords(1).empty());
    // The card takes its time: an exchange and a probe are in flight when the manager closes.
    card.SetAnswerDelay(2000ms);
    ASSERT_TRUE(manager_->SendCommand("AT^WPDGP\r\n"));
    std::this_thread::sleep_for(400ms);
    manager_->RemoveDeviceSink(&sink);
    auto started = std::chrono::steady_clock::now();
    manager_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
}

TEST_F(ManagerTest, SinksRemovedWhileRecordsFlyAreNeverCalledAgain) {
    struct Guarded : framework::IDeviceMgrEvent {
        std::atomic<bool> removed{false};
        std::atomic<bool> late{false};
        bool OnDeviceEvent(uint32_t, void*) override {
            if (removed) late = true;
            std::this_thread::sleep_for(1ms);
            return true;
        }
    };
    cardsim::CardOptions options;
    options.nmeaPeriod = 5ms;
    Plug(options);
    RecordingSink sink;
    DeviceManager& manager = StartManager(&sink);
    ASSERT_EQ(sink.WaitEvents(3).size(), 3u);
    ASSERT_TRUE(manager.OpenGps());
    Guarded guarded[3];
    for (int round = 0; round < 30; ++round) {
        Guarded& g = guarded[round % 3];
        g.removed = false;
        manager.AddDeviceSink(&g);
        std::this_thread::sleep_for(3ms);
        manager.RemoveDeviceSink(&g);
        g.removed = true;
    }
    std::this_thread::sleep_for(20ms);
    for (Guarded& g : guarded) EXPECT_FALSE(g.late);
    manager.CloseGps();
    manager.RemoveDeviceSink(&sink);  // records may still be on their way
}

// The card's SIM goes, comes back, is locked and unlocked by a PIN entered on the card's port
// (no report follows: the manager reads the SIM again by itself). Every change is told, and a
// sink added while there is no SIM never hears of readiness.
TEST_F(ManagerTest, EverySimChangeIsToldAndReadinessFollowsIt) {
    RecordingSink sink, late;
    auto& card = Plug();
    DeviceManager& manager = StartManager(&sink);
    std::vector<Event> expected{{kArrived, 0}, {kSim, 1}, {kReady, 0}};
    ASSERT_EQ(sink.WaitEvents(3), expected);

    card.SetSim(cardsim::SimState::Missing);
    expected.push_back({kSim, 0});
    ASSERT_EQ(sink.WaitEvents(4), expected);
    manager.AddDeviceSink(&late);
    EXPECT_EQ(late.WaitEvents(2), (std::vector<Event>{{kArrived, 0}, {kSim, 0}}));

    card.SetSim(cardsim::SimState::Ready);
    expected.insert(expected.end(), {{kSim, 1}, {kReady, 0}});
    ASSERT_EQ(sink.WaitEvents(6), expected);
    card.SetSim(cardsim::SimState::Pin);
    expected.push_back({kSim, 2});
    ASSERT_EQ(sink.WaitEvents(7), expected);

    manager.SetAnswerHandler(Collect);
    ASSERT_TRUE(manager.SendCommand("AT+CPIN=\"1234\"\r\n"));
    EXPECT_EQ(TakeAnswers(1), std::vector<std::string>{"OK"});
    manager.EndExchange();
    manager.RemoveAnswerHandler(Collect);
    expected.insert(expected.end(), {{kSim, 1}, {kReady, 0}});
    EXPECT_EQ(sink.WaitEvents(9), expected);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sink.Events(), expected) << "nothing is told twice";
    std::vector<Event> toldLate{{kArrived, 0}};
    toldLate.insert(toldLate.end(), expected.begin() + 3, expected.end());
    EXPECT_EQ(late.Events(), toldLate);
    manager.RemoveDeviceSink(&late);
}

// The GPS port is registered after the AT port (as USB lists them) while the card is current,
// hangs up on its own, and comes back: each time it is listed it is opened and positions come.
TEST_F(ManagerTest, AGpsPortThatComesLaterOrHangsUpIsFollowed) {
    cardsim::CardOptions options;
    options.gpsPort = false;
    options.nmeaPeriod = 20ms;
    auto& card = Plug(options);
    RecordingSink sink;
    DeviceManager& manager = StartManager(&sink);
    ASSERT_EQ(sink.WaitEvents(3).size(), 3u);

    card.SetGpsPort(true);
    ASSERT_TRUE(Traced("GPS port opened: " + card.GpsNode()));
    ASSERT_TRUE(manager.OpenGps());
    ASSERT_GE(sink.WaitRecords(2).size(), 2u);

    std::string node = card.GpsNode();
    card.SetGpsPort(false);
    EXPECT_TRUE(Traced("GPS port hung up: " + node));
    EXPECT_TRUE(Traced("GPS port closed: " + node));
    size_t before = sink.WaitRecords(0, 0ms).size();
    card.SetGpsPort(true);
    EXPECT_GE(sink.WaitRecords(before + 2).size(), before + 2) << "positions again";
    EXPECT_TRUE(manager.CloseGps());
    manager.RemoveDeviceSink(&sink);  // records and views may still be on their way
}

// A card silent from the start has arrived and is unavailable; once it answers it is brought
// up, and its identity (read once it is ready, only what can be shown of it) is told to the
// device-changed sinks.
TEST_F(ManagerTest, ASilentCardIsUnavailableAndItsIdentityIsToldOnceKnown) {
    RecordingSink sink;
    ChangedSink changed;
    DeviceManager& manager = StartManager(&sink);
    manager.AddChangedSink(&changed);
    cardsim::CardOptions options;
    options.silentAfter = 1ms;
    options.model = "Wendrix\x1b]0;x\a 3G";
    options.customize = "voice";
    auto& card = Plug(options);
    EXPECT_EQ(sink.WaitEvents(2), (std::vector<Event>{{kArrived, 0}, {kUnavailable, 0}}));
    card.SetSilentAfter(0ms);
    EXPECT_EQ(sink.WaitEvents(4),
              (std::vector<Event>{{kArrived, 0}, {kUnavailable, 0}, {kSim, 1}, {kReady, 0}}));
    ASSERT_TRUE(WaitUntil([&] { return changed.Seen().size() >= 2; }));
    EXPECT_EQ(changed.Seen(), (std::vector<std::string>{"sim-1/", "wendrix]0;x 3g/voice"}));
    EXPECT_STREQ(manager.CustomizeText(), "voice");
    manager.RemoveChangedSink(&changed);
    manager_.reset();
    cards_.clear();

    // Still starting when it is found: the customize text is read once it is ready.
    options = {};
    options.readyAfter = 300ms;
    options.customize = "voice";
    StartManager();
    manager_->AddChangedSink(&changed);
    Plug(options);
    ASSERT_TRUE(WaitUntil([&] { return changed.Seen().size() >= 4; }));
    EXPECT_EQ(changed.Seen()[2], "wendrix 3g/");
    EXPECT_EQ(changed.Seen()[3], "wendrix 3g/voice");
    manager_->RemoveChangedSink(&changed);
    for (const std::string& line : Traces()) {
        EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](unsigned char c) {
            return c < 0x20 || c == 0x7f;
        })) << line;
    }
}

// A command of the user goes unanswered (the user may have given the card up): readiness is
// told again once the card answers. A session the card could not be told to stop, or that was
// lost while the card was silent, or that the card started after its start had timed out, is
// stopped on the card when it answers again.
TEST_F(ManagerTest, AfterSilenceReadinessComesBackAndALostSessionIsStopped) {
    cardsim::CardOptions options;
    options.nmeaPeriod = 20ms;
    auto& card = Plug(options);
    RecordingSink sink;
    DeviceManager& manager = StartManager(&sink);
    std::vector<Event> expected{{kArrived, 0}, {kSim, 1}, {kReady, 0}};
    ASSERT_EQ(sink.WaitEvents(3), expected);

    card.SetReply("AT^WPDGP", cardsim::Reply::None);
    ASSERT_TRUE(manager.SendCommand("AT^WPDGP\r\n"));
    std::this_thread::sleep_for(100ms);
    manager.EndExchange();
    expected.push_back({kReady, 0});
    EXPECT_EQ(sink.WaitEvents(4), expected);
    card.SetReply("AT^WPDGP", cardsim::Reply::Normal);

    ASSERT_TRUE(manager.OpenGps());
    card.SetReply("AT^GPSSTOP", cardsim::Reply::None);
    EXPECT_FALSE(manager.CloseGps());
    card.SetReply("AT^GPSSTOP", cardsim::Reply::Normal);
    EXPECT_TRUE(WaitUntil([&] { return !card.Positioning(); })) << "the stop is sent again";
    expected.push_back({kReady, 0});
    ASSERT_EQ(sink.WaitEvents(5), expected);

    ASSERT_TRUE(manager.OpenGps());
    card.SetSilentAfter(1ms);
    expected.push_back({kUnavailable, 0});
    ASSERT_EQ(sink.WaitEvents(6), expected);
    EXPECT_FALSE(manager.CloseGps()) << "not waited for";
    card.SetSilentAfter(0ms);
    expected.push_back({kReady, 0});
    EXPECT_EQ(sink.WaitEvents(7), expected);
    EXPECT_TRUE(WaitUntil([&] { return !card.Positioning(); }));

    // A start answered only after its time-out may have started the receiver: it is stopped
    // once the card answers again.
    card.SetAnswerDelay(std::chrono::milliseconds(devicemgr::kAnswerTimeoutMs + 500));
    EXPECT_FALSE(manager.OpenGps());
    EXPECT_TRUE(card.Positioning()) << "the card started all the same";
    card.SetAnswerDelay(0ms);
    EXPECT_TRUE(WaitUntil([&] { return !card.Positioning(); })) << "and is stopped";
    manager.RemoveDeviceSink(&sink);
}

// Throws at every event it is told, after counting it.
class ThrowingSink : public framework::IDeviceMgrEvent {
  public:
    explicit ThrowingSink(void (*raise)()) : raise_(raise) {}
    bool OnDeviceEvent(uint32_t, void*) override {
        ++calls;
        raise_();
        return true;
    }
    std::atomic<int> calls{0};

  private:
    void (*raise_)();
};

void (*raiseInHandler)() = nullptr;
void ThrowingHandler(const char*) {
    raiseInHandler();
}

// A sink and an answer handler that throw: each throw is traced with where it happened and
// what it was, the sink after it still hears every event, and the next exchange is answered.
TEST_F(ManagerTest, ThrowsOfSinksAndTheAnswerHandlerAreTracedAndPassOver) {
    struct Row {
        const char* thrown;
        void (*raise)();
        const char* traced;
    };
    const Row rows[] = {
        {"a std::exception", [] { throw std::runtime_error("sink state lost"); },
         "sink state lost"},
        {"an int", [] { throw 7; }, "unknown exception"},
    };
    const std::vector<Event> known{{kArrived, 0}, {kSim, 1}, {kReady, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.thrown);
        ThrowingSink thrower(row.raise);
        RecordingSink after;
        Plug();
        DeviceManager& manager = StartManager(&thrower);
        ASSERT_TRUE(manager.AddDeviceSink(&after));
        EXPECT_EQ(after.WaitEvents(3), known);
        EXPECT_GE(thrower.calls, 1);
        EXPECT_TRUE(Traced(std::string("a device event sink threw: ") + row.traced));

        raiseInHandler = row.raise;
        ASSERT_TRUE(manager.SetAnswerHandler(ThrowingHandler));
        ASSERT_TRUE(manager.SendCommand("AT^GPSTYPE?\r\n"));
        EXPECT_TRUE(Traced(std::string("the answer handler threw: ") + row.traced));
        manager.EndExchange();
        manager.RemoveAnswerHandler(ThrowingHandler);  // its call ended with the throw
        ASSERT_TRUE(manager.SetAnswerHandler(Collect));
        ASSERT_TRUE(manager.SendCommand("AT^GPSTYPE?\r\n"));
        EXPECT_EQ(TakeAnswers(1), std::vector<std::string>{"^GPSTYPE:2\r\nOK"});
        manager.EndExchange();
        manager.RemoveAnswerHandler(Collect);

        manager.RemoveDeviceSink(&after);
        manager.RemoveDeviceSink(&thrower);
        manager_.reset();
        cards_.clear();
    }
}

}  // namespace
}  // namespace manager_test
