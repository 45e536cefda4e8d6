// Starting, stopping and restarting GPS from the dialog, against the scripted card.
#include <atomic>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "dialog_fixture.h"
#include "fake_dialog.h"

using namespace orbitpane_test;

namespace {

// "AT^SECTIME=\"Y/M/D,h:m:s\"\r\n": a four-digit year, then five numbers written without
// leading zeros.
bool IsSecTimeLine(const std::string& line) {
    const std::string head = "AT^SECTIME=\"", tail = "\"\r\n";
    if (!line.starts_with(head) || !line.ends_with(tail)) return false;
    std::istringstream fields(line.substr(head.size(), line.size() - head.size() - tail.size()));
    const char separators[] = {'/', '/', ',', ':', ':', '\0'};
    std::string field;
    for (int i = 0; i < 6; ++i) {
        if (!std::getline(fields, field, separators[i] ? separators[i] : '\n')) return false;
        if (field.empty() || field.size() > (i == 0 ? 4u : 2u)) return false;
        if (field.find_first_not_of("0123456789") != std::string::npos) return false;
        if (i == 0 ? field.size() != 4 : (field.size() > 1 && field[0] == '0')) return false;
        if ((i == 1 || i == 2) && field == "0") return false;
    }
    return fields.peek() == std::char_traits<char>::eof();
}

using GpsDialogSession = DialogFixture;

}  // namespace

TEST_F(GpsDialogSession, StartIsDimmedUntilTheCardIsFoundAndItsHandlerOnlyExplains) {
    Open();
    EXPECT_FALSE(user->Enabled(gps::kStart));
    EXPECT_FALSE(user->Click(gps::kStart));
    EXPECT_TRUE(ui::headless::MessageBoxes().empty());
    // The handler reached another way (a key bound to it) still only explains.
    ASSERT_TRUE(ui::RunOnWindowThread([&] { dialog->OnBnClickedButtonStart(); }));
    auto boxes = ui::headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Querying Data Card...");
    EXPECT_EQ(boxes[0].caption, L"Satview");
    EXPECT_EQ(Status(), L"Querying Data Card...");
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_QUER_DataCard");
    EXPECT_TRUE(card->SentLines().empty());

    CardFound();
    EXPECT_TRUE(user->Enabled(gps::kStart));
    EXPECT_EQ(user->Focused(), gps::kStart) << "Enter starts";
}

TEST_F(GpsDialogSession, AgpsStartSendsTheFullSequenceAndRuns) {
    WriteConfig("Y", "AGPS", "High speed");
    Open();
    CardFound();
    ASSERT_TRUE(user->Click(gps::kStart));
    EXPECT_EQ(Lines(), kAgpsLines);
    std::string secTime = card->SentLines()[0];
    EXPECT_TRUE(secTime.rfind("AT^SECTIME=\"", 0) == 0 && secTime.ends_with("\"\r\n")) << secTime;
    EXPECT_TRUE(IsSecTimeLine(secTime)) << "the time now, no leading zeros: " << secTime;
    EXPECT_EQ(card->GetCounters().gpsOpens, 1);
    EXPECT_TRUE(Running());
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_QUER_GPS");
    EXPECT_EQ(Status(), L"Waiting for GPS data...");
    EXPECT_FALSE(user->Enabled(gps::kStart));
    EXPECT_TRUE(user->Enabled(gps::kStop));
    EXPECT_EQ(user->Focused(), gps::kStop);
    EXPECT_TRUE(user->Enabled(gps::kSetting));
    EXPECT_EQ(user->Text(gps::kGpsType), L"AGPS");
    EXPECT_EQ(user->Timers(), std::vector<unsigned>{kGpsTimerId});
    EXPECT_EQ(card->EventSinkCount(), 2) << "the dialog's sink and the plug-in's";
}

// AGPS needs all of: the configured type, the offer, an AGPS card, the card ready; the
// pedestrian profile needs an AGPS card.
TEST_F(GpsDialogSession, AnyMissingAgpsConditionFallsBackToGps) {
    struct Case {
        const char* offered;
        const char* type;
        const char* scenario;
        bool agpsCard;
        bool ready;
        std::vector<std::string> lines;
    } cases[] = {
        {"Y", "GPS", "High speed", true, true, kGpsLines},
        {"Y", "AGPS", "High speed", false, true, kGpsLines},
        {"Y", "AGPS", "High speed", true, false, kGpsLines},
        {"N", "AGPS", "High speed", true, true, kGpsLines},
        {"Y", "GPS", "Pedestrianism", true, true, {"AT^WPDOM=0\r\n", "AT^WPDFR=65536,5\r\n"}},
        {"Y", "GPS", "Pedestrianism", false, true, kGpsLines},
    };
    for (const Case& c : cases) {
        WriteConfig(c.offered, c.type, c.scenario);
        Open();
        CardFound(c.agpsCard, c.ready);
        ASSERT_TRUE(user->Click(gps::kStart));
        EXPECT_EQ(Lines(), c.lines) << c.offered << " " << c.type << " " << c.agpsCard;
        if (std::string(c.offered) == "Y") {
            EXPECT_EQ(user->Text(gps::kGpsType), L"GPS");
        }
        ASSERT_TRUE(user->Click(gps::kStop));
        dialog.reset();
    }
}

