// The GPS dialog follows the card: device events, the polling of its ports, and the type
// query, against the scripted card and a virtual ports folder.
#include <fstream>

#include "monitoring_fixture.h"

using namespace orbitpane_test;

namespace {

class CardMonitoring : public MonitoringFixture {};

struct Event {
    uint32_t code;
    int sim = -1;  // the SIM status value of a 20507; -2: none at all
};

}  // namespace

TEST_F(CardMonitoring, TheSinkFoldsEachEventIntoOneState) {
    const struct {
        std::vector<Event> events;
        session::CardState state;
        bool simReady;
        const wchar_t* statusKey;  // null: not looked at
    } cases[] = {
        {{{kSimStatus, 0}, {kArrived}},
         session::CardState::kSimReported,
         false,
         L"IDS_STATIC_SUPPORT_AGPS_NOSIM"},
        {{{kSimStatus, 0}, {kReady}},
         session::CardState::kSimReported,
         false,
         L"IDS_STATIC_SUPPORT_AGPS_NOSIM"},
        {{{kSimStatus, 255}, {kSimStatus, 1}, {kReady}}, session::CardState::kReady, true, nullptr},
        {{{kReady}}, session::CardState::kReady, true, nullptr},
        {{{kReady}, {kArrived}}, session::CardState::kReady, true, nullptr},
        {{{kSimStatus, 7}}, session::CardState::kNone, true, L"IDS_STATIC_QUER_DataCard"},
        {{{kSimStatus, -2}}, session::CardState::kNone, true, L"IDS_STATIC_QUER_DataCard"},
        {{{kRemoved}}, session::CardState::kRemoved, true, nullptr},
        {{{kUnavailable}, {kArrived}}, session::CardState::kArrived, true, nullptr},
        {{{30000}}, session::CardState::kNone, true, L"IDS_STATIC_QUER_DataCard"},
    };
    for (const auto& c : cases) {
        Open();
        card->Reset();
        card->SetFallbackAnswer(kOk);
        for (const Event& e : c.events) {
            if (e.code != kSimStatus) {
                card->RaiseBareEvent(e.code);
            } else if (e.sim == -2) {
                card->RaiseEvent(kSimStatus, nullptr, 0);
            } else {
                card->RaiseSimStatus(static_cast<uint32_t>(e.sim));
            }
        }
        Settle();
        std::string label =
            std::to_string(c.events.front().code) + "/" + std::to_string(c.events.size());
        EXPECT_EQ(CardState(), c.state) << label;
        EXPECT_EQ(OnWindow([&] { return dialog->Card().SimReady(); }), c.simReady) << label;
        if (c.statusKey) {
            EXPECT_EQ(StatusKey(), c.statusKey) << label;
            EXPECT_EQ(Status(), Lang(c.statusKey)) << label;
        }
        EXPECT_EQ(card->DeviceEventResults(), std::vector<bool>(c.events.size(), true)) << label;
        dialog.reset();
    }
}

TEST_F(CardMonitoring, AFoundGpsPortShowsThePortAndWhatTheCardCanDo) {
    const struct {
        const char* offered;
        const char* answer;  // null: the card does not answer the type query
        uint32_t event;
        const wchar_t* statusKey;
        int gpsType;
        bool settingEnabled;
        const wchar_t* typeLabel;
    } cases[] = {
        {"Y", kAgpsCardAnswer, kReady, L"IDS_STATIC_SUPPORT_AGPS", 1, true, L"AGPS"},
        {"Y", kAgpsCardAnswer, kArrived, L"IDS_STATIC_SUPPORT_AGPS_NOSIM", 1, false, L"GPS"},
        {"Y", "\r\n^GPSTYPE:1\r\n\r\nOK\r\n", kReady, L"IDS_STATIC_SUPPORT_GPS_ONLY", 0, false,
         L"GPS"},
        {"Y", "\r\n^GPSTYPE:0\r\n\r\nOK\r\n", kReady, L"IDS_STATIC_SUPPORT_GPS", 0, false, L"GPS"},
        {"Y", nullptr, kReady, L"IDS_STATIC_SUPPORT_GPS", 0, false, L"GPS"},
        // AGPS not offered: GPS is what the ready card offers.
        {"N", kAgpsCardAnswer, kReady, L"IDS_STATIC_SUPPORT_GPS", 1, false, L""},
    };
    PlugPorts();
    for (const auto& c : cases) {
        WriteConfig(c.offered, "AGPS", "High speed");
        Open();
        card->Reset();
        c.answer ? card->SetStandingAnswer("AT^GPSTYPE?", c.answer)
                 : card->SetStandingAnswer("AT^GPSTYPE?", "\r\nERROR\r\n");
        Raise({c.event});
        std::string label = std::string(c.offered) + " " + (c.answer ? c.answer : "none");
        ASSERT_TRUE(PortShown()) << label;
        ASSERT_TRUE(Eventually([&] { return StatusKey() == c.statusKey; }))
            << label << " " << platform::WideToUtf8(StatusKey());
        EXPECT_EQ(OnWindow([&] { return dialog->Card().GpsTypeResult(); }), c.gpsType) << label;
        EXPECT_TRUE(CanStart()) << label;
        if (std::string(c.offered) == "Y") {
            EXPECT_EQ(user->Enabled(gps::kSetting), c.settingEnabled) << label;
        } else {
            EXPECT_FALSE(user->Visible(gps::kSetting)) << label;
        }
        EXPECT_EQ(user->Text(gps::kGpsType), c.typeLabel[0] ? c.typeLabel : L"") << label;
        EXPECT_EQ(user->Visible(gps::kGpsType), std::string(c.offered) == "Y") << label;
        EXPECT_EQ(plugin->Context().LastPosition()[orbitpane::kRowPort], kGpsPortText) << label;
        // Several passes later the type has still been asked once.
        std::this_thread::sleep_for(std::chrono::milliseconds(350));
        EXPECT_EQ(TypeQueries(), 1) << label;
        dialog.reset();
    }
}

