// The scripted device manager is the double every later device test stands on: these cases
// check that it behaves like a card behind a real manager (answers and events on its own
// thread, in order, to whoever is registered at the time) and that its records are exact.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "scripted_device_access.h"

using namespace framework;
using scripted::ListedDevice;
using scripted::ScriptedDeviceLibrary;

namespace {

// What the plain-function answer handler saw.
struct Answers {
    std::mutex mutex;
    std::vector<std::string> texts;
    std::vector<std::thread::id> threads;
};
Answers& Seen() {
    static Answers answers;
    return answers;
}
void RecordAnswer(const char* text) {
    std::lock_guard<std::mutex> lock(Seen().mutex);
    Seen().texts.emplace_back(text);
    Seen().threads.push_back(std::this_thread::get_id());
}
std::vector<std::string> SeenTexts() {
    std::lock_guard<std::mutex> lock(Seen().mutex);
    return Seen().texts;
}

class EventRecorder final : public IDeviceMgrEvent {
  public:
    bool OnDeviceEvent(uint32_t event, void* data) override {
        std::lock_guard<std::mutex> lock(mutex);
        codes.push_back(event);
        if (event == kEventGpsData && data) {
            records.push_back(*static_cast<GpsDataRecord*>(data));
        } else if (event == kEventSimStatus && data) {
            values.push_back(*static_cast<uint32_t*>(data));
        }
        nullData += data == nullptr;
        return event != kEventCardRemoved;
    }
    std::mutex mutex;
    std::vector<uint32_t> codes;
    std::vector<GpsDataRecord> records;
    std::vector<uint32_t> values;
    int nullData = 0;
};

class ScriptedDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        std::lock_guard<std::mutex> lock(Seen().mutex);
        Seen().texts.clear();
        Seen().threads.clear();
        std::string error;
        auto create = device.library().Function<CreatePluginFn>(kCreatePluginExport, error);
        ASSERT_NE(create, nullptr) << error;
        plugin = create();
        ASSERT_NE(plugin, nullptr);
        IBaseInterface* object = nullptr;
        ASSERT_TRUE(plugin->QueryInterface(kDeviceMgrFlag, &object));
        manager = dynamic_cast<IDeviceMgr*>(object);
        ASSERT_NE(manager, nullptr);
        channel = manager->GetCurrentDevice();
        ASSERT_NE(channel, nullptr);
    }
    void TearDown() override {
        if (channel) channel->RemoveAnswerHandler(RecordAnswer);
        if (manager) manager->Release();
        if (plugin) plugin->Release();
    }

    ScriptedDeviceLibrary device;
    IBasePlugin* plugin = nullptr;
    IDeviceMgr* manager = nullptr;
    IDeviceChannel* channel = nullptr;
};

TEST_F(ScriptedDevice, AnswersFollowTheScriptOnTheManagersThread) {
    device->QueueAnswer("AT^GPSTYPE?", "^GPSTYPE:2\r\nOK");
    device->QueueAnswer("AT^GPSTYPE?", "^GPSTYPE:0\r\nOK");
    device->SetStandingAnswer("AT^WPDGP", "OK");
    device->QueueNoAnswer("AT^WPDGP");
    ASSERT_TRUE(channel->SetAnswerHandler(RecordAnswer));

    for (const char* line : {"AT^WPDGP\r\n", "AT^GPSTYPE?\r\n", "AT^GPSTYPE?\r\n",
                             "AT^GPSTYPE?\r\n", "AT^WPDGP\r\n", "AT^UNKNOWN\r\n"}) {
        EXPECT_TRUE(channel->SendCommand(line));
    }
    ASSERT_TRUE(device->WaitIdle(2000));

    // Queued answers are used once each, in order; then the standing answer; the queued
    // silence comes before the standing answer; unscripted commands stay silent.
    EXPECT_EQ(SeenTexts(),
              (std::vector<std::string>{"^GPSTYPE:2\r\nOK", "^GPSTYPE:0\r\nOK", "OK"}));
    EXPECT_EQ(device->DeliveredAnswers(), SeenTexts());
    EXPECT_EQ(device->SentLines(),
              (std::vector<std::string>{"AT^WPDGP\r\n", "AT^GPSTYPE?\r\n", "AT^GPSTYPE?\r\n",
                                        "AT^GPSTYPE?\r\n", "AT^WPDGP\r\n", "AT^UNKNOWN\r\n"}));
    std::lock_guard<std::mutex> lock(Seen().mutex);
    for (auto id : Seen().threads) EXPECT_NE(id, std::this_thread::get_id());
}