TEST_F(GpsDialogSession, AReceiverRefusedByItsManagerSaysHowToAllowIt) {
    // The words a user searches for to grant the access, in each language's text.
    const struct {
        const char* language;
        const wchar_t* words;
    } languages[] = {{"_en-us", L"refused"}, {"_ja", L"\u62D2\u5426"}, {"_pt-br", L"recusou"}};
    for (const auto& language : languages) {
        Open(language.language);
        CardFound();
        card->SetGpsResults(false, true);
        card->SetGpsOpenStatus(framework::kGpsStatusNotAuthorized);
        ASSERT_TRUE(user->Click(gps::kStart));
        EXPECT_EQ(StatusKey(), L"IDS_STATIC_NOT_AUTHORIZED");
        std::wstring status = Status();
        EXPECT_EQ(status, Lang(L"IDS_STATIC_NOT_AUTHORIZED"));
        EXPECT_NE(status.find(language.words), std::wstring::npos) << language.language;
        EXPECT_NE(status.find(L"ModemManager1.Location"), std::wstring::npos);
        EXPECT_LE(status.size(), 70u) << "one status line";
        EXPECT_FALSE(Running());
        EXPECT_EQ(card->EventSinkCount(), 1) << "the dialog's sink only: the plug-in's went";
        // Another failure of the same card is no refusal.
        card->SetGpsOpenStatus(0);
        ASSERT_TRUE(user->Click(gps::kStart));
        EXPECT_EQ(StatusKey(), L"IDS_STATIC_START_GPSFAILED");
        dialog.reset();
    }
}

TEST_F(GpsDialogSession, StopEndsTheSessionEvenWhenTheCardRefuses) {
    Open();
    CardFound();
    ASSERT_TRUE(user->Click(gps::kStart));
    dialog->List(gps::kList).SetItemText(1, 1, L"11.5E");
    card->SetGpsResults(true, false);
    ASSERT_TRUE(user->Click(gps::kStop));
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_STOP_GPSFAILED");
    EXPECT_FALSE(Running());
    EXPECT_TRUE(user->Enabled(gps::kStart));
    EXPECT_FALSE(user->Enabled(gps::kStop));
    EXPECT_TRUE(user->Timers().empty());
    EXPECT_EQ(user->Cell(gps::kList, 0, 1), kGpsPortText) << "the port row stays";
    EXPECT_EQ(user->Cell(gps::kList, 1, 1), L"");
    EXPECT_EQ(card->EventSinkCount(), 1);
    EXPECT_TRUE(user->Enabled(gps::kSetting)) << "an AGPS card in state ready";
}

TEST_F(GpsDialogSession, ClosingWhileRunningStopsTheReceiver) {
    Open();
    CardFound();
    ASSERT_TRUE(user->Click(gps::kStart));
    ASSERT_TRUE(user->Close());
    EXPECT_FALSE(dialog->HasWindow());
    EXPECT_EQ(card->GetCounters().gpsCloses, 1);
    EXPECT_EQ(card->EventSinkCount(), 0);
    EXPECT_EQ(CardState(), session::CardState::kNone);
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_STOP_GPSSUCCE");
    EXPECT_TRUE(Running()) << "left for the next window to reset";
    ASSERT_TRUE(dialog->Create());
    EXPECT_FALSE(Running());
}

namespace {
// The plug-in object's view of the dialog under test: GPS records are sent to its window, as
// the real dialog host does.
class SendingDialog final : public QuietDialog {
  public:
    explicit SendingDialog(ui::WindowHandle window) : window_(window) {}
    bool HasWindow() override { return ui::IsWindow(window_); }
    void SendGpsData(void* record) override {
        ui::Send(window_, WM_GPS_DATA, reinterpret_cast<ui::WParam>(record), 0);
    }

  private:
    ui::WindowHandle window_;
};
}  // namespace

