// A main-frame plug-in for the tests: runs the test UI plug-in through the container, reads the
// splash-screen setting, and ends with the result code the test chose.
#include <cstring>
#include <deque>
#include <mutex>
#include <new>

#include "framework/contracts/container.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/plugin_object.h"
#include "framework/contracts/services.h"
#include "test_plugins.h"

namespace {

struct Steering {
    std::mutex mutex;
    std::deque<int> results;
    test_plugins::MainFrameRun lastRun;
};

Steering& State() {
    static Steering steering;
    return steering;
}

class TestMainFrame final : public framework::PluginObject<framework::IUIPlugin> {
  public:
    TestMainFrame() : PluginObject(framework::kMainFramePluginId, "XFramePlugin") {}
    bool QueryInterface(uint32_t number, framework::IBaseInterface** object) override {
        return Answer(number == framework::kUiPluginInterface
                          ? static_cast<framework::IUIPlugin*>(this)
                          : nullptr,
                      object);
    }
    bool ShowWindow(framework::WindowHandle, int, int, int, int) override { return true; }
    void HideWindow() override {}
    void FitSize(int, int, int, int) override {}
    bool GetStateFlag() override { return false; }

    int DoModal() override {
        test_plugins::MainFrameRun run;
        if (framework::IPluginContainer* container = Container()) {
            framework::IBaseInterface* object = nullptr;
            if (container->QueryService(test_plugins::kUiPluginId, framework::kUiPluginInterface,
                                        &object)) {
                if (auto* ui = dynamic_cast<framework::IUIPlugin*>(object)) {
                    run.uiModalResult = ui->DoModal();
                }
            }
            object = nullptr;
            if (container->QueryService(framework::kConfigPluginId, framework::kConfigServiceFlag,
                                        &object)) {
                if (auto* config = dynamic_cast<framework::IConfigService*>(object)) {
                    wchar_t value[16] = {};
                    if (config->ReadValue(L"xframemodule", L"nosplashscreen", value, 16, 1) > 0) {
                        for (size_t i = 0; i + 1 < sizeof run.noSplashScreen && value[i]; ++i) {
                            run.noSplashScreen[i] = static_cast<char>(value[i]);
                        }
                    }
                }
                if (object) object->Release();
            }
        }
        Steering& state = State();
        std::lock_guard<std::mutex> lock(state.mutex);
        run.runs = state.lastRun.runs + 1;
        state.lastRun = run;
        if (state.results.empty()) return 0;
        int result = state.results.front();
        state.results.pop_front();
        return result;
    }

  private:
};

}  // namespace

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return new (std::nothrow) TestMainFrame;
}

extern "C" __attribute__((visibility("default"))) void TestMainFrameSetResults(const int* codes,
                                                                               int count) {
    Steering& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.results.assign(codes, codes + (count > 0 ? count : 0));
}

extern "C" __attribute__((visibility("default"))) void TestMainFrameLastRun(
    test_plugins::MainFrameRun* run) {
    Steering& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (run) *run = state.lastRun;
}
