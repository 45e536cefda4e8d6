// Startup: the program the user runs.
#include "Startup/Win32/startupapp.h"
#include "platform/ui/kit.h"

int main(int argc, char** argv) {
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
