// The GPS dialog on the headless window kit, in a program directory of its own laid out from
// the install tree, with the scripted device manager as the card behind a real container.
#pragma once

#include "headless_ui.h"
#include "installed_program.h"

#include <string>
#include <vector>

#include "platform/ui/headless/driver.h"

namespace orbitpane_test {

class DialogFixture : public ::testing::Test, public InstalledProgram {
  protected:
    void SetUp() override {
        Install();
        ui::headless::ClearRecords();
    }
    void TearDown() override {
        dialog.reset();
        Uninstall();
    }

    // Chooses the language and the configuration, then opens the dialog.
    void Open(const std::string& active = "_en-us") {
        dialog = NewDialog(active);
        ASSERT_TRUE(dialog->Create());
        dialog->ShowWindow(ui::ShowCommand::Normal);
        user = std::make_unique<ui::headless::Driver>(dialog->Handle());
        ASSERT_TRUE(ui::headless::WaitIdle());
    }

    // The card as the polling and the device events leave it once it is found.
    void CardFound(int gpsType = kGpsTypeAgps, int state = kCardReady) {
        dialog->SetCardReady(true);
        dialog->SetGpsTypeResult(gpsType);
        dialog->SetDeviceState(state);
    }

    // The lines the card received, the time line's changing value left out.
    std::vector<std::string> Lines() {
        std::vector<std::string> lines = card->SentLines();
        for (std::string& line : lines) {
            if (line.rfind("AT^SECTIME=", 0) == 0) line = "AT^SECTIME";
        }
        return lines;
    }
    // What Start sends for AGPS and for GPS with the installed configuration.
    const std::vector<std::string> kAgpsLines = {
        "AT^SECTIME", "AT^SOCKETCONT=1,\"IP\",\"web.example\"\r\n",
        "AT^WPURL=supl.example.com:7275\r\n", "AT^WPDOM=5\r\n", "AT^WPDFR=65536,1\r\n"};
    const std::vector<std::string> kGpsLines = {"AT^WPDOM=0\r\n", "AT^WPDFR=65536,1\r\n"};

    std::wstring Status() { return user->Text(gps::kStatus); }
    // The text of `key` in the language file that is active now.
    std::wstring Lang(const wchar_t* key) { return orbitpane::LoadLanguageText(key); }

    std::unique_ptr<CGPSUIDlg> dialog;
    std::unique_ptr<ui::headless::Driver> user;
};

}  // namespace orbitpane_test
