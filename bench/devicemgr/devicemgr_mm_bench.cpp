// The device manager through the real ModemManager (on a private bus, modemmanager_sandbox.h)
// and the simulated card: the start of a session until its first position, and the process's
// CPU while the modem is present and idle. Skipped where ModemManager cannot run.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "cardsim/card.h"
#include "framework/contracts/device.h"
#include "framework/devicemgr/device_manager.h"
#include "idle_cpu.h"
#include "modemmanager_sandbox.h"
#include "temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using testing_support::ModemManagerSandbox;

class FirstRecord : public framework::IDeviceMgrEvent {
  public:
    bool OnDeviceEvent(uint32_t event, void*) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (event == framework::kEventGpsData) ++records_;
        if (event == framework::kEventCardReady) ready_ = true;
        changed_.notify_all();
        return true;
    }
    bool WaitReady(std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return ready_; });
    }
    bool WaitRecordAfter(int count, std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return records_ > count; });
    }
    int Records() {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int records_ = 0;
    bool ready_ = false;
};

// One card in slot 3 under the shared ModemManager, and the manager reaching it.
struct Bench {
    // The entries the manager publishes for the modem's ports go to a private ports folder, and
    // what it changes on the modem to a private folder too.
    testing_support::TempDir dir;
    cardsim::Card card{[] {
        cardsim::CardOptions o;
        o.dialect = cardsim::Dialect::ModemManager;
        o.registerPorts = false;
        return o;
    }()};
    FirstRecord sink;
    std::unique_ptr<devicemgr::DeviceManager> manager;
    std::string error;

    Bench() {
        if (auto why = ModemManagerSandbox::Unavailable(); !why.empty()) {
            error = why;
            return;
        }
        ModemManagerSandbox& mm = ModemManagerSandbox::Shared();
        if (!mm.Up() || !card.Start() || !mm.AddCard(3, card.AtNode(), card.GpsNode())) {
            error = "ModemManager or the card did not start";
            return;
        }
        ::setenv("SATVIEW_PORTS_DIR", (dir / "ports").c_str(), 1);
        devicemgr::ManagerOptions options;
        options.listPorts = [] { return std::vector<platform::SerialPort>{}; };
        options.watchPorts = false;
        options.cardPath = "modemmanager";
        options.mmBusAddress = mm.Address();
        options.mmChangesFolder = dir / "changes";
        manager = std::make_unique<devicemgr::DeviceManager>(options);
        manager->AddDeviceSink(&sink);
        if (!sink.WaitReady(std::chrono::seconds(40))) error = "the modem did not become ready";
    }
    ~Bench() {
        if (manager) manager->RemoveDeviceSink(&sink);
        manager.reset();
        if (error.empty()) ModemManagerSandbox::Shared().RemoveCard(3);
        ::unsetenv("SATVIEW_PORTS_DIR");
    }
};

Bench& Shared() {
    static Bench bench;
    return bench;
}

// OpenGps (the setup read, SetGpsRefreshRate, Setup) until the first record reaches a sink.
void BM_MmStartToFirstPosition(benchmark::State& state) {
    Bench& bench = Shared();
    if (!bench.error.empty()) {
        state.SkipWithError(bench.error.c_str());
        return;
    }
    double setupMs = 0;
    for (auto _ : state) {
        int before = bench.sink.Records();
        auto start = Clock::now();
        bool opened = bench.manager->OpenGps();
        setupMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        bool got = opened && bench.sink.WaitRecordAfter(before, std::chrono::seconds(10));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        bench.manager->CloseGps();
        if (!got) {
            state.SkipWithError("no position");
            return;
        }
    }
    state.counters["setup_ms"] = setupMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_MmStartToFirstPosition)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The process's CPU with the modem present and no session: the bus thread waits in poll().
// The card simulator runs in this process too and counts.
void BM_MmIdleCpu(benchmark::State& state) {
    Bench& bench = Shared();
    if (!bench.error.empty()) {
        state.SkipWithError(bench.error.c_str());
        return;
    }
    for (auto _ : state) {
        state.counters["cpu_percent_of_a_core"] =
            devicemgr_bench::IdleCpuPercent(std::chrono::seconds(5));
    }
}
BENCHMARK(BM_MmIdleCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
