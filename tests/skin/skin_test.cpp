// The skin library: skin files, frame skins and their themes on windows.
#include <gtest/gtest.h>

#include "framework/skin/skin.h"
#include "headless_ui.h"
#include "platform/text.h"
#include "platform/ui/dialog.h"
#include "temp_dir.h"

using skin::ParseSkin;
using skin::ThemeFor;

namespace {

const char* kClassic =
    "\xEF\xBB\xBF# classic\r\n"
    "background = #F0F4F8\r\n"
    "text=#1f2a36\n"
    "font_face = Noto Sans CJK JP\n"
    "font_size = 9\n"
    "\n"
    "[CommFrame]\n"
    "background = #E4ECF4\n"
    "font_size = 10\n"
    "[Other]\n"
    "text = #000000\n";

std::wstring Wide(const std::string& path) {
    return platform::Utf8ToWide(path);
}

ui::DialogTemplate Small() {
    return ui::DialogTemplate{77,
                              L"Skinned",
                              100,
                              40,
                              L"MS Shell Dlg",
                              8,
                              ui::kDialogCaption,
                              {{1, ui::ControlKind::Static, L"text", {5, 5, 60, 8}, 0}}};
}

class Skinned : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dialog.Create()); }
    void TearDown() override { skin::ExitSkin(); }
    ui::Theme WindowTheme() const { return dialog.GetTheme(); }

    testing_support::TempDir dir;
    ui::Dialog dialog{Small()};
};

}  // namespace

TEST(SkinFile, DefaultsAndFrameSectionsOverridingThem) {
    skin::SkinFile file = ParseSkin(kClassic);
    EXPECT_EQ(file.defaults, (ui::Theme{0xF0F4F8, 0x1F2A36, L"Noto Sans CJK JP", 9}));
    EXPECT_EQ(ThemeFor(file, L"CommFrame"),
              (ui::Theme{0xE4ECF4, 0x1F2A36, L"Noto Sans CJK JP", 10}));
    EXPECT_EQ(ThemeFor(file, L"Other").text, 0);
    EXPECT_EQ(ThemeFor(file, L"Missing"), file.defaults);
}

TEST(SkinFile, SkipsWhatItCannotRead) {
    skin::SkinFile file = ParseSkin(
        "background = F0F4F8\n"  // no '#'
        "text = #12345G\n"       // not hexadecimal
        "font_size = 900\n"      // out of range
        "font_size = nine\n"
        "colour = #FFFFFF\n"  // unknown key
        "just a line\n"
        "; comment = #FFFFFF\n"
        "FONT_FACE = DejaVu Sans\n"  // keys ignore case
        "font_face =\n");            // empty value keeps the face
    EXPECT_EQ(file.defaults, (ui::Theme{-1, -1, L"DejaVu Sans", 0}));
    EXPECT_TRUE(ParseSkin("").defaults.Empty());
}

TEST_F(Skinned, WithoutAFileNothingChanges) {
    EXPECT_TRUE(skin::InitSkin(L"PLXA"));
    EXPECT_FALSE(skin::LoadSkinFile(Wide(dir / "skin/classic.smf")));
    EXPECT_FALSE(skin::SetFrameSkin(L"CommFrame"));
    EXPECT_FALSE(skin::SkinWindow(dialog.Handle()));
    EXPECT_TRUE(WindowTheme().Empty());
}

TEST_F(Skinned, TheChosenFramesThemeReachesTheWindow) {
    skin::InitSkin(L"PLXA");
    std::string path = dir.Write("skin/classic.smf", kClassic);
    ASSERT_TRUE(skin::LoadSkinFile(Wide(path)));
    EXPECT_TRUE(skin::SetFrameSkin(L"CommFrame"));
    EXPECT_TRUE(skin::SkinWindow(dialog.Handle()));
    EXPECT_EQ(WindowTheme(), (ui::Theme{0xE4ECF4, 0x1F2A36, L"Noto Sans CJK JP", 10}));
    EXPECT_TRUE(skin::SetWindowSkinType(dialog.Handle(), L"DialogMinClose"));
    EXPECT_EQ(skin::WindowSkinType(dialog.Handle()), L"DialogMinClose");
    EXPECT_FALSE(skin::SetWindowSkinType(ui::WindowHandle{}, L"DialogMinClose"));

    // A file that sets nothing drops the theme for the windows skinned from now on.
    std::string empty = dir.Write("skin/empty.smf", "# nothing\n");
    EXPECT_FALSE(skin::LoadSkinFile(Wide(empty)));
    ui::Dialog later(Small());
    ASSERT_TRUE(later.Create());
    EXPECT_FALSE(skin::SkinWindow(later.Handle()));
    EXPECT_TRUE(later.GetTheme().Empty());

    skin::ExitSkin();
    EXPECT_EQ(skin::WindowSkinType(dialog.Handle()), L"");
}
