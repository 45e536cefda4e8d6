// The headless back end seen from a test: a driver that acts as the user on one window and
// reads back everything a user would see, plus the process-wide parts (waiting for the window
// thread to be idle, a manual clock for timers, scripted answers for message boxes and the
// file-open dialog). Everything answers false or empty when the kit does not run headless.
//
//   ui::Initialize(ui::BackendKind::Headless);
//   MyDialog dialog;
//   dialog.Create();
//   dialog.ShowWindow(ui::ShowCommand::Normal);
//   ui::headless::Driver user(dialog.Handle());
//   EXPECT_TRUE(user.Click(6001));          // returns once the handlers have run
//   EXPECT_EQ(user.Text(6006), L"Started");
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/charts.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/types.h"

namespace ui::headless {

struct MessageBoxRecord {
    WindowHandle owner;
    std::wstring text;
    std::wstring caption;
    unsigned style = 0;
    int answer = 0;
};

// Waits until the window thread waits for work with nothing queued and no timer due.
bool WaitIdle(int timeoutMilliseconds = 10000);

// With the manual clock, timers fire only when AdvanceClock moves time past them; each
// firing is handled before the next. Switching keeps the timers' remaining times.
bool UseManualClock(bool manual);
// Moves the manual clock on, firing the timers due on the way in order; returns once the
// window thread is idle again.
bool AdvanceClock(int milliseconds);
std::vector<unsigned> RunningTimers(WindowHandle window);

// The answer to the next message box (kIdOk when none is scripted: the first button).
void ScriptMessageBoxAnswer(int answer);
// The answer to the next file-open dialog: a path, or nothing for Cancel (the default).
void ScriptFileDialogAnswer(std::optional<std::wstring> path);
std::vector<MessageBoxRecord> MessageBoxes();
std::vector<FileDialogRequest> FileDialogs();
// Forgets the records and the answers not yet used.
void ClearRecords();

// The live windows, oldest first; the newest live window made from template `templateId`.
std::vector<WindowHandle> Windows();
WindowHandle FindWindow(int templateId);
// Waits (idle after idle) until such a window exists and the window thread is idle, so the
// window is initialised and takes input; the empty handle on timeout.
WindowHandle WaitForWindow(int templateId, int timeoutMilliseconds = 10000);

class Driver {
  public:
    explicit Driver(WindowHandle window) : window_(window) {}
    WindowHandle window() const { return window_; }
    bool Alive() const;

    // The user's actions. Each answers false, and does nothing, when the user could not do
    // it now (no such control, the control or the window disabled or hidden, wrong kind);
    // otherwise it returns once the window thread is idle again.
    bool Click(int id);
    // Clicks a check box or radio button when its state differs from `checked`.
    bool SetChecked(int id, bool checked);
    bool Choose(int id, int index);
    bool Choose(int id, std::wstring_view itemText);
    // Replaces the text of an edit or of a combo box's edit field, as typed.
    bool Type(int id, std::wstring_view text);
    // A key in control `id`: its key hook first; unhandled, Enter clicks the focused push
    // button or the default button (else sends kIdOk), Escape sends kIdCancel.
    bool PressKey(int id, int key);
    bool PressEnter(int id) { return PressKey(id, kKeyEnter); }
    bool Close();
    bool ChooseSystemMenu(unsigned command);

    // What the user sees.
    std::wstring Text(int id) const;
    bool Has(int id) const;
    bool Enabled(int id) const;
    bool Visible(int id) const;
    bool Checked(int id) const;
    int Focused() const;
    std::vector<std::wstring> ComboItems(int id) const;
    int ComboSelection(int id) const;
    int Rows(int id) const;
    std::vector<ListColumn> Columns(int id) const;
    std::wstring Cell(int id, int row, int column) const;
    // A sky plot's marks and legend, a bar chart's bars and full scale.
    std::vector<PlotMark> Marks(int id) const;
    std::vector<LegendEntry> Legend(int id) const;
    std::vector<ChartBar> Bars(int id) const;
    double FullScale(int id) const;
    std::uint32_t ListStyle(int id) const;
    Rect ControlRect(int id) const;
    std::wstring Title() const;
    bool WindowVisible() const;
    bool WindowEnabled() const;
    Rect WindowRect() const;
    WindowHandle Parent() const;
    Icon BigIcon() const;
    Icon SmallIcon() const;
    Theme GetTheme() const;
    std::vector<SystemMenuItem> SystemMenu() const;
    std::vector<unsigned> Timers() const { return RunningTimers(window_); }
    int TemplateId() const;

  private:
    WindowHandle window_;
};

}  // namespace ui::headless
