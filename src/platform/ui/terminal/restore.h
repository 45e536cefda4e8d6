// Puts the terminal back as it was when the program goes in a way the back end does not
// see coming: a crash, SIGINT, SIGTERM, SIGHUP, SIGQUIT or exit() without shutting the kit
// down. What the handlers do is async-signal-safe: the saved terminal modes go back and a
// prepared byte sequence (leave the alternate screen, show the cursor, mouse reports off)
// is written; then the signal takes its course as if nothing had caught it.
#pragma once

#include <termios.h>

#include <string>

namespace ui::terminal {

// Arms the handlers for terminal `fd` with the modes to restore and the sequence to write.
void ArmRestore(int fd, const struct termios& saved, const std::string& sequence);
// Disarms them (after a normal restore) and gives the signals their former handlers.
void DisarmRestore();
// Restores now, as the handlers would (a no-op when disarmed).
void RestoreNow();

}  // namespace ui::terminal
