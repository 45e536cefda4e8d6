#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "at_final_codes.h"
#include "card_fixture.h"
#include "fake_dialog.h"
#include "orbitpane/win32/gps_dialog_instance.h"

using namespace orbitpane_test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kOk = "\r\nOK\r\n";

long long MillisSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class AtCommands : public CardFixture {};

}  // namespace

TEST_F(AtCommands, EveryCommandLineIsSentByteForByte) {
    card->SetFallbackAnswer(kOk);
    // A value that fails its check is refused before any line is written.
    EXPECT_EQ(plugin->SetApn(""), 0);
    EXPECT_EQ(plugin->SetApn("my\"apn;AT+CFUN=0"), 0);
    EXPECT_EQ(plugin->SetSuplServer("bad server:99999"), 0);
    EXPECT_EQ(plugin->SetApn("internet.example"), 1);
    EXPECT_EQ(plugin->SetSuplServer("supl.example.com:7275"), 1);
    EXPECT_EQ(plugin->SetPositionMode(5), 1);
    EXPECT_EQ(plugin->SetPositionMode(-123456), 1);
    EXPECT_EQ(plugin->SetFixInterval(1), 1);
    EXPECT_EQ(plugin->SetFixInterval(2147483647), 1);
    EXPECT_EQ(plugin->SetSecTime("2026/12/07,21:30:05"), 1);
    EXPECT_TRUE(plugin->ProbeCard());
    EXPECT_EQ(plugin->QueryGpsType(), kGpsTypeNone);
    EXPECT_EQ(Sent(), (std::vector<std::string>{
                          "AT^SOCKETCONT=1,\"IP\",\"internet.example\"\r\n",
                          "AT^WPURL=supl.example.com:7275\r\n",
                          "AT^WPDOM=5\r\n",
                          "AT^WPDOM=-123456\r\n",
                          "AT^WPDFR=65536,1\r\n",
                          "AT^WPDFR=65536,2147483647\r\n",
                          "AT^SECTIME=\"2026/12/07,21:30:05\"\r\n",
                          "AT^WPDGP\r\n",
                          "AT^GPSTYPE?\r\n",
                      }));
    // Every exchange registered its handler, ended and removed it again; a refused value
    // started none.
    scripted::Counters counters = card->GetCounters();
    EXPECT_EQ(counters.handlersSet, 9);
    EXPECT_EQ(counters.endExchanges, 9);
    EXPECT_EQ(counters.handlersRemoved, 9);
    EXPECT_FALSE(card->HandlerRegistered());
}

TEST_F(AtCommands, GpsTypeIsClassifiedFromItsOwnAnswer) {
    struct Case {
        const char* answer;
        int expected;
    } cases[] = {
        {"\r\n^GPSTYPE:0\r\n\r\nOK\r\n", kGpsTypeNone},
        {"\r\n^GPSTYPE:1\r\n\r\nOK\r\n", kGpsTypeGpsOnly},
        {"\r\n^GPSTYPE:2\r\n\r\nOK\r\n", kGpsTypeAgps},
        {"\r\n^GPSTYPE:3\r\n\r\nOK\r\n", kGpsTypeAgps},
        {"\r\n^GPSTYPE:7\r\n\r\nOK\r\n", kGpsTypeNone},
        // Several candidates: the table's order decides, not the answer's.
        {"^GPSTYPE:2 ^GPSTYPE:1\r\nOK\r\n", kGpsTypeGpsOnly},
        {"^GPSTYPE:3 ^GPSTYPE:0\r\nOK\r\n", kGpsTypeNone},
        {"^GPSTYPE:3 ^GPSTYPE:2\r\nOK\r\n", kGpsTypeAgps},
    };
    for (const Case& c : cases) {
        card->QueueAnswer("AT^GPSTYPE?", c.answer);
        EXPECT_EQ(plugin->QueryGpsType(), c.expected) << c.answer;
    }
    EXPECT_EQ(plugin->AnswerText(), "^GPSTYPE:3 ^GPSTYPE:2\r\nOK\r\n");
}

TEST_F(AtCommands, AnUnacknowledgedTypeAnswerNeverFallsBackOnAnEarlierOne) {
    card->QueueAnswer("AT^GPSTYPE?", "\r\n^GPSTYPE:2\r\n\r\nOK\r\n");
    EXPECT_EQ(plugin->QueryGpsType(), kGpsTypeAgps);
    card->QueueAnswer("AT^GPSTYPE?", "\r\n^GPSTYPE:2\r\n");  // no final OK
    EXPECT_EQ(plugin->QueryGpsType(), kGpsTypeNone);
    card->QueueAnswer("AT^GPSTYPE?", "\r\n+CME ERROR: 3\r\n");
    EXPECT_EQ(plugin->QueryGpsType(), kGpsTypeNone);
    EXPECT_EQ(plugin->AnswerText(), "\r\n^GPSTYPE:2\r\n\r\nOK\r\n")
        << "the acknowledged one is kept";
}

