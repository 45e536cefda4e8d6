// Callers outside this build reach each operation of a plug-in object, the container and the
// objects they hand out by its slot number in the object's table. Here the real GPS plug-in,
// device manager and container are called that way: the table pointer is read from the object
// and the entry at the operation's number is called with the operation's signature.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <functional>
#include <mutex>
#include <regex>
#include <string>
#include <thread>

#include "cardsim/card.h"
#include "framework/contracts/container.h"
#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/services.h"
#include "platform/library.h"
#include "temp_dir.h"

namespace {

using namespace std::chrono_literals;

// Calls entry `slot` of the table of the interface that `object` points at.
template <typename Result, typename... Args>
Result CallSlot(void* object, int slot, Args... args) {
    using Entry = Result (*)(void*, Args...);
    Entry entry = (*static_cast<Entry**>(object))[slot];
    return entry(object, args...);
}

// How a row calls its slot; the result is rendered as text so that one table holds them all.
using Call = std::function<std::string(void* object, int slot)>;

template <typename... Args>
Call Int(Args... args) {
    return [=](void* o, int s) { return std::to_string(CallSlot<int>(o, s, args...)); };
}
template <typename... Args>
Call Bool(Args... args) {
    return [=](void* o, int s) {
        return std::string(CallSlot<bool>(o, s, args...) ? "true" : "false");
    };
}
template <typename... Args>
Call Text(Args... args) {
    return [=](void* o, int s) {
        const char* text = CallSlot<const char*>(o, s, args...);
        return std::string(text ? text : "(null)");
    };
}
template <typename... Args>
Call Pointer(Args... args) {
    return [=](void* o, int s) {
        return std::to_string(reinterpret_cast<uintptr_t>(CallSlot<void*>(o, s, args...)));
    };
}
template <typename... Args>
Call Void(Args... args) {
    return [=](void* o, int s) {
        CallSlot<void>(o, s, args...);
        return std::string("done");
    };
}
std::string Address(const void* p) {
    return std::to_string(reinterpret_cast<uintptr_t>(p));
}

struct Row {
    const char* operation;
    void* object;  // the interface whose table is read
    int slot;
    Call call;
    std::string expected;
};

// Answers reach this handler once it is registered at the device object's slot 19.
std::atomic<int> gpsTypeAnswers{0};
void OnAnswer(const char* answer) {
    if (std::string(answer).find("^GPSTYPE:2") != std::string::npos) ++gpsTypeAnswers;
}

class EventCounter final : public framework::IDeviceMgrEvent {
  public:
    bool OnDeviceEvent(uint32_t event, void* data) override {
        if (event == framework::kEventCardReady) ready = true;
        if (event == framework::kEventGpsData && data != nullptr) {
            std::lock_guard<std::mutex> lock(mutex);
            std::memcpy(record, data, sizeof record);
            ++records;
        }
        return true;
    }
    std::atomic<bool> ready{false};
    std::mutex mutex;
    std::atomic<int> records{0};
    unsigned char record[sizeof(framework::GpsDataRecord)] = {};
};

// A text of the record as a reader of the three-text layout takes it: from its byte offset,
// up to a zero within its 30 bytes (or empty when there is none).
std::string TextAt(const unsigned char* record, size_t offset) {
    const char* text = reinterpret_cast<const char*>(record) + offset;
    size_t length = strnlen(text, 30);
    return length < 30 ? std::string(text, length) : std::string();
}

class DeviceInitialized final : public framework::IDeviceInitializeEvent {
  public:
    bool OnDeviceInitialize(int, framework::IDeviceList*) override { return true; }
};

class ChangedSink final : public framework::IMultiDeviceMgrEvent {
  public:
    int OnDeviceChanged(void*, framework::IDeviceInfo*) override { return 0; }
};

bool WaitUntil(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

framework::IBasePlugin* CreateFrom(platform::SharedLibrary& library) {
    std::string error;
    auto create =
        library.Function<framework::CreatePluginFn>(framework::kCreatePluginExport, error);
    return create ? create() : nullptr;
}

void RunRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.operation) + " at slot " + std::to_string(row.slot));
        ASSERT_NE(row.object, nullptr);
        EXPECT_EQ(row.call(row.object, row.slot), row.expected);
    }
}

