// ./run's path in a terminal: Startup with the terminal front end on the simulated card, driven
// through tmux as a user would, with the card's faults set through its control socket.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "mapped_libraries.h"
#include "platform/text.h"
#include "running_system.h"
#include "terminal_screen.h"

using system_test::RunningSystem;
using system_test::TerminalScreen;
using testing_support::TmuxSession;

namespace {

// The process the pane runs Startup in: the pane's own, or its child when a shell stayed.
std::string StartupPid(const std::string& panePid) {
    std::ifstream comm("/proc/" + panePid + "/comm");
    std::string name;
    std::getline(comm, name);
    if (name == "Startup") return panePid;
    std::ifstream children("/proc/" + panePid + "/task/" + panePid + "/children");
    std::string child;
    children >> child;
    return child;
}

class TerminalRun : public testing::Test {
  protected:
    void SetUp() override {
        if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
        ASSERT_TRUE(system_.StartCard({"--ready-after", "0"}));
        screen_ = std::make_unique<TerminalScreen>(std::make_unique<TmuxSession>(
            system_.EnvPrefix() + " TERM=xterm-256color " + system_.Bin() + "/Startup --terminal",
            100, 30));
    }
    template <typename F>
    bool Wait(const char* name, F test, int seconds = 20) {
        return screen_->Wait(name, test, seconds);
    }
    bool WaitText(const char* name, const std::wstring& text, int seconds = 20) {
        return screen_->WaitText(name, text, seconds);
    }
    std::string Screen() const { return screen_->Text(); }
    static std::wstring Position(const std::wstring& screen) {
        return TerminalScreen::Position(screen);
    }

    RunningSystem system_;
    std::unique_ptr<TerminalScreen> screen_;
};

TEST_F(TerminalRun, FindsTheCardShowsMovingPositionsAndFollowsItsFaults) {
    ASSERT_TRUE(WaitText("found", L"(COM")) << Screen() << system_.Log();
    EXPECT_TRUE(WaitText("ready", L"ready")) << Screen();
    const std::string pid = StartupPid(screen_->Tmux().Variable("pane_pid"));
    ASSERT_FALSE(pid.empty());
    EXPECT_EQ(system_test::MappedLibraries(std::stoi(pid), system_test::kToolkitLibraries), "")
        << "the terminal loads no window toolkit";

    screen_->Tmux().Keys("Enter");  // Start has the focus
    ASSERT_TRUE(Wait("positions", [](const std::wstring& s) { return !Position(s).empty(); }))
        << Screen();
    const std::wstring first = Position(screen_->Tmux().Screen());
    EXPECT_TRUE(Wait("moving", [&](const std::wstring& s) {
        std::wstring now = Position(s);
        return !now.empty() && now != first;
    })) << "the route moves";

    // Stop (the focus went to it) empties the rows; Start (the focus is back) fills them again.
    screen_->Tmux().Keys("Enter");
    EXPECT_TRUE(Wait("stopped", [](const std::wstring& s) {
        return s.find(L"GPS stopped.") != std::wstring::npos && Position(s).empty();
    })) << Screen();
    screen_->Tmux().Keys("Enter");
    ASSERT_TRUE(Wait("restarted", [](const std::wstring& s) { return !Position(s).empty(); }))
        << Screen();

    // The card goes silent: the no-data line counts, then the watchdog gives the card up.
    system_.Card("silent-after 1");
    EXPECT_TRUE(WaitText("no_data", L"No data for")) << Screen();
    EXPECT_TRUE(WaitText("unavailable", L"not available", 60)) << Screen();
    system_.Card("silent-after 0");

    // Unplugged and plugged again, with new port numbers.
    system_.Card("unplug");
    EXPECT_TRUE(WaitText("removed", L"removed")) << Screen();
    system_.Card("plug");
    EXPECT_TRUE(WaitText("plugged", L"(COM")) << Screen();

    // The language selector, reached with Tab, switches the dialog to Japanese.
    ASSERT_TRUE(screen_->FocusTo(L"English")) << Screen();
    screen_->Tmux().Keys("Enter");
    ASSERT_TRUE(WaitText("languages", L"\u65e5\u672c\u8a9e")) << Screen();
    screen_->Tmux().Keys("Down Enter");
    EXPECT_TRUE(WaitText("japanese", L"\u7d4c\u5ea6")) << Screen();  // "longitude"

    // A second start brings the first forward and ends at once; the first goes on.
    EXPECT_EQ(system_test::Shell(system_.EnvPrefix() + " " + system_.Bin() +
                                 "/Startup --headless >/dev/null 2>&1"),
              0);
    EXPECT_EQ(screen_->Tmux().Variable("pane_dead"), "0");

    screen_->Tmux().Keys("Escape");
    EXPECT_TRUE(system_test::WaitUntil([&] { return screen_->Ended(); })) << Screen();
}

// The map link with no browser to open it (an xdg-open that fails loudly): the status line
// says so, a box gives the link, and the handler's words go to the log, not over the dialog.
// Around it, the status line follows the session, and a language change after Stop leaves the
// rows empty and translates the map sites.
TEST(TerminalRunMap, AMapThatCannotOpenIsToldInTheStatusLineNotOverTheDialog) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    RunningSystem system;
    std::filesystem::create_directories(system.Dir() + "/nobrowser");
    const std::string opener = system.Dir() + "/nobrowser/xdg-open";
    std::ofstream(opener)
        << "#!/bin/sh\necho 'XDG-SAYS-HELLO'\n"
           "echo \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n";
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    system.SetEnv("PATH", system.Dir() + "/nobrowser:" + (path ? path : "/usr/bin:/bin"));
    ASSERT_TRUE(system.StartCard({"--ready-after", "0"}));
    TerminalScreen screen(std::make_unique<TmuxSession>(
        system.EnvPrefix() + " TERM=xterm-256color " + system.Bin() + "/Startup --terminal", 100,
        30));
    auto without = [](const std::wstring& s, const wchar_t* text) {
        return s.find(text) == std::wstring::npos;
    };
    ASSERT_TRUE(screen.WaitText("map_ready", L"ready")) << screen.Text() << system.Log();

