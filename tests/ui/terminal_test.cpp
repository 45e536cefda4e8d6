// The terminal back end on a pseudo-terminal: the layout in cells, text in columns, the keys
// a user types and what the screen shows.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/text.h"
#include "platform/ui/templates/gps.h"
#include "platform/ui/templates/sky.h"
#include "platform/ui/terminal/layout.h"
#include "platform/ui/terminal/terminal.h"
#include "platform/ui/terminal/text.h"
#include "probe_dialog.h"
#include "temp_dir.h"
#include "terminal_ui.h"

using namespace ui;
using namespace ui::terminal;
using probe::Probe;
using testing_support::TerminalUiEnvironment;

namespace {

const char* const kTab = "\t";
const char* const kEnter = "\r";
const char* const kEscape = "\033";
const char* const kDown = "\033OB";  // with the keypad on, as xterm sends it

// Polls until `done()` holds, letting the window thread catch up in between.
template <typename F>
bool Eventually(F done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        terminal::WaitIdle(200);
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool ScreenShows(const std::wstring& text) {
    return ScreenText().find(text) != std::wstring::npos;
}

// The screen's line `row`.
std::wstring Line(int row) {
    std::wstring text = ScreenText();
    size_t start = 0;
    for (int i = 0; i < row && start != std::wstring::npos; ++i) {
        start = text.find(L'\n', start);
        if (start != std::wstring::npos) ++start;
    }
    if (start == std::wstring::npos) return L"";
    return text.substr(start, text.find(L'\n', start) - start);
}

// The cursor's line split at the cursor, counted in columns: before it, or from it on.
std::wstring AroundCursor(bool before) {
    int row = 0, col = 0;
    if (!CursorPosition(&row, &col)) return L"";
    std::wstring line = Line(row);
    int used = 0;
    size_t i = 0;
    while (i < line.size() && used < col) used += CharColumns(line[i++]);
    return before ? line.substr(0, i) : line.substr(i);
}
std::wstring AtCursor() {
    return AroundCursor(false);
}

std::unique_ptr<Probe> ShownProbe() {
    auto dialog = std::make_unique<Probe>();
    EXPECT_TRUE(dialog->Create());
    dialog->ShowWindow(ShowCommand::Normal);
    EXPECT_TRUE(Eventually([] { return ScreenShows(L"Probe"); }));
    return dialog;
}

}  // namespace

TEST(TerminalLayout, TheGpsAndSettingsDialogsFitAStandardTerminalWithoutOverlaps) {
    const struct {
        const DialogTemplate& dialog;
        Cells client;
    } cases[] = {{templates::GpsDialog(), Cells{0, 0, 22, 70}},
                 {templates::SettingsDialog(), Cells{0, 0, 22, 47}},
                 {templates::SkyTableDialog(), Cells{0, 0, 21, 75}}};
    for (const auto& c : cases) {
        EXPECT_EQ(ClientCells(c.dialog), c.client) << c.dialog.id;
        EXPECT_LE(c.client.rows + 2, 24);
        EXPECT_LE(c.client.cols + 2, 80);
        std::vector<std::pair<int, Cells>> shown;
        for (const ControlTemplate& control : c.dialog.controls) {
            if (control.styles & kStyleHidden) continue;
            Cells at = ControlCells(control);
            EXPECT_TRUE(at.row >= 0 && at.col >= 0 && at.row + at.rows <= c.client.rows &&
                        at.col + at.cols <= c.client.cols)
                << "control " << control.id << " of " << c.dialog.id << " leaves the window";
            if (control.kind != ControlKind::GroupBox) shown.emplace_back(control.id, at);
        }
        for (size_t i = 0; i < shown.size(); ++i) {
            for (size_t j = i + 1; j < shown.size(); ++j) {
                const Cells& a = shown[i].second;
                const Cells& b = shown[j].second;
                bool apart = a.row + a.rows <= b.row || b.row + b.rows <= a.row ||
                             a.col + a.cols <= b.col || b.col + b.cols <= a.col;
                EXPECT_TRUE(apart) << shown[i].first << " overlaps " << shown[j].first;
            }
        }
    }
}

namespace {

// The controls of `dialog` as a freshly made window has them, texts `longer` than the
// template's.
std::vector<detail::ControlState> StatesOf(const DialogTemplate& dialog,
                                           const std::wstring& longer) {
    std::vector<detail::ControlState> states;
    for (const ControlTemplate& control : dialog.controls) {
        detail::ControlState c;
        c.control = control;
        c.text = control.text.empty() ? control.text : control.text + longer;
        c.visible = !(control.styles & kStyleHidden);
        states.push_back(c);
    }
    return states;
}

bool Apart(const Cells& a, const Cells& b) {
    return a.row + a.rows <= b.row || b.row + b.rows <= a.row || a.col + a.cols <= b.col ||
           b.col + b.cols <= a.col;
}

}  // namespace

TEST(TerminalLayout, WiderLayoutsKeepControlsApartAndInsideUpToTheScreensWidth) {
    for (const DialogTemplate* dialog : {&templates::GpsDialog(), &templates::SettingsDialog()}) {
        const int base = ClientCells(*dialog).cols;
        const struct {
            const wchar_t* longer;
            int screenCols;
            int cols;  // the client area's width wanted; 0: any, up to the screen's
        } cases[] = {
            {L"", 80, 0},
            {L" and more", 200, 0},    // longer texts spread the dialog
            {L" and more", 40, base},  // never narrower than the base
            {L" and much, much more than any screen holds", 100, 98},  // as wide as it can
        };
        // A wide screen is no reason to spread out.
        EXPECT_EQ(Fit(*dialog, StatesOf(*dialog, L""), 24, 200).Cols(),
                  Fit(*dialog, StatesOf(*dialog, L""), 24, 80).Cols());
        EXPECT_LT(Fit(*dialog, StatesOf(*dialog, L""), 24, 200).Cols(), 78);
        for (const auto& c : cases) {
            std::vector<detail::ControlState> states = StatesOf(*dialog, c.longer);
            Layout layout = Fit(*dialog, states, 24, c.screenCols);
            std::string name = std::to_string(dialog->id) + " on " + std::to_string(c.screenCols);
            if (c.cols != 0) EXPECT_EQ(layout.Cols(), c.cols) << name;
            EXPECT_LE(layout.Cols(), std::max(base, c.screenCols - 2)) << name;
            EXPECT_GE(layout.Cols(), base) << name;
            std::vector<Placed> placed = Place(layout, states);
            for (size_t i = 0; i < states.size(); ++i) {
                if (!states[i].visible) continue;
                const Cells& at = placed[i].at;
                EXPECT_TRUE(at.col >= 0 && at.col + at.cols <= layout.Cols()) << name;
                for (size_t j = i + 1; j < states.size(); ++j) {
                    if (!states[j].visible || states[i].kind() == ControlKind::GroupBox ||
                        states[j].kind() == ControlKind::GroupBox) {
                        continue;
                    }
                    EXPECT_TRUE(Apart(at, placed[j].at))
                        << name << ": " << states[i].id() << " overlaps " << states[j].id();
                }
            }
        }
    }
}

// A title and its value, a value and its unit: one blank apart at every width, never the
// gap a scaled position leaves; labels that do not touch in the template keep their places.
TEST(TerminalLayout, LabelsThatTouchFollowEachOtherAtOneBlank) {
    namespace gps = templates::gps;
    const DialogTemplate& dialog = templates::GpsDialog();
    std::vector<detail::ControlState> states = StatesOf(dialog, L"");
    auto index = [&](int id) {
        for (size_t i = 0; i < states.size(); ++i) {
            if (states[i].id() == id) return i;
        }
        return states.size();
    };
    const struct {
        int id;
        const wchar_t* text;
    } shown[] = {
        {gps::kGpsTypeLabel, L"Current GPS type:"},
        {gps::kGpsType, L"AGPS"},
        {gps::kNoDataLabel, L"No data for"},
        {gps::kNoDataSeconds, L"3"},
        {gps::kSecondsUnit, L"s"},
    };
    for (const auto& c : shown) {
        states[index(c.id)].text = c.text;
        states[index(c.id)].visible = true;
    }
    const int fitted = Fit(dialog, states, 24, 80).Cols();
    for (int cols : {fitted, fitted + 7, fitted + 20}) {
        std::vector<Placed> placed = Place(Layout(dialog, cols), states);
        auto at = [&](int id) { return placed[index(id)].at; };
        auto after = [&](int id, const wchar_t* text) { return at(id).col + Columns(text) + 1; };
        EXPECT_EQ(at(gps::kGpsType).col, after(gps::kGpsTypeLabel, L"Current GPS type:")) << cols;
        EXPECT_EQ(at(gps::kNoDataSeconds).col, after(gps::kNoDataLabel, L"No data for")) << cols;
        EXPECT_TRUE(placed[index(gps::kNoDataSeconds)].pulled) << "drawn from its start";
        EXPECT_EQ(at(gps::kSecondsUnit).col, after(gps::kNoDataSeconds, L"3")) << cols;
        EXPECT_EQ(at(gps::kNoDataLabel).col,
                  Layout(dialog, cols).Control(*dialog.Find(gps::kNoDataLabel)).col)
            << "far from the type's value, the no-data line keeps its place";
        EXPECT_EQ(placed[index(gps::kGpsTypeLabel)].room, Columns(L"Current GPS type:"));
    }
}

TEST(TerminalLayout, AListWithMoreRowsGrowsAsFarAsTheScreenAllowsAndWidensItsNamesColumn) {
    const DialogTemplate& dialog = templates::GpsDialog();
    std::vector<detail::ControlState> states = StatesOf(dialog, L"");
    detail::ControlState* list = nullptr;
    for (auto& c : states) {
        if (c.id() == templates::gps::kList) list = &c;
    }
    ASSERT_NE(list, nullptr);
    list->extendedStyle = kListGridLines;
    list->columns = {{L"Item", 95, ColumnAlign::Left}, {L"Value", 338, ColumnAlign::Left}};
    // Four rows more than the dialog's list has room for.
    for (const wchar_t* name : {L"GPS port", L"Longitude", L"Latitude", L"Satellites in view",
                                L"Time of fix", L"Altitude", L"Speed", L"Fix", L"Row 9", L"Row 10",
                                L"Row 11", L"Row 12", L"Row 13", L"Row 14", L"Row 15", L"Row 16"}) {
        list->rows.push_back({name, L"value"});
    }
    const Cells listBase = ControlCells(list->control);
    const Cells statusBase = ControlCells(*dialog.Find(templates::gps::kStatus));
    const struct {
        int screenRows;
        int more;  // rows the list gains
    } cases[] = {{40, 4}, {28, 4}, {26, 2}, {25, 1}, {24, 0}, {12, 0}};
    for (const auto& c : cases) {
        Layout layout = Fit(dialog, states, c.screenRows, 80);
        EXPECT_EQ(layout.Client().rows, ClientCells(dialog).rows + c.more) << c.screenRows;
        EXPECT_EQ(layout.Control(list->control).rows, listBase.rows + c.more) << c.screenRows;
        EXPECT_EQ(layout.Control(*dialog.Find(templates::gps::kStatus)).row,
                  statusBase.row + c.more)
            << "what lies below moves down";
        EXPECT_EQ(layout.Control(*dialog.Find(templates::gps::kLanguage)).cols,
                  ControlCells(*dialog.Find(templates::gps::kLanguage)).cols);
    }
    Layout layout = Fit(dialog, states, 24, 80);
    std::vector<int> widths = ListColumns(layout, *list, layout.Control(list->control).cols - 2);
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_EQ(widths[0], Columns(L"Satellites in view") + 1) << "the names and the grid line";
}

TEST(TerminalText, DoubleWidthCharactersCountTwiceAndAreNeverSplit) {
    EXPECT_EQ(Columns(L"GPS \u5b9a\u4f4d ok"), 11);
    EXPECT_EQ(Columns(L"Posic\u0327a\u0303o"), 7) << "combining marks take no column";
    EXPECT_EQ(FitColumns(L"\u65e5\u672c\u8a9e", 5), L"\u65e5\u672c");
    EXPECT_EQ(ClipWithMark(L"Configura\u00e7\u00e3o", 8), L"Configu\u2026");
    EXPECT_EQ(ClipWithMark(L"Save", 8), L"Save");
    EXPECT_EQ(
        Wrap(L"Open the position in the map site?\nGoogle", 16),
        (std::vector<std::wstring>{L"Open the", L"position in the", L"map site?", L"Google"}));
    EXPECT_EQ(Wrap(L"\u5730\u56f3\u30b5\u30a4\u30c8\u3067", 7),
              (std::vector<std::wstring>{L"\u5730\u56f3\u30b5", L"\u30a4\u30c8\u3067"}));
}

TEST(TerminalKeys, TabSpaceArrowsTypingEnterAndEscapeReachTheDialog) {
    auto dialog = ShownProbe();
    dialog->Clear();
    for (int id : {kIdOk, kIdCancel, probe::kCheck}) {
        dialog->OnClicked(id, [&dialog, id] { dialog->Record(std::to_string(id)); });
    }
    ASSERT_EQ(dialog->Focus(), probe::kButton);
    EXPECT_EQ(AtCursor().substr(0, 2), L"Go") << "the cursor marks the focused button";
    TerminalUiEnvironment::Keys(kTab);
    EXPECT_TRUE(Eventually([&] { return dialog->Focus() == kIdOk; })) << "past the disabled one";
    TerminalUiEnvironment::Keys(std::string(kTab) + " ");
    EXPECT_TRUE(Eventually([&] { return dialog->IsItemChecked(probe::kCheck); }));
    TerminalUiEnvironment::Keys(std::string(kTab) + kDown);
    EXPECT_TRUE(Eventually([&] {
        return dialog->Focus() == probe::kRadioB && dialog->IsItemChecked(probe::kRadioB);
    })) << "an arrow moves and checks within the radio group";
    TerminalUiEnvironment::Keys(std::string(kTab) + kTab);
    ASSERT_TRUE(Eventually([&] { return dialog->Focus() == probe::kEdit; }));
    TerminalUiEnvironment::Keys("ab\x7f\xe6\x97\xa5");  // a, b, Backspace, a Japanese character
    EXPECT_TRUE(Eventually([&] { return dialog->ItemText(probe::kEdit) == L"a\u65e5"; }));
    EXPECT_TRUE(AroundCursor(true).ends_with(L" a\u65e5")) << "the caret after the text";
    TerminalUiEnvironment::Keys(kEnter);
    TerminalUiEnvironment::Keys(kEscape);
    EXPECT_TRUE(Eventually([&] { return dialog->Events().size() == 3; }));
    EXPECT_EQ(dialog->Events(), (std::vector<std::string>{"12", "1", "2"}))
        << "the check box, then Enter on the default button, then Escape";
}

TEST(TerminalKeys, EnterOpensTheDropDownListAndArrowsChooseFromIt) {
    auto dialog = ShownProbe();
    std::atomic<int> changes{0};
    dialog->OnSelectionChanged(probe::kList, [&] { ++changes; });
    for (const wchar_t* item : {L"English", L"\u65e5\u672c\u8a9e", L"Portugu\u00eas"}) {
        dialog->Combo(probe::kList).AddString(item);
    }
    dialog->Combo(probe::kList).SetCurSel(0);
    dialog->SetFocus(probe::kList);
    TerminalUiEnvironment::Keys(kEnter);
    ASSERT_TRUE(Eventually([] { return ScreenShows(L"\u65e5\u672c\u8a9e"); }));
    TerminalUiEnvironment::Keys(std::string(kDown) + kEnter);
    EXPECT_TRUE(Eventually([&] { return dialog->Combo(probe::kList).GetCurSel() == 1; }));
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(ScreenShows(L"Portugu\u00eas")) << "the list closed";
    TerminalUiEnvironment::Keys(kDown);
    EXPECT_TRUE(Eventually([&] { return dialog->Combo(probe::kList).GetCurSel() == 2; }))
        << "a closed list steps with the arrows";
}

TEST(TerminalScreen, LongTextsWidenTheWindowThenAreClippedWithAMarkAndATallWindowScrolls) {
    auto dialog = ShownProbe();
    dialog->SetItemText(probe::kLabel, L"\u65e5\u672c\u8a9e\u306e\u9577\u3044\u30e9\u30d9\u30eb");
    // Whole while the screen has room for the window to widen, cut with a mark once not.
    EXPECT_TRUE(Eventually([] {
        return ScreenShows(L"\u65e5\u672c\u8a9e\u306e\u9577\u3044\u30e9\u30d9\u30eb");
    })) << ScreenText();
    TerminalUiEnvironment::Resize(10, 40);
    EXPECT_TRUE(Eventually([] {
        return ScreenShows(L"\u65e5\u672c\u8a9e\u306e\u9577\u3044\u30e9\u2026");
    })) << ScreenText();
    dialog->SetFocus(probe::kListView);
    EXPECT_TRUE(Eventually([] {
        int row = -1, col = -1;
        return CursorPosition(&row, &col) && row >= 0 && row < 10 && col < 40;
    })) << "the focused list stays in view";
    EXPECT_FALSE(ScreenShows(L"Label")) << "the top scrolled away";
    dialog->SetFocus(probe::kButton);
    EXPECT_TRUE(Eventually([] { return AtCursor().substr(0, 2) == L"Go"; }));
    TerminalUiEnvironment::Resize(24, 80);
    EXPECT_TRUE(Eventually([] { return ScreenShows(L"Probe"); }));
}

TEST(TerminalBoxes, MessageBoxesAnswerFromTheKeys) {
    auto dialog = ShownProbe();
    const struct {
        unsigned style;
        std::string keys;
        int answer;
    } cases[] = {
        {kMbOk, kEnter, kIdOk},
        {kMbOkCancel, kEscape, kIdCancel},
        {kMbYesNo, std::string(kEscape) + kTab + kEnter, kIdNo},  // Escape does nothing here
        {kMbYesNo, kEnter, kIdYes},
    };
    for (const auto& c : cases) {
        std::atomic<int> answer{0};
        std::thread asker([&] {
            answer = dialog->ShowMessageBox(L"Querying Data Card...", L"Satview", c.style);
        });
        ASSERT_TRUE(Eventually([] { return ScreenShows(L"Querying Data Card..."); }));
        TerminalUiEnvironment::Keys(c.keys);
        asker.join();
        EXPECT_EQ(answer, c.answer) << c.style;
        ASSERT_TRUE(Eventually([] { return !ScreenShows(L"Querying Data Card..."); }));
    }
}

TEST(TerminalBoxes, ABoxWhoseCauseHasGoneIsEndedFromOutsideWithTheAnswerGiven) {
    auto dialog = ShownProbe();
    std::atomic<int> answer{0};
    std::thread asker(
        [&] { answer = dialog->ShowMessageBox(L"Data card removed", L"Satview", kMbOkCancel); });
    ASSERT_TRUE(Eventually([] { return ScreenShows(L"Data card removed"); }));
    bool ended = false, again = true;
    RunOnWindowThread([&] { ended = EndMessageBox(dialog->Handle(), kIdOk); });
    asker.join();
    EXPECT_TRUE(ended);
    EXPECT_EQ(answer, kIdOk) << "not the Escape answer, Cancel";
    EXPECT_TRUE(Eventually([] { return !ScreenShows(L"Data card removed"); }));
    RunOnWindowThread([&] { again = EndMessageBox(dialog->Handle(), kIdOk); });
    EXPECT_FALSE(again) << "no box is open any more";
}

TEST(TerminalBoxes, TheFileDialogListsWhatTheFilterTakesAndAddsTheExtension) {
    testing_support::TempDir dir;
    dir.Write("navi.exe", "");
    dir.Write("notes.txt", "");
    std::filesystem::create_directories(dir / "maps");
    std::optional<std::wstring> chosen;
    std::thread asker([&] {
        FileDialogRequest request{WindowHandle{}, L"EXE File|*.exe||", L"*.exe",
                                  platform::Utf8ToWide(dir / "x"), kFileMustExist};
        chosen = OpenFileDialog(request);
    });
    ASSERT_TRUE(Eventually([] { return ScreenShows(L"File name:"); }));
    TerminalUiEnvironment::Keys(std::string(kTab) + kTab + kTab + kTab + kEnter);  // the list
    EXPECT_TRUE(Eventually([] { return ScreenShows(L"navi.exe"); }));
    EXPECT_TRUE(ScreenShows(L"maps/"));
    EXPECT_FALSE(ScreenShows(L"notes.txt"));
    TerminalUiEnvironment::Keys(kEscape);
    EXPECT_TRUE(Eventually([] { return !ScreenShows(L"maps/"); }));
    TerminalUiEnvironment::Keys(std::string(kTab) + "\x7fnavi" + kEnter);
    asker.join();
    EXPECT_EQ(chosen, platform::Utf8ToWide(dir / "navi.exe"));
}

TEST(TerminalBoxes, AskedForExecutablesTheFileDialogListsOnlyThem) {
    testing_support::TempDir dir;
    dir.Write("route", "#!/bin/sh\n");
    ::chmod((dir / "route").c_str(), 0755);
    dir.Write("notes.exe", "");  // the pattern matches, but it may not be run
    std::optional<std::wstring> chosen;
    std::thread asker([&] {
        FileDialogRequest request{WindowHandle{}, L"EXE File|*.exe||", L"*.exe",
                                  platform::Utf8ToWide(dir / "x"),
                                  kFileMustExist | kFileExecutables};
        chosen = OpenFileDialog(request);
    });
    ASSERT_TRUE(Eventually([] { return ScreenShows(L"File name:"); }));
    TerminalUiEnvironment::Keys(std::string(kTab) + kTab + kTab + kTab + kEnter);
    EXPECT_TRUE(Eventually([] { return ScreenShows(L"route"); }));
    EXPECT_FALSE(ScreenShows(L"notes.exe"));
    TerminalUiEnvironment::Keys(kEscape);
    EXPECT_TRUE(Eventually([] { return !ScreenShows(L"route"); }));
    TerminalUiEnvironment::Keys(kEscape);
    asker.join();
    EXPECT_FALSE(chosen);
}

TEST(TerminalLoop, TimersPostsSendsAndANestedModalRunAllRunOnTheWindowThread) {
    auto owner = ShownProbe();
    std::thread::id windowThread;
    RunOnWindowThread([&] { windowThread = std::this_thread::get_id(); });
    ASSERT_NE(windowThread, std::this_thread::get_id());
    owner->Clear();
    owner->OnMessage(9568, [&](WParam w, LParam) {
        owner->Record("message " + std::to_string(w));
        return static_cast<LResult>(w + 1);
    });
    ASSERT_TRUE(owner->Post(9568, 1));
    EXPECT_EQ(owner->Send(9568, 41), 42);
    EXPECT_EQ(owner->SetTimer(7, 10), 7u);
    ASSERT_TRUE(Eventually([&] { return owner->Events().size() >= 3; }));
    EXPECT_TRUE(owner->KillTimer(7));
    auto events = owner->Events();
    std::sort(events.begin(), events.begin() + 3);  // a send may overtake the post
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 3),
              (std::vector<std::string>{"message 1", "message 41", "timer 7"}));
    for (auto id : owner->Threads()) EXPECT_EQ(id, windowThread);

    // A modal child opened from a handler takes the keys until it ends; the owner waits.
    Probe child;
    std::atomic<int> result{0};
    child.OnClicked(probe::kButton, [&] { child.EndDialog(11); });
    owner->OnClicked(probe::kButton, [&] { result = child.DoModal(owner->Handle()); });
    owner->SetFocus(probe::kButton);
    TerminalUiEnvironment::Keys(kEnter);
    ASSERT_TRUE(Eventually([&] { return child.HasWindow() && !owner->IsWindowEnabled(); }));
    TerminalUiEnvironment::Keys(kEnter);  // reaches the child's focused button
    EXPECT_TRUE(Eventually([&] { return result == 11; }));
    EXPECT_TRUE(owner->IsWindowEnabled());
}

