// Device selection with the scripted device manager and the real configuration plug-in, and
// the plug-ins the manager loads by itself.
#include <gtest/gtest.h>

#include "Startup/Win32/pluginsconfigmgr.h"
#include "framework/config/setting_store.h"
#include "platform/library.h"
#include "program_dir.h"
#include "scripted_device_access.h"

namespace {

using namespace startup_test;
using scripted::ListedDevice;

constexpr const char* kBusyId = "B0B0B0B0-0000-4000-8000-00000000B0B0";

class DeviceSelection : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.Install("", "wendrix 3g");
        mgr.SetWaits(2000, 1);
    }
    std::string Configured() {
        return framework::SettingStore(dir.path()).Read("system", "devicename", true).value_or("?");
    }
    void StoreDevices(const std::string& items) {
        dir.Write("userdata/localdeviceinfo.xml", "<localdevice>" + items + "</localdevice>");
    }

    ProgramDir dir;
    scripted::ScriptedDeviceLibrary device;
    CPluginsConfigMgr mgr{dir.ListPath()};
};

TEST_F(DeviceSelection, ChoosesTheDeviceFromTheReportedList) {
    const std::string twoStored =
        "<item name=\"a\" id=\"Wendrix 4G\" port=\"3\">1</item><item name=\"b\" id=\"wendrix 3g\" "
        "port=\"7\"/>";
    struct Case {
        const char* what;
        std::vector<ListedDevice> devices;
        std::string stored;
        std::string chosen;
        std::string written;  // the configured current value afterwards
    } cases[] = {
        {"none", {}, "", "wendrix 3g", ""},
        {"one", {{"wendrix 4g", 5}}, "", "wendrix 4g", "wendrix 4g"},
        {"two matching the stored list",
         {{"Wendrix 4G", 3}, {"wendrix 3g", 7}},
         twoStored,
         "wendrix 4g",
         "wendrix 4g"},
        {"two on other ports", {{"Wendrix 4G", 4}, {"wendrix 3g", 7}}, twoStored, "wendrix 3g", ""},
        {"two, none chosen",
         {{"wendrix 4g", 3}, {"wendrix 3g", 7}},
         "<item id=\"wendrix 4g\" port=\"3\"/><item id=\"wendrix 3g\" port=\"7\"/>",
         "wendrix 3g",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dir.Write("SysSetting.xml", Settings("", "wendrix 3g"));
        StoreDevices(c.stored);
        device->AnnounceDevicesOnRegister(c.devices, 0);
        EXPECT_TRUE(mgr.PrepareConfiguration());
        EXPECT_EQ(mgr.DeviceName(), c.chosen);
        EXPECT_EQ(Configured(), c.written);
        EXPECT_TRUE(mgr.Ready());
        EXPECT_EQ(device->InitializeSinkCount(), 0);
        EXPECT_EQ(mgr.IndirectPluginCount(), 0u);
    }
    // The list file now names the chosen device's plug-ins.
    EXPECT_NE(dir.Read("plugins.xml").find(test_plugins::kUiPluginId), std::string::npos);
}

TEST_F(DeviceSelection, SilenceMeansTheConfiguredDeviceAndALateListIsIgnored) {
    mgr.SetWaits(50, 1);
    dir.Write("SysSetting.xml", Settings("wendrix 2g", "wendrix 3g"));
    device->SetCustomizeText("NoGps");
    EXPECT_TRUE(mgr.PrepareConfiguration());
    EXPECT_EQ(mgr.DeviceName(), "wendrix 2g");
    EXPECT_EQ(mgr.CustomizeText(), "NoGps");
    EXPECT_TRUE(dir.Traced("notice", "DeviceInitialize call back not response."));
    EXPECT_TRUE(
        dir.Traced("info", "Use the default setting device. the name of device is wendrix 2g"));
    EXPECT_EQ(dir.Read("plugins.xml").find(test_plugins::kUiPluginId), std::string::npos);

    struct OneDevice : framework::IDeviceList {
        int GetCount() override { return 1; }
        const char* GetCurrentId() override { return "wendrix 4g"; }
        int GetCurrentPort() override { return 1; }
        bool MoveFirst() override { return true; }
        bool MoveNext() override { return false; }
    } late;
    EXPECT_FALSE(mgr.OnDeviceInitialize(framework::kEventDevicesInitialized, &late));
    EXPECT_EQ(mgr.DeviceName(), "wendrix 2g");
    EXPECT_EQ(Configured(), "wendrix 2g");
}

TEST_F(DeviceSelection, PreparationFailsWithoutADefaultDevice) {
    mgr.SetWaits(10, 1);
    dir.Write("SysSetting.xml", Settings("", ""));
    std::string before = dir.Write("plugins.xml", "<main><mainplugin>X</mainplugin></main>");
    EXPECT_FALSE(mgr.PrepareConfiguration());
    EXPECT_TRUE(dir.Traced("notice", "The default devicename does not exist!"));
    EXPECT_EQ(dir.Read("plugins.xml"), "<main><mainplugin>X</mainplugin></main>");
    EXPECT_EQ(mgr.IndirectPluginCount(), 0u);
    EXPECT_EQ(device->InitializeSinkCount(), 0);
}

TEST_F(DeviceSelection, ResolvesProductIdsAndTheVoiceVariant) {
    struct Case {
        const char* name;
        const char* voice;  // servicevoice text, null: no element
        const char* resolved;
    } cases[] = {
        {"1234:5602", "0", "wendrix 4g"},      {"WENDRIX 3G", "1", "wendrix 3g"},
        {"wendrix 4g", "1", "wendrix 4gv1"},   {"Wendrix 4G", "0", "wendrix 4g"},
        {"wendrix 4g", nullptr, "wendrix 4g"}, {"other", "1", "other"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "/" + (c.voice ? c.voice : "none"));
        dir.Write("SysSetting.xml",
                  c.voice ? Settings("", "x", c.voice) : "<plxadoc><system/></plxadoc>");
        EXPECT_EQ(mgr.ResolveDeviceName(c.name), c.resolved);
    }
}

TEST_F(DeviceSelection, DeviceChangesAreJudgedOnlyOncePrepared) {
    struct Info : framework::IDeviceInfo {
        std::string name;
        const char* GetDeviceName() override { return name.c_str(); }
        const char* GetCustomizeText() override { return ""; }
    } info;
    info.name = "wendrix 2g";
    EXPECT_EQ(mgr.OnDeviceChanged(nullptr, &info), 0);
    device->AnnounceDevicesOnRegister({{"wendrix 3g", 1}}, 0);
    ASSERT_TRUE(mgr.PrepareConfiguration());
    EXPECT_EQ(mgr.OnDeviceChanged(nullptr, nullptr), -1);
    info.name = "wendrix 4g";
    EXPECT_EQ(mgr.OnDeviceChanged(nullptr, &info), 0);  // the same plug-ins
    info.name = "wendrix 2g";
    EXPECT_EQ(mgr.OnDeviceChanged(nullptr, &info), -2);
    EXPECT_EQ(mgr.DeviceName(), "wendrix 3g");
}

TEST_F(DeviceSelection, LoadsAndUnloadsIndirectPlugins) {
    auto entries = RunnableLibrary();
    entries.push_back({kBusyId, BUSY_PLUGIN_PATH, "Busy"});
    dir.Write("config/pluginslib.xml", Library(entries));

    EXPECT_EQ(mgr.CreateIndirectPlugin("NOT-LISTED"), nullptr);
    EXPECT_FALSE(dir.Traced("info", "Plugins lib file is error! "));

    framework::IBasePlugin* ui = mgr.CreateIndirectPlugin(test_plugins::kUiPluginId);
    framework::IBasePlugin* manager = mgr.CreateIndirectPlugin(framework::kDeviceMgrId);
    ASSERT_TRUE(ui && manager);
    mgr.DestroyIndirectPlugin(test_plugins::kUiPluginId);
    EXPECT_EQ(mgr.IndirectPluginCount(), 1u);
    framework::IBaseInterface* source = nullptr;
    ASSERT_TRUE(manager->QueryInterface(framework::kNotificationSourceInterface, &source));
    source->Release();
    mgr.DestroyIndirectPlugin(framework::kDeviceMgrId);

    // A plug-in that never agrees is released after fifteen waits.
    std::string error;
    auto busyLibrary = platform::SharedLibrary::Load(BUSY_PLUGIN_PATH, error);
    ASSERT_TRUE(busyLibrary) << error;
    auto asks = busyLibrary->Function<int (*)()>("BusyPluginAsks", error);
    ASSERT_NE(mgr.CreateIndirectPlugin(kBusyId), nullptr);
    mgr.DestroyIndirectPlugin(kBusyId);
    EXPECT_EQ(asks(), CPluginsConfigMgr::kUnloadTries);
    EXPECT_EQ(mgr.IndirectPluginCount(), 0u);

    std::filesystem::remove(dir / "config/pluginslib.xml");
    EXPECT_EQ(mgr.CreateIndirectPlugin(kBusyId), nullptr);
    EXPECT_TRUE(dir.Traced("info", "Plugins lib file is error! "));
}

}  // namespace