TEST_F(CardMonitoring, ACardWithoutGpsIsReportedEverySecondAndItsUnpluggingOnce) {
    PlugPorts(false);
    Open();
    ASSERT_TRUE(Eventually([&] { return StatusKey() == L"IDS_STATIC_NOSUPPORT_GPS"; }));
    EXPECT_EQ(Status(), Lang(L"IDS_STATIC_NOSUPPORT_GPS"));
    EXPECT_EQ(DeviceStatus(), Lang(L"IDS_STATIC_NOSUPPORT_GPS"));
    dialog->ShowStatus(L"IDS_STATIC_QUER_GPS");
    EXPECT_TRUE(Eventually([&] { return StatusKey() == L"IDS_STATIC_NOSUPPORT_GPS"; }))
        << "shown again on the next pass";

    UnplugPorts();
    ASSERT_TRUE(Eventually([&] { return StatusKey() == L"IDS_STATIC_DEVICE_OUT"; }));
    EXPECT_EQ(DeviceStatus(), Lang(L"IDS_STATIC_DEVICE_OUT"));
    dialog->ShowStatus(L"IDS_STATIC_QUER_GPS");
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_QUER_GPS") << "card out is shown once";
}

TEST_F(CardMonitoring, UnpluggingAFoundCardIsLeftToTheRemovalEvent) {
    card->SetStandingAnswer("AT^GPSTYPE?", kAgpsCardAnswer);
    PlugPorts();
    Open();
    Raise({kReady});
    ASSERT_TRUE(PortShown());
    ASSERT_TRUE(Eventually([&] { return StatusKey() == L"IDS_STATIC_SUPPORT_AGPS"; }));
    UnplugPorts();
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_SUPPORT_AGPS");
    EXPECT_EQ(user->Cell(gps::kList, 0, 1), kGpsPortText);
}

TEST_F(CardMonitoring, RemovalForgetsTheLastPositionUnavailabilityKeepsIt) {
    const struct {
        uint32_t event;
        const wchar_t* key;
        bool kept;
    } cases[] = {
        {kUnavailable, L"IDS_STATIC_DEVICE_Unavailable", true},
        {kRemoved, L"IDS_STATIC_DEVICE_OUT", false},
    };
    PlugPorts();
    for (const auto& c : cases) {
        Open();
        Raise({kReady});
        ASSERT_TRUE(PortShown());
        ASSERT_TRUE(user->Click(gps::kStart));
        ASSERT_TRUE(Running());
        SendPosition("11.5E", "48.25N", "7");
        ASSERT_EQ(user->Cell(gps::kList, 1, 1), L"E 11d 30.000000");

        Raise({c.event});
        EXPECT_EQ(Status(), Lang(c.key));
        EXPECT_EQ(DeviceStatus(), Lang(c.key));
        EXPECT_EQ(StatusKey(), c.key) << "a language change shows the loss again";
        for (int row = 0; row < 5; ++row) EXPECT_EQ(user->Cell(gps::kList, row, 1), L"") << row;
        auto kept = plugin->Context().LastPosition();
        EXPECT_EQ(kept[orbitpane::kRowLongitude].empty(), !c.kept);
        EXPECT_EQ(kept[orbitpane::kRowPort].empty(), !c.kept);
        EXPECT_FALSE(CanStart());
        EXPECT_FALSE(ThreadHeld()) << "the polling has ended";
        EXPECT_FALSE(Running());
        EXPECT_FALSE(user->Enabled(gps::kStart)) << "nothing to start on: dimmed";
        EXPECT_FALSE(user->Enabled(gps::kSetting));
        EXPECT_TRUE(user->Timers().empty());

        // The card back and ready: Start is pressable again.
        Raise({kArrived, kReady});
        ASSERT_TRUE(PortShown());
        EXPECT_TRUE(CanStart());
        EXPECT_TRUE(user->Enabled(gps::kStart));
        dialog.reset();
    }
}