TEST(TerminalMouse, AClickFocusesAndPressesWhatItHits) {
    auto dialog = ShownProbe();
    std::atomic<int> clicks{0};
    dialog->OnClicked(probe::kButton, [&] { ++clicks; });
    // Where the check box's mark and the Go button are on the screen.
    auto cellOf = [](const std::wstring& text, int* row, int* col) {
        std::wstring screen = ScreenText();
        size_t at = screen.find(text);
        if (at == std::wstring::npos) return false;
        size_t lineStart = screen.rfind(L'\n', at);
        lineStart = lineStart == std::wstring::npos ? 0 : lineStart + 1;
        *row = static_cast<int>(std::count(screen.begin(), screen.begin() + lineStart, L'\n'));
        *col = Columns(std::wstring_view(screen).substr(lineStart, at - lineStart));
        return true;
    };
    // xterm's reports of the first button going down and up at a cell (1-based).
    auto press = [](int row, int col) {
        std::string at = std::to_string(col + 1) + ";" + std::to_string(row + 1);
        TerminalUiEnvironment::Keys("\033[<0;" + at + "M\033[<0;" + at + "m");
    };
    int row = 0, col = 0;
    ASSERT_TRUE(cellOf(L"[ ] Check", &row, &col));
    press(row, col + 1);
    EXPECT_TRUE(Eventually([&] { return dialog->IsItemChecked(probe::kCheck); }));
    EXPECT_EQ(dialog->Focus(), probe::kCheck);
    ASSERT_TRUE(cellOf(L"Go", &row, &col));
    press(row, col);
    EXPECT_TRUE(Eventually([&] { return clicks == 1; }));
    EXPECT_EQ(dialog->Focus(), probe::kButton);
}
