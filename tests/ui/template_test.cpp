// Templates as values: the layout checks and the four concrete templates.
#include <gtest/gtest.h>

#include <set>

#include "platform/ui/kit.h"
#include "platform/ui/template.h"
#include "platform/ui/templates/gps.h"
#include "platform/ui/templates/launcher.h"
#include "platform/ui/templates/sky.h"

using namespace ui;

TEST(Layout, FindsDuplicatesStrayControlsAndOverlaps) {
    DialogTemplate t{1, L"t", 100, 50, L"", 8, 0, {}};
    t.controls = {
        {1, ControlKind::GroupBox, L"box", {0, 0, 60, 35}, 0},
        {2, ControlKind::RadioButton, L"in the box", {5, 10, 40, 10}, 0},
        {3, ControlKind::PushButton, L"b", {70, 10, 20, 14}, 0},
        {3, ControlKind::PushButton, L"same id", {70, 30, 20, 14}, 0},
        {4, ControlKind::Static, L"over b", {75, 12, 20, 8}, 0},
        {5, ControlKind::Static, L"hidden over b", {75, 12, 20, 8}, kStyleHidden},
        {6, ControlKind::Edit, L"outside", {90, 45, 20, 12}, 0},
        {7, ControlKind::DropDownList, L"long list fits closed", {0, 38, 60, 200}, 0},
        {8, ControlKind::Static, L"on the edit", {85, 44, 10, 5}, 0},
    };
    auto problems = CheckLayout(t);
    ASSERT_EQ(problems.size(), 4u) << ::testing::PrintToString(problems);
    EXPECT_NE(problems[0].find("duplicate id 3"), std::string::npos);
    EXPECT_NE(problems[1].find("control 6"), std::string::npos);
    EXPECT_NE(problems[2].find("control 3 \"b\" overlaps control 4"), std::string::npos);
    EXPECT_NE(problems[3].find("control 6 \"outside\" overlaps control 8"), std::string::npos);
}

TEST(Layout, RadioGroupsRunBetweenGroupStarts) {
    DialogTemplate t{1, L"t", 100, 100, L"", 8, 0, {}};
    t.controls = {
        {1, ControlKind::GroupBox, L"", {0, 0, 10, 10}, 0},
        {2, ControlKind::RadioButton, L"", {0, 0, 10, 10}, kStyleGroup},
        {3, ControlKind::Static, L"", {0, 0, 10, 10}, 0},
        {4, ControlKind::RadioButton, L"", {0, 0, 10, 10}, 0},
        {5, ControlKind::RadioButton, L"", {0, 0, 10, 10}, kStyleGroup},
        {6, ControlKind::RadioButton, L"", {0, 0, 10, 10}, 0},
    };
    EXPECT_EQ(RadioGroup(t, 4), (std::vector<int>{2, 4}));
    EXPECT_EQ(RadioGroup(t, 6), (std::vector<int>{5, 6}));
    EXPECT_TRUE(RadioGroup(t, 3).empty());
    EXPECT_TRUE(RadioGroup(t, 99).empty());
}

TEST(Templates, AreLaidOutCleanlyWithinTheirSizes) {
    for (const DialogTemplate* t :
         {&templates::GpsDialog(), &templates::SettingsDialog(), &templates::StartupDialog(),
          &templates::AboutDialog(), &templates::SkyTableDialog(), &templates::SkyPlotDialog()}) {
        EXPECT_TRUE(CheckLayout(*t).empty())
            << "template " << t->id << ": " << ::testing::PrintToString(CheckLayout(*t));
    }
}

