// The timers of a back end's windows: periods, due times and which one fires next. Not locked:
// the back end holds its own lock around every call.
#pragma once

#include <optional>
#include <vector>

#include "platform/ui/detail/queue.h"
#include "platform/ui/types.h"

namespace ui::detail {

class TimerTable {
  public:
    using Clock = MessageQueue::Clock;

    // Starts the timer, or restarts it with the new period (first firing one period on).
    void Set(WindowHandle window, unsigned id, Clock::duration period, Clock::time_point now);
    bool Kill(WindowHandle window, unsigned id);
    void KillAll(WindowHandle window);
    // The window's timer ids, sorted.
    std::vector<unsigned> Ids(WindowHandle window) const;

    // The timer due at `now` that was due first, rescheduled one period after `now`, or
    // after its own due time with `keepCadence`; false when none is due.
    bool TakeDue(Clock::time_point now, bool keepCadence, WindowHandle* window, unsigned* id);
    bool AnyDue(Clock::time_point now) const;
    // The earliest due time of any timer, at most `limit` when given.
    std::optional<Clock::time_point> NextDue(
        std::optional<Clock::time_point> limit = std::nullopt) const;
    // Moves every due time by `shift` (a clock that is replaced by another).
    void Shift(Clock::duration shift);

  private:
    struct Timer {
        WindowHandle window;
        unsigned id = 0;
        Clock::duration period;
        Clock::time_point due;
    };
    std::vector<Timer> timers_;
};

}  // namespace ui::detail