TEST_F(AtCommands, OkEndsTheWindowAtOnceAndErrorFailsAtOnce) {
    card->QueueAnswer("AT^WPDOM=0", kOk, 1);
    auto start = Clock::now();
    EXPECT_EQ(plugin->SetPositionMode(0), 1);
    EXPECT_LT(MillisSince(start), 400) << "an OK must end the reply window";

    card->QueueAnswer("AT^WPURL=x", "\r\nERROR\r\n");
    card->QueueAnswer("AT^SOCKETCONT=1,\"IP\",\"apn\"", "\r\n+CME ERROR: 30\r\n");
    card->QueueAnswer("AT^WPDGP", "\r\nERROR\r\n");
    start = Clock::now();
    EXPECT_EQ(plugin->SetSuplServer("x"), 0);
    EXPECT_EQ(plugin->SetApn("apn"), 0);
    EXPECT_FALSE(plugin->ProbeCard());
    EXPECT_LT(MillisSince(start), 400) << "an ERROR must end the reply window";
}

// An answer ends the exchange when its last line is a final code, whatever else it holds; a
// later answer ends an exchange that is still waiting and tells the cases apart.
TEST_F(AtCommands, AnAnswerIsFinalByItsLastLineAsTheReceiverReadsIt) {
    size_t sent = 0;
    for (const at_cases::FinalCode& c : at_cases::kFinalCodes) {
        SCOPED_TRACE(c.line);
        card->QueueAnswer("AT^GPSTYPE?", "\r\n^GPSTYPE:1\r\n" + std::string(c.line) + "\r\n");
        int type = -1;
        std::thread query([&] { type = plugin->QueryGpsType(); });
        EXPECT_TRUE(card->WaitForSent(++sent, 2000));
        card->PushAnswer("\r\n^GPSTYPE:3\r\n\r\nOK\r\n");
        query.join();
        ASSERT_TRUE(card->WaitIdle(2000));
        int expected = !c.final ? kGpsTypeAgps : c.error ? kGpsTypeNone : kGpsTypeGpsOnly;
        EXPECT_EQ(type, expected);
    }
}

TEST_F(AtCommands, NoFinalAnswerFailsAfterTheWindow) {
    card->QueueNoAnswer("AT^WPDGP");
    auto start = Clock::now();
    EXPECT_FALSE(plugin->ProbeCard());
    long long waited = MillisSince(start);
    EXPECT_GE(waited, COrbitpaneImpl::kReplyWindowMs - 20);
    EXPECT_LT(waited, 2000);

    card->QueueAnswer("AT^WPDFR=65536,5", "\r\n^WPDFR: busy\r\n");  // information only
    EXPECT_EQ(plugin->SetFixInterval(5), 0);
}

TEST_F(AtCommands, ALateOkIsIgnoredAndNotTakenByTheNextExchange) {
    card->QueueAnswer("AT^WPDGP", kOk, 800);
    EXPECT_FALSE(plugin->ProbeCard());
    ASSERT_TRUE(card->WaitIdle(3000));  // the late OK has come and gone
    card->QueueNoAnswer("AT^WPDOM=5");
    EXPECT_EQ(plugin->SetPositionMode(5), 0);
    EXPECT_EQ(plugin->AnswerText(), "");
}

TEST_F(AtCommands, AnAnswerPushedBetweenExchangesReachesNobody) {
    plugin->OnAnswer("OK");  // no exchange is running
    card->QueueNoAnswer("AT^WPDGP");
    EXPECT_FALSE(plugin->ProbeCard());
}

TEST_F(AtCommands, ConcurrentExchangesAreSerialisedAndEachGetsItsOwnAnswer) {
    card->SetStandingAnswer("AT^GPSTYPE?", "\r\n^GPSTYPE:1\r\n\r\nOK\r\n", 30);
    card->SetStandingAnswer("AT^WPDGP", "\r\nERROR\r\n", 30);
    std::vector<int> types;
    std::vector<bool> probes;
    std::thread polling([&] {
        for (int i = 0; i < 5; ++i) types.push_back(plugin->QueryGpsType());
    });
    for (int i = 0; i < 5; ++i) probes.push_back(plugin->ProbeCard());
    polling.join();
    EXPECT_EQ(types, std::vector<int>(5, kGpsTypeGpsOnly));
    EXPECT_EQ(probes, std::vector<bool>(5, false));
    EXPECT_EQ(card->GetCounters().handlersSet, 10);
    EXPECT_EQ(card->GetCounters().answersDelivered, 10);
}

