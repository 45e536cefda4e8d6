// What the windows show, as text, for a program that watches them from outside (an end-to-end
// run under a virtual display, where a screenshot alone cannot be checked). With
// SATVIEW_SCREEN_TEXT=<file> in the environment, the window thread writes the title of every
// shown window and the label, text or rows of each of its visible controls (the marks of a sky
// plot, the bars of a bar chart) to <file>, read back from the windows, whenever that changes.
// Without the variable nothing runs.
#pragma once

#include <memory>

class wxTimer;

namespace ui::wxkit {

// The running copy, or null when the environment does not ask for one. Window thread.
std::unique_ptr<wxTimer> StartScreenText();

}  // namespace ui::wxkit
