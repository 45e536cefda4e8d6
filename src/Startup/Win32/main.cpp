// Startup: the program the user runs.
#include "Startup/Win32/startupapp.h"
#include "Startup/Win32/termination_signals.h"
#include "platform/ui/kit.h"

int main(int argc, char** argv) {
    // Before any thread: Ctrl-C, kill and a closed terminal end the program through its
    // windows, so that what they run on the card is stopped first.
    launcher::TerminationSignals signals;
    // The window kit first: wx when there is a display, headless otherwise (or when asked).
    if (!ui::Initialize(argc, argv)) ui::Initialize(ui::BackendKind::Headless);
    int code = 0;
    {
        CStartupApp app;
        app.InitInstance();
        code = app.ExitInstance();
    }
    ui::Shutdown();
    return code;
}
