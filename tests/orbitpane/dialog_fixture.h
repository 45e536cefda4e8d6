// The GPS dialog on the headless window kit, in a program directory of its own laid out from
// the install tree, with the scripted device manager as the card behind a real container.
#pragma once

#include "headless_ui.h"
#include "installed_program.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/headless/driver.h"
#include "platform/ui/kit.h"

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

    // What `read` gives, read on the window thread that owns what it reads.
    template <typename F>
    static auto OnWindow(F read) {
        decltype(read()) result{};
        ui::RunOnWindowThread([&] { result = read(); });
        return result;
    }
    // The card found as a user's is: its ports in the port list, its event (ready, or only
    // arrived), the dialog's search of its GPS port and its answer to the type query (AGPS,
    // or GPS only). Returns once the dialog knows them; the card then forgets what it was
    // sent.
    void CardFound(bool agps = true, bool ready = true) {
        PlugCard(agps);
        Raise({ready ? kReady : kArrived});
        ASSERT_TRUE(Eventually([&] { return OnWindow([&] { return CardKnown(*dialog); }); }))
            << "the card's port and type were not found";
        card->Reset();
        card->SetFallbackAnswer(kOk);
    }

    // Raises device events one after the other and waits until the dialog has handled them.
    void Raise(std::initializer_list<uint32_t> codes) {
        for (uint32_t code : codes) card->RaiseBareEvent(code);
        Settle();
    }
    void RaiseSim(uint32_t value) {
        card->RaiseSimStatus(value);
        Settle();
    }
    void Settle() {
        ASSERT_TRUE(card->WaitIdle(5000));
        ASSERT_TRUE(ui::headless::WaitIdle());
    }

    session::CardState CardState() {
        return OnWindow([&] { return dialog->Card().State(); });
    }
    bool Running() {
        return OnWindow([&] { return dialog->SessionRunning(); });
    }
    // The status line's key and the device-status message, as the window thread has them.
    std::wstring StatusKey() {
        return OnWindow([&] { return dialog->StatusTextId(); });
    }
    std::wstring DeviceStatus() {
        return OnWindow([&] { return dialog->DeviceStatusText(); });
    }
    bool ThreadHeld() {
        return OnWindow([&] { return dialog->GpsThreadHeld(); });
    }
    bool CanStart() {
        return OnWindow([&] { return dialog->Card().View().canStart; });
    }

    // Waits for what the polling threads do in their own time; false when it never happens.
    static bool Eventually(const std::function<bool()>& done, int timeoutMs = 5000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
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
    std::wstring Lang(const wchar_t* key) { return plugin->Context().Text(key); }

    std::unique_ptr<CGPSUIDlg> dialog;
    std::unique_ptr<ui::headless::Driver> user;
};

}  // namespace orbitpane_test
