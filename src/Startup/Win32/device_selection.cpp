// Device selection: the preparation before each run, the device manager's two notifications,
// the device files and the resolution of a device name to its rule name.
#include <cstdlib>

#include "Startup/Win32/launcher_trace.h"
#include "Startup/Win32/pluginsconfigmgr.h"
#include "Startup/Win32/text_case.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/services.h"
#include "markup/markup_stl.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/user_files.h"

namespace {

using launcher::kConfigMgrSource;

constexpr const char* kLocalDeviceFile = "userdata/localdeviceinfo.xml";
constexpr const char* kSettingFile = "SysSetting.xml";
constexpr const char* kRulesFile = "config/PluginsConfig.xml";
constexpr const wchar_t* kSystemSection = L"system";
constexpr const wchar_t* kDeviceNameKey = L"devicename";
constexpr int kNameCapacity = 260;

void Trace(int level, int line, const std::string& message) {
    launcher::Trace(level, kConfigMgrSource, line, message);
}

template <typename T>
T* Query(framework::IBasePlugin* plugin, uint32_t number) {
    framework::IBaseInterface* object = nullptr;
    try {
        if (!plugin->QueryInterface(number, &object) || !object) return nullptr;
    } catch (...) {
        return nullptr;
    }
    T* wanted = dynamic_cast<T*>(object);
    if (!wanted) object->Release();
    return wanted;
}

struct StoredItem {
    std::string id;
    std::string port;
};

}  // namespace

CPluginsConfigMgr::CPluginsConfigMgr(std::string pluginListPath)
    : listPath_(std::move(pluginListPath)), programDirectory_([this] {
          // A per-user list (an installed program's) belongs to the running program.
          size_t cut = listPath_.find_last_of('/');
          return cut == std::string::npos ? std::string(".")
                                          : platform::ProgramDirectoryOf(listPath_);
      }()) {}

CPluginsConfigMgr::~CPluginsConfigMgr() {
    // Plug-ins still loaded are left alone (their libraries stay mapped): a plug-in that was
    // never asked whether it may go is not unloaded under its own feet.
    std::lock_guard<std::mutex> lock(tableMutex_);
    for (IndirectPlugin& row : indirect_) (void)row.library.release();
}

std::string CPluginsConfigMgr::FilePath(const std::string& relative) const {
    return platform::ResolveNoCase(programDirectory_, relative);
}

std::string CPluginsConfigMgr::DeviceName() const {
    std::lock_guard<std::mutex> lock(notifyMutex_);
    return deviceName_;
}

std::string CPluginsConfigMgr::CustomizeText() const {
    std::lock_guard<std::mutex> lock(notifyMutex_);
    return customize_;
}

std::vector<PluginRecord> CPluginsConfigMgr::Records() const {
    std::lock_guard<std::recursive_mutex> lock(selectionMutex_);
    return records_;
}

std::set<std::string> CPluginsConfigMgr::EnabledIds() const {
    std::lock_guard<std::recursive_mutex> lock(selectionMutex_);
    return enabledIds_;
}

std::set<std::string> CPluginsConfigMgr::EnabledNames() const {
    std::lock_guard<std::recursive_mutex> lock(selectionMutex_);
    return enabledNames_;
}

void CPluginsConfigMgr::SetWaits(int deviceWaitMilliseconds, int unloadWaitMilliseconds) {
    deviceWaitMilliseconds_ = deviceWaitMilliseconds;
    unloadWaitMilliseconds_ = unloadWaitMilliseconds;
}

bool CPluginsConfigMgr::PrepareConfiguration() {
    ready_ = false;
    platform::Event initialized;
    {
        std::lock_guard<std::mutex> lock(notifyMutex_);
        deviceName_.clear();
        event_ = &initialized;
        accepting_ = true;
    }
    auto stopAccepting = [this] {
        // Waits for a notification in progress; later ones are ignored.
        std::lock_guard<std::mutex> lock(notifyMutex_);
        accepting_ = false;
        event_ = nullptr;
    };

    framework::IBasePlugin* manager = CreateIndirectPlugin(framework::kDeviceMgrId);
    auto* source = manager ? Query<framework::IDeviceNotificationSource>(
                                 manager, framework::kNotificationSourceInterface)
                           : nullptr;
    auto* customize =
        manager ? Query<framework::ICustomizeSource>(manager, framework::kCustomizeSourceInterface)
                : nullptr;
    if (!source || !customize) {
        stopAccepting();
        if (source) source->Release();
        if (customize) customize->Release();
        if (manager) DestroyIndirectPlugin(framework::kDeviceMgrId);
        return false;
    }
    source->AddInitializeSink(this);
    if (!initialized.Wait(deviceWaitMilliseconds_)) {
        Trace(framework::kTraceNotice, __LINE__, "DeviceInitialize call back not response.");
    }
    stopAccepting();

    bool named = !DeviceName().empty() || TakeDefaultDeviceName();
    if (named) {
        const char* text = customize->GetCustomizeText();
        std::lock_guard<std::mutex> lock(notifyMutex_);
        customize_ = text ? text : "";
    }
    source->RemoveInitializeSink(this);
    source->Release();
    customize->Release();
    DestroyIndirectPlugin(framework::kDeviceMgrId);
    if (!named) return false;
    ready_ = true;
    return RefreshAvalidPluginsList();
}