TEST_F(ScriptedDevice, LateAnswersReachOnlyAHandlerStillRegistered) {
    device->QueueAnswer("AT^WPDOM=5", "OK late", 1000);
    device->QueueAnswer("AT^WPDFR=65536,1", "OK", 20);
    ASSERT_TRUE(channel->SetAnswerHandler(RecordAnswer));
    ASSERT_TRUE(channel->SendCommand("AT^WPDOM=5\r\n"));
    ASSERT_TRUE(channel->SendCommand("AT^WPDFR=65536,1\r\n"));
    // The shorter delay overtakes the longer one.
    for (int i = 0; i < 200 && SeenTexts().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(SeenTexts(), std::vector<std::string>{"OK"});

    channel->EndExchange();
    channel->RemoveAnswerHandler(RecordAnswer);
    EXPECT_FALSE(device->HandlerRegistered());
    ASSERT_TRUE(device->WaitIdle(2000));
    EXPECT_EQ(SeenTexts().size(), 1u);
    auto counters = device->GetCounters();
    EXPECT_EQ(counters.answersDelivered, 1);
    EXPECT_EQ(counters.answersDropped, 1);
    EXPECT_EQ(counters.endExchanges, 1);
    EXPECT_EQ(counters.handlersSet, 1);
    EXPECT_EQ(counters.handlersRemoved, 1);

    // Removing a handler that is not the registered one changes nothing.
    ASSERT_TRUE(channel->SetAnswerHandler(RecordAnswer));
    channel->RemoveAnswerHandler([](const char*) {});
    EXPECT_TRUE(device->HandlerRegistered());
    EXPECT_FALSE(channel->SetAnswerHandler(nullptr));
    EXPECT_FALSE(channel->SendCommand(nullptr));
}

TEST_F(ScriptedDevice, FailedSendsAndGpsControlFollowTheScript) {
    device->SetStandingAnswer("AT", "OK");
    device->SetSendResult(false);
    ASSERT_TRUE(channel->SetAnswerHandler(RecordAnswer));
    EXPECT_FALSE(channel->SendCommand("AT\r\n"));
    ASSERT_TRUE(device->WaitIdle(1000));
    EXPECT_TRUE(SeenTexts().empty());
    EXPECT_EQ(device->SentLines().size(), 1u);

    auto* gps = dynamic_cast<IGpsControl*>(channel);
    ASSERT_NE(gps, nullptr);
    uint32_t status = 0;
    EXPECT_TRUE(gps->OpenGps(&status));
    device->SetGpsResults(true, false);
    EXPECT_FALSE(gps->CloseGps(&status));
    EXPECT_EQ(device->GetCounters().gpsOpens, 1);
    EXPECT_EQ(device->GetCounters().gpsCloses, 1);

    device->SetDevicePresent(false);
    EXPECT_EQ(manager->GetCurrentDevice(), nullptr);
    device->Reset();
    EXPECT_EQ(manager->GetCurrentDevice(), channel);
    EXPECT_TRUE(device->SentLines().empty());
}

TEST_F(ScriptedDevice, EventsReachEverySinkWithTheirData) {
    EventRecorder first, second;
    ASSERT_TRUE(manager->AddEventSink(&first));
    ASSERT_TRUE(manager->AddEventSink(&second));
    EXPECT_FALSE(manager->AddEventSink(&first));
    EXPECT_EQ(device->EventSinkCount(), 2);

    device->RaiseBareEvent(kEventCardArrived);
    device->RaiseSimStatus(kSimUsable);
    device->RaiseGpsData("11.576124E", "48.137154N", "7");
    device->RaiseEvent(kEventCardRemoved, nullptr, 0);
    ASSERT_TRUE(device->WaitIdle(2000));
    ASSERT_TRUE(manager->RemoveEventSink(&second));
    EXPECT_FALSE(manager->RemoveEventSink(&second));
    device->RaiseBareEvent(kEventCardReady);
    ASSERT_TRUE(device->WaitIdle(2000));

    std::vector<uint32_t> all = {kEventCardArrived, kEventSimStatus, kEventGpsData,
                                 kEventCardRemoved};
    EXPECT_EQ(second.codes, all);
    all.push_back(kEventCardReady);
    EXPECT_EQ(first.codes, all);
    ASSERT_EQ(first.records.size(), 1u);
    EXPECT_STREQ(first.records[0].longitude, "11.576124E");
    EXPECT_STREQ(first.records[0].latitude, "48.137154N");
    EXPECT_STREQ(first.records[0].satellites, "7");
    EXPECT_EQ(first.values, std::vector<uint32_t>{kSimUsable});
    EXPECT_EQ(first.nullData, 1);  // only the event raised with null data
    EXPECT_EQ(device->DeviceEventResults(),
              (std::vector<bool>{true, true, true, true, true, true, false, false, true}));
    manager->RemoveEventSink(&first);
}

class ChangeRecorder final : public IMultiDeviceMgrEvent {
  public:
    int OnDeviceChanged(void*, IDeviceInfo* info) override {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back(std::string(info->GetDeviceName()) + "/" + info->GetCustomizeText());
        return -2;
    }
    std::mutex mutex;
    std::vector<std::string> seen;
};

class InitializeRecorder final : public IDeviceInitializeEvent {
  public:
    bool OnDeviceInitialize(int event, IDeviceList* devices) override {
        std::lock_guard<std::mutex> lock(mutex);
        codes.push_back(event);
        std::string walk = std::to_string(devices->GetCount()) + ":";
        for (bool more = devices->MoveFirst(); more; more = devices->MoveNext()) {
            walk += std::string(devices->GetCurrentId()) + "@" +
                    std::to_string(devices->GetCurrentPort()) + " ";
        }
        walks.push_back(walk);
        return event == kEventDevicesInitialized;
    }
    std::mutex mutex;
    std::vector<int> codes;
    std::vector<std::string> walks;
};

TEST_F(ScriptedDevice, MultiDeviceAndDirectLoadInterfacesShareOneDevice) {
    IBaseInterface* object = nullptr;
    ASSERT_TRUE(plugin->QueryInterface(kMultiDeviceMgrFlag, &object));
    auto* multi = dynamic_cast<IMultiDeviceMgr*>(object);
    auto* customize = dynamic_cast<ICustomizeSource*>(object);
    auto* notifications = dynamic_cast<IDeviceNotificationSource*>(manager);
    ASSERT_NE(multi, nullptr);
    ASSERT_NE(customize, nullptr);
    ASSERT_NE(notifications, nullptr);
    IBaseInterface* untouched = manager;
    EXPECT_FALSE(plugin->QueryInterface(3, &untouched));
    EXPECT_EQ(untouched, manager);

    device->SetCustomizeText("vendorx");
    EXPECT_STREQ(customize->GetCustomizeText(), "vendorx");
    EXPECT_TRUE(multi->Refresh());

    ChangeRecorder changes;
    InitializeRecorder initialized;
    ASSERT_TRUE(multi->AddEventSink(&changes));
    device->AnnounceDevicesOnRegister({{"wdx-a", 3}, {"wdx-b", 7}}, 10);
    ASSERT_TRUE(notifications->AddInitializeSink(&initialized));
    device->RaiseDevicesInitialized({}, 11);
    device->RaiseDeviceChanged("wdx-a", "vendorx");
    ASSERT_TRUE(device->WaitIdle(2000));

    EXPECT_EQ(changes.seen, std::vector<std::string>{"wdx-a/vendorx"});
    EXPECT_EQ(device->DeviceChangedResults(), std::vector<int>{-2});
    // The raised list came first (no delay), the announcement 10 ms after registration.
    EXPECT_EQ(initialized.codes, (std::vector<int>{11, kEventDevicesInitialized}));
    EXPECT_EQ(initialized.walks, (std::vector<std::string>{"0:", "2:wdx-a@3 wdx-b@7 "}));
    EXPECT_EQ(device->InitializeResults(), (std::vector<bool>{false, true}));

    EXPECT_TRUE(multi->RemoveEventSink(&changes));
    EXPECT_TRUE(notifications->RemoveInitializeSink(&initialized));
    EXPECT_EQ(device->MultiSinkCount() + device->InitializeSinkCount(), 0);
    multi->Release();
    auto counters = device->GetCounters();
    EXPECT_EQ(counters.refreshes, 1);
    EXPECT_EQ(counters.interfacesHandedOut, 2);
    EXPECT_EQ(counters.interfacesReleased, 1);  // the IDeviceMgr is released in TearDown
}

// A sink that removes itself and sends a command from inside its call, as code under test
// may: neither may deadlock, and the second sink of the round is still called.
class ReentrantSink final : public IDeviceMgrEvent {
  public:
    bool OnDeviceEvent(uint32_t, void*) override {
        manager->RemoveEventSink(this);
        return manager->GetCurrentDevice()->SendCommand("AT\r\n");
    }
    IDeviceMgr* manager = nullptr;
};

TEST_F(ScriptedDevice, SinksMayCallBackIntoTheManager) {
    ReentrantSink reentrant;
    reentrant.manager = manager;
    EventRecorder recorder;
    ASSERT_TRUE(manager->AddEventSink(&reentrant));
    ASSERT_TRUE(manager->AddEventSink(&recorder));
    device->SetStandingAnswer("AT", "OK");
    ASSERT_TRUE(channel->SetAnswerHandler(RecordAnswer));
    device->RaiseBareEvent(kEventCardReady);
    device->RaiseBareEvent(kEventCardReady);
    ASSERT_TRUE(device->WaitIdle(2000));
    EXPECT_EQ(recorder.codes.size(), 2u);
    EXPECT_EQ(device->SentLines(), std::vector<std::string>{"AT\r\n"});
    EXPECT_EQ(SeenTexts(), std::vector<std::string>{"OK"});
    manager->RemoveEventSink(&recorder);
}

TEST(ScriptedDeviceLifetime, AControlKeepsTheManagerRunningWithoutPluginObjects) {
    ScriptedDeviceLibrary device;
    std::string error;
    auto create = device.library().Function<CreatePluginFn>(kCreatePluginExport, error);
    ASSERT_NE(create, nullptr) << error;
    IBasePlugin* plugin = create();
    IBaseInterface* object = nullptr;
    ASSERT_TRUE(plugin->QueryInterface(scripted::kControlInterface, &object));
    auto* control = dynamic_cast<scripted::IScriptedDevice*>(object);
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(plugin->QueryInterface(kDeviceMgrFlag, &object));
    auto* manager = dynamic_cast<IDeviceMgr*>(object);
    EventRecorder sink;
    ASSERT_TRUE(manager->AddEventSink(&sink));
    manager->Release();
    plugin->Release();

    // A sink stays registered after the plug-in object that took it is gone, and the
    // controls keep the manager's thread delivering.
    control->RaiseBareEvent(kEventCardArrived, 20);
    ASSERT_TRUE(control->WaitIdle(2000));
    EXPECT_EQ(sink.codes, std::vector<uint32_t>{kEventCardArrived});

    plugin = create();
    ASSERT_TRUE(plugin->QueryInterface(kDeviceMgrFlag, &object));
    EXPECT_TRUE(dynamic_cast<IDeviceMgr*>(object)->RemoveEventSink(&sink));
    object->Release();
    plugin->Release();
    EXPECT_EQ(device->EventSinkCount(), 0);
    control->Release();
}

}  // namespace

