// orbitpane_terminal_host LANGUAGE [settings|sky]: the GPS dialog on the terminal back end, in
// a program directory of its own with the scripted card behind it (found, AGPS ready,
// answering OK) and the values of a fix in its list; with "settings", the Setting button
// enabled and focused, so that Enter opens the settings dialog; with "sky", a session that is
// started gets the records and views of the sky of a recorded log (four systems), as the
// device manager hands them over, an epoch every 300 ms. The tmux tests run it as a user would.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "framework/devicemgr/nmea_decoder.h"
#include "installed_program.h"
#include "platform/files.h"
#include "platform/ui/controls.h"
#include "platform/ui/kit.h"

using namespace orbitpane_test;

namespace {

// While a session runs, the log's sentences through the decoder to the dialog, epoch by epoch.
void FeedSky(CGPSUIDlg& dialog, const std::atomic<bool>& done) {
    std::string log =
        platform::ReadWholeFile(std::string(NMEA_LOGS) + "/four_systems.nmea").value_or("");
    devicemgr::NmeaLexer lexer;
    std::vector<std::string> sentences;
    lexer.Feed(log, sentences);
    devicemgr::NmeaDecoder decoder;
    size_t next = 0;
    while (!done && !sentences.empty()) {
        bool running = false;
        ui::RunOnWindowThread([&] { running = dialog.HasWindow() && dialog.SessionRunning(); });
        if (!running) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        do {
            const std::string& s = sentences[next];
            next = (next + 1) % sentences.size();
            if (auto fix = decoder.Decode(s)) {
                auto record = devicemgr::MakeRecord(*fix);
                ui::Send(dialog.Handle(), WM_GPS_DATA, reinterpret_cast<ui::WParam>(&record));
            }
            if (auto view = decoder.TakeSky()) {
                auto record = devicemgr::MakeSkyRecord(*view);
                ui::Send(dialog.Handle(), WM_GPS_SKY, reinterpret_cast<ui::WParam>(&record));
            }
        } while (sentences[next].find("RMC") == std::string::npos);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string language = argc > 1 ? argv[1] : "en-us";
    bool settings = argc > 2 && std::string(argv[2]) == "settings";
    bool sky = argc > 2 && std::string(argv[2]) == "sky";
    if (!ui::Initialize(ui::BackendKind::Terminal, argc, argv)) {
        std::fprintf(stderr, "orbitpane_terminal_host: no terminal\n");
        return 1;
    }
    {
        InstalledProgram program;
        program.Install();
        program.WriteConfig("Y", "AGPS", "High speed");
        program.PlugCard();
        std::unique_ptr<CGPSUIDlg> dialog = program.NewDialog("_" + language);
        std::atomic<bool> done{false};
        // The card as the polling finds it, and the values of a fix in the list, as the GUI
        // test shows them.
        std::thread card([&] {
            while (!done && !dialog->HasWindow()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            // The card is ready; told again until the dialog, registered for the card's events
            // once its window is made, has found it.
            bool known = false;
            for (int i = 0; i < 500 && !known && !done; ++i) {
                if (i % 50 == 0) program.card->RaiseBareEvent(kReady);
                ui::RunOnWindowThread(
                    [&] { known = dialog->HasWindow() && InstalledProgram::CardKnown(*dialog); });
                if (!known) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ui::RunOnWindowThread([&] {
                if (!dialog->HasWindow()) return;
                ui::ListView list = dialog->List(gps::kList);
                list.SetItemText(1, 1, L"E 139d 46.0275");
                list.SetItemText(2, 1, L"N 35d 40.8742");
                list.SetItemText(3, 1, L"8");
                list.SetItemText(4, 1, L"2026-12-07 21:30:05");
                if (settings) {
                    dialog->EnableItem(gps::kSetting, true);
                    dialog->SetFocus(gps::kSetting);
                }
            });
            if (sky) FeedSky(*dialog, done);
        });
        dialog->DoModal();
        done = true;
        card.join();
        dialog.reset();
        program.Uninstall();
    }
    ui::Shutdown();
    return 0;
}