TEST(Templates, GpsDialogHasItsControlsKindsAndStartState) {
    const DialogTemplate& t = templates::GpsDialog();
    EXPECT_EQ(t.id, 6000);
    EXPECT_EQ(t.width, 279);
    EXPECT_EQ(t.height, 179);
    EXPECT_TRUE(t.styles & kDialogSysMenu);
    EXPECT_TRUE(t.styles & kDialogMinimizeBox);
    std::set<int> ids;
    for (const auto& c : t.controls) ids.insert(c.id);
    EXPECT_EQ(ids, (std::set<int>{6000, 6001, 6002, 6003, 6004, 6005, 6006, 6007, 6008, 6009, 6018,
                                  6022, 6023, 6026, 6030, 6033, 6034}));
    using namespace templates::gps;
    EXPECT_EQ(t.Find(kStart)->styles & kStyleDefault, kStyleDefault);
    EXPECT_EQ(t.Find(kStop)->styles & kStyleDisabled, kStyleDisabled);
    EXPECT_EQ(t.Find(kList)->kind, ControlKind::ListView);
    EXPECT_EQ(t.Find(kList)->styles, kStyleBorder | kStyleNoScroll);
    EXPECT_EQ(t.Find(kLanguage)->kind, ControlKind::DropDownList);
    EXPECT_EQ(t.Find(kMapSite)->kind, ControlKind::DropDownCombo);
    EXPECT_EQ(t.Find(kPath)->kind, ControlKind::Edit);
    EXPECT_EQ(t.Find(kAutoRun)->kind, ControlKind::CheckBox);
    EXPECT_TRUE(t.Find(kNoDataSeconds)->styles & kStyleCentre);
    EXPECT_EQ(t.Find(kGpsTypeLabel)->text, L"Current GPS Type:");
    // The first control that takes the focus is Start.
    EXPECT_EQ(t.controls.front().id, kStart);
}

TEST(Templates, SettingsDialogHasTwoRadioGroups) {
    const DialogTemplate& t = templates::SettingsDialog();
    using namespace templates::settings;
    EXPECT_EQ(t.width, 186);
    EXPECT_EQ(t.height, 172);
    EXPECT_EQ(t.controls.size(), 14u);
    EXPECT_EQ(RadioGroup(t, kTypeAgps), (std::vector<int>{kTypeGps, kTypeAgps}));
    EXPECT_EQ(RadioGroup(t, kHighSpeed), (std::vector<int>{kHighSpeed, kPedestrian}));
    EXPECT_TRUE(t.Find(kApn)->styles & kStyleAutoHScroll);
    EXPECT_TRUE(t.Find(kSave)->styles & kStyleDefault);
}

TEST(Templates, LauncherDialogs) {
    const DialogTemplate& startup = templates::StartupDialog();
    EXPECT_EQ(startup.id, 102);
    EXPECT_EQ(startup.fontSize, 9);
    EXPECT_TRUE(startup.styles & kDialogVisible);
    ASSERT_EQ(startup.controls.size(), 1u);
    EXPECT_EQ(startup.controls[0].id, 1000);
    EXPECT_EQ(startup.controls[0].rect, (Rect{13, 14, 134, 8}));

    const DialogTemplate& about = templates::AboutDialog();
    EXPECT_EQ(about.id, 100);
    EXPECT_EQ(about.title, L"\u5173\u4e8e Startup");
    const ControlTemplate* ok = about.Find(kIdOk);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->rect, (Rect{178, 7, 50, 16}));
    EXPECT_TRUE(ok->styles & kStyleDefault);
}

TEST(BackendChoice, HeadlessWhenAskedTerminalWhenAskedOrWithoutDisplay) {
    const char* plain[] = {"prog"};
    const char* asked[] = {"prog", "--verbose", "--headless"};
    const char* terminal[] = {"prog", "--terminal"};
    EXPECT_EQ(ChooseBackend(1, plain, nullptr, ":0", nullptr), BackendKind::Wx);
    EXPECT_EQ(ChooseBackend(1, plain, nullptr, nullptr, "wayland-0"), BackendKind::Wx);
    EXPECT_EQ(ChooseBackend(1, plain, nullptr, nullptr, nullptr), BackendKind::Terminal);
    EXPECT_EQ(ChooseBackend(1, plain, nullptr, "", ""), BackendKind::Terminal);
    EXPECT_EQ(ChooseBackend(2, terminal, nullptr, ":0", nullptr), BackendKind::Terminal);
    EXPECT_EQ(ChooseBackend(1, plain, "terminal", ":0", nullptr), BackendKind::Terminal);
    EXPECT_EQ(ChooseBackend(1, plain, "headless", nullptr, nullptr), BackendKind::Headless);
    EXPECT_EQ(ChooseBackend(3, asked, nullptr, ":0", nullptr), BackendKind::Headless);
    EXPECT_EQ(ChooseBackend(1, plain, "headless", ":0", nullptr), BackendKind::Headless);
    EXPECT_EQ(ChooseBackend(1, plain, "wx", ":0", nullptr), BackendKind::Wx);
}
