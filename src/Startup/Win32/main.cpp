// Startup: the program the user runs.
#include <cstdio>
#include <string>

#include "Startup/Win32/startupapp.h"
#include "Startup/Win32/termination_signals.h"
#include "platform/ui/kit.h"

int main(int argc, char** argv) {
    // Before any thread: Ctrl-C, kill and a closed terminal end the program through its
    // windows, so that what they run on the card is stopped first.
    launcher::TerminationSignals signals;
    // The window kit first: wx when there is a display, the terminal without one or when the
    // display does not answer, headless when asked or when there is no terminal either.
    std::string note;
    if (!ui::Initialize(argc, argv, &note)) {
        if (ui::ChooseBackend(argc, argv) == ui::BackendKind::Wx) {
            // Windows wanted, none possible and no terminal: running unseen helps no one.
            std::fprintf(stderr, "Startup: %s\n", note.c_str());
            return 1;
        }
        ui::Initialize(ui::BackendKind::Headless);
    }
    int code = 0;
    {
        CStartupApp app;
        app.SetStartNote(note);
        app.InitInstance();
        code = app.ExitInstance();
    }
    ui::Shutdown();
    return code;
}
