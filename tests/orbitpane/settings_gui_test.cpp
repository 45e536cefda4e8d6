// The settings dialog and the program path field as real wx windows under a (virtual)
// display, in each language, with screenshots saved in <build>/screenshots.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <wx/button.h>
#include <wx/image.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>
#include <wx/uiaction.h>

#include <filesystem>

#include "installed_program.h"
#include "orbitpane/win32/gpssetupdlg.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/ui/kit.h"
#include "platform/ui/wx_native.h"
#include "wx_ui.h"

using namespace orbitpane_test;

namespace {

namespace settings = ui::templates::settings;

template <typename T>
T* Native(const ui::Dialog& dialog, int id) {
    return dynamic_cast<T*>(ui::wxkit::NativeControl(dialog.Handle(), id));
}

void Click(wxWindow* control, wxEventType type = wxEVT_BUTTON) {
    wxCommandEvent click(type, control->GetId());
    click.SetEventObject(control);
    if (type == wxEVT_RADIOBUTTON) static_cast<wxRadioButton*>(control)->SetValue(true);
    control->ProcessWindowEvent(click);
}

class SettingsOnScreen : public ::testing::Test, public InstalledProgram {
  protected:
    void SetUp() override {
        if (ui::CurrentBackend() != ui::BackendKind::Wx) GTEST_SKIP() << "no display";
        Install();
        std::filesystem::create_directories(SCREENSHOT_DIR);
    }
    void TearDown() override {
        form.reset();
        main.reset();
        Uninstall();
    }
    void OpenMain(const std::string& code) {
        main = NewDialog("_" + code);
        ASSERT_TRUE(main->Create());
        main->ShowWindow(ui::ShowCommand::Normal);
        ASSERT_TRUE(ui::wxkit::PumpUntil(
            [&] { return ui::wxkit::NativeWindow(main->Handle())->IsShownOnScreen(); }));
    }

    std::unique_ptr<CGPSUIDlg> main;
    std::unique_ptr<CGPSSetupDlg> form;
};

}  // namespace

TEST_F(SettingsOnScreen, ShowsAndSavesInEachLanguage) {
    const struct {
        const char* code;
        const wchar_t* title;
        const wchar_t* save;
    } languages[] = {
        {"en-us", L"GPS Settings", L"Save"},
        {"ja", L"GPS \u306E\u8A2D\u5B9A", L"\u4FDD\u5B58"},
        {"pt-br", L"Configura\u00E7\u00F5es de GPS", L"Salvar"},
    };
    for (const auto& language : languages) {
        WriteConfig("Y", "AGPS", "Pedestrianism");
        OpenMain(language.code);
        GpsConfigFile file;
        file.SetAppDirectory(dir.path());
        GPSConfigInfo record;
        file.Load(record);
        form = std::make_unique<CGPSSetupDlg>(plugin->Context());
        form->AttachSettings(&file, &record, dir.path(), main.get());
        ASSERT_TRUE(form->Create());
        form->ShowWindow(ui::ShowCommand::Normal);
        auto* window = dynamic_cast<wxTopLevelWindow*>(ui::wxkit::NativeWindow(form->Handle()));
        ASSERT_TRUE(window != nullptr);
        auto* save = Native<wxButton>(*form, settings::kSave);
        auto* apn = Native<wxTextCtrl>(*form, settings::kApn);
        auto* gpsRadio = Native<wxRadioButton>(*form, settings::kTypeGps);
        auto* pedestrian = Native<wxRadioButton>(*form, settings::kPedestrian);
        ASSERT_TRUE(save && apn && gpsRadio && pedestrian) << language.code;
        ASSERT_TRUE(ui::wxkit::PumpUntil([&] {
            return window->IsShownOnScreen() &&
                   window->GetTitle().ToStdWstring() == language.title &&
                   apn->GetValue() == "web.example" && pedestrian->GetValue();
        })) << language.code;
        EXPECT_EQ(save->GetLabel().ToStdWstring(), language.save);
        const std::string shot =
            std::string(SCREENSHOT_DIR) + "/settings_dialog_" + language.code + ".png";
        ASSERT_TRUE(ui::wxkit::SaveScreenshot(form->Handle(), shot));
        EXPECT_TRUE(wxImage(shot, wxBITMAP_TYPE_PNG).IsOk());

        // The native GPS radio button disables the AGPS fields; Save stores the choice.
        Click(gpsRadio, wxEVT_RADIOBUTTON);
        ASSERT_TRUE(ui::wxkit::PumpUntil([&] { return !apn->IsEnabled(); })) << language.code;
        Click(save);
        EXPECT_EQ(record.strType, "GPS");
        EXPECT_EQ(record.strScenario, "Pedestrianism");
        EXPECT_NE(platform::ReadWholeFile(dir / "config/ConfigFile.xml")->find("name=\"GPS\""),
                  std::string::npos);
        form.reset();
        main.reset();
    }
}

TEST_F(SettingsOnScreen, EnterInTheNativePathFieldRunsTheProgramInsteadOfStart) {
    OpenMain("en-us");
    PlugCard();
    card->RaiseBareEvent(kReady);
    ASSERT_TRUE(ui::wxkit::PumpUntil([&] { return CardKnown(*main); }));
    const std::string program = dir.Write("run me", "#!/bin/sh\ntouch \"$0.ran\"\n");
    ::chmod(program.c_str(), 0755);
    main->ShowItem(gps::kPath, true);
    main->SetItemText(gps::kPath, platform::Utf8ToWide(program));
    auto* path = Native<wxTextCtrl>(*main, gps::kPath);
    ASSERT_TRUE(path != nullptr);
    ASSERT_TRUE(ui::wxkit::PumpUntil([&] { return path->IsShownOnScreen(); }));
    main->SetFocus(gps::kPath);
    ASSERT_TRUE(ui::wxkit::PumpUntil([&] { return path->HasFocus(); }));
    wxUIActionSimulator keyboard;
    keyboard.Char(WXK_RETURN);
    EXPECT_TRUE(ui::wxkit::PumpUntil([&] { return platform::FileExists(program + ".ran"); }));
    EXPECT_EQ(main->StatusTextId(), L"IDS_STATIC_SUCCE_SAVEDATA");
    EXPECT_EQ(main->Focus(), gps::kStart);
    EXPECT_FALSE(main->SessionRunning()) << "Start, the default button, stays unpressed";
    EXPECT_EQ(path->GetValue().ToStdString(), program);
}
