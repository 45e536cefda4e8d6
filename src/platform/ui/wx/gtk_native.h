// What the wx back end does with GTK itself: a compact look for the kit's windows (templates
// give controls the slim heights of another system's controls, which GTK's default paddings
// and minimum sizes would overflow) and fresh reads of the screen. The few GTK and cairo
// functions are taken at run time from the libraries wxWidgets has loaded, so building needs
// no GTK headers.
#pragma once

class wxDC;
class wxWindow;

namespace ui::wxkit {

// Marks `panel` so that the compact style applies to the controls inside it. Does nothing
// outside GTK 3.
void ApplyCompactStyle(wxWindow* panel);

// Makes the next read from a screen device context see what the screen shows now; cairo
// otherwise keeps serving the picture of the first read.
void ForgetScreenSnapshot(wxDC& screen);

// Gives the native file-open dialog `fileDialog` a filter named `name` that lists only the
// files the user may execute, and makes it the current one. Does nothing outside GTK 3.
void OfferExecutablesOnly(wxWindow* fileDialog, const char* name);

// Ends the native message box `box` runs modally now with the response of the kit's button
// `answer` (kIdOk, kIdCancel, kIdYes, kIdNo). False outside GTK 3, where EndModal ends it.
bool AnswerNativeBox(wxWindow* box, int answer);

}  // namespace ui::wxkit
