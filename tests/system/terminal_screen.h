// Reading and driving Satview's terminal dialog in a tmux pane: waits that keep the screen
// they ended on for a person to look at, the focused control, and the latitude row.
#pragma once

#include <chrono>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "platform/text.h"
#include "tmux_session.h"

namespace system_test {

class TerminalScreen {
  public:
    explicit TerminalScreen(std::unique_ptr<testing_support::TmuxSession> tmux)
        : tmux_(std::move(tmux)) {}

    testing_support::TmuxSession& Tmux() { return *tmux_; }
    std::string Text() const { return platform::WideToUtf8(tmux_->Screen()); }

    // Waits up to `seconds` for the screen to pass `test`; keeps the screen under `name`.
    template <typename F>
    bool Wait(const char* name, F test, int seconds = 20) {
        bool passed = false;
        for (int i = 0; i < (seconds + 4) / 5 && !passed; ++i) passed = tmux_->WaitFor(test);
        std::ofstream(std::string(SCREENSHOT_DIR) + "/terminal_" + name + ".txt") << Text();
        return passed;
    }
    bool WaitText(const char* name, const std::wstring& text, int seconds = 20) {
        return Wait(
            name, [&](const std::wstring& s) { return s.find(text) != std::wstring::npos; },
            seconds);
    }

    // Whether the control showing `text` has the focus: it holds the cursor (the angle
    // brackets of "<  Start  >" also mark the default button while no button has the focus).
    bool FocusOn(const std::wstring& text) const {
        size_t row = std::stoul(tmux_->Variable("cursor_y"));
        size_t col = std::stoul(tmux_->Variable("cursor_x"));
        std::wistringstream lines(tmux_->Screen());
        std::wstring line;
        for (size_t i = 0; i <= row && std::getline(lines, line); ++i) {
        }
        // Box-drawing characters take one column each; the rows above the dialog are plain.
        for (size_t at = line.find(text); at != std::wstring::npos; at = line.find(text, at + 1)) {
            if (col >= at && col < at + text.size()) return true;
        }
        return false;
    }
    // Moves the focus to the control showing `text` with Tab; false when it is not reached.
    bool FocusTo(const std::wstring& text) {
        for (int tab = 0; tab < 16 && !FocusOn(text); ++tab) {
            tmux_->Keys("Tab");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return FocusOn(text);
    }
    // Presses the button showing `text`.
    bool Press(const std::wstring& text) {
        if (!FocusTo(text)) return false;
        tmux_->Keys("Enter");
        return true;
    }

    // The latitude row's text ("N 35d 39.123456"), empty when the row is empty.
    static std::wstring Position(const std::wstring& screen) {
        std::wsmatch m;
        static const std::wregex latitude(L"[NS] \\d+d \\d+\\.\\d+");
        return std::regex_search(screen, m, latitude) ? m.str() : std::wstring();
    }
    std::wstring Position() const { return Position(tmux_->Screen()); }
    // Waits for a position, then for another one: the rows follow a moving card.
    bool WaitMoving(const char* name, int seconds = 20) {
        if (!Wait(
                name, [](const std::wstring& s) { return !Position(s).empty(); }, seconds)) {
            return false;
        }
        const std::wstring first = Position();
        return Wait(name, [&](const std::wstring& s) {
            std::wstring now = Position(s);
            return !now.empty() && now != first;
        });
    }
    bool Ended() const { return tmux_->Variable("pane_dead") == "1"; }

  private:
    std::unique_ptr<testing_support::TmuxSession> tmux_;
};

}  // namespace system_test
