#include "platform/ui/detail/timers.h"

#include <algorithm>

namespace ui::detail {

void TimerTable::Set(WindowHandle window, unsigned id, Clock::duration period,
                     Clock::time_point now) {
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it != timers_.end()) {
        it->period = period;
        it->due = now + period;
    } else {
        timers_.push_back(Timer{window, id, period, now + period});
    }
}

bool TimerTable::Kill(WindowHandle window, unsigned id) {
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it == timers_.end()) return false;
    timers_.erase(it);
    return true;
}

void TimerTable::KillAll(WindowHandle window) {
    std::erase_if(timers_, [&](const Timer& t) { return t.window == window; });
}

std::vector<unsigned> TimerTable::Ids(WindowHandle window) const {
    std::vector<unsigned> ids;
    for (const Timer& t : timers_) {
        if (t.window == window) ids.push_back(t.id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool TimerTable::TakeDue(Clock::time_point now, bool keepCadence, WindowHandle* window,
                         unsigned* id) {
    Timer* next = nullptr;
    for (Timer& t : timers_) {
        if (t.due <= now && (next == nullptr || t.due < next->due)) next = &t;
    }
    if (next == nullptr) return false;
    *window = next->window;
    *id = next->id;
    next->due = (keepCadence ? next->due : now) + next->period;
    return true;
}

bool TimerTable::AnyDue(Clock::time_point now) const {
    return std::any_of(timers_.begin(), timers_.end(),
                       [&](const Timer& t) { return t.due <= now; });
}

std::optional<TimerTable::Clock::time_point> TimerTable::NextDue(
    std::optional<Clock::time_point> limit) const {
    std::optional<Clock::time_point> next;
    for (const Timer& t : timers_) {
        if ((!limit || t.due <= *limit) && (!next || t.due < *next)) next = t.due;
    }
    return next;
}

void TimerTable::Shift(Clock::duration shift) {
    for (Timer& t : timers_) t.due += shift;
}

}  // namespace ui::detail
