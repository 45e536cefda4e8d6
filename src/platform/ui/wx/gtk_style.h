// A compact look for the kit's windows under GTK: templates give controls the slim heights of
// another system's controls, which GTK's default paddings and minimum sizes would overflow.
#pragma once

class wxWindow;

namespace ui::wxkit {

// Marks `panel` so that the compact style applies to the controls inside it. Does nothing
// outside GTK 3.
void ApplyCompactStyle(wxWindow* panel);

}  // namespace ui::wxkit
