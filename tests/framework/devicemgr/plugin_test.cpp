// The device manager as the container and the launcher reach it: the library, its plug-in
// object and the interfaces it hands out by number.
#include <gtest/gtest.h>

#include "framework/contracts/plugin.h"
#include "manager_fixture.h"
#include "platform/library.h"
#include "platform/ui/kit.h"

namespace manager_test {
namespace {

std::atomic<int> handled{0};
void CountAnswer(const char* answer) {
    if (std::string(answer) == "^GPSTYPE:2\r\nOK") ++handled;
}

// The device manager library, loaded as the container loads it, and its plug-in factory.
struct PluginLibrary {
    std::unique_ptr<platform::SharedLibrary> library;
    framework::CreatePluginFn create = nullptr;
};
PluginLibrary LoadPlugin() {
    PluginLibrary loaded;
    std::string error;
    loaded.library = platform::SharedLibrary::Load(DEVICEMGR_PLUGIN_PATH, error);
    if (loaded.library) {
        loaded.create = loaded.library->Function<framework::CreatePluginFn>(
            framework::kCreatePluginExport, error);
    }
    EXPECT_TRUE(loaded.create) << error;
    return loaded;
}

TEST_F(ManagerTest, PluginHandsOutOneManagerThroughEveryObject) {
    Plug();
    PluginLibrary loaded = LoadPlugin();
    ASSERT_TRUE(loaded.create);
    auto create = loaded.create;
    framework::IBasePlugin* plugin = create();
    framework::IBasePlugin* second = create();  // e.g. listed again under the UI identifier
    ASSERT_TRUE(plugin && second);
    EXPECT_STREQ(plugin->GetPluginId(), framework::kDeviceMgrId);

    framework::IBaseInterface* one = nullptr;
    framework::IBaseInterface* two = nullptr;
    framework::IBaseInterface* other = nullptr;
    ASSERT_TRUE(plugin->QueryInterface(framework::kNotificationSourceInterface, &one));
    ASSERT_TRUE(plugin->QueryInterface(framework::kCustomizeSourceInterface, &two));
    EXPECT_FALSE(plugin->QueryInterface(7, &other));
    auto* manager = dynamic_cast<framework::IDeviceMgr*>(one);
    auto* source = dynamic_cast<framework::IDeviceNotificationSource*>(one);
    auto* multi = dynamic_cast<framework::IMultiDeviceMgr*>(two);
    auto* customize = dynamic_cast<framework::ICustomizeSource*>(two);
    auto* notifier = dynamic_cast<framework::IPluginSetNotifier*>(two);
    ASSERT_TRUE(manager && source && multi && customize && notifier);
    EXPECT_TRUE(dynamic_cast<framework::IDeviceMgrUI*>(one));

    InitializeSink initialized;
    ASSERT_TRUE(source->AddInitializeSink(&initialized));
    ASSERT_TRUE(initialized.Wait());
    ASSERT_EQ(initialized.ListedDevices().size(), 1u);
    EXPECT_EQ(initialized.ListedDevices()[0].id, "wendrix 3g");
    EXPECT_STREQ(customize->GetCustomizeText(), "generic");
    source->RemoveInitializeSink(&initialized);

    // One current device object for the manager's life, whichever plug-in object is asked.
    framework::IBaseInterface* secondOne = nullptr;
    ASSERT_TRUE(second->QueryInterface(framework::kNotificationSourceInterface, &secondOne));
    framework::IDeviceChannel* device = manager->GetCurrentDevice();
    ASSERT_TRUE(device);
    EXPECT_EQ(dynamic_cast<framework::IDeviceMgr*>(secondOne)->GetCurrentDevice(), device);
    auto* gps = dynamic_cast<framework::IGpsControl*>(device);
    ASSERT_TRUE(gps);

    RecordingSink sink;
    ASSERT_TRUE(manager->AddEventSink(&sink));
    ASSERT_TRUE(WaitUntil([&] {
        return device->SetAnswerHandler(CountAnswer) && device->SendCommand("AT^GPSTYPE?\r\n") &&
               WaitUntil([] { return handled > 0; }, 500ms);
    }));
    device->EndExchange();
    device->RemoveAnswerHandler(CountAnswer);
    uint32_t status = 0;
    EXPECT_TRUE(gps->OpenGps(&status));
    EXPECT_TRUE(gps->CloseGps(&status));
    EXPECT_TRUE(manager->RemoveEventSink(&sink));
    EXPECT_FALSE(manager->RemoveEventSink(&sink));

    one->Release();
    two->Release();
    secondOne->Release();
    second->Release();
    plugin->Release();  // the last object ends the manager and its threads
}

// The launcher ends its own manager before the container starts another on the same card.
// It asks Uninitialize until it agrees: not while a command is in flight. And a command left in
// flight anyway (the launcher gives up asking) has its late answer dropped by the next owner,
// never taken as the answer to that owner's commands (the card answers slowly here).
TEST_F(ManagerTest, ManagerEndsOnlyBetweenExchangesAndNextOwnerDropsALateAnswer) {
    cardsim::CardOptions slow;
    slow.answerDelay = 250ms;
    Plug(slow);
    PluginLibrary loaded = LoadPlugin();
    ASSERT_TRUE(loaded.create);
    auto create = loaded.create;

    // Brings a manager up through a new plug-in object; answers its device.
    auto open = [&](framework::IBasePlugin*& plugin, framework::IBaseInterface*& face,
                    RecordingSink& sink) -> framework::IDeviceChannel* {
        plugin = create();
        if (!plugin || !plugin->QueryInterface(framework::kNotificationSourceInterface, &face)) {
            return nullptr;
        }
        auto* manager = dynamic_cast<framework::IDeviceMgr*>(face);
        manager->AddEventSink(&sink);
        bool ready = WaitUntil([&] {
            for (const Event& e : sink.Events()) {
                if (e.code == framework::kEventCardReady) return true;
            }
            return false;
        });
        return ready ? manager->GetCurrentDevice() : nullptr;
    };
    auto close = [](framework::IBasePlugin* plugin, framework::IBaseInterface* face,
                    RecordingSink& sink) {
        dynamic_cast<framework::IDeviceMgr*>(face)->RemoveEventSink(&sink);
        face->Release();
        plugin->Release();
    };

    framework::IBasePlugin* launcher = nullptr;
    framework::IBaseInterface* face = nullptr;
    RecordingSink sink;
    framework::IDeviceChannel* device = open(launcher, face, sink);
    ASSERT_TRUE(device);
    EXPECT_TRUE(WaitUntil([&] { return launcher->Uninitialize(); }));  // between exchanges
    ASSERT_TRUE(device->SendCommand("AT+CGSN\r\n"));
    EXPECT_FALSE(launcher->Uninitialize());
    EXPECT_TRUE(WaitUntil([&] { return launcher->Uninitialize(); }));  // answered
    // Another object keeps the manager: releasing this one ends nothing.
    framework::IBasePlugin* other = create();
    ASSERT_TRUE(device->SendCommand("AT+CGSN\r\n"));
    EXPECT_TRUE(other->Uninitialize());
    other->Release();
    close(launcher, face, sink);  // the command is still in flight

    framework::IBasePlugin* container = nullptr;
    RecordingSink next;
    ASSERT_TRUE(open(container, face, next));
    framework::IBaseInterface* two = nullptr;
    ASSERT_TRUE(container->QueryInterface(framework::kCustomizeSourceInterface, &two));
    EXPECT_STREQ(dynamic_cast<framework::ICustomizeSource*>(two)->GetCustomizeText(), "generic");
    two->Release();
    close(container, face, next);
}

// The GPS plug-in opens the session on the window thread; a card that does not answer must
// not keep the window thread from serving a send of another thread meanwhile.
TEST_F(ManagerTest, OpeningTheSessionOnTheWindowThreadServesSends) {
    cardsim::CardOptions mute;
    mute.replies["AT^GPSSTART"] = cardsim::Reply::None;
    Plug(mute);
    ASSERT_TRUE(ui::Initialize(ui::BackendKind::Headless));
    PluginLibrary loaded = LoadPlugin();
    ASSERT_TRUE(loaded.create);
    framework::IBasePlugin* plugin = loaded.create();
    framework::IBaseInterface* face = nullptr;
    ASSERT_TRUE(plugin->QueryInterface(framework::kNotificationSourceInterface, &face));
    auto* manager = dynamic_cast<framework::IDeviceMgr*>(face);
    RecordingSink sink;
    manager->AddEventSink(&sink);
    ASSERT_TRUE(WaitUntil([&] {
        auto events = sink.Events();
        return !events.empty() && events.back().code == framework::kEventCardReady;
    }));
    auto* gps = dynamic_cast<framework::IGpsControl*>(manager->GetCurrentDevice());
    std::atomic<bool> opening{false}, returned{false}, servedWhileWaiting{false};
    std::thread sender([&] {
        while (!opening) std::this_thread::sleep_for(1ms);
        ui::RunOnWindowThread([&] { servedWhileWaiting = !returned; });
    });
    ui::RunOnWindowThread([&] {
        uint32_t status = 0;
        opening = true;
        EXPECT_FALSE(gps->OpenGps(&status));
        returned = true;
    });
    sender.join();
    EXPECT_TRUE(servedWhileWaiting);
    manager->RemoveEventSink(&sink);
    face->Release();
    plugin->Release();
    ui::Shutdown();
}

// A call into the GPS dialog, on a thread of the manager, that sends to the window thread once
// the window thread is removing what is being called (only the first call after Reset).
struct SendingCall {
    std::atomic<bool> inside{false}, removing{false}, served{false};
    void Reset() { inside = removing = served = false; }
    void Run() {
        if (inside.exchange(true)) return;
        while (!removing) std::this_thread::sleep_for(1ms);
        ui::RunOnWindowThread([this] { served = true; });
    }
};
SendingCall sendingCall;

void SendingHandler(const char*) {
    sendingCall.Run();
}

struct SendingDeviceSink final : framework::IDeviceMgrEvent {
    bool OnDeviceEvent(uint32_t, void*) override {
        sendingCall.Run();
        return true;
    }
};

struct SendingInitializeSink final : framework::IDeviceInitializeEvent {
    bool OnDeviceInitialize(int, framework::IDeviceList*) override {
        sendingCall.Run();
        return true;
    }
};

// The dialog removes its sinks and its answer handler on the window thread. The plug-in does not
// link the window kit, yet each removal serves the send of the call it waits for: it reaches
// the program's kit at run time.
TEST_F(ManagerTest, RemovalsOnTheWindowThreadServeTheSendOfTheCallTheyWaitFor) {
    Plug();
    ASSERT_TRUE(ui::Initialize(ui::BackendKind::Headless));
    PluginLibrary loaded = LoadPlugin();
    ASSERT_TRUE(loaded.create);
    framework::IBasePlugin* plugin = loaded.create();
    framework::IBaseInterface* face = nullptr;
    ASSERT_TRUE(plugin->QueryInterface(framework::kNotificationSourceInterface, &face));
    auto* manager = dynamic_cast<framework::IDeviceMgr*>(face);
    auto* source = dynamic_cast<framework::IDeviceNotificationSource*>(face);
    framework::IDeviceChannel* device = manager->GetCurrentDevice();
    RecordingSink ready;
    manager->AddEventSink(&ready);
    ASSERT_TRUE(WaitUntil([&] {
        auto events = ready.Events();
        return !events.empty() && events.back().code == framework::kEventCardReady;
    }));

    SendingDeviceSink deviceSink;
    SendingInitializeSink initializeSink;
    struct Row {
        const char* what;
        std::function<bool()> add;  // the call comes on a thread of the manager
        std::function<bool()> remove;
    } rows[] = {
        {"device sink (told the card's state on the manager thread)",
         [&] { return manager->AddEventSink(&deviceSink); },
         [&] { return manager->RemoveEventSink(&deviceSink); }},
        {"initialize sink (told the first scan on the manager thread)",
         [&] { return source->AddInitializeSink(&initializeSink); },
         [&] { return source->RemoveInitializeSink(&initializeSink); }},
        {"answer handler (an answer, on the AT port's reader thread)",
         [&] { return device->SetAnswerHandler(SendingHandler) && device->SendCommand("AT\r\n"); },
         [&] {
             device->RemoveAnswerHandler(SendingHandler);
             return true;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sendingCall.Reset();
        ASSERT_TRUE(row.add());
        ASSERT_TRUE(WaitUntil([] { return sendingCall.inside.load(); }));
        bool removed = false;
        ui::RunOnWindowThread([&] {
            sendingCall.removing = true;
            removed = row.remove();
        });
        EXPECT_TRUE(removed);
        EXPECT_TRUE(sendingCall.served);
    }
    manager->RemoveEventSink(&ready);
    face->Release();
    plugin->Release();
    ui::Shutdown();
}

}  // namespace
}  // namespace manager_test
