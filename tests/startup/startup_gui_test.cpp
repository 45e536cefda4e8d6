// The launcher's windows on a (virtual) display, with screenshots saved in
// <build>/screenshots: the initializing window in each language and the about box.
#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/stattext.h>

#include <filesystem>

#include "Startup/Win32/startupdlg.h"
#include "framework/locale/language_file.h"
#include "platform/files.h"
#include "platform/ui/templates/launcher.h"
#include "platform/ui/wx_native.h"
#include "wx_ui.h"

namespace {

std::wstring ReinitializeText(const std::string& code) {
    auto bytes = platform::ReadWholeFile(std::string(SATVIEW_DATA_DIR) +
                                         "/Plugins/XFramePlugin/XFramePlugin_" + code + ".lang");
    auto texts = framework::ParseLanguageFile(bytes.value_or(""));
    return texts ? (*texts)["xframeplugin"]["ids_mainfrm_reinitialize"] : std::wstring();
}

bool SavedPng(ui::WindowHandle window, const std::string& name) {
    std::string path = std::string(SCREENSHOT_DIR) + "/" + name;
    return ui::wxkit::SaveScreenshot(window, path) && wxImage(path, wxBITMAP_TYPE_PNG).IsOk();
}

class LauncherOnScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        if (ui::CurrentBackend() != ui::BackendKind::Wx) GTEST_SKIP() << "no display";
        std::filesystem::create_directories(SCREENSHOT_DIR);
    }
};

TEST_F(LauncherOnScreen, InitializingWindowShowsTheTextOfEachLanguage) {
    for (const char* code : {"en-us", "ja", "pt-br"}) {
        std::wstring text = ReinitializeText(code);
        ASSERT_FALSE(text.empty()) << code;
        CStartupDlg dialog;
        ASSERT_TRUE(dialog.Create());
        dialog.SetMessageText(text);
        auto* label = dynamic_cast<wxStaticText*>(
            ui::wxkit::NativeControl(dialog.Handle(), ui::templates::startup::kMessage));
        ASSERT_TRUE(label);
        ASSERT_TRUE(ui::wxkit::PumpUntil([&] { return label->GetLabel().ToStdWstring() == text; }));
        // The one line of the template holds the whole text.
        EXPECT_LE(label->GetTextExtent(text).GetWidth(), label->GetSize().GetWidth()) << code;
        EXPECT_TRUE(
            SavedPng(dialog.Handle(), std::string("startup_initializing_") + code + ".png"));
    }
}

TEST_F(LauncherOnScreen, AboutBox) {
    CAboutDlg about;  // modeless here, so that the test can look at it
    ASSERT_TRUE(about.Create());
    about.ShowWindow(ui::ShowCommand::Normal);
    EXPECT_TRUE(SavedPng(about.Handle(), "startup_about.png"));
}

}  // namespace
