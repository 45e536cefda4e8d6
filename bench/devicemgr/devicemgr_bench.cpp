// The device manager plug-in under the GPS plug-in object, against the simulated card on
// pseudo-terminals: one AT exchange, an AGPS start (five exchanges and the receiver's open), a
// sentence from the GPS port to a sink and on to the GPS dialog's list row through the window
// thread (terminal and wx back ends), a receiver's epoch of four systems to the sink's view of
// the sky, and the CPU a present card costs while idle.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "cardsim/card.h"
#include "framework/contracts/container.h"
#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "idle_cpu.h"
#include "nmea.h"
#include "orbitpane/win32/gps_data_format.h"
#include "orbitpane/win32/last_position.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "platform/library.h"
#include "platform/ports/ports.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/kit.h"
#include "platform/ui/templates/gps.h"
#include "platform/ui/terminal/terminal.h"
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

// Counts GPS records (or views of the sky), notes when the last one came and wakes a waiter on
// each. The time is taken in the sink, on the manager's thread: what is measured ends there, not
// when the waiting thread gets the processor back.
class RecordSink : public framework::IDeviceMgrEvent {
  public:
    explicit RecordSink(uint32_t counted = framework::kEventGpsData) : counted_(counted) {}
    bool OnDeviceEvent(uint32_t event, void*) override {
        if (event != counted_) return true;
        const Clock::time_point now = Clock::now();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++records_;
            last_ = now;
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
    // Microseconds from `start` to the last record.
    double MicrosSince(Clock::time_point start) {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::chrono::duration<double, std::micro>(last_ - start).count();
    }

  private:
    const uint32_t counted_;
    std::mutex mutex_;
    std::condition_variable cv_;
    uint64_t records_ = 0;
    Clock::time_point last_;
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

// A GGA sentence whose time and latitude change with `n`.
std::string Sentence(int n) {
    char body[128];
    std::snprintf(body, sizeof body, "GPGGA,%06d.00,4807.%03d,N,01131.000,E,1,08,0.9,545.4,M,,M,,",
                  n % 240000, n % 1000);
    unsigned char sum = 0;
    for (const char* p = body; *p; ++p) sum ^= static_cast<unsigned char>(*p);
    char line[160];
    std::snprintf(line, sizeof line, "$%s*%02X\r\n", body, sum);
    return line;
}

void Percentiles(benchmark::State& state, std::vector<double>& micros) {
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

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
        const std::string line = Sentence(++second);
        uint64_t before = sink.Count();
        auto start = Clock::now();
        bench.gpsPty.Write(line);
        if (!sink.WaitFor(before + 1)) state.SkipWithError("no record");
        micros.push_back(sink.MicrosSince(start));
    }
    bench.plugin->CloseGps();
    bench.deviceMgr->RemoveEventSink(&sink);
    Percentiles(state, micros);
}
BENCHMARK(BM_SentenceToSink)->Unit(benchmark::kMicrosecond);

// One epoch of a receiver of four systems, 20 sentences: RMC, VTG, GGA, GNS, ZDA and GST, a GSA
// per system, the GSV runs of GPS (two signals), GLONASS, Galileo and BeiDou, and GLL, with 25
// satellites; the time advances with `n`.
std::string FourSystemEpoch(long n) {
    cardsim::RoutePoint point = cardsim::RouteAt(n);
    point.satellites = 12;
    point.glonass = 6;
    point.galileo = 4;
    point.beidou = 3;
    std::vector<std::string> lines = cardsim::RouteEpoch(point, 1796000000 + n);
    std::string time = lines[0].substr(7, 9);
    lines.insert(lines.begin() + 1, cardsim::NmeaSentence("GPVTG,84.4,T,,M,12.4,N,23.0,K,A"));
    lines.insert(lines.begin() + 3, {cardsim::NmeaSentence("GNGNS," + time +
                                                           ",4807.038,N,01131.000,E,AAAN,25,0.6,"
                                                           "545.4,46.9,,,V"),
                                     cardsim::NmeaSentence("GPZDA," + time + ",07,12,2026,00,00")});
    // The second GPS signal (L5) of the satellites that send it.
    lines.insert(lines.end() - 1,
                 {cardsim::NmeaSentence("GPGSV,2,1,06,02,67,040,41,05,45,110,38,07,30,200,35,"
                                        "09,12,320,27,8"),
                  cardsim::NmeaSentence("GPGSV,2,2,06,12,55,275,40,15,20,150,31,8")});
    std::string bytes;
    for (const std::string& line : lines) bytes += line;
    return lines.size() == 20 ? bytes : std::string();
}

// From the write of the epoch's sentences into the GPS port (at once, as a receiver sends them)
// to the view of the sky in a sink; p50 and p99 of the iterations as counters.
void BM_FourSystemEpochToSink(benchmark::State& state) {
    Bench bench;
    RecordSink sink(framework::kEventGpsSky);
    bench.deviceMgr->AddEventSink(&sink);
    bench.plugin->OpenGps();
    std::vector<double> micros;
    long second = 0;
    for (auto _ : state) {
        const std::string epoch = FourSystemEpoch(++second);
        if (epoch.empty()) state.SkipWithError("the epoch is not of 20 sentences");
        uint64_t before = sink.Count();
        auto start = Clock::now();
        bench.gpsPty.Write(epoch);
        if (!sink.WaitFor(before + 1)) state.SkipWithError("no view of the sky");
        micros.push_back(sink.MicrosSince(start));
    }
    bench.plugin->CloseGps();
    bench.deviceMgr->RemoveEventSink(&sink);
    Percentiles(state, micros);
}
BENCHMARK(BM_FourSystemEpochToSink)->Unit(benchmark::kMicrosecond);

// The GPS dialog's list filled as the GPS dialog fills it: the record is sent to the window
// thread, which formats the value rows and sets them.
class ListRowDialog final : public ui::Dialog {
  public:
    static constexpr unsigned kRecord = 20701;
    ListRowDialog() : ui::Dialog(ui::templates::GpsDialog()) {
        OnMessage(kRecord, [this](ui::WParam record, ui::LParam) {
            Show(*reinterpret_cast<const framework::GpsDataRecord*>(record));
            return 0;
        });
    }
    int OnCreate() override {
        ui::ListView list = List(ui::templates::gps::kList);
        list.InsertColumn(0, L"Item", 100);
        list.InsertColumn(1, L"Value", 300);
        for (int row = 0; row <= orbitpane::kRowTime; ++row) list.InsertItem(row, L"row");
        return 0;
    }
    std::wstring Latitude() {
        return List(ui::templates::gps::kList).GetItemText(orbitpane::kRowLatitude, 1);
    }
    uint64_t Shown() {
        std::lock_guard<std::mutex> lock(mutex_);
        return shown_;
    }
    // Off the window thread: waits for the handler; on it: serves the sink's send meanwhile.
    bool WaitShown(uint64_t count) {
        auto done = [&] { return Shown() >= count; };
        if (ui::IsWindowThread()) return ui::WaitServingSends(done, 2000);
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(2), [&] { return shown_ >= count; });
    }

