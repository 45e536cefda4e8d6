// A dialog's life and its control table, through the operations a dialog writer uses.
#include <gtest/gtest.h>

#include "backend_under_test.h"
#include "platform/ui/headless/driver.h"
#include "platform/ui/kit.h"
#include "probe_dialog.h"

using namespace ui;
using probe::Probe;

namespace {

std::thread::id WindowThreadId() {
    std::thread::id id;
    RunOnWindowThread([&] { id = std::this_thread::get_id(); });
    return id;
}

}  // namespace

TEST(DialogLife, CreationRunsCreateThenInitOnTheWindowThreadAndFillsTheTable) {
    Probe dialog;
    EXPECT_FALSE(dialog.HasWindow());
    EXPECT_FALSE(dialog.SetItemText(probe::kLabel, L"x")) << "no window, no controls";
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.Events(), (std::vector<std::string>{"create", "init"}));
    for (auto id : dialog.Threads()) EXPECT_EQ(id, WindowThreadId());
    EXPECT_NE(WindowThreadId(), std::this_thread::get_id());

    EXPECT_EQ(dialog.ItemText(probe::kButton), L"Go");
    EXPECT_EQ(dialog.Title(), L"Probe");
    EXPECT_FALSE(dialog.IsItemEnabled(probe::kDisabled));
    EXPECT_FALSE(dialog.IsItemVisible(probe::kHidden));
    EXPECT_TRUE(dialog.IsItemVisible(probe::kLabel));
    EXPECT_EQ(dialog.Focus(), probe::kButton) << "the first control that takes the focus";
    EXPECT_FALSE(dialog.IsVisible()) << "a template without the visible style waits for a show";
    EXPECT_FALSE(dialog.Create()) << "one window at a time";
}

TEST(DialogLife, InitAnsweringFalseKeepsTheFocusItChose) {
    Probe dialog;
    dialog.initResult = false;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.Focus(), 0);
}

TEST(DialogLife, CreationFailsWhenOnCreateRefuses) {
    Probe dialog;
    dialog.createResult = -1;
    EXPECT_FALSE(dialog.Create());
    EXPECT_FALSE(dialog.HasWindow());
    EXPECT_EQ(dialog.Events(), (std::vector<std::string>{"create", "destroy"}));
}

TEST(DialogLife, DestroyKeepsTheObjectAndANewWindowGetsANewHandle) {
    Probe dialog;
    ASSERT_TRUE(dialog.Create());
    WindowHandle first = dialog.Handle();
    dialog.SetItemText(probe::kLabel, L"changed");
    EXPECT_TRUE(dialog.DestroyWindow());
    EXPECT_FALSE(dialog.DestroyWindow());
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(Post(first, 5000));
    EXPECT_EQ(Send(first, 5000), 0);
    EXPECT_EQ(dialog.ItemText(probe::kLabel), L"");

    ASSERT_TRUE(dialog.Create());
    EXPECT_NE(dialog.Handle(), first);
    EXPECT_EQ(dialog.ItemText(probe::kLabel), L"Label") << "a new window starts from the template";
    EXPECT_FALSE(Post(first, 5000)) << "a stale handle never reaches the new window";
}

TEST(Controls, TextsEnablingShowingAndChecks) {
    Probe dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_TRUE(dialog.SetItemText(probe::kEdit, L"Posi\u00e7\u00e3o \u65e5\u672c"));
    EXPECT_EQ(dialog.ItemText(probe::kEdit), L"Posi\u00e7\u00e3o \u65e5\u672c");
    EXPECT_FALSE(dialog.SetItemText(4242, L"x"));
    EXPECT_FALSE(dialog.SetItemText(kIdStatic, L"x")) << "unaddressed controls stay unaddressed";

    EXPECT_TRUE(dialog.EnableItem(probe::kDisabled, true));
    EXPECT_TRUE(dialog.IsItemEnabled(probe::kDisabled));
    EXPECT_TRUE(dialog.ShowItem(probe::kLabel, false));
    EXPECT_FALSE(dialog.IsItemVisible(probe::kLabel));

    EXPECT_FALSE(dialog.CheckItem(probe::kLabel, true)) << "a label has no check";
    EXPECT_TRUE(dialog.CheckItem(probe::kRadioA, true));
    EXPECT_TRUE(dialog.CheckItem(probe::kRadioC, true));
    EXPECT_TRUE(dialog.CheckItem(probe::kRadioB, true));
    EXPECT_FALSE(dialog.IsItemChecked(probe::kRadioA)) << "B clears A in its group";
    EXPECT_TRUE(dialog.IsItemChecked(probe::kRadioC)) << "C is in a group of its own";
    EXPECT_TRUE(dialog.CheckItem(probe::kCheck, true));
    EXPECT_TRUE(dialog.IsItemChecked(probe::kCheck));

    EXPECT_TRUE(dialog.SetFocus(probe::kEdit));
    EXPECT_EQ(dialog.Focus(), probe::kEdit);
    EXPECT_FALSE(dialog.SetFocus(4242));
}

