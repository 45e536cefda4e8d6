// A UI plug-in that counts the container's calls into it, built once per way of failing: its
// Initialize answers false (LIFECYCLE_INIT_FALSE), throws a std::exception
// (LIFECYCLE_INIT_THROWS) or something else (LIFECYCLE_INIT_THROWS_OTHER), or its SetContainer
// throws (LIFECYCLE_SET_CONTAINER_THROWS); with none of these it works.
#include <atomic>
#include <new>
#include <stdexcept>

#include "framework/contracts/ids.h"
#include "framework/contracts/plugin_object.h"
#include "test_plugins.h"

namespace {

struct Counters {
    std::atomic<int> setContainer{0}, initialize{0}, uninitialize{0}, release{0}, doModal{0};
    std::atomic<void (*)(void*)> duringModal{nullptr};
    std::atomic<void*> context{nullptr};
};

Counters& Calls() {
    static Counters counters;
    return counters;
}

class LifecyclePlugin final : public framework::PluginObject<framework::IUIPlugin> {
  public:
    LifecyclePlugin() : PluginObject("0A7E57A1-0000-4000-8000-0000000000C1", "Lifecycle") {}
    void Release() override {
        ++Calls().release;
        delete this;
    }
    void SetContainer(framework::IPluginContainer* container) override {
        ++Calls().setContainer;
#if defined(LIFECYCLE_SET_CONTAINER_THROWS)
        (void)container;
        throw std::runtime_error("no container wanted");
#else
        PluginObject::SetContainer(container);
#endif
    }
    bool Initialize() override {
        ++Calls().initialize;
#if defined(LIFECYCLE_INIT_FALSE)
        return false;
#elif defined(LIFECYCLE_INIT_THROWS)
        throw std::runtime_error("receiver settings unreadable");
#elif defined(LIFECYCLE_INIT_THROWS_OTHER)
        throw 42;
#else
        return true;
#endif
    }
    bool Uninitialize() override {
        ++Calls().uninitialize;
        return true;
    }
    bool QueryInterface(uint32_t number, framework::IBaseInterface** object) override {
        return Answer(number == framework::kUiPluginInterface
                          ? static_cast<framework::IUIPlugin*>(this)
                          : nullptr,
                      object);
    }
    bool ShowWindow(framework::WindowHandle, int, int, int, int) override {
        return true;
    }
    int DoModal() override {
        ++Calls().doModal;
        if (auto hook = Calls().duringModal.load()) hook(Calls().context.load());
        return test_plugins::kLifecycleModalResult;
    }
    void HideWindow() override {}
    void FitSize(int, int, int, int) override {}
    bool GetStateFlag() override {
        return false;
    }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return new (std::nothrow) LifecyclePlugin;
}

extern "C" __attribute__((visibility("default"))) void TestLifecycleCalls(
    test_plugins::LifecycleCalls* calls) {
    Counters& counters = Calls();
    *calls = {counters.setContainer, counters.initialize, counters.uninitialize, counters.release,
              counters.doModal};
}

extern "C" __attribute__((visibility("default"))) void TestLifecycleDuringModal(
    void (*hook)(void* context), void* context) {
    Calls().context = context;
    Calls().duringModal = hook;
}