  private:
    void Show(const framework::GpsDataRecord& record) {
        ui::ListView list = List(ui::templates::gps::kList);
        auto field = [](const char* text, size_t size) {
            std::wstring wide = platform::Utf8ToWide(std::string(text, strnlen(text, size)));
            if (!wide.empty()) wide.pop_back();  // the hemisphere
            return wide;
        };
        auto coordinate = [&](int row, const std::wstring& text, const wchar_t* plus,
                              const wchar_t* minus) {
            bool isPlus = true;
            std::wstring formatted;
            if (orbitpane::FormatCoordinate(text, isPlus, formatted)) {
                list.SetItemText(row, 1, (isPlus ? plus : minus) + formatted);
            }
        };
        coordinate(orbitpane::kRowLongitude, field(record.longitude, sizeof record.longitude),
                   L"E ", L"W ");
        coordinate(orbitpane::kRowLatitude, field(record.latitude, sizeof record.latitude), L"N ",
                   L"S ");
        list.SetItemText(
            orbitpane::kRowSatellites, 1,
            platform::Utf8ToWide(std::string(
                record.satellites, strnlen(record.satellites, sizeof record.satellites))));
        list.SetItemText(orbitpane::kRowTime, 1, orbitpane::FormatArrivalTime(std::time(nullptr)));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++shown_;
        }
        cv_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    uint64_t shown_ = 0;
};

