// Startup: the program the user runs.
#include <cstdio>

#include "Startup/Win32/command_line.h"
#include "Startup/Win32/startupapp.h"
#include "Startup/Win32/termination_signals.h"
#include "platform/ui/kit.h"

int main(int argc, char** argv) {
    // --help, --version and unknown words are answered before anything starts.
    launcher::CommandLineAnswer answer = launcher::ReadCommandLine(argc, argv, SATVIEW_VERSION);
    if (!answer.run) {
        std::fputs(answer.text.c_str(), answer.exitCode == 0 ? stdout : stderr);
        return answer.exitCode;
    }
    // Before any thread: Ctrl-C, kill and a closed terminal end the program through its
    // windows, so that what they run on the card is stopped first.
    launcher::TerminationSignals signals;
    // The window kit first: wx when there is a display, headless otherwise (or when asked).
    if (!ui::Initialize(argc, argv)) ui::Initialize(ui::BackendKind::Headless);
    int code = 0;
    std::string note;
    {
        CStartupApp app;
        app.InitInstance();
        code = app.ExitInstance();
        note = app.ExitNote();
    }
    ui::Shutdown();
    // Said once the front end is gone: the terminal one would clear it from the screen.
    if (!note.empty()) std::puts(note.c_str());
    return code;
}