TEST(Controls, ComboBoxesKeepItemsSelectionAndText) {
    Probe dialog;
    ASSERT_TRUE(dialog.Create());
    ComboBox list = dialog.Combo(probe::kList);
    EXPECT_EQ(list.AddString(L"English"), 0);
    EXPECT_EQ(list.AddString(L"\u65e5\u672c\u8a9e"), 1);
    EXPECT_EQ(list.GetCurSel(), -1);
    EXPECT_TRUE(list.SetCurSel(1));
    EXPECT_EQ(list.CurrentText(), L"\u65e5\u672c\u8a9e");
    EXPECT_EQ(dialog.ItemText(probe::kList), L"\u65e5\u672c\u8a9e");
    EXPECT_FALSE(list.SetCurSel(2));
    EXPECT_EQ(list.GetCurSel(), -1) << "an index past the end selects nothing";
    EXPECT_EQ(list.CurrentText(), L"");
    EXPECT_TRUE(dialog.SetItemText(probe::kList, L"English")) << "a drop-down list selects";
    EXPECT_EQ(list.GetCurSel(), 0);
    EXPECT_FALSE(dialog.SetItemText(probe::kList, L"Klingon")) << "and offers nothing else";
    EXPECT_EQ(list.GetCurSel(), 0);

    ComboBox combo = dialog.Combo(probe::kCombo);
    combo.AddString(L"google maps");
    EXPECT_TRUE(combo.SetCurSel(0));
    EXPECT_TRUE(dialog.SetItemText(probe::kCombo, L"my own site"));
    EXPECT_EQ(combo.GetCurSel(), -1);
    EXPECT_EQ(combo.CurrentText(), L"my own site");
    EXPECT_TRUE(combo.ResetContent());
    EXPECT_EQ(combo.Count(), 0);
    EXPECT_EQ(combo.CurrentText(), L"");

    EXPECT_EQ(dialog.Combo(probe::kEdit).AddString(L"x"), -1) << "an edit is no combo box";
}

TEST(Controls, ListViewColumnsRowsAndCells) {
    Probe dialog;
    ASSERT_TRUE(dialog.Create());
    ListView list = dialog.List(probe::kListView);
    EXPECT_EQ(list.SetExtendedStyle(kListGridLines | kListFullRowSelect), 0u);
    EXPECT_EQ(list.ExtendedStyle(), kListGridLines | kListFullRowSelect);
    EXPECT_EQ(list.InsertColumn(0, L"Item", 95), 0);
    EXPECT_EQ(list.InsertColumn(1, L"Value", 200), 1);
    const wchar_t* rows[] = {L"Port", L"Longitude", L"Latitude", L"Satellites", L"Time"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(list.InsertItem(i, rows[i]), i);
    EXPECT_EQ(list.ItemCount(), 5);
    EXPECT_TRUE(list.SetItemText(1, 1, L"E 122d 7.407360"));
    EXPECT_EQ(list.GetItemText(1, 0), L"Longitude");
    EXPECT_EQ(list.GetItemText(1, 1), L"E 122d 7.407360");
    EXPECT_FALSE(list.SetItemText(1, 2, L"x")) << "no third column";
    EXPECT_FALSE(list.SetItemText(5, 1, L"x")) << "no sixth row";
    EXPECT_EQ(list.GetItemText(9, 9), L"");

    // Re-labelling for another language: both columns go and come back, the rows stay.
    EXPECT_TRUE(list.DeleteColumn(0));
    EXPECT_TRUE(list.DeleteColumn(0));
    EXPECT_FALSE(list.DeleteColumn(0));
    EXPECT_EQ(list.ItemCount(), 5);
    list.InsertColumn(0, L"\u9805\u76ee", 95);
    list.InsertColumn(1, L"\u5185\u5bb9", 200);
    EXPECT_EQ(list.Columns()[1], (ListColumn{L"\u5185\u5bb9", 200, ColumnAlign::Left}));
    EXPECT_TRUE(list.SetItemText(1, 0, L"\u7d4c\u5ea6"));
    EXPECT_TRUE(list.SetItemText(1, 1, L"E 1d"));
    EXPECT_EQ(list.GetItemText(1, 1), L"E 1d");

    // A column inserted before others moves their cells right.
    list.InsertColumn(0, L"First", 10);
    EXPECT_EQ(list.GetItemText(1, 1), L"\u7d4c\u5ea6");
    EXPECT_EQ(list.GetItemText(1, 2), L"E 1d");
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.ItemCount(), 4);
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.ItemCount(), 0);
}

