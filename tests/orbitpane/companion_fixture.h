// The GPS dialog with the settings dialog and the companion features: a private autostart
// folder and the dialog's trace lines.
#pragma once

#include <cstdlib>

#include "dialog_fixture.h"
#include "framework/trace/zeltotrace.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/ui/templates/gps.h"

namespace orbitpane_test {

namespace settings = ui::templates::settings;

class CompanionFixture : public DialogFixture {
  protected:
    void SetUp() override {
        DialogFixture::SetUp();
        // Autostart entries go below the test's own folder.
        ::setenv("XDG_CONFIG_HOME", (dir / "xdg").c_str(), 1);
    }

    // Opens the settings dialog with the Setting button, as the user does.
    ui::headless::Driver OpenSettings() {
        dialog->EnableItem(gps::kSetting, true);  // as the polling does for an AGPS card
        EXPECT_TRUE(user->Click(gps::kSetting));
        return ui::headless::Driver(ui::headless::WaitForWindow(ui::templates::kSettingsDialogId));
    }

    // The dialog's trace messages so far.
    std::string TraceLog() {
        CZeltoTrace::destroy();
        return platform::ReadWholeFile(CZeltoTrace::LogFilePath()).value_or("");
    }
    int TraceCount(const std::string& message) {
        std::string log = TraceLog();
        int count = 0;
        for (size_t at = log.find(message); at != std::string::npos;
             at = log.find(message, at + 1)) {
            ++count;
        }
        return count;
    }
    std::string ConfigText() {
        return platform::ReadWholeFile(dir / "config/ConfigFile.xml").value_or("");
    }
};

}  // namespace orbitpane_test