bool CPluginsConfigMgr::TakeDefaultDeviceName() {
    framework::IBasePlugin* plugin = CreateIndirectPlugin(framework::kConfigPluginId);
    if (!plugin) {
        Trace(framework::kTraceNotice, __LINE__, "The ConfigPlugin does not exist.");
        return false;
    }
    auto* service = Query<framework::IConfigService>(plugin, framework::kConfigServiceFlag);
    if (!service) {
        Trace(framework::kTraceNotice, __LINE__, "The Config Service Interface does not exist.");
        DestroyIndirectPlugin(framework::kConfigPluginId);
        return false;
    }
    auto finish = [&] {
        service->Release();
        DestroyIndirectPlugin(framework::kConfigPluginId);
    };
    wchar_t value[kNameCapacity] = {};
    if (service->ReadValue(kSystemSection, kDeviceNameKey, value, kNameCapacity, 1) <= 0) {
        Trace(framework::kTraceNotice, __LINE__, "Load the SystemSetting.xml file fail!");
        finish();
        return false;
    }
    if (value[0] == L'\0') {
        if (service->ReadValue(kSystemSection, kDeviceNameKey, value, kNameCapacity, 0) <= 0) {
            Trace(framework::kTraceNotice, __LINE__, "Load the SystemSetting.xml file fail!");
            finish();
            return false;
        }
        if (value[0] == L'\0') {
            Trace(framework::kTraceNotice, __LINE__, "The default devicename does not exist!");
            finish();
            return false;
        }
    }
    std::string name = platform::WideToUtf8(value);
    if (name.empty()) {
        Trace(framework::kTraceWarning, __LINE__, "WideCharToMultiByte fail !");
        finish();
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(notifyMutex_);
        deviceName_ = name;
    }
    finish();
    Trace(framework::kTraceInfo, __LINE__,
          "Use the default setting device. the name of device is " + name);
    return true;
}

bool CPluginsConfigMgr::OnDeviceInitialize(int event, framework::IDeviceList* devices) {
    if (event != framework::kEventDevicesInitialized || !devices) return false;
    std::lock_guard<std::mutex> lock(notifyMutex_);
    // Once preparation stopped waiting, the device is chosen: a late list changes nothing.
    if (!accepting_) return false;
    ChooseDevice(devices);
    if (event_) event_->Set();
    return true;
}

// With notifyMutex_ held.
void CPluginsConfigMgr::ChooseDevice(framework::IDeviceList* devices) {
    int count = devices->GetCount();
    if (count <= 0) {
        deviceName_ = ReadConfiguredDeviceName();
    } else if (count == 1) {
        devices->MoveFirst();
        const char* id = devices->GetCurrentId();
        deviceName_ = id ? id : "";
        WriteConfiguredDeviceName(deviceName_);
    } else if (StoredListUnusable(devices)) {
        deviceName_ = ReadConfiguredDeviceName();
    } else {
        deviceName_ = StoredSelectedDevice();
        if (deviceName_.empty()) deviceName_ = ReadConfiguredDeviceName();
        WriteConfiguredDeviceName(deviceName_);
    }
}

int CPluginsConfigMgr::OnDeviceChanged(void*, framework::IDeviceInfo* info) {
    if (!ready_) return 0;
    if (!info) return -1;
    const char* name = info->GetDeviceName();
    const char* customize = info->GetCustomizeText();
    std::lock_guard<std::recursive_mutex> lock(selectionMutex_);
    if (!SelectEnabledPlugins(ResolveDeviceName(name ? name : ""), customize ? customize : "")) {
        return -1;
    }
    return PluginsConfigChanged() ? -2 : 0;
}

void CPluginsConfigMgr::SetDeviceEventSink(bool add) {
    framework::IPluginContainer* container = container_;
    if (!container) return;
    framework::IBaseInterface* object = nullptr;
    if (!container->QueryService(framework::kDeviceMgrId, framework::kMultiDeviceMgrFlag,
                                 &object) ||
        !object) {
        return;
    }
    if (auto* manager = dynamic_cast<framework::IMultiDeviceMgr*>(object)) {
        auto* sink = static_cast<framework::IMultiDeviceMgrEvent*>(this);
        add ? manager->AddEventSink(sink) : manager->RemoveEventSink(sink);
    }
    object->Release();
}

