// The device manager over a mock of ModemManager's API (python3-dbusmock on a private bus),
// for what the real one cannot be made to show: Setup refused for want of authorization, a
// modem that fails, and the modem object's removal, each told as for a serial card; a
// ModemManager that does not answer, and the window thread closing the session while a record
// is being sent to it.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "manager_fixture.h"
#include "mock_modem.h"
#include "nmea_sentences.h"
#include "platform/serving_wait.h"
#include "platform/ui/kit.h"

namespace {

using manager_test::Event;
using manager_test::RecordingSink;
using namespace mock_modem;
using testing_support::WaitFor;
using namespace std::chrono_literals;

TEST(ManagerOverMockModemManager, RefusedAuthorizationFailedModemAndRemoval) {
    if (std::system("/usr/bin/python3 -c 'import dbusmock' >/dev/null 2>&1") != 0 ||
        std::system("command -v busctl dbus-daemon >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3-dbusmock, busctl or dbus-daemon is missing";
    }
    MockModemManager mm;
    ASSERT_TRUE(mm.Up());
    // An enabled modem offering NMEA and raw GPS, whose Setup ModemManager's polkit refuses.
    ASSERT_TRUE(mm.Mock("/org/freedesktop/ModemManager1",
                        std::string("AddObject 'ssa{sv}a(ssss)' ") + kModemPath +
                            " org.freedesktop.ModemManager1.Modem 5 State i 8 UnlockRequired u 1"
                            " StateFailedReason u 0 Model s 'Wendrix 3G'"
                            " Ports 'a(su)' 2 ttyUSB4 3 ttyUSB6 5 0"));
    ASSERT_TRUE(
        mm.Mock(kModemPath,
                "AddProperties 'sa{sv}' org.freedesktop.ModemManager1.Modem.Location 4"
                " Capabilities u 6 Enabled u 1 SignalsLocation b false Location 'a{uv}' 0"));
    ASSERT_TRUE(
        mm.Mock(kModemPath,
                "AddMethod sssss org.freedesktop.ModemManager1.Modem.Location Setup ub '' "
                "\"raise dbus.exceptions.DBusException('Not authorized to control the "
                "location', name='org.freedesktop.ModemManager1.Error.Core.Unauthorized')\""));

    std::mutex tracesMutex;
    std::string traces;
    devicemgr::ManagerOptions options;
    options.listPorts = [] {
        return std::vector<platform::SerialPort>{
            {"/dev/ttyUSB4", 4, "TARVEK Wendrix - 3G PC UI Interface (COM4)", "k", true}};
    };
    options.watchPorts = false;
    options.cardPath = "auto";
    options.mmBusAddress = mm.Address();
    options.mmChangesFolder = mm.ChangesFolder();
    options.mmGraceMs = 300;
    options.trace = [&](int, const std::string& text) {
        std::lock_guard<std::mutex> lock(tracesMutex);
        traces += text + "\n";
    };
    RecordingSink sink;
    devicemgr::DeviceManager manager(options);
    manager.AddDeviceSink(&sink);
    EXPECT_EQ(sink.WaitEvents(3, 10s), (std::vector<Event>{{framework::kEventCardArrived, 0},
                                                           {framework::kEventSimStatus, 1},
                                                           {framework::kEventCardReady, 0}}));
    // The listed port is the modem's: only the modem is a card.
    ASSERT_EQ(manager.Cards().size(), 1u);
    EXPECT_EQ(manager.Cards()[0].port, 4);

    uint32_t status = 0;
    EXPECT_FALSE(manager.OpenGps(&status));
    EXPECT_EQ(status, framework::kGpsStatusNotAuthorized) << "the dialog says how to allow it";
    {
        std::lock_guard<std::mutex> lock(tracesMutex);
        EXPECT_NE(traces.find("refused starting GPS: not authorized"), std::string::npos) << traces;
        EXPECT_NE(traces.find("org.freedesktop.ModemManager1.Location"), std::string::npos);
    }

    // ModemManager gives up on the modem: unavailable, the SIM error told first.
    ASSERT_TRUE(SetModem(mm, "StateFailedReason", "u 3"));
    ASSERT_TRUE(SetModem(mm, "State", "i -1"));
    auto events = sink.WaitEvents(5, 10s);
    ASSERT_EQ(events.size(), 5u) << traces;
    EXPECT_EQ(events[3], (Event{framework::kEventSimStatus, 3}));
    EXPECT_EQ(events[4].code, framework::kEventCardUnavailable);

    // The object goes: removal.
    // (The mock's object manager does not announce a removal: it is announced here.)
    ASSERT_TRUE(
        mm.Mock("/org/freedesktop/ModemManager1", std::string("RemoveObject o ") + kModemPath));
    ASSERT_TRUE(mm.Mock("/org/freedesktop/ModemManager1",
                        std::string("EmitSignal sssav org.freedesktop.DBus.ObjectManager "
                                    "InterfacesRemoved oas 2 o ") +
                            kModemPath +
                            " as 2 org.freedesktop.ModemManager1.Modem "
                            "org.freedesktop.ModemManager1.Modem.Location"));
    events = sink.WaitEvents(6, 10s);
    ASSERT_GE(events.size(), 6u) << traces;
    EXPECT_EQ(events[5].code, framework::kEventCardRemoved);
    // Its port, still listed, is left to ModemManager a moment, then tried directly.
    auto traced = [&](const std::string& text) {
        std::lock_guard<std::mutex> lock(tracesMutex);
        return traces.find(text) != std::string::npos;
    };
    EXPECT_TRUE(WaitFor([&] { return traced("card not opened"); }, 5s)) << traces;
    EXPECT_TRUE(traced("port left to ModemManager for a moment: /dev/ttyUSB4"));
    {
        std::lock_guard<std::mutex> lock(tracesMutex);
        EXPECT_LT(traces.find("left to ModemManager"), traces.find("card not opened"));
    }
    manager.RemoveDeviceSink(&sink);
}

TEST(ManagerOverMockModemManager, ASessionLeavesTheDataBearerConnected) {
    if (std::system("/usr/bin/python3 -c 'import dbusmock' >/dev/null 2>&1") != 0 ||
        std::system("command -v busctl dbus-daemon >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3-dbusmock, busctl or dbus-daemon is missing";
    }
    MockModemManager mm;
    ASSERT_TRUE(mm.Up());
    // A modem online through a connected bearer, as NetworkManager leaves it.
    const std::string bearer = "/org/freedesktop/ModemManager1/Bearer/0";
    const std::string mock = "/org/freedesktop/ModemManager1";
    ASSERT_TRUE(mm.Mock(mock, "AddObject 'ssa{sv}a(ssss)' " + bearer +
                                  " org.freedesktop.ModemManager1.Bearer 2 Connected b true"
                                  " Interface s wwan0 2 Connect '' '' '' Disconnect '' '' ''"));
    ASSERT_TRUE(mm.Mock(mock, std::string("AddObject 'ssa{sv}a(ssss)' ") + kModemPath +
                                  " org.freedesktop.ModemManager1.Modem 6 State i 11"
                                  " UnlockRequired u 1 StateFailedReason u 0 Model s 'Wendrix 3G'"
                                  " Ports 'a(su)' 2 ttyUSB4 3 ttyUSB6 5 Bearers ao 1 " +
                                  bearer + " 0"));
    ASSERT_TRUE(
        mm.Mock(kModemPath,
                "AddProperties 'sa{sv}' org.freedesktop.ModemManager1.Modem.Location 4"
                " Capabilities u 6 Enabled u 1 SignalsLocation b false Location 'a{uv}' 0"));
    ASSERT_TRUE(mm.Mock(kModemPath,
                        "AddMethods 'sa(ssss)' org.freedesktop.ModemManager1.Modem.Location 2"
                        " Setup ub '' '' SetGpsRefreshRate u '' ''"));
    ASSERT_TRUE(mm.Mock(kModemPath,
                        "AddMethods 'sa(ssss)' org.freedesktop.ModemManager1.Modem.Simple 3"
                        " Connect 'a{sv}' o 'ret = \"" +
                            bearer + "\"' Disconnect o '' '' GetStatus '' 'a{sv}' 'ret = {}'"));

    devicemgr::ManagerOptions options;
    options.listPorts = [] { return std::vector<platform::SerialPort>{}; };
    options.watchPorts = false;
    options.cardPath = "modemmanager";
    options.mmBusAddress = mm.Address();
    options.mmChangesFolder = mm.ChangesFolder();
    RecordingSink sink;
    devicemgr::DeviceManager manager(options);
    manager.AddDeviceSink(&sink);
    ASSERT_EQ(sink.WaitEvents(3, 10s).size(), 3u);

    ASSERT_TRUE(manager.OpenGps());
    ASSERT_TRUE(manager.CloseGps());
    // Location was set up twice; the bearer and the data connection's interface never asked.
    EXPECT_NE(mm.Output(std::string("call org.freedesktop.ModemManager1 ") + kModemPath +
                        " org.freedesktop.DBus.Mock GetMethodCalls s Setup"),
              "a(tav) 0\n");
    EXPECT_EQ(mm.Output("call org.freedesktop.ModemManager1 " + bearer +
                        " org.freedesktop.DBus.Mock GetCalls"),
              "a(tsav) 0\n");
    for (const char* method : {"Connect", "Disconnect", "GetStatus"}) {
        EXPECT_EQ(mm.Output(std::string("call org.freedesktop.ModemManager1 ") + kModemPath +
                            " org.freedesktop.DBus.Mock GetMethodCalls s " + method),
                  "a(tav) 0\n")
            << method;
    }
    EXPECT_EQ(mm.Output("get-property org.freedesktop.ModemManager1 " + bearer +
                        " org.freedesktop.ModemManager1.Bearer Connected"),
              "b true\n");
    manager.RemoveDeviceSink(&sink);
}

// The GPS dialog sends each record on to its window thread and waits there. The window thread
// closing the session meanwhile waits for the bus thread, which is in that very send: the
// wait serves it, and the close is carried out.
TEST(ManagerOverMockModemManager, ClosingOnTheWindowThreadWhileARecordIsSentThere) {
    if (!MockUsable()) GTEST_SKIP() << "python3-dbusmock, busctl or dbus-daemon is missing";
    MockModemManager mm;
    ASSERT_TRUE(mm.Up());
    ASSERT_TRUE(AddGpsModem(mm));
    ASSERT_TRUE(ui::Initialize(ui::BackendKind::Headless));
    struct SendingSink final : RecordingSink {
        std::atomic<bool> inRecord{false}, closing{false}, served{false};
        bool OnDeviceEvent(uint32_t event, void* data) override {
            if (event == framework::kEventGpsData && !inRecord.exchange(true)) {
                while (!closing) std::this_thread::sleep_for(1ms);
                ui::RunOnWindowThread([&] { served = true; });
            }
            return RecordingSink::OnDeviceEvent(event, data);
        }
    } sink;
    TraceLog log;
    {
        devicemgr::DeviceManager manager(MockOptions(mm, log));
        manager.AddDeviceSink(&sink);
        ASSERT_EQ(sink.WaitEvents(3, 10s).size(), 3u) << log.All();
        ASSERT_TRUE(manager.OpenGps()) << log.All();
        using nmea_test::Sentence;
        std::string trace =
            Sentence("GPGGA,101500.00,4807.0381,N,01131.0002,E,1,08,0.9,545.4,M,46.9,M,,") +
            "\r\n" + Sentence("GPRMC,101500.00,A,4807.0381,N,01131.0002,E,1.2,84.4,080126,,,A");
        ASSERT_TRUE(mm.Busctl(std::string("call org.freedesktop.ModemManager1 ") + kModemPath +
                              " org.freedesktop.DBus.Properties Set ssv"
                              " org.freedesktop.ModemManager1.Modem.Location Location 'a{uv}' 1 4"
                              " s '" +
                              trace + "'"));
        ASSERT_TRUE(WaitFor([&] { return sink.inRecord.load(); }, 10s)) << log.All();
        bool closed = false;
        ui::RunOnWindowThread([&] {
            sink.closing = true;
            closed = manager.CloseGps();
        });
        EXPECT_TRUE(closed) << log.All();
        EXPECT_TRUE(sink.served);
        EXPECT_EQ(sink.WaitRecords(1).size(), 1u);
        manager.RemoveDeviceSink(&sink);
    }
    ui::Shutdown();
}

std::mutex answersMutex;
std::vector<std::string> answers;
void KeepAnswer(const char* answer) {
    std::lock_guard<std::mutex> lock(answersMutex);
    answers.push_back(answer);
}

// A ModemManager that does not answer: the command goes unanswered once its call's time-out
// (or the wait for the bus thread) has passed, long before the silent method would answer, and
// the window thread serves the sends of other threads all the while.
TEST(ManagerOverMockModemManager, ACallWithoutReplyLeavesItsCommandUnansweredInTime) {
    if (!MockUsable()) GTEST_SKIP() << "python3-dbusmock, busctl or dbus-daemon is missing";
    ASSERT_TRUE(ui::Initialize(ui::BackendKind::Headless));
    struct Row {
        const char* what;
        const char* silent;  // the mock's method that does not answer in time
        devicemgr::MmTimeouts timeouts;
        // Run on the window thread; true when the command went as an unanswered one does.
        std::function<bool(devicemgr::DeviceManager&)> command;
        const char* traced;
    } rows[] = {
        {"opening: the refresh rate unanswered",
         "SetGpsRefreshRate",
         {300, 5000},
         [](devicemgr::DeviceManager& m) { return !m.OpenGps(); },
         "did not answer the GPS refresh rate in time"},
        {"opening: Setup unanswered",
         "Setup",
         {300, 5000},
         [](devicemgr::DeviceManager& m) { return !m.OpenGps(); },
         "did not answer starting GPS in time"},
        {"opening: the bus thread held past the wait",
         "SetGpsRefreshRate",
         {5000, 300},
         [](devicemgr::DeviceManager& m) { return !m.OpenGps(); },
         "did not get a command done within 300 ms"},
        {"the user's command: no answer, and the next one answered",
         "SetSuplServer",
         {300, 5000},
         [](devicemgr::DeviceManager& m) {
             {
                 std::lock_guard<std::mutex> lock(answersMutex);
                 answers.clear();
             }
             if (!m.SetAnswerHandler(KeepAnswer) ||
                 !m.SendCommand("AT^WPURL=\"supl.example.org:7275\"\r\n") ||
                 !m.SendCommand("AT^GPSTYPE?\r\n")) {
                 return false;
             }
             bool answered = ui::WaitServingSends(
                 [] {
                     std::lock_guard<std::mutex> lock(answersMutex);
                     return !answers.empty();
                 },
                 2000);
             m.RemoveAnswerHandler(KeepAnswer);
             std::lock_guard<std::mutex> lock(answersMutex);
             return answered && answers == std::vector<std::string>{"^GPSTYPE:1\r\nOK"};
         },
         "did not answer the SUPL server in time"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        MockModemManager mm;
        ASSERT_TRUE(mm.Up());
        ASSERT_TRUE(AddGpsModem(mm, {.silent = row.silent}));
        TraceLog log;
        RecordingSink sink;
        devicemgr::DeviceManager manager(MockOptions(mm, log, row.timeouts));
        manager.AddDeviceSink(&sink);
        ASSERT_EQ(sink.WaitEvents(3, 10s).size(), 3u) << log.All();

        std::atomic<bool> waiting{false}, stop{false};
        int servedWhileWaiting = 0;  // window thread only
        std::thread sender([&] {
            while (!stop) {
                ui::RunOnWindowThread([&] { servedWhileWaiting += waiting ? 1 : 0; });
                std::this_thread::sleep_for(10ms);
            }
        });
        bool unanswered = false;
        std::chrono::steady_clock::duration took{};
        ui::RunOnWindowThread([&] {
            auto started = std::chrono::steady_clock::now();
            waiting = true;
            unanswered = row.command(manager);
            waiting = false;
            took = std::chrono::steady_clock::now() - started;
        });
        stop = true;
        sender.join();
        EXPECT_TRUE(unanswered) << log.All();
        EXPECT_LT(took, kSilence) << "the silent method's reply was waited for";
        EXPECT_GT(servedWhileWaiting, 0);
        EXPECT_TRUE(log.Has(row.traced)) << log.All();
        manager.RemoveDeviceSink(&sink);
    }
    ui::Shutdown();
}

}  // namespace
