// The whole program as a user runs it, on the simulated card, in the terminal front end (tmux):
// how long Startup takes until the GPS dialog is on the screen, the CPU it uses while idle with
// the card present (with no session, with a session at one fix a second, and with the
// satellites view open on it) and its resident memory in the terminal. The same session in the
// window front end, under the display of DISPLAY (xvfb-run), driven with xdotool.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/files.h"
#include "running_system.h"
#include "tmux_session.h"

namespace {

using Clock = std::chrono::steady_clock;
using system_test::RunningSystem;
using testing_support::TmuxSession;

// The pane's process: Startup, started by the pane's shell with exec.
pid_t PanePid(const TmuxSession& tmux) {
    return std::stoi(tmux.Variable("pane_pid"));
}

// User and system time of a process, in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoul(field);
        if (i == 15) stime = std::stoul(field);
    }
    return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

// A memory figure of /proc/<pid>/status in kB: "VmRSS" (resident), "RssAnon" (heaps and
// stacks), "RssFile" (the program's and the libraries' pages); or of another file of the
// process ("Pss" of "smaps_rollup": resident, pages shared with other processes in shares).
double StatusKb(pid_t pid, const std::string& field, const std::string& file = "status") {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1));
    }
    return 0;
}

std::string Command(const RunningSystem& system) {
    return "exec " + system.EnvPrefix() + " TERM=xterm-256color " + system.Bin() +
           "/Startup --terminal";
}

void BM_StartupUntilDialogShown(benchmark::State& state) {
    RunningSystem system;
    if (!system.StartCard({"--ready-after", "0"})) state.SkipWithError("no simulated card");
    for (auto _ : state) {
        auto start = Clock::now();
        TmuxSession tmux(Command(system), 100, 30);
        // The screen read back as often as tmux answers: the tests' 30 ms pause between
        // looks would be a third of what is measured.
        bool shown = false;
        for (auto until = start + std::chrono::seconds(5); !shown && Clock::now() < until;) {
            shown = tmux.Screen().find(L"(COM") != std::wstring::npos;
        }
        if (!shown) state.SkipWithError("no dialog");
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        tmux.Keys("Escape");
        tmux.WaitFor([&](const std::wstring&) { return tmux.Variable("pane_dead") == "1"; });
    }
}
BENCHMARK(BM_StartupUntilDialogShown)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// CPU and memory of `pid` over ten seconds, as counters: CPU as a share of one core.
void MeasureIdle(benchmark::State& state, pid_t pid) {
    for (auto _ : state) {
        double before = CpuSeconds(pid);
        auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        double wall = std::chrono::duration<double>(Clock::now() - start).count();
        state.counters["cpu_percent_of_a_core"] = 100.0 * (CpuSeconds(pid) - before) / wall;
        state.counters["rss_MiB"] = StatusKb(pid, "VmRSS") / 1024.0;
        state.counters["rss_anon_MiB"] = StatusKb(pid, "RssAnon") / 1024.0;
        state.counters["rss_file_MiB"] = StatusKb(pid, "RssFile") / 1024.0;
        state.counters["pss_MiB"] = StatusKb(pid, "Pss", "smaps_rollup") / 1024.0;
    }
}

enum class Run { kNoSession, kSession, kSessionAndSatellites };

// The terminal front end; a session is started with Enter (Start has the focus), the
// satellites view opened with its key.
void IdleCpu(benchmark::State& state, Run run) {
    RunningSystem system;
    if (!system.StartCard({"--ready-after", "0"})) state.SkipWithError("no simulated card");
    TmuxSession tmux(Command(system), 100, 30);
    if (!tmux.WaitForText(L"(COM")) state.SkipWithError("no dialog");
    if (run != Run::kNoSession) {
        tmux.Keys("Enter");
        if (!tmux.WaitForText(L"N ")) state.SkipWithError("no position");
    }
    if (run == Run::kSessionAndSatellites) {
        tmux.Keys("s");
        if (!tmux.WaitForText(L"Satview satellites")) state.SkipWithError("no satellites view");
    }
    MeasureIdle(state, PanePid(tmux));
}
void BM_IdleCpuNoSession(benchmark::State& state) {
    IdleCpu(state, Run::kNoSession);
}
void BM_IdleCpuSessionAt1Hz(benchmark::State& state) {
    IdleCpu(state, Run::kSession);
}
void BM_IdleCpuSessionAt1HzWithSatellitesView(benchmark::State& state) {
    IdleCpu(state, Run::kSessionAndSatellites);
}
BENCHMARK(BM_IdleCpuNoSession)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_IdleCpuSessionAt1Hz)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_IdleCpuSessionAt1HzWithSatellitesView)->Iterations(1)->Unit(benchmark::kSecond);

// The window front end on DISPLAY, read back through its screen-text dump. xdotool gives the
// dialog the focus and presses Enter (Start is its default button); the satellites view is
// chosen from the dialog's context menu (a right click on the panel), its last item.
void WindowCpu(benchmark::State& state, Run run) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0' || system_test::Shell("command -v xdotool") != 0) {
        state.SkipWithError("needs a display and xdotool: run under xvfb-run");
        return;
    }
    RunningSystem system;
    if (!system.StartCard({"--ready-after", "0"})) state.SkipWithError("no simulated card");
    auto env = system.Env();
    env["DISPLAY"] = display;
    env["SATVIEW_SCREEN_TEXT"] = system.Dir() + "/screen.txt";
    system_test::Child satview({system.Bin() + "/Startup"}, env, system.Dir() + "/startup.out");
    auto shows = [&](const std::string& text) {
        return system_test::WaitUntil([&] {
            auto screen = platform::ReadWholeFile(system.Dir() + "/screen.txt");
            return screen && screen->find(text) != std::string::npos;
        });
    };
    const std::string dialog = "xdotool search --name '^Satview GPS$' | head -1";
    if (!shows("are ready.")) state.SkipWithError("no dialog");
    if (run != Run::kNoSession) {
        system_test::Shell("xdotool windowfocus --sync $(" + dialog + ") key Return");
        if (!shows("| Latitude | N ")) state.SkipWithError("no position");
    }
    if (run == Run::kSessionAndSatellites) {
        // The panel's bottom right corner, below the buttons.
        system_test::Shell("W=$(" + dialog +
                           "); eval $(xdotool getwindowgeometry --shell $W); xdotool mousemove "
                           "--window $W $((WIDTH - 8)) $((HEIGHT - 4)) click 3 sleep 0.5 key Up "
                           "Return");
        if (!shows("window: Satview satellites")) state.SkipWithError("no satellites view");
    }
    MeasureIdle(state, satview.Pid());
}
BENCHMARK_CAPTURE(WindowCpu, session_at_1Hz, Run::kSession)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(WindowCpu, session_at_1Hz_with_satellites_view, Run::kSessionAndSatellites)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