TEST_F(AtCommands, WithoutADeviceNothingIsSentAndNothingWaits) {
    card->SetDevicePresent(false);
    auto start = Clock::now();
    EXPECT_EQ(plugin->SetApn("a"), 0);
    EXPECT_EQ(plugin->QueryGpsType(), kGpsTypeNone);
    EXPECT_FALSE(plugin->ProbeCard());
    EXPECT_EQ(plugin->OpenGps(), 0);
    EXPECT_EQ(plugin->CloseGps(), 0);
    EXPECT_LT(MillisSince(start), 200);
    EXPECT_TRUE(Sent().empty());

    container.deviceManager = nullptr;  // no device manager at all
    EXPECT_EQ(plugin->SetFixInterval(1), 0);
    EXPECT_EQ(plugin->GetDeviceChannel(), nullptr);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(AtCommands, TheReceiverSwitchesReportTheDevicesAnswer) {
    EXPECT_EQ(plugin->OpenGps(), 1);
    EXPECT_EQ(plugin->CloseGps(), 1);
    card->SetGpsResults(false, false);
    EXPECT_EQ(plugin->OpenGps(), 0);
    EXPECT_EQ(plugin->CloseGps(), 0);
    EXPECT_EQ(card->GetCounters().gpsOpens, 2);
    EXPECT_EQ(card->GetCounters().gpsCloses, 2);
    EXPECT_TRUE(Sent().empty()) << "the receiver is switched without AT lines";
}

TEST_F(AtCommands, DeviceEventsReachThePluginWhileRegistered) {
    plugin->RegisterDeviceEvents();
    EXPECT_EQ(card->EventSinkCount(), 1);
    card->RaiseSimStatus(1);
    card->RaiseBareEvent(framework::kEventCardReady);
    ASSERT_TRUE(card->WaitIdle(2000));
    EXPECT_EQ(card->DeviceEventResults(), (std::vector<bool>{true, true}));
    plugin->UnregisterDeviceEvents();
    EXPECT_EQ(card->EventSinkCount(), 0);
    EXPECT_EQ(card->GetCounters().interfacesHandedOut, card->GetCounters().interfacesReleased);
}

TEST_F(AtCommands, ReleaseAfterExchangesLeavesNoHandlerBehind) {
    card->SetFallbackAnswer(kOk);
    EXPECT_EQ(plugin->SetPositionMode(0), 1);
    card->PushAnswer("OK", 50);  // arrives after the plug-in object is gone
    plugin->Release();
    EXPECT_EQ(OrbitpaneSingleton(), nullptr);
    EXPECT_TRUE(card->WaitIdle(2000));
    EXPECT_FALSE(card->HandlerRegistered());
}

// Whatever the session left behind, the released object is no sink any more: events raised
// afterwards reach nothing (AddressSanitizer would report the freed object otherwise).
TEST_F(AtCommands, ReleaseRemovesTheDeviceEventSink) {
    struct Case {
        const char* name;
        std::function<void(COrbitpaneImpl*)> session;
    } cases[] = {
        {"registered only", [](COrbitpaneImpl*) {}},
        {"a set command failed",
         [this](COrbitpaneImpl* p) {
             card->QueueAnswer("AT^SECTIME=\"2026/12/8,0:5:0\"", "\r\nERROR\r\n");
             EXPECT_EQ(p->SetSecTime("2026/12/8,0:5:0"), 0);
         }},
        {"unregistered already", [](COrbitpaneImpl* p) { p->UnregisterDeviceEvents(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        card->Reset();
        auto* object = static_cast<COrbitpaneImpl*>(CreatePlugin());
        object->SetContainer(&container);
        object->RegisterDeviceEvents();
        c.session(object);
        object->Release();
        EXPECT_EQ(card->EventSinkCount(), 0);
        card->RaiseGpsData("11.5E", "48.1N", "7");
        card->RaiseBareEvent(framework::kEventCardRemoved);
        ASSERT_TRUE(card->WaitIdle(2000));
        EXPECT_TRUE(card->DeviceEventResults().empty());
    }
}

namespace {
// A dialog whose GPS record hand-over takes a while, to catch a release in the middle of it.
class SlowDialog final : public QuietDialog {
  public:
    SlowDialog(std::atomic<int>& inside, std::atomic<bool>& destroyedInside)
        : inside_(inside), destroyedInside_(destroyedInside) {}
    ~SlowDialog() override {
        if (inside_ > 0) destroyedInside_ = true;
    }
    void SendGpsData(void*) override {
        ++inside_;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        --inside_;
    }

  private:
    std::atomic<int>& inside_;
    std::atomic<bool>& destroyedInside_;
};
}  // namespace

// Release while the manager's thread is handing a GPS record to the dialog: the release waits
// for it, and neither the dialog nor the object goes while the record is being sent.
TEST_F(AtCommands, ReleaseWaitsForAnEventBeingDelivered) {
    std::atomic<int> inside{0};
    std::atomic<bool> destroyedInside{false};
    makeDialog = [&](orbitpane::PluginContext&) {
        return std::make_unique<SlowDialog>(inside, destroyedInside);
    };
    ASSERT_TRUE(plugin->ShowWindow(nullptr, 0, 0, 10, 10));
    plugin->RegisterDeviceEvents();
    for (int i = 0; i < 5; ++i) card->RaiseGpsData("11.5E", "48.1N", "7");
    while (inside == 0) std::this_thread::yield();
    plugin->Release();
    EXPECT_EQ(inside, 0);
    EXPECT_FALSE(destroyedInside);
    ASSERT_TRUE(card->WaitIdle(2000));
    EXPECT_LT(card->DeviceEventResults().size(), 5u) << "no record after the release";
}
