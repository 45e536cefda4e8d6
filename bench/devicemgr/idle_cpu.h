// The process's CPU over a quiet spell, as a share of one core: what a manager costs while it
// only waits (its threads in poll()). Whatever else runs in the process counts too.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <thread>

namespace devicemgr_bench {

inline double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Sleeps for `spell` and answers the CPU used meanwhile, in percent of a core.
inline double IdleCpuPercent(std::chrono::seconds spell) {
    const double cpu = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(spell);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return 100.0 * (CpuSeconds() - cpu) / wall;
}

}  // namespace devicemgr_bench