TEST(SlotLayout, RealPluginsAndTheContainerAnswerAtTheirSlotNumbers) {
    testing_support::TempDir dir;
    ::setenv("SATVIEW_PORTS_DIR", (dir / "ports").c_str(), 1);
    cardsim::Card card;
    ASSERT_TRUE(card.Start());
    dir.Write("plugins.xml", std::string("<main><mainplugin>none</mainplugin><plugin><clsid>") +
                                 framework::kDeviceMgrId + "</clsid><url>" + DEVICEMGR_PLUGIN_PATH +
                                 "</url><name>card</name></plugin></main>");
    framework::IPluginContainer* container =
        framework::CContainerFactory::CreatePluginContainer((dir / "plugins.xml").c_str());
    ASSERT_NE(container, nullptr);

    // The services, found through the container's lookup (slot 14) as a caller finds them.
    auto lookUp = [&](const char* id, uint32_t flag) {
        framework::IBaseInterface* object = nullptr;
        bool found = CallSlot<bool>(container, 14, id, flag, &object);
        return found ? object : nullptr;
    };
    auto* trace = dynamic_cast<framework::ITraceService*>(
        lookUp(framework::kTraceServiceId, framework::kTraceServiceFlag));
    auto* locale = dynamic_cast<framework::ILocaleMgrService*>(
        lookUp(framework::kLocaleServiceId, framework::kLocaleServiceFlag));
    auto* walker = dynamic_cast<framework::IQueryPluginConfigProperty*>(
        lookUp(framework::kPluginConfigPropertyId, framework::kPluginConfigPropertyFlag));
    auto* manager = dynamic_cast<framework::IDeviceMgr*>(
        lookUp(framework::kDeviceMgrId, framework::kDeviceMgrFlag));
    auto* multi = dynamic_cast<framework::IMultiDeviceMgr*>(
        lookUp(framework::kDeviceMgrId, framework::kMultiDeviceMgrFlag));
    auto* config = dynamic_cast<framework::IConfigService*>(
        lookUp(framework::kConfigPluginId, framework::kConfigServiceFlag));
    ASSERT_TRUE(trace && locale && walker && manager && multi && config);

    // The device manager loaded directly, as the launcher loads it.
    std::string error;
    auto deviceLibrary = platform::SharedLibrary::Load(DEVICEMGR_PLUGIN_PATH, error);
    ASSERT_TRUE(deviceLibrary) << error;
    framework::IBasePlugin* direct = CreateFrom(*deviceLibrary);
    ASSERT_NE(direct, nullptr);
    framework::IBaseInterface* notifications = nullptr;
    framework::IBaseInterface* customize = nullptr;

    auto orbitpaneLibrary = platform::SharedLibrary::Load(ORBITPANE_PLUGIN_PATH, error);
    ASSERT_TRUE(orbitpaneLibrary) << error;
    framework::IBasePlugin* orbitpane = CreateFrom(*orbitpaneLibrary);
    ASSERT_NE(orbitpane, nullptr);
    auto* orbitpaneSink = dynamic_cast<framework::IDeviceMgrEvent*>(orbitpane);
    framework::IBaseInterface* self = nullptr;
    framework::IBaseInterface* none = nullptr;

    EventCounter events;
    DeviceInitialized initialized;
    ChangedSink changed;
    uint32_t status = 0;
    const std::string apn = "internet";
    const wchar_t* section = L"slots";
    const wchar_t* key = L"probe";
    wchar_t value[16] = L"";
    framework::IDeviceChannel* device = manager->GetCurrentDevice();
    auto* gps = dynamic_cast<framework::IGpsControl*>(device);
    ASSERT_TRUE(device && gps);

    RunRows({
        {"container GetLastErrorCode", container, 1, Int(), "0"},
        {"container GetMainFrameId", container, 15, Text(), "none"},
        {"trace service Trace", trace, 2,
         Void(framework::kTraceInfo, "Slots", __FILE__, __LINE__, "traced at slot 2"), "done"},
        {"locale service LoadString", locale, 6,
         Pointer("IDS_NO_SUCH_KEY", "Orbitpane", static_cast<const wchar_t*>(nullptr)), "0"},
        {"configuration service WriteValue", config, 3, Bool(section, key, L"42", 1), "true"},
        {"configuration service ReadValue", config, 2, Int(section, key, &value[0], 16, 1), "3"},
        {"plug-in walk MoveNext", walker, 3, Bool(), "true"},
        {"plug-in walk GetUrl", walker, 6, Text(), DEVICEMGR_PLUGIN_PATH},
        {"plug-in walk GetId", walker, 10, Text(), framework::kDeviceMgrId},
        {"plug-in walk MoveNext at the end", walker, 3, Bool(), "false"},

        {"device manager GetCurrentDevice", manager, 2, Pointer(), Address(device)},
        {"device manager AddEventSink", manager, 15,
         Bool(static_cast<framework::IDeviceMgrEvent*>(&events)), "true"},
        {"multi-device manager Refresh", multi, 2, Bool(), "true"},
        {"multi-device manager AddEventSink", multi, 8,
         Bool(static_cast<framework::IMultiDeviceMgrEvent*>(&changed)), "true"},
        {"multi-device manager RemoveEventSink", multi, 9,
         Bool(static_cast<framework::IMultiDeviceMgrEvent*>(&changed)), "true"},

        {"plug-in QueryInterface 1", direct, 4,
         Bool(framework::kNotificationSourceInterface, &notifications), "true"},
        {"plug-in QueryInterface 2", direct, 4,
         Bool(framework::kCustomizeSourceInterface, &customize), "true"},
        {"plug-in GetPluginId", direct, 6, Text(), framework::kDeviceMgrId},
        {"plug-in GetLastErrorCode", direct, 1, Int(), "0"},
    });
    ASSERT_TRUE(WaitUntil([&] { return events.ready.load(); })) << "the card never became ready";
    auto* source = dynamic_cast<framework::IDeviceNotificationSource*>(notifications);
    auto* text = dynamic_cast<framework::ICustomizeSource*>(customize);

    RunRows({
        {"notification source AddInitializeSink", source, 17,
         Bool(static_cast<framework::IDeviceInitializeEvent*>(&initialized)), "true"},
        {"notification source RemoveInitializeSink", source, 18,
         Bool(static_cast<framework::IDeviceInitializeEvent*>(&initialized)), "true"},
        {"customize source GetCustomizeText", text, 5, Text(), "generic"},
        {"current device SetAnswerHandler", device, 19, Bool(&OnAnswer), "true"},
        {"current device SendCommand", device, 20, Bool("AT^GPSTYPE?\r\n"), "true"},
    });
    EXPECT_TRUE(WaitUntil([] { return gpsTypeAnswers > 0; })) << "no answer at the handler";
    RunRows({
        {"current device EndExchange", device, 21, Void(), "done"},
        {"current device RemoveAnswerHandler", device, 22, Void(&OnAnswer), "done"},
        {"GPS control OpenGps", gps, 16, Bool(&status), "true"},
    });
    EXPECT_TRUE(card.Positioning()) << "slot 16 opened the receiver";
    // A position record keeps its three texts at bytes 0, 30 and 60; what the receiver says
    // besides comes after byte 90.
    ASSERT_TRUE(WaitUntil([&] { return events.records > 0; })) << "no GPS data record";
    {
        std::lock_guard<std::mutex> lock(events.mutex);
        const std::regex coordinate("-?[0-9]{1,3}\\.[0-9]{6}");
        std::string longitude = TextAt(events.record, 0);
        std::string latitude = TextAt(events.record, 30);
        ASSERT_GE(longitude.size(), 2u);
        ASSERT_GE(latitude.size(), 2u);
        EXPECT_TRUE(std::regex_match(longitude.substr(0, longitude.size() - 1), coordinate))
            << longitude;
        EXPECT_TRUE(std::regex_match(latitude.substr(0, latitude.size() - 1), coordinate))
            << latitude;
        // The satellites in view: empty until the receiver has told their number.
        EXPECT_TRUE(std::regex_match(TextAt(events.record, 60), std::regex("[0-9]{0,2}")));
        framework::GpsDataRecord record;
        std::memcpy(&record, events.record, sizeof record);
        EXPECT_GE(offsetof(framework::GpsDataRecord, speedKnown), 90u);
        EXPECT_TRUE(record.speedKnown && record.utcDateTimeKnown) << "the extra fields are filled";
    }
    RunRows({
        {"GPS control CloseGps", gps, 17, Bool(&status), "true"},

        {"Orbitpane SetContainer", orbitpane, 2, Void(container), "done"},
        {"Orbitpane Initialize", orbitpane, 3, Bool(), "true"},
        {"Orbitpane QueryInterface 0x5001", orbitpane, 4,
         Bool(framework::kUiPluginInterface, &self), "true"},
        {"Orbitpane QueryInterface 7", orbitpane, 4, Bool(7u, &none), "false"},
        {"Orbitpane GetState", orbitpane, 5, Int(), "0"},
        {"Orbitpane GetPluginId", orbitpane, 6, Text(), framework::kOrbitpanePluginId},
        {"Orbitpane GetVersion", orbitpane, 7, Int(), "257"},
        {"Orbitpane GetName", orbitpane, 8, Text(), "Orbitpane"},
        {"Orbitpane Uninitialize", orbitpane, 9, Bool(), "true"},
        {"Orbitpane GetStateFlag", orbitpane, 14, Bool(), "false"},
        {"Orbitpane GetDeviceChannel", orbitpane, 15, Pointer(), Address(device)},
        {"Orbitpane QueryGpsType", orbitpane, 16, Int(), "1"},
        {"Orbitpane SetApn", orbitpane, 17, Int(&apn), "1"},
        {"Orbitpane SetSuplServer", orbitpane, 18, Int(&apn), "1"},
        {"Orbitpane SetPositionMode", orbitpane, 19, Int(0), "1"},
        {"Orbitpane SetFixInterval", orbitpane, 20, Int(1), "1"},
        {"Orbitpane OpenGps", orbitpane, 22, Int(), "1"},
    });
    EXPECT_TRUE(card.Positioning()) << "slot 22 opened the receiver";
    RunRows({
        {"Orbitpane CloseGps", orbitpane, 23, Int(), "1"},
        {"Orbitpane RegisterDeviceEvents", orbitpane, 24, Void(), "done"},
        // Registered by slot 24: the manager removes it once, at its own slot 16.
        {"device manager RemoveEventSink", manager, 16, Bool(orbitpaneSink), "true"},
        {"Orbitpane UnregisterDeviceEvents", orbitpane, 25, Void(), "done"},
        {"device manager RemoveEventSink again", manager, 16, Bool(orbitpaneSink), "false"},
        {"device manager RemoveEventSink", manager, 16,
         Bool(static_cast<framework::IDeviceMgrEvent*>(&events)), "true"},
    });
    EXPECT_EQ(self, orbitpane);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(std::wstring(value), L"42");
    EXPECT_FALSE(card.Positioning()) << "slot 23 closed the receiver";

    // Released through slot 0, never deleted through an interface.
    RunRows({
        {"Orbitpane Release", orbitpane, 0, Void(), "done"},
        {"customize source Release", customize, 0, Void(), "done"},
        {"notification source Release", notifications, 0, Void(), "done"},
        {"plug-in Release", direct, 0, Void(), "done"},
        {"multi-device manager Release", multi, 0, Void(), "done"},
        {"device manager Release", manager, 0, Void(), "done"},
        {"plug-in walk Release", walker, 0, Void(), "done"},
    });
    framework::CContainerFactory::DestroyPluginContainer(container);
    ::unsetenv("SATVIEW_PORTS_DIR");
}

}  // namespace