// Sends each record to the dialog, as the GPS dialog's sink does, from the GPS port's reader.
class DialogSink : public framework::IDeviceMgrEvent {
  public:
    explicit DialogSink(ListRowDialog& dialog) : dialog_(dialog) {}
    bool OnDeviceEvent(uint32_t event, void* data) override {
        if (event == framework::kEventGpsData && data != nullptr) {
            ui::Send(dialog_.Handle(), ListRowDialog::kRecord, reinterpret_cast<ui::WParam>(data));
        }
        return true;
    }

  private:
    ListRowDialog& dialog_;
};

// A pseudo-terminal of 100 x 30 for the terminal back end; what is drawn is read and dropped.
struct DrawnTerminal {
    DrawnTerminal() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
        slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        winsize size{};
        size.ws_row = 30;
        size.ws_col = 100;
        ::ioctl(master, TIOCSWINSZ, &size);
        drain = std::thread([this] {
            char buffer[4096];
            while (!stop) {
                pollfd fd{master, POLLIN, 0};
                if (::poll(&fd, 1, 20) > 0 && ::read(master, buffer, sizeof buffer) <= 0) break;
            }
        });
    }
    ~DrawnTerminal() {
        stop = true;
        if (drain.joinable()) drain.join();
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
    }
    int master = -1, slave = -1;
    std::atomic<bool> stop{false};
    std::thread drain;
};

// From the write of one sentence into the GPS port until the dialog's list row holds its
// latitude (read back from the kit's control state), through the window thread; p50 and p99
// as counters. The kit runs one back end per process: run each case on its own
// (--benchmark_filter=SentenceToListRow/terminal, .../wx).
void SentenceToListRow(benchmark::State& state, ui::BackendKind kind) {
    std::unique_ptr<DrawnTerminal> terminal;
    if (kind == ui::BackendKind::Wx) {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') {
            state.SkipWithError(
                "no display for the wx back end (DISPLAY unset): run under xvfb-run");
            return;
        }
    } else {
        terminal = std::make_unique<DrawnTerminal>();
        ::setenv("TERM", "xterm-256color", 1);
        ui::terminal::UseTerminal(terminal->slave, terminal->slave);
    }
    if (!ui::Initialize(kind)) {
        state.SkipWithError(
            "the back end did not start (the kit runs one back end per process: "
            "run each case alone)");
        return;
    }
    {
        Bench bench;
        ListRowDialog dialog;
        if (!dialog.Create()) state.SkipWithError("no dialog");
        dialog.ShowWindow(ui::ShowCommand::Normal);
        DialogSink sink(dialog);
        bench.deviceMgr->AddEventSink(&sink);
        bench.plugin->OpenGps();
        std::vector<double> micros;
        int second = 0;
        for (auto _ : state) {
            const std::string line = Sentence(++second);
            const std::wstring before = dialog.Latitude();
            const uint64_t shown = dialog.Shown();
            auto start = Clock::now();
            bench.gpsPty.Write(line);
            if (!dialog.WaitShown(shown + 1) || dialog.Latitude() == before) {
                state.SkipWithError("the row did not change");
                break;
            }
            micros.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        bench.plugin->CloseGps();
        bench.deviceMgr->RemoveEventSink(&sink);
        dialog.DestroyWindow();
        Percentiles(state, micros);
    }
    ui::Shutdown();
}
BENCHMARK_CAPTURE(SentenceToListRow, terminal, ui::BackendKind::Terminal)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(SentenceToListRow, wx, ui::BackendKind::Wx)->Unit(benchmark::kMicrosecond);

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