// A sink whose calls take a while, for removals racing them.
class SlowSink final : public IDeviceMgrEvent, public IMultiDeviceMgrEvent {
  public:
    bool OnDeviceEvent(uint32_t, void*) override { return Call(), true; }
    int OnDeviceChanged(void*, IDeviceInfo*) override { return Call(), 0; }
    void Call() {
        running = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++calls;
        running = false;
    }
    std::atomic<bool> running{false};
    std::atomic<int> calls{0};
};

// Removal from another thread returns only once the running call has ended, and no call
// starts after it: the sink may be destroyed at once. Both kinds of event sink, several rounds.
TEST_F(ScriptedDevice, RemovalWaitsForTheRunningCallAndEndsTheCalls) {
    IBaseInterface* object = nullptr;
    ASSERT_TRUE(plugin->QueryInterface(kMultiDeviceMgrFlag, &object));
    auto* multi = dynamic_cast<IMultiDeviceMgr*>(object);
    ASSERT_NE(multi, nullptr);
    struct Kind {
        const char* name;
        std::function<bool(SlowSink*)> add, remove;
        std::function<void()> raise;
    } kinds[] = {
        {"device event", [&](SlowSink* s) { return manager->AddEventSink(s); },
         [&](SlowSink* s) { return manager->RemoveEventSink(s); },
         [&] { device->RaiseBareEvent(kEventCardReady); }},
        {"device changed", [&](SlowSink* s) { return multi->AddEventSink(s); },
         [&](SlowSink* s) { return multi->RemoveEventSink(s); },
         [&] { device->RaiseDeviceChanged("card", ""); }},
    };
    for (const Kind& kind : kinds) {
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(std::string(kind.name) + " round " + std::to_string(round));
            auto sink = std::make_unique<SlowSink>();
            ASSERT_TRUE(kind.add(sink.get()));
            for (int i = 0; i < 5; ++i) kind.raise();
            while (!sink->running) std::this_thread::yield();
            bool removed = false;
            int callsAtRemoval = -1;
            bool runningAfter = true;
            std::thread remover([&] {
                removed = kind.remove(sink.get());
                runningAfter = sink->running;
                callsAtRemoval = sink->calls;
            });
            remover.join();
            EXPECT_TRUE(removed);
            EXPECT_FALSE(runningAfter);
            ASSERT_TRUE(device->WaitIdle(2000));
            EXPECT_EQ(sink->calls, callsAtRemoval) << "no call after the removal";
            EXPECT_LT(callsAtRemoval, 5);
        }
    }
    multi->Release();
}