// GPS records sent to the window thread while it waits for an answer or removes a sink: every
// exchange still gets its answer, and nothing deadlocks.
TEST_F(GpsDialogSession, GpsRecordsInFlightNeverStarveAnExchange) {
    WriteConfig("Y", "AGPS", "High speed");
    Open();
    CardFound();
    ui::WindowHandle window = dialog->Handle();
    makeDialog = [window](orbitpane::PluginContext&) {
        return std::make_unique<SendingDialog>(window);
    };
    ASSERT_TRUE(plugin->ShowWindow(nullptr, 0, 0, 10, 10));
    plugin->RegisterDeviceEvents();
    card->SetFallbackAnswer(kOk, 40);
    card->SetStandingAnswer("AT^GPSTYPE?", "\r\n^GPSTYPE:2\r\n\r\nOK\r\n", 40);
    auto onWindowThread = [](const std::function<bool()>& work) {
        bool result = false;
        ui::RunOnWindowThread([&] { result = work(); });
        return result;
    };
    struct Case {
        const char* name;
        std::function<bool()> run;
    } cases[] = {
        {"start", [&] { return user->Click(gps::kStart) && Running(); }},
        {"stop",
         [&] { return user->Click(gps::kStop) && StatusKey() == L"IDS_STATIC_STOP_GPSSUCCE"; }},
        {"probe", [&] { return onWindowThread([&] { return plugin->ProbeCard(); }); }},
        {"type query",
         [&] { return onWindowThread([&] { return plugin->QueryGpsType() == kGpsTypeAgps; }); }},
        {"set command",
         [&] { return onWindowThread([&] { return plugin->SetPositionMode(0) == 1; }); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plugin->RegisterDeviceEvents();
        // A record every 10 ms for longer than any exchange's reply window.
        for (int ms = 0; ms < 600; ms += 10) card->RaiseGpsData("11.5E", "48.1N", "7", ms);
        EXPECT_TRUE(c.run());
        ASSERT_TRUE(card->WaitIdle(5000));
    }
    plugin->UnregisterDeviceEvents();
}

// The pause between the stop and the start of a restart answers a sink that sends to the
// window meanwhile, instead of keeping it waiting until the new session has started.
TEST_F(GpsDialogSession, TheRestartPauseServesSends) {
    Open();
    CardFound();
    ASSERT_TRUE(user->Click(gps::kStart));
    card->Reset();
    card->SetFallbackAnswer(kOk);
    std::atomic<bool> answeredInThePause{false};
    std::thread sink([&] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (card->GetCounters().gpsCloses == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        constexpr unsigned kUnhandled = 0x7FF0;
        dialog->Send(kUnhandled, 0, 0);
        answeredInThePause = card->GetCounters().gpsOpens == 0;
    });
    ui::RunOnWindowThread([this] { dialog->RestartGps(); });
    sink.join();
    EXPECT_TRUE(answeredInThePause);
    EXPECT_EQ(card->GetCounters().gpsOpens, 1);
}

// However the window goes while a session runs, the receiver is stopped on the card first.
TEST_F(GpsDialogSession, AWindowThatGoesWhileRunningStopsTheReceiver) {
    const struct {
        const char* how;
        std::function<void()> end;
    } ways[] = {
        {"destroyed", [&] { dialog->DestroyWindow(); }},
        {"deleted", [&] { dialog.reset(); }},
        {"the plug-in's destroy event",
         [&] {
             ui::WindowHandle window = dialog->Handle();
             makeDialog = [this, window](orbitpane::PluginContext&) {
                 struct Host final : QuietDialog {
                     Host(CGPSUIDlg* d, ui::WindowHandle w) : dialog(d), window(w) {}
                     bool HasWindow() override { return ui::IsWindow(window); }
                     void DestroyWindow() override { dialog->DestroyWindow(); }
                     CGPSUIDlg* dialog;
                     ui::WindowHandle window;
                 };
                 return std::make_unique<Host>(dialog.get(), window);
             };
             plugin->ShowWindow(nullptr, 0, 0, 10, 10);
             plugin->OnDestroyEvent();
         }},
        {"closed, then destroyed",
         [&] {
             user->Close();
             dialog->DestroyWindow();
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        Open();
        CardFound();
        card->Reset();
        card->SetFallbackAnswer(kOk);
        ASSERT_TRUE(user->Click(gps::kStart));
        way.end();
        EXPECT_EQ(card->GetCounters().gpsCloses, 1) << "once";
        EXPECT_EQ(card->EventSinkCount(), 0);
        dialog.reset();
        makeDialog = nullptr;
    }
}
