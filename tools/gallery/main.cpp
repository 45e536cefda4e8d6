// satview-gallery: shows the GPS dialog with sample texts.
//
//   satview-gallery [--lang en|ja|pt] [--settings] [--program] [--screenshot FILE] [--headless]
//
// --program shows the external program's path field, Run and browse buttons, which the
// product keeps hidden.
//
// Without --screenshot the dialog runs until it is closed; with it, the dialog is shown,
// saved as a PNG file and closed again.
#include <cstdio>
#include <cstring>
#include <string>

#include "gallery_dialog.h"
#include "platform/ui/kit.h"
#include "platform/ui/wx/native.h"

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
    if (ui::CurrentBackend() != ui::BackendKind::Wx) {
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
            if (!ui::wxkit::SaveScreenshot(shown.Handle(), screenshot)) {
                std::fprintf(stderr, "satview-gallery: could not save %s\n", screenshot.c_str());
                status = 1;
            }
        }
    }
    ui::Shutdown();
    return status;
}
