// The hot-plug monitor with nothing happening: how often its thread wakes and how much CPU it
// uses (goal: no wake-up at all).
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "platform/ports/ports.h"

namespace {

std::set<std::string> Threads() {
    std::set<std::string> tids;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (dirent* e = ::readdir(dir)) {
            if (e->d_name[0] != '.') tids.insert(e->d_name);
        }
        ::closedir(dir);
    }
    return tids;
}

// Context switches of one thread: each is one wake-up after a wait (or a preemption).
long Switches(const std::string& tid) {
    std::ifstream status("/proc/self/task/" + tid + "/status");
    std::string line;
    long total = 0;
    while (std::getline(status, line)) {
        if (line.find("ctxt_switches:") != std::string::npos) {
            total += std::atol(line.substr(line.find(':') + 1).c_str());
        }
    }
    return total;
}

// User and system CPU time of one thread, in clock ticks.
long CpuTicks(const std::string& tid) {
    std::ifstream stat("/proc/self/task/" + tid + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    long utime = 0, stime = 0;
    std::sscanf(text.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld",
                &utime, &stime);
    return utime + stime;
}

void BM_MonitorIdle(benchmark::State& state) {
    char folder[] = "/tmp/satview-bench-XXXXXX";
    ::setenv("SATVIEW_PORTS_DIR", ::mkdtemp(folder), 1);
    std::set<std::string> before = Threads();
    platform::PortMonitor monitor([](const std::vector<platform::SerialPort>&) {});
    std::string tid;
    for (const std::string& t : Threads()) {
        if (!before.count(t)) tid = t;
    }
    if (tid.empty()) {
        state.SkipWithError("the monitor started no thread");
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let it settle in poll()
    long switches = Switches(tid), ticks = CpuTicks(tid);
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) std::this_thread::sleep_for(std::chrono::seconds(1));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["wakeups_per_s"] = (Switches(tid) - switches) / seconds;
    state.counters["cpu_ticks"] = static_cast<double>(CpuTicks(tid) - ticks);
    ::rmdir(folder);
}
BENCHMARK(BM_MonitorIdle)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
