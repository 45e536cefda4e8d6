// satview-gallery: shows the GPS dialog with sample texts.
//
//   satview-gallery [--lang en|ja|pt] [--settings] [--program] [--screenshot FILE]
//                   [--headless|--terminal]
//
// --program shows the external program's path field, Run and browse buttons, which the
// product keeps hidden.
//
// Without --screenshot the dialog runs until it is closed; with it, the dialog is shown,
// saved (a PNG file, or the screen's text in a terminal) and closed again. --terminal (or
// SATVIEW_UI=terminal, or no display) shows the dialogs in the terminal.
#include <cstdio>
#include <cstring>
#include <string>

#include "gallery_dialog.h"
#include "platform/text.h"
#include "platform/ui/kit.h"
#include "platform/ui/terminal/terminal.h"
#include "platform/ui/wx_native.h"

namespace {

// The screen's text into `path`; false when it cannot be written.
bool SaveScreenText(const std::string& path) {
    ui::terminal::WaitIdle();
    std::string text = platform::WideToUtf8(ui::terminal::ScreenText());
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    gallery::Language language = gallery::Language::English;
    std::string screenshot;
    bool settings = false;
    bool program = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--lang") == 0 && i + 1 < argc) {
            std::string code = argv[++i];
            if (code == "ja") language = gallery::Language::Japanese;
            if (code == "pt") language = gallery::Language::Portuguese;
        } else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshot = argv[++i];
        } else if (std::strcmp(argv[i], "--settings") == 0) {
            settings = true;
        } else if (std::strcmp(argv[i], "--program") == 0) {
            program = true;
        }
    }
    if (!ui::Initialize(argc, argv)) {
        std::fprintf(stderr, "satview-gallery: no window system to show the dialogs on\n");
        return 1;
    }
    const bool terminal = ui::CurrentBackend() == ui::BackendKind::Terminal;
    if (ui::CurrentBackend() == ui::BackendKind::Headless) {
        std::fprintf(stderr, "satview-gallery: headless, nothing to show\n");
        ui::Shutdown();
        return 0;
    }
    int status = 0;
    {
        gallery::GalleryDialog main(language);
        main.ShowProgramControls(program);
        gallery::SettingsDialog settingsDialog(language);
        ui::Dialog& shown = settings ? static_cast<ui::Dialog&>(settingsDialog) : main;
        if (screenshot.empty()) {
            shown.DoModal();
        } else {
            shown.Create();
            shown.ShowWindow(ui::ShowCommand::Normal);
            bool saved = terminal ? SaveScreenText(screenshot)
                                  : ui::wxkit::SaveScreenshot(shown.Handle(), screenshot);
            if (!saved) {
                std::fprintf(stderr, "satview-gallery: could not save %s\n", screenshot.c_str());
                status = 1;
            }
        }
    }
    ui::Shutdown();
    return status;
}
