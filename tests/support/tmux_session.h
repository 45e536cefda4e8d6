// A program running in a tmux pane of its own server, driven as a user would: keys sent
// with send-keys, the screen read back with capture-pane, the pane resized. The server goes
// with the object. Tests skip themselves when tmux is not installed (Available()).
#pragma once

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/text.h"

namespace testing_support {

class TmuxSession {
  public:
    static bool Available() { return std::system("tmux -V >/dev/null 2>&1") == 0; }

    // Starts `command` (run by sh) in a pane of `cols` x `rows` in a UTF-8 locale.
    TmuxSession(const std::string& command, int cols = 80, int rows = 24) {
        static std::atomic<int> count{0};
        socket_ = "satview-test-" + std::to_string(::getpid()) + "-" + std::to_string(count++);
        Tmux("-f /dev/null new-session -d -x " + std::to_string(cols) + " -y " +
             std::to_string(rows) + " " + Quote(command));
        Tmux("set-option -g remain-on-exit on");
    }
    ~TmuxSession() { Tmux("kill-server"); }
    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;

    // Runs a tmux command on this server; its output.
    std::string Tmux(const std::string& arguments) const {
        std::string line = "LC_ALL=C.UTF-8 tmux -u -L " + socket_ + " " + arguments + " 2>&1";
        std::string output;
        if (FILE* pipe = ::popen(line.c_str(), "r")) {
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
            ::pclose(pipe);
        }
        return output;
    }
    // Keys by tmux's names ("Tab", "BTab", "Enter", "Escape", "Down", "C-c") or literal text.
    void Keys(const std::string& keys) const { Tmux("send-keys -t 0 " + keys); }
    void Resize(int cols, int rows) const {
        Tmux("resize-window -x " + std::to_string(cols) + " -y " + std::to_string(rows));
    }
    std::wstring Screen() const { return platform::Utf8ToWide(Tmux("capture-pane -p -t 0")); }
    // A pane variable ("cursor_x", "alternate_on", "pane_dead").
    std::string Variable(const std::string& name) const {
        std::string value = Tmux("display-message -p -t 0 '#{" + name + "}'");
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
        return value;
    }
    // Waits until the screen passes `test` (true) or five seconds go by (false).
    template <typename F>
    bool WaitFor(F test) const {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            if (test(Screen())) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    }
    bool WaitForText(const std::wstring& text) const {
        return WaitFor([&](const std::wstring& s) { return s.find(text) != std::wstring::npos; });
    }
    bool WaitWhileText(const std::wstring& text) const {
        return WaitFor([&](const std::wstring& s) { return s.find(text) == std::wstring::npos; });
    }

    static std::string Quote(const std::string& text) {
        std::string quoted = "'";
        for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    }

  private:
    std::string socket_;
};

}  // namespace testing_support
