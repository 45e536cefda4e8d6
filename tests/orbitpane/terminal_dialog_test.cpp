// The GPS dialog in a real terminal (tmux), with the scripted card: a user starts GPS from
// the keyboard and reads the list, in English and in Japanese, then leaves with Escape.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "tmux_session.h"

using testing_support::TmuxSession;

TEST(GpsDialogInATerminal, StartsFromTheKeyboardAndShowsTheFixInEachLanguage) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    const struct {
        const char* code;
        const wchar_t* port;
        const wchar_t* stop;
        const wchar_t* waiting;
    } languages[] = {
        {"en-us", L"GPS port", L"Stop", L"Waiting for GPS data..."},
        {"ja", L"GPS \u30dd\u30fc\u30c8", L"\u505c\u6b62",
         L"GPS \u30c7\u30fc\u30bf\u3092\u5f85\u3063\u3066\u3044\u307e\u3059..."},
    };
    for (const auto& language : languages) {
        TmuxSession tmux(std::string(HOST_PATH) + " " + language.code);
        ASSERT_TRUE(tmux.WaitForText(L"E 139d 46.0275")) << platform::WideToUtf8(tmux.Screen());
        std::wstring screen = tmux.Screen();
        EXPECT_NE(screen.find(language.port), std::wstring::npos) << language.code;
        EXPECT_NE(screen.find(L"N 35d 40.8742"), std::wstring::npos) << language.code;

        tmux.Keys("Enter");  // the focused Start button
        EXPECT_TRUE(tmux.WaitForText(language.waiting)) << platform::WideToUtf8(tmux.Screen());
        // The focus moved to Stop: the cursor sits on its label.
        EXPECT_TRUE(tmux.WaitFor([&](const std::wstring& s) {
            std::wstring line;
            int row = std::stoi(tmux.Variable("cursor_y"));
            size_t start = 0;
            for (int i = 0; i < row && start != std::wstring::npos; ++i) {
                start = s.find(L'\n', start);
                if (start != std::wstring::npos) ++start;
            }
            if (start != std::wstring::npos) line = s.substr(start, s.find(L'\n', start) - start);
            return line.find(language.stop) != std::wstring::npos;
        })) << language.code;

        tmux.Keys("Escape");
        EXPECT_TRUE(tmux.WaitFor([&](const std::wstring&) {
            return tmux.Variable("pane_dead") == "1";
        })) << "Escape ends the modal dialog and the program";
        EXPECT_EQ(tmux.Variable("pane_dead_status"), "0") << language.code;
    }
}

TEST(GpsDialogInATerminal, TakesTheSkinsColoursWhereTheTerminalHasThemAndPlainOtherwise) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    const struct {
        const char* term;
        bool colours;
    } terminals[] = {{"xterm-256color", true}, {"vt100", false}};
    for (const auto& terminal : terminals) {
        TmuxSession tmux(std::string("TERM=") + terminal.term + " " + HOST_PATH + " en-us");
        ASSERT_TRUE(tmux.WaitForText(L"E 139d 46.0275")) << terminal.term;
        std::string screen = tmux.Tmux("capture-pane -p -e -t 0");
        // The skin's background #EEF2F6 is the nearest grey of 256 colours, 255.
        EXPECT_EQ(screen.find("48;5;255") != std::string::npos, terminal.colours) << terminal.term;
        EXPECT_NE(screen.find("\033[7m"), std::string::npos)
            << terminal.term << ": the focused button in reverse video";
    }
}
