// The GPS port search that the dialog's polling repeats every 100 ms, over a ports folder
// with `n` other ports before the card's, and the coordinate text of every GPS record.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "orbitpane/win32/gps_data_format.h"
#include "orbitpane/win32/port_search.h"
#include "platform/ports/ports.h"

namespace {

// A ports folder of its own with `others` unrelated ports and the card's two ports.
class PortsFolder {
  public:
    explicit PortsFolder(int others) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "satview-bench-XXXXXX");
        root_ = ::mkdtemp(tmpl.data());
        ::setenv("SATVIEW_PORTS_DIR", (root_ + "/ports").c_str(), 1);
        for (int i = 0; i < others; ++i) Add("other" + std::to_string(i), "Modem Port", 10 + i);
        Add("pcui", orbitpane::kPcUiInterfaceText, 4);
        Add("gps", orbitpane::kGpsInterfaceText, 5);
    }
    ~PortsFolder() {
        std::filesystem::remove_all(root_);
        ::unsetenv("SATVIEW_PORTS_DIR");
    }

  private:
    void Add(const std::string& id, const std::string& text, int number) {
        std::string node = root_ + "/tty" + id;
        std::ofstream(node).put('\n');
        platform::RegisterVirtualPort(
            id, {node, number, text + " (COM" + std::to_string(number) + ")", "bench-" + id});
    }
    std::string root_;
};

void BM_FindGpsPort(benchmark::State& state) {
    PortsFolder folder(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        int port = 0;
        bool found = orbitpane::FindComPortByFriendlyName(orbitpane::kGpsInterfaceText, port);
        benchmark::DoNotOptimize(found);
        if (!found || port != 5) state.SkipWithError("the GPS port was not found");
    }
}
BENCHMARK(BM_FindGpsPort)->Arg(0)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

void BM_FormatCoordinate(benchmark::State& state) {
    for (auto _ : state) {
        bool isPlus = false;
        std::wstring result;
        benchmark::DoNotOptimize(orbitpane::FormatCoordinate(L"-122.123456W", isPlus, result));
    }
}
BENCHMARK(BM_FormatCoordinate);

}  // namespace

BENCHMARK_MAIN();