    // No position yet: Open opens nothing and says why.
    ASSERT_TRUE(screen.Press(L"Open")) << screen.Text();
    EXPECT_TRUE(screen.WaitText("map_no_position", L"No position yet")) << screen.Text();

    // A session: waiting until the first position, then started.
    ASSERT_TRUE(screen.Press(L"Start")) << screen.Text();
    ASSERT_TRUE(screen.Wait("map_positions", [&](const std::wstring& s) {
        return !TerminalScreen::Position(s).empty() &&
               s.find(L"GPS started.") != std::wstring::npos;
    })) << screen.Text();
    EXPECT_TRUE(without(screen.Tmux().Screen(), L"Waiting for GPS data"));

    // Open with a position: the handler fails; the dialog says so, the log holds its words.
    ASSERT_TRUE(screen.Press(L"Open")) << screen.Text();
    EXPECT_TRUE(screen.WaitText("map_failed", L"The map could not be opened")) << screen.Text();
    EXPECT_TRUE(system_test::WaitUntil([&] {
        return system.Log().find("no method available") != std::string::npos;
    })) << system.Log();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::wstring after = screen.Tmux().Screen();
    EXPECT_TRUE(without(after, L"no method available")) << screen.Text();
    EXPECT_TRUE(without(after, L"XDG-SAYS-HELLO")) << screen.Text();
    EXPECT_TRUE(system.Log().find("XDG-SAYS-HELLO") != std::string::npos);
    // The link is given in a box to open by hand; once closed, positions keep coming and the
    // status line goes back to the session's.
    EXPECT_TRUE(screen.WaitText("map_link_box", L"Open this link yourself")) << screen.Text();
    EXPECT_NE(screen.Tmux().Screen().find(L"https://www.google.com/maps/search/?api=1&query="),
              std::wstring::npos)
        << screen.Text();
    screen.Tmux().Keys("Enter");
    EXPECT_TRUE(screen.Wait("map_status_back", [&](const std::wstring& s) {
        return without(s, L"Open this link yourself") && !without(s, L"GPS started.");
    })) << screen.Text();

    // Stop empties the rows; Japanese then keeps them empty and translates the map sites.
    ASSERT_TRUE(screen.Press(L"Stop")) << screen.Text();
    ASSERT_TRUE(screen.Wait("map_stopped", [](const std::wstring& s) {
        return s.find(L"GPS stopped.") != std::wstring::npos && TerminalScreen::Position(s).empty();
    })) << screen.Text();
    ASSERT_TRUE(screen.FocusTo(L"English")) << screen.Text();
    screen.Tmux().Keys("Enter");
    ASSERT_TRUE(screen.WaitText("map_languages", L"\u65e5\u672c\u8a9e")) << screen.Text();
    screen.Tmux().Keys("Down Enter");
    ASSERT_TRUE(screen.WaitText("map_japanese", L"\u7d4c\u5ea6")) << screen.Text();
    EXPECT_TRUE(screen.WaitText("map_sites_japanese", L"Google \u30de\u30c3\u30d7"))
        << screen.Text();
    EXPECT_EQ(TerminalScreen::Position(screen.Tmux().Screen()), L"") << screen.Text();
    // The window menu, the kit's own entry included, in Japanese too.
    screen.Tmux().Keys("F10");
    EXPECT_TRUE(screen.WaitText("map_menu_japanese", L"\u9589\u3058\u308b")) << screen.Text();
    EXPECT_TRUE(without(screen.Tmux().Screen(), L"Close")) << screen.Text();
    screen.Tmux().Keys("Escape");

