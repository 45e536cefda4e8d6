// Whether the X display the toolkit would open answers, asked before the toolkit starts: the
// toolkit's own connection has no time limit, so a display that never answers (a TCP display
// whose host drops the connection attempt, a server that accepts and stays silent) would hold
// the program before it shows anything.
#pragma once

#include <chrono>
#include <string>

namespace ui::wxkit {

// True when the toolkit will not go through X (a Wayland session) or the X display `display`
// accepts a connection within `timeout`; otherwise false with the reason in `*why`.
bool DisplayAnswers(const char* display, const char* waylandDisplay, const char* gdkBackend,
                    std::chrono::milliseconds timeout, std::string* why);

}  // namespace ui::wxkit
