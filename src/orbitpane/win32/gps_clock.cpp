#include "orbitpane/win32/gps_clock.h"

#include <ctime>
#include <mutex>

namespace orbitpane {
namespace {

std::mutex g_clockMutex;
std::function<std::int64_t()> g_clock;

}  // namespace

std::int64_t NowSeconds() {
    {
        std::lock_guard<std::mutex> lock(g_clockMutex);
        if (g_clock) return g_clock();
    }
    return static_cast<std::int64_t>(std::time(nullptr));
}

void SetClock(std::function<std::int64_t()> clock) {
    std::lock_guard<std::mutex> lock(g_clockMutex);
    g_clock = std::move(clock);
}

}  // namespace orbitpane