    screen.Tmux().Keys("Escape");
    EXPECT_TRUE(system_test::WaitUntil([&] { return screen.Ended(); })) << screen.Text();
}

// However the program is ended during a session, positioning is stopped on the card before
// it goes: Escape, Ctrl-C in its terminal and a kill.
TEST(TerminalRunEnd, EndingTheProgramDuringASessionStopsPositioningFirst) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    RunningSystem system;
    ASSERT_TRUE(system.StartCard({"--ready-after", "0"}));
    auto positioning = [&] {
        return system.Card("status").find("positioning=1") != std::string::npos;
    };
    for (const char* way : {"Escape", "C-c", "SIGTERM"}) {
        SCOPED_TRACE(way);
        TmuxSession tmux(
            system.EnvPrefix() + " TERM=xterm-256color " + system.Bin() + "/Startup --terminal",
            100, 30);
        ASSERT_TRUE(system_test::WaitUntil([&] {
            const std::wstring screen = tmux.Screen();
            return screen.find(L"(COM") != std::wstring::npos &&
                   screen.find(L"ready") != std::wstring::npos;
        })) << platform::WideToUtf8(tmux.Screen());
        tmux.Keys("Enter");
        ASSERT_TRUE(system_test::WaitUntil(positioning)) << platform::WideToUtf8(tmux.Screen());

        if (std::string(way) == "SIGTERM") {
            const std::string pid = StartupPid(tmux.Variable("pane_pid"));
            ASSERT_FALSE(pid.empty());
            ASSERT_EQ(system_test::Shell("kill -TERM " + pid), 0);
        } else {
            tmux.Keys(way);
        }
        EXPECT_TRUE(system_test::WaitUntil([&] { return tmux.Variable("pane_dead") == "1"; }))
            << platform::WideToUtf8(tmux.Screen());
        EXPECT_FALSE(positioning()) << system.Card("status");
    }
}

// A private system bus with python3-dbusmock's logind, for the sleep announcements.
class MockSystemBus {
  public:
    explicit MockSystemBus(RunningSystem& system) : socket_(system.Dir() + "/system_bus") {
        const std::string conf = system.Dir() + "/bus.conf";
        // Everyone may own names and send anywhere: the test's bus, not a system's.
        std::ofstream(conf) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                               "Configuration 1.0//EN\" \"http://www.freedesktop.org/standards/"
                               "dbus/1.0/busconfig.dtd\"><busconfig><type>session</type><listen>"
                               "unix:path="
                            << socket_
                            << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow "
                               "send_destination=\"*\" eavesdrop=\"true\"/><allow "
                               "eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
        daemon_ = std::make_unique<system_test::Child>(
            std::vector<std::string>{"/usr/bin/dbus-daemon", "--config-file=" + conf, "--nofork",
                                     "--nosyslog"},
            system.Env(), system.Dir() + "/bus.out");
        system_test::WaitUntil([&] { return platform::FileExists(socket_); });
        system.SetEnv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + socket_);
        logind_ = std::make_unique<system_test::Child>(
            std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--system", "--template",
                                     "logind"},
            system.Env(), system.Dir() + "/logind.out");
        up_ = system_test::WaitUntil([&] {
            return Busctl(
                       "call org.freedesktop.login1 /org/freedesktop/login1 "
                       "org.freedesktop.DBus.Peer Ping") == 0;
        });
    }
    bool Up() const { return up_; }
    bool PrepareForSleep(bool sleeping) const {
        return Busctl(
                   "call org.freedesktop.login1 /org/freedesktop/login1 "
                   "org.freedesktop.DBus.Mock EmitSignal sssav org.freedesktop.login1.Manager "
                   "PrepareForSleep b 1 b " +
                   std::string(sleeping ? "true" : "false")) == 0;
    }

  private:
    int Busctl(const std::string& arguments) const {
        return system_test::Shell("busctl --address=unix:path=" + socket_ + " " + arguments +
                                  " >/dev/null 2>&1");
    }
    std::string socket_;
    std::unique_ptr<system_test::Child> daemon_, logind_;
    bool up_ = false;
};

