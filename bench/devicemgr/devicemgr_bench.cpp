// The device manager plug-in under the GPS plug-in object, against the simulated card on
// pseudo-terminals: one AT exchange, an AGPS start (five exchanges and the receiver's open), a
// sentence from the GPS port to a sink, and the CPU a present card costs while idle.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "cardsim/card.h"
#include "framework/contracts/container.h"
#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "idle_cpu.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "platform/library.h"
#include "platform/ports/ports.h"
#include "pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;

// Hands out the device manager plug-in and nothing else.
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

// Counts GPS records and wakes a waiter on each.
class RecordSink : public framework::IDeviceMgrEvent {
  public:
    bool OnDeviceEvent(uint32_t event, void*) override {
        if (event != framework::kEventGpsData) return true;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++records_;
        }
        cv_.notify_all();
        return true;
    }
    bool WaitFor(uint64_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(2), [&] { return records_ >= count; });
    }
    uint64_t Count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    uint64_t records_ = 0;
};

// A private ports folder, a simulated card whose ports are registered here (the GPS port is a
// pseudo-terminal the benchmark writes itself), the manager plug-in and the GPS plug-in.
struct Bench {
    Bench() {
        char folder[] = "/tmp/satview-bench-XXXXXX";
        dir = ::mkdtemp(folder);
        ::setenv("SATVIEW_PORTS_DIR", (dir + "/ports").c_str(), 1);
        cardsim::CardOptions options;
        options.id = "bench";
        options.registerPorts = false;
        options.nmeaPeriod = std::chrono::hours(1);
        card = std::make_unique<cardsim::Card>(options);
        std::string error;
        if (!card->Start(&error)) std::fprintf(stderr, "card: %s\n", error.c_str());
        Register("bench-at", card->AtNode(), "TARVEK Wendrix - 3G PC UI Interface");
        Register("bench-gps", gpsPty.SlaveName(), "TARVEK Wendrix - 3G GPS Interface");

        library = platform::SharedLibrary::Load(DEVICEMGR_PLUGIN_PATH, error);
        auto create =
            library->Function<framework::CreatePluginFn>(framework::kCreatePluginExport, error);
        manager = create();
        container = std::make_unique<BenchContainer>(manager);
        framework::IBaseInterface* one = nullptr;
        manager->QueryInterface(framework::kNotificationSourceInterface, &one);
        deviceMgr = dynamic_cast<framework::IDeviceMgr*>(one);
        plugin = static_cast<COrbitpaneImpl*>(CreatePlugin());
        plugin->SetContainer(container.get());
        // Ready once the card answers through the whole path.
        for (int i = 0; i < 100 && plugin->QueryGpsType() != 1; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~Bench() {
        plugin->Release();
        manager->Release();
        platform::UnregisterVirtualPort("bench-at");
        platform::UnregisterVirtualPort("bench-gps");
        card.reset();
        std::filesystem::remove_all(dir);
        ::unsetenv("SATVIEW_PORTS_DIR");
    }
    void Register(const std::string& id, const std::string& node, const std::string& text) {
        platform::SerialPort port;
        port.node = node;
        port.number = std::atoi(node.substr(node.rfind('/') + 1).c_str());
        port.friendlyName = text + " (COM" + std::to_string(port.number) + ")";
        port.card = "bench";
        platform::RegisterVirtualPort(id, port);
    }

    std::string dir;
    testing_support::PtyPair gpsPty;
    std::unique_ptr<cardsim::Card> card;
    std::unique_ptr<platform::SharedLibrary> library;
    framework::IBasePlugin* manager = nullptr;
    framework::IDeviceMgr* deviceMgr = nullptr;
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

void BM_AgpsStart(benchmark::State& state) {
    Bench bench;
    for (auto _ : state) {
        int ok = bench.plugin->SetSecTime("2026/12/07,21:30:05") +
                 bench.plugin->SetApn("internet") +
                 bench.plugin->SetSuplServer("supl.example.com:7275") +
                 bench.plugin->SetPositionMode(5) + bench.plugin->SetFixInterval(1) +
                 bench.plugin->OpenGps();
        if (ok != 6) state.SkipWithError("start failed");
        state.PauseTiming();
        bench.plugin->CloseGps();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AgpsStart)->Unit(benchmark::kMillisecond);

// From the write of one sentence into the GPS port to the record in a sink; p50 and p99 of the
// iterations are reported as counters.
void BM_SentenceToSink(benchmark::State& state) {
    Bench bench;
    RecordSink sink;
    bench.deviceMgr->AddEventSink(&sink);
    bench.plugin->OpenGps();
    std::vector<double> micros;
    int second = 0;
    for (auto _ : state) {
        char body[128];
        std::snprintf(body, sizeof body,
                      "GPGGA,%06d.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,M,,",
                      ++second % 240000);
        unsigned char sum = 0;
        for (const char* p = body; *p; ++p) sum ^= static_cast<unsigned char>(*p);
        char line[160];
        std::snprintf(line, sizeof line, "$%s*%02X\r\n", body, sum);
        uint64_t before = sink.Count();
        auto start = Clock::now();
        bench.gpsPty.Write(line);
        if (!sink.WaitFor(before + 1)) state.SkipWithError("no record");
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    bench.plugin->CloseGps();
    bench.deviceMgr->RemoveEventSink(&sink);
    if (!micros.empty()) {
        std::sort(micros.begin(), micros.end());
        state.counters["p50_us"] = micros[micros.size() / 2];
        state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    }
}
BENCHMARK(BM_SentenceToSink)->Unit(benchmark::kMicrosecond);

// The process's CPU while a card is present, no session runs and nothing is asked: the
// manager's threads wait in poll(). The card simulator runs in this process too and counts.
void BM_IdleCpu(benchmark::State& state) {
    Bench bench;
    for (auto _ : state) {
        state.counters["cpu_percent_of_a_core"] =
            devicemgr_bench::IdleCpuPercent(std::chrono::seconds(3));
    }
}
BENCHMARK(BM_IdleCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