TEST_F(CardMonitoring, APresentCardIsPolledByOneThreadAtATime) {
    WriteConfig("Y", "AGPS", "High speed");
    card->SetStandingAnswer("AT^GPSTYPE?", kAgpsCardAnswer);
    OpenCounting();
    EXPECT_EQ(counted->starts, 1) << "the PC UI polling";
    Raise({kArrived, kArrived});
    EXPECT_EQ(counted->starts, 2) << "a second arrival starts no second thread";
    PlugPorts();
    ASSERT_TRUE(PortShown());
    Raise({kArrived});
    EXPECT_EQ(counted->starts, 2);
    EXPECT_FALSE(user->Enabled(gps::kSetting));
    EXPECT_EQ(user->Text(gps::kGpsType), L"GPS");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(TypeQueries(), 1);
}

TEST_F(CardMonitoring, AThreadEndedByASimReportIsReplacedWhenTheCardIsReady) {
    card->SetStandingAnswer("AT^GPSTYPE?", kAgpsCardAnswer);
    OpenCounting();
    Raise({kArrived});
    RaiseSim(1);  // the polling ends: the state has left "present"
    EXPECT_FALSE(ThreadHeld());
    PlugPorts();
    Raise({kReady});
    EXPECT_TRUE(PortShown()) << "a new thread searches the port";
    EXPECT_EQ(counted->starts, 3);
    EXPECT_TRUE(Eventually([&] { return StatusKey() == L"IDS_STATIC_SUPPORT_AGPS"; }));
}

TEST_F(CardMonitoring, APollingThreadThatCannotStartIsReported) {
    const struct {
        uint32_t event;
        const wchar_t* statusKey;
    } cases[] = {
        {kArrived, L"IDS_STATIC_NOSUPPORT_GPS"},  // the key, not its text
        {kReady, L"IDS_STATIC_NOSUPPORT_GPS"},
    };
    for (const auto& c : cases) {
        OpenCounting("_en-us", true);
        Raise({c.event});
        EXPECT_EQ(Status(), Lang(L"IDS_STATIC_NOSUPPORT_GPS"));
        EXPECT_EQ(DeviceStatus(), Lang(L"IDS_STATIC_NOSUPPORT_GPS"));
        EXPECT_EQ(StatusKey(), c.statusKey);
        EXPECT_FALSE(CanStart());
        EXPECT_FALSE(ThreadHeld());
        EXPECT_TRUE(Logged("Starting QueryGPSThread failed!"));
        EXPECT_TRUE(Logged("Starting QueryPCUIThread failed!"));
        dialog.reset();
    }
}

TEST_F(CardMonitoring, ClosingAndDestroyingEndTheThreadsWhateverTheOrder) {
    PlugPorts();
    Open();
    Raise({kReady});
    ASSERT_TRUE(PortShown());
    ASSERT_TRUE(user->Close());
    EXPECT_FALSE(ThreadHeld());
    EXPECT_EQ(CardState(), session::CardState::kNone);
    dialog.reset();  // the PC UI polling is joined here

    Open();
    card->Reset();
    card->SetFallbackAnswer(kOk);
    card->SetStandingAnswer("AT^GPSTYPE?", kAgpsCardAnswer, 400);
    Raise({kArrived});
    ASSERT_TRUE(card->WaitForSent(1, 2000));
    dialog.reset();  // while the type query of a pass waits for its answer
    EXPECT_EQ(TypeQueries(), 1);
}

// The polling ended before it found the port (a SIM report came first); the ready event starts
// a new one and still shows the ready card's status: the SIM text does not stay.
TEST_F(CardMonitoring, AReadyCardShowsItsStatusWhateverThePollingDid) {
    WriteConfig("N", "AGPS", "High speed");
    card->SetStandingAnswer("AT^GPSTYPE?", kAgpsCardAnswer);
    PlugPorts(false);
    Open();
    Raise({kArrived});
    RaiseSim(0);
    EXPECT_FALSE(ThreadHeld());
    PlugPorts();
    RaiseSim(1);
    ASSERT_EQ(StatusKey(), L"IDS_STATIC_SUPPORT_AGPS_NOSIM");
    Raise({kReady});
    ASSERT_TRUE(PortShown());
    ASSERT_TRUE(Eventually([&] { return TypeQueries() == 1; }));
    Settle();
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_SUPPORT_GPS");
    EXPECT_EQ(Status(), Lang(L"IDS_STATIC_SUPPORT_GPS"));
}

