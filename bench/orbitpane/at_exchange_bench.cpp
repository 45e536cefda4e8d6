// AT exchanges against a card that answers at once: one exchange, and the five exchanges of
// an AGPS start (time, APN, SUPL server, position mode, fix interval).
#include <benchmark/benchmark.h>

#include <cstring>

#include "framework/contracts/container.h"
#include "framework/contracts/ids.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "scripted_device_access.h"

namespace {

// Hands out the scripted device manager and nothing else.
class BenchContainer final : public framework::IPluginContainer {
  public:
    explicit BenchContainer(framework::IBasePlugin* manager) : manager_(manager) {}
    void Release() override {}
    int GetLastErrorCode() override { return 0; }
    int RunMainFrame(const char*) override { return 0; }
    const char* GetMainFrameId() override { return nullptr; }
    bool QueryService(const char* id, uint32_t flag, framework::IBaseInterface** object) override {
        return std::strcmp(id, framework::kDeviceMgrId) == 0 &&
               manager_->QueryInterface(flag, object);
    }

  private:
    framework::IBasePlugin* manager_;
};

struct Bench {
    Bench() {
        std::string error;
        auto create = card.library().Function<framework::CreatePluginFn>(
            framework::kCreatePluginExport, error);
        manager = create();
        container = std::make_unique<BenchContainer>(manager);
        plugin = static_cast<COrbitpaneImpl*>(CreatePlugin());
        plugin->SetContainer(container.get());
        card->SetFallbackAnswer("\r\nOK\r\n");
    }
    ~Bench() {
        plugin->Release();
        card->WaitIdle(2000);
        manager->Release();
    }
    scripted::ScriptedDeviceLibrary card;
    framework::IBasePlugin* manager = nullptr;
    std::unique_ptr<BenchContainer> container;
    COrbitpaneImpl* plugin = nullptr;
};

void BM_OneExchange(benchmark::State& state) {
    Bench bench;
    for (auto _ : state) {
        if (bench.plugin->SetPositionMode(5) != 1) state.SkipWithError("exchange failed");
    }
}
BENCHMARK(BM_OneExchange)->Unit(benchmark::kMicrosecond);

void BM_AgpsStartSequence(benchmark::State& state) {
    Bench bench;
    for (auto _ : state) {
        int ok = bench.plugin->SetSecTime("2026/12/07,21:30:05") +
                 bench.plugin->SetApn("internet") +
                 bench.plugin->SetSuplServer("supl.example.com:7275") +
                 bench.plugin->SetPositionMode(5) + bench.plugin->SetFixInterval(1);
        if (ok != 5) state.SkipWithError("exchange failed");
    }
}
BENCHMARK(BM_AgpsStartSequence)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
