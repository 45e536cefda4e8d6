// The terminal back end seen from tools and tests: which terminal it takes, and what it
// shows. Everything answers false or empty when the kit does not run on a terminal.
#pragma once

#include <string>

namespace ui::terminal {

// The terminal the back end takes when it starts: standard input and output unless other
// descriptors (a pseudo-terminal in a test) are set here before ui::Initialize.
void UseTerminal(int inFd, int outFd);

// Waits until the window thread has nothing to do: no queued work, no timer due, the input
// read and the screen drawn.
bool WaitIdle(int timeoutMilliseconds = 10000);

// The screen as drawn, one line per row without trailing blanks.
std::wstring ScreenText();
// Where the cursor stands (the focused control); false when it is hidden.
bool CursorPosition(int* row, int* col);

}  // namespace ui::terminal
