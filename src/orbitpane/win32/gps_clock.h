// The wall clock of the GPS dialog: whole seconds since 1970-01-01 UTC, as the time row and
// the no-data watchdog read it. Tests put a clock of their own in its place.
#pragma once

#include <cstdint>
#include <functional>

namespace orbitpane {

std::int64_t NowSeconds();
// Replaces the clock; an empty function restores the system's.
void SetClock(std::function<std::int64_t()> clock);

}  // namespace orbitpane