// A card still starting answers the type query "busy": once it is ready it is asked again, and
// the dialog offers what it can do; a card that has no type is not asked again.
TEST_F(CardMonitoring, ACardThatWasStartingIsAskedItsTypeAgainWhenReady) {
    WriteConfig("Y", "AGPS", "High speed");
    PlugPorts();
    card->QueueAnswer("AT^GPSTYPE?", "\r\n+CME ERROR: 14\r\n");
    card->SetStandingAnswer("AT^GPSTYPE?", kAgpsCardAnswer);
    Open();
    Raise({kArrived});
    ASSERT_TRUE(PortShown());
    ASSERT_TRUE(Eventually([&] { return TypeQueries() == 1; }));
    Settle();
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_SUPPORT_GPS") << "not told yet";
    RaiseSim(1);
    Raise({kReady});
    ASSERT_TRUE(Eventually([&] { return StatusKey() == L"IDS_STATIC_SUPPORT_AGPS"; }))
        << platform::WideToUtf8(StatusKey());
    EXPECT_EQ(TypeQueries(), 2);
    EXPECT_EQ(user->Text(gps::kGpsType), L"AGPS");
    EXPECT_TRUE(user->Enabled(gps::kSetting));
    Raise({kReady});
    Settle();
    EXPECT_EQ(TypeQueries(), 2) << "known now: not asked again";
}

// A SIM that waits for its PIN says so, with what to do, in every language; once the PIN is
// entered the card's usable SIM and readiness make the dialog ready without a restart.
TEST_F(CardMonitoring, ASimWaitingForItsPinSaysWhatToDoAndIsUsableOnceEntered) {
    WriteConfig("Y", "AGPS", "High speed");
    card->SetStandingAnswer("AT^GPSTYPE?", kAgpsCardAnswer);
    PlugPorts();
    std::vector<std::wstring> texts;
    for (const char* language : {"_en-us", "_ja", "_pt-br"}) {
        SCOPED_TRACE(language);
        Open(language);
        Raise({kArrived});
        ASSERT_TRUE(PortShown());
        RaiseSim(2);
        EXPECT_EQ(StatusKey(), L"IDS_STATIC_SIM_PIN");
        EXPECT_EQ(Status(), Lang(L"IDS_STATIC_SIM_PIN"));
        EXPECT_NE(Status().find(L"mmcli -i any --pin="), std::wstring::npos) << "what to do";
        texts.push_back(Status());
        RaiseSim(0);
        EXPECT_EQ(Status(), Lang(L"IDS_STATIC_SUPPORT_AGPS_NOSIM")) << "no SIM: as before";
        RaiseSim(2);
        RaiseSim(1);  // the PIN was entered
        Raise({kReady});
        EXPECT_EQ(StatusKey(), L"IDS_STATIC_SUPPORT_AGPS");
        EXPECT_TRUE(user->Enabled(gps::kSetting));
        EXPECT_TRUE(CanStart());
        dialog.reset();
    }
    EXPECT_NE(texts[0], texts[1]);
    EXPECT_NE(texts[0], texts[2]);
    EXPECT_NE(texts[1], texts[2]);
}

// A trace names the file and the line of the call that made it, in whichever file of the
// dialog that is.
TEST_F(CardMonitoring, TracesNameTheFileAndLineTheyAreMadeIn) {
    auto lineOf = [](const std::string& file, const std::string& call) {
        std::ifstream in(std::string(SATVIEW_DATA_DIR) + "/../src/orbitpane/" + file);
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            if (line.find(call) != std::string::npos) return number;
        }
        return 0;
    };
    PlugPorts();
    Open();
    CardFound();
    ASSERT_TRUE(user->Click(gps::kStart));
    ASSERT_TRUE(user->Click(gps::kStop));
    Raise({kArrived});
    RaiseSim(0);  // the port polling ends
    ASSERT_TRUE(Eventually([&] { return Logged("QueryGPSPortThread returned."); }));
    const struct {
        const char* file;
        const char* message;
    } traces[] = {
        {"session/gps_session.cpp", "OnBnClickedButtonStop returned!"},
        {"session/gps_session.cpp", "GPS has been openned successfully."},
        {"win32/gps_card.cpp", "QueryGPSPortThread returned."},
    };
    const std::string log = Log();
    for (const auto& t : traces) {
        const int line = lineOf(t.file, std::string("Trace(\"") + t.message);
        ASSERT_NE(line, 0) << t.message;
        const std::string file = std::string(t.file).substr(std::string(t.file).find('/') + 1);
        const std::string where = file + ":" + std::to_string(line) + " ";
        EXPECT_NE(log.find(where + t.message), std::string::npos) << where << t.message;
    }
}