TEST(Window, TitleIconsGeometryParentAndSystemMenu) {
    Probe dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_TRUE(dialog.SetTitle(L"Sat\u00e9lite"));
    EXPECT_EQ(dialog.Title(), L"Sat\u00e9lite");
    EXPECT_TRUE(dialog.SetIcon(Icon{6002}, true));
    EXPECT_TRUE(dialog.SetIcon(Icon{6003}, false));
    EXPECT_EQ(dialog.GetIcon(true), Icon{6002});
    EXPECT_EQ(dialog.GetIcon(false), Icon{6003});

    // 8-point dialog units: 6 x 13 pixels per 4 x 8 units.
    EXPECT_EQ(dialog.ItemRect(probe::kListView), (Rect{8, 114, 285, 65}));
    EXPECT_EQ(dialog.WindowRect(), (Rect{0, 0, 300, 195}));
    EXPECT_TRUE(dialog.MoveWindow(Rect{10, 20, 300, 200}));
    EXPECT_EQ(dialog.WindowRect(), (Rect{10, 20, 300, 200}));
    EXPECT_TRUE(dialog.CenterWindow());
    // On the headless 1280 x 1024 screen; on the 80 x 24 terminal, whose cells are 6 x 13
    // pixels, the 52 x 17 cells of the framed window.
    Rect centred = kBackendUnderTest == BackendKind::Headless ? Rect{490, 412, 300, 200}
                                                              : Rect{84, 39, 300, 200};
    EXPECT_EQ(dialog.WindowRect(), centred);

    Probe host;
    ASSERT_TRUE(host.Create());
    EXPECT_FALSE(dialog.SetParent(dialog.Handle())) << "not into itself";
    EXPECT_FALSE(dialog.SetParent(WindowHandle{999999})) << "not into a window that is gone";
    EXPECT_TRUE(dialog.SetParent(host.Handle()));
    EXPECT_EQ(dialog.Parent(), host.Handle());
    EXPECT_TRUE(dialog.ShowWindow(ShowCommand::Normal));
    EXPECT_TRUE(dialog.IsVisible());
    EXPECT_TRUE(dialog.ShowWindow(ShowCommand::Hide));
    EXPECT_FALSE(dialog.IsVisible());

    Probe owned;
    ASSERT_TRUE(owned.Create(host.Handle()));
    EXPECT_EQ(owned.Owner(), host.Handle());
    EXPECT_FALSE(owned.Parent()) << "an owned window is still a top-level window";

    EXPECT_TRUE(dialog.AppendSystemMenuSeparator());
    EXPECT_TRUE(dialog.AppendSystemMenuItem(16, L"About"));
    EXPECT_FALSE(dialog.AppendSystemMenuItem(0, L"no command"));
    EXPECT_EQ(dialog.SystemMenu(), (std::vector<SystemMenuItem>{{0, L""}, {16, L"About"}}));
    EXPECT_TRUE(dialog.AppendSystemMenuItem(32, L"Record"));
    EXPECT_TRUE(dialog.CheckSystemMenuItem(32, true));
    EXPECT_FALSE(dialog.CheckSystemMenuItem(48, true)) << "no such entry";
    EXPECT_FALSE(dialog.CheckSystemMenuItem(0, true)) << "a separator takes no check mark";
    EXPECT_EQ(dialog.SystemMenu().back(), (SystemMenuItem{32, L"Record", true, true}));
    EXPECT_TRUE(dialog.CheckSystemMenuItem(32, false));
    EXPECT_TRUE(dialog.SetSystemMenuItemText(32, L"Gravar"));
    EXPECT_EQ(dialog.SystemMenu().back(), (SystemMenuItem{32, L"Gravar", true, false}));
    Probe bare(probe::Template(kDialogCaption));
    ASSERT_TRUE(bare.Create());
    EXPECT_FALSE(bare.AppendSystemMenuItem(16, L"About")) << "no system menu to append to";

    Theme theme{0xF0F4F8, 0x102030, L"DejaVu Sans", 9};
    EXPECT_TRUE(dialog.SetTheme(theme));
    EXPECT_EQ(dialog.GetTheme(), theme);
}

TEST(Kit, StaysWithTheBackEndChosenFirst) {
    EXPECT_EQ(CurrentBackend(), kBackendUnderTest);
    EXPECT_TRUE(Initialize(kBackendUnderTest));
    EXPECT_FALSE(Initialize(BackendKind::Wx)) << "the back end is chosen once per process";
    EXPECT_EQ(CurrentBackend(), kBackendUnderTest);
}
