#include "framework/mainframe/main_frame.h"

#include <new>

#include "framework/contracts/container.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/services.h"
#include "platform/text.h"
#include "platform/ui/kit.h"

namespace mainframe {

MainFramePlugin::MainFramePlugin() : PluginObject(framework::kMainFramePluginId, kOwner) {}

MainFramePlugin::~MainFramePlugin() {
    WatchPluginSet(false);
    listener_.reset();
}

bool MainFramePlugin::QueryInterface(uint32_t number, framework::IBaseInterface** object) {
    return Answer(number == framework::kUiPluginInterface ? static_cast<framework::IUIPlugin*>(this)
                                                          : nullptr,
                  object);
}

std::wstring MainFramePlugin::Text(const char* key, const wchar_t* fallback) {
    framework::IPluginContainer* container = Container();
    framework::IBaseInterface* object = nullptr;
    std::wstring text;
    if (container &&
        container->QueryService(framework::kLocaleServiceId, framework::kLocaleServiceFlag,
                                &object) &&
        object) {
        if (auto* locale = dynamic_cast<framework::ILocaleMgrService*>(object)) {
            const wchar_t* found = locale->LoadString(key, kOwner, nullptr);
            if (found) text = found;
        }
        object->Release();
    }
    return text.empty() ? fallback : text;
}

std::string MainFramePlugin::ReadSetting(const wchar_t* section, const wchar_t* key) {
    framework::IPluginContainer* container = Container();
    framework::IBaseInterface* object = nullptr;
    std::string value;
    if (container &&
        container->QueryService(framework::kConfigPluginId, framework::kConfigServiceFlag,
                                &object) &&
        object) {
        if (auto* config = dynamic_cast<framework::IConfigService*>(object)) {
            wchar_t buffer[64] = {};
            if (config->ReadValue(section, key, buffer, 64, 1) > 0) {
                value = platform::WideToUtf8(buffer);
            }
        }
        object->Release();
    }
    return value;
}

std::vector<framework::IUIPlugin*> MainFramePlugin::UiPlugins() {
    std::vector<framework::IUIPlugin*> plugins;
    framework::IPluginContainer* container = Container();
    framework::IBaseInterface* object = nullptr;
    if (!container ||
        !container->QueryService(framework::kPluginConfigPropertyId,
                                 framework::kPluginConfigPropertyFlag, &object) ||
        !object) {
        return plugins;
    }
    std::vector<std::string> ids;
    if (auto* property = dynamic_cast<framework::IQueryPluginConfigProperty*>(object)) {
        while (property->MoveNext()) {
            const char* id = property->GetId();
            if (id && *id && std::string(id) != GetPluginId()) ids.push_back(id);
        }
    }
    object->Release();
    for (const std::string& id : ids) {
        framework::IBaseInterface* found = nullptr;
        if (container->QueryService(id.c_str(), framework::kUiPluginInterface, &found) && found) {
            if (auto* ui = dynamic_cast<framework::IUIPlugin*>(found)) plugins.push_back(ui);
        }
    }
    return plugins;
}

void MainFramePlugin::WatchPluginSet(bool watch) {
    if (!watch) {
        if (notifier_) notifier_->RemovePluginSetSink(this);
        if (managerObject_) managerObject_->Release();
        notifier_ = nullptr;
        managerObject_ = nullptr;
        return;
    }
    framework::IPluginContainer* container = Container();
    framework::IBaseInterface* object = nullptr;
    if (!container ||
        !container->QueryService(framework::kDeviceMgrId, framework::kMultiDeviceMgrFlag,
                                 &object) ||
        !object) {
        return;
    }
    auto* notifier = dynamic_cast<framework::IPluginSetNotifier*>(object);
    if (!notifier || !notifier->AddPluginSetSink(this)) {
        object->Release();
        return;
    }
    managerObject_ = object;
    notifier_ = notifier;
}

int MainFramePlugin::DoModal() {
    if (!Container() || running_.exchange(true)) return -1;
    rebuild_ = false;
    int result = 0;
    try {
        std::vector<framework::IUIPlugin*> plugins = UiPlugins();
        frame_ = std::make_unique<FrameWindow>([this] { FrameReady(); },
                                               [this](unsigned id) {
                                                   if (id == kRebuildTimer) Rebuild();
                                               });
        frame_->OnMessage(kRaiseMessage, [this](ui::WParam, ui::LParam) {
            Raise();
            return 0;
        });
        frame_->OnMessage(kRebuildMessage, [this](ui::WParam, ui::LParam) {
            Rebuild();
            return 0;
        });
        noPluginText_ = Text("IDS_MAINFRM_NOPLUGIN",
                             L"No user-interface plug-in is set up for this data card.");
        frameModal_ = plugins.empty();
        if (!frameModal_) frame_->Create();

        if (ReadSetting(L"xframemodule", L"nosplashscreen") != "1") {
            splash_ = std::make_unique<SplashWindow>(
                Text("IDS_MAINFRM_SPLASH", L"Looking for the data card's GPS receiver..."));
            splash_->Create();
        }
        WatchPluginSet(true);
        listener_ = platform::RaiseListener::Start(kRaiseWindowName, [this] {
            ui::Post(ui::WindowHandle{frameHandle_.load()}, kRaiseMessage);
        });

        if (frameModal_) {
            // Nothing to run: the frame says so until the user closes it.
            if (!rebuild_ && !ending_) result = frame_->DoModal();
            if (result != framework::kMainFrameReinitialize) result = 0;
        } else {
            for (framework::IUIPlugin* plugin : plugins) {
                if (rebuild_ || ending_) break;
                current_ = plugin;
                plugin->DoModal();
                current_ = nullptr;
            }
        }
        if (rebuild_) result = framework::kMainFrameReinitialize;
    } catch (...) {
        result = rebuild_ ? framework::kMainFrameReinitialize : -1;
    }
    current_ = nullptr;
    WatchPluginSet(false);
    listener_.reset();
    frameHandle_ = 0;
    splash_.reset();
    frame_.reset();
    running_ = false;
    return result;
}

void MainFramePlugin::OnPluginSetChanged() {
    rebuild_ = true;
    // The run ends on the window thread; this thread only asks. A frame not made yet looks at
    // rebuild_ once it is.
    if (std::uint64_t handle = frameHandle_.load())
        ui::Post(ui::WindowHandle{handle}, kRebuildMessage);
}

void MainFramePlugin::OnDestroyEvent() {
    ending_ = true;
    if (std::uint64_t handle = frameHandle_.load())
        ui::Post(ui::WindowHandle{handle}, kRebuildMessage);
}

// Window thread, once the frame's window exists.
void MainFramePlugin::FrameReady() {
    frameHandle_ = frame_->Handle().value;
    if (frameModal_) frame_->SetItemText(kFrameMessage, noPluginText_);
    if (rebuild_ || ending_) Rebuild();
}

// Window thread: ends the run, for a rebuild or for the end of the program.
void MainFramePlugin::Rebuild() {
    if (!rebuild_ && !ending_) return;
    if (frameModal_) {
        frame_->EndDialog(rebuild_ ? framework::kMainFrameReinitialize : 0);
        return;
    }
    if (framework::IUIPlugin* plugin = current_) {
        plugin->OnDestroyEvent();  // takes the plug-in's window away, which ends its modal run
    }
    // Until the run of the plug-in is over: one that had not made its window yet is asked
    // again.
    frame_->SetTimer(kRebuildTimer, 250);
}

void MainFramePlugin::Raise() {
    std::vector<ui::WindowHandle> windows = ui::VisibleTopLevelWindows();
    ui::WindowHandle splash = splash_ ? splash_->Handle() : ui::WindowHandle{};
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (*it != splash && *it != frame_->Handle()) {
            ui::BringToFront(*it);  // the window of the plug-in that runs
            return;
        }
    }
    if (frameModal_) ui::BringToFront(frame_->Handle());
}

}  // namespace mainframe

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return new (std::nothrow) mainframe::MainFramePlugin;
}