std::string CPluginsConfigMgr::ReadConfiguredDeviceName() {
    framework::IBasePlugin* plugin = CreateIndirectPlugin(framework::kConfigPluginId);
    if (!plugin) return {};
    std::string name;
    if (auto* service = Query<framework::IConfigService>(plugin, framework::kConfigServiceFlag)) {
        wchar_t value[kNameCapacity] = {};
        if (service->ReadValue(kSystemSection, kDeviceNameKey, value, kNameCapacity, 1) <= 0 ||
            value[0] == L'\0') {
            value[0] = L'\0';
            service->ReadValue(kSystemSection, kDeviceNameKey, value, kNameCapacity, 0);
        }
        if (value[0] != L'\0') name = platform::WideToUtf8(value);
        service->Release();
    }
    DestroyIndirectPlugin(framework::kConfigPluginId);
    return name;
}

bool CPluginsConfigMgr::WriteConfiguredDeviceName(const std::string& name) {
    bool written = false;
    if (framework::IBasePlugin* plugin = CreateIndirectPlugin(framework::kConfigPluginId)) {
        auto* service = Query<framework::IConfigService>(plugin, framework::kConfigServiceFlag);
        if (service) {
            std::wstring value = platform::Utf8ToWide(name);
            written = value.size() < kNameCapacity &&
                      service->WriteValue(kSystemSection, kDeviceNameKey, value.c_str(), 1);
            service->Release();
        }
        DestroyIndirectPlugin(framework::kConfigPluginId);
    }
    if (!written) {
        Trace(framework::kTraceWarning, __LINE__,
              "could not save the device name \"" + name + "\" in the settings file");
    }
    return written;
}

bool CPluginsConfigMgr::StoredListUnusable(framework::IDeviceList* devices) {
    int count = devices->GetCount();
    if (count < 2) return false;
    CMarkupSTL doc;
    if (!doc.LoadFromFile(platform::UserFilePath(programDirectory_, kLocalDeviceFile)) ||
        !doc.FindSibling("localdevice") || !doc.Descend()) {
        return true;
    }
    std::vector<StoredItem> items;
    bool marked = false;
    while (doc.FindSibling("item")) {
        items.push_back({doc.AttributeValue("id"), doc.AttributeValue("port")});
        if (doc.ElementText() == "1") marked = true;
    }
    if (static_cast<int>(items.size()) != count) return true;
    bool more = devices->MoveFirst();
    for (int i = 0; i < count && more; ++i, more = devices->MoveNext()) {
        const char* id = devices->GetCurrentId();
        std::string port = std::to_string(devices->GetCurrentPort());
        bool found = false;
        for (const StoredItem& item : items) {
            if (item.id == (id ? id : "") && item.port == port) found = true;
        }
        if (!found) return true;
    }
    return !marked;
}

std::string CPluginsConfigMgr::StoredSelectedDevice() {
    CMarkupSTL doc;
    if (!doc.LoadFromFile(platform::UserFilePath(programDirectory_, kLocalDeviceFile)) ||
        !doc.FindSibling("localdevice") || !doc.Descend()) {
        return {};
    }
    while (doc.FindSibling("item")) {
        if (doc.ElementText() == "1") return launcher::Lower(doc.AttributeValue("id"));
    }
    return {};
}

std::string CPluginsConfigMgr::MapProductIdToDeviceName(const std::string& text) {
    std::string wanted = launcher::Lower(text);
    CMarkupSTL doc;
    if (!doc.LoadFromFile(FilePath(kRulesFile)) || !doc.FindSibling("plxadoc") || !doc.Descend()) {
        return wanted;
    }
    while (doc.FindSibling("devicegroup")) {
        doc.Descend();
        while (doc.FindSibling("devices")) {
            doc.Descend();
            while (doc.FindSibling("item")) {
                if (launcher::Lower(doc.AttributeValue("productid")) == wanted) {
                    return launcher::Lower(doc.AttributeValue("name"));
                }
            }
            doc.Ascend();
        }
        doc.Ascend();
    }
    return wanted;
}

std::string CPluginsConfigMgr::ResolveDeviceName(const std::string& name) {
    std::string mapped = MapProductIdToDeviceName(name);
    CMarkupSTL rules;
    if (!rules.LoadFromFile(FilePath(kRulesFile)) || !rules.FindSibling("plxadoc") ||
        !rules.Descend() || !rules.FindSibling("devicegroup") || !rules.Descend() ||
        !rules.FindSibling("devicewithvoice") || !rules.Descend()) {
        return mapped;
    }
    bool voiceCapable = false;
    while (rules.FindSibling("item")) {
        if (launcher::Lower(rules.AttributeValue("name")) == launcher::Lower(mapped)) {
            voiceCapable = true;
        }
    }
    if (!voiceCapable) return mapped;
    CMarkupSTL settings;
    if (!settings.LoadFromFile(platform::UserFilePath(programDirectory_, kSettingFile)) ||
        !settings.FindSibling("plxadoc") || !settings.Descend() ||
        !settings.FindSibling("system") || !settings.Descend()) {
        return mapped;
    }
    std::string voice = settings.FindSibling("servicevoice") ? settings.ElementText() : "";
    if (std::strtol(voice.c_str(), nullptr, 10) != 0) mapped += "v1";
    return launcher::Lower(mapped);
}