// The computer about to sleep during a session: positioning stops before it goes, and waking
// up starts nothing.
TEST(TerminalRunAsleep, ASuspensionStopsPositioningAndWakingStartsNothing) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    RunningSystem system;
    MockSystemBus bus(system);
    ASSERT_TRUE(bus.Up()) << "python3-dbusmock's logind did not come up";
    ASSERT_TRUE(system.StartCard({"--ready-after", "0"}));
    TmuxSession tmux(
        system.EnvPrefix() + " TERM=xterm-256color " + system.Bin() + "/Startup --terminal", 100,
        30);
    auto positioning = [&] {
        return system.Card("status").find("positioning=1") != std::string::npos;
    };
    ASSERT_TRUE(tmux.WaitForText(L"(COM")) << platform::WideToUtf8(tmux.Screen());
    ASSERT_TRUE(tmux.WaitForText(L"ready"));
    tmux.Keys("Enter");
    ASSERT_TRUE(system_test::WaitUntil(positioning)) << platform::WideToUtf8(tmux.Screen());

    ASSERT_TRUE(bus.PrepareForSleep(true));
    EXPECT_TRUE(system_test::WaitUntil([&] { return !positioning(); }))
        << platform::WideToUtf8(tmux.Screen());
    ASSERT_TRUE(bus.PrepareForSleep(false));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_FALSE(positioning()) << "waking up starts nothing";
    tmux.Keys("Escape");
}

// An X display on a local TCP port that accepts connections and never answers.
class SilentDisplay {
  public:
    SilentDisplay() {
        for (int number = 150; number < 250 && name_.empty(); ++number) {
            socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(6000 + number));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                ::listen(socket_, 8) == 0) {
                name_ = "127.0.0.1:" + std::to_string(number);
            } else {
                ::close(socket_);
            }
        }
    }
    ~SilentDisplay() {
        if (!name_.empty()) ::close(socket_);
    }
    const std::string& Name() const { return name_; }

  private:
    int socket_ = -1;
    std::string name_;
};

// A local display number no X server serves.
std::string AbsentDisplay() {
    for (int number = 150; number < 250; ++number) {
        std::string n = std::to_string(number);
        if (!std::filesystem::exists("/tmp/.X11-unix/X" + n) &&
            !std::filesystem::exists("/tmp/.X" + n + "-lock")) {
            return ":" + n;
        }
    }
    return "";
}

// Windows wanted (DISPLAY set) on a display that is not there or never answers: at a
// terminal the program says why in one line (and in its trace) and runs in the terminal;
// without one it ends at once, non-zero, saying why.
TEST(TerminalRunUnansweredDisplay, FallsBackToTheTerminalSayingWhyOrEndsWithAMessage) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    RunningSystem system;
    ASSERT_TRUE(system.StartCard({"--ready-after", "0"}));
    SilentDisplay silent;
    ASSERT_FALSE(silent.Name().empty());
    const std::string absent = AbsentDisplay();
    ASSERT_FALSE(absent.empty());
    const std::string said = system.Dir() + "/said";
    auto windowsOn = [&](const std::string& display) {
        return "env -u WAYLAND_DISPLAY -u SATVIEW_UI DISPLAY=" + display + " " +
               system.EnvPrefix() + " TERM=xterm-256color " + system.Bin() + "/Startup";
    };
    for (const std::string& display : {absent, silent.Name()}) {
        SCOPED_TRACE(display);
        TmuxSession tmux(windowsOn(display) + " 2>" + said, 100, 30);
        // The GPS dialog, drawn in the terminal.
        ASSERT_TRUE(tmux.WaitForText(L"English")) << platform::WideToUtf8(tmux.Screen());
        const std::string line = platform::ReadWholeFile(said).value_or("");
        EXPECT_NE(line.find("\"" + display + "\""), std::string::npos) << line;
        EXPECT_NE(line.find("using the terminal"), std::string::npos) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
        tmux.Keys("Escape");
        EXPECT_TRUE(system_test::WaitUntil([&] { return tmux.Variable("pane_dead") == "1"; }));
    }
    EXPECT_NE(system.Log().find("using the terminal"), std::string::npos) << system.Log();

    // No terminal: nothing to fall back to.
    const std::string out = system.Dir() + "/piped";
    EXPECT_EQ(system_test::Shell(windowsOn(silent.Name()) + " </dev/null >" + out + " 2>&1"), 1);
    const std::string message = platform::ReadWholeFile(out).value_or("");
    EXPECT_NE(message.find("\"" + silent.Name() + "\" does not answer"), std::string::npos)
        << message;
}

}  // namespace
