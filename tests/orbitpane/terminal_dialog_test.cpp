// The GPS dialog in a real terminal (tmux), with the scripted card: a user starts GPS from
// the keyboard and reads the list, in English and in Japanese, then leaves with Escape.
#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "language_texts.h"
#include "platform/text.h"
#include "tmux_session.h"

using testing_support::TmuxSession;

using orbitpane_test::LanguageTexts;

namespace {

std::vector<std::wstring> Lines(const std::wstring& screen) {
    std::vector<std::wstring> lines;
    std::wistringstream in(screen);
    for (std::wstring line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

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
        TmuxSession tmux(std::string(HOST_PATH) + " " + language.code +
                         "; echo exited with $?; sleep 30");
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
        EXPECT_TRUE(tmux.WaitForText(L"exited with 0"))
            << language.code << ": Escape ends the modal dialog and the program\n"
            << platform::WideToUtf8(tmux.Screen());
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

TEST(GpsDialogInATerminal, EveryLabelShowsWholeInEachLanguageWhereTheTerminalIsWideEnough) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    // What each dialog shows, by key; the list's row names are all the IDS_LST_ITEM_ keys.
    const std::vector<std::string> gpsKeys = {
        "IDS_TITLE_GPSAPP", "IDS_LST_ITEM",          "IDS_LST_CONTEXT",
        "IDS_BTN_START",    "IDS_BTN_STOP",          "IDS_BTN_SET",
        "IDS_BTN_OPEN",     "IDS_STATIC_CURGPSType", "IDS_STATIC_CHECK_AUTORUN",
        "IDS_GOOGLE"};
    const std::vector<std::string> settingsKeys = {
        "IDS_TITLE_SETTING",   "ID_GPS_TYPE",    "IDS_RADIO_TYPEGPS",     "IDS_RADIO_TYPEAGPS",
        "IDS_STATIC_AGPSCFG",  "IDS_STATIC_APN", "IDS_STATIC_SUPLserver", "IDS_STATIC_SCENARIOPRO",
        "IDS_RADIO_HighSpeed", "IDS_RADIO_PED",  "IDS_STATIC_CHECKUSE",   "IDS_SAVE",
        "IDS_CANCEL"};
    for (const char* language : {"en-us", "ja", "pt-br"}) {
        std::map<std::string, std::wstring> texts = LanguageTexts(language);
        ASSERT_FALSE(texts.empty()) << language;
        std::vector<std::string> gps = gpsKeys;
        for (const auto& [key, text] : texts) {
            if (key.starts_with("IDS_LST_ITEM_")) gps.push_back(key);
        }
        for (int cols : {80, 120}) {
            std::string name = std::string(language) + " at " + std::to_string(cols) + " columns";
            TmuxSession tmux(std::string(HOST_PATH) + " " + language +
                                 " settings; echo exited with $?; sleep 30",
                             cols, 24);
            ASSERT_TRUE(tmux.WaitForText(L"E 139d 46.0275")) << name;
            std::wstring screen = tmux.Screen();
            for (const std::string& key : gps) {
                EXPECT_NE(screen.find(texts[key]), std::wstring::npos)
                    << name << ": " << key << "\n"
                    << platform::WideToUtf8(screen);
            }
            EXPECT_EQ(screen.find(L"\u2026"), std::wstring::npos) << name << ": nothing cut";

            tmux.Keys("Enter");  // the focused Setting button
            ASSERT_TRUE(tmux.WaitForText(texts["IDS_RADIO_TYPEAGPS"]))
                << name << "\n"
                << platform::WideToUtf8(tmux.Screen());
            screen = tmux.Screen();
            for (const std::string& key : settingsKeys) {
                EXPECT_NE(screen.find(texts[key]), std::wstring::npos)
                    << name << ": " << key << "\n"
                    << platform::WideToUtf8(screen);
            }
            EXPECT_EQ(screen.find(L"\u2026"), std::wstring::npos) << name << ": nothing cut";
        }
    }
}

TEST(GpsDialogInATerminal, ANarrowTerminalCutsTextsWithAMarkAndTheDialogStillWorks) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    std::map<std::string, std::wstring> texts = LanguageTexts("pt-br");
    // 76 columns: narrower than the dialog wants, wider than its base layout; then 60,
    // narrower than that too.
    TmuxSession tmux(std::string(HOST_PATH) + " pt-br; echo exited with $?; sleep 30", 76, 24);
    ASSERT_TRUE(tmux.WaitForText(L"E 139d 46.0275")) << platform::WideToUtf8(tmux.Screen());
    std::wstring screen = tmux.Screen();
    EXPECT_NE(screen.find(L"\u2026"), std::wstring::npos) << platform::WideToUtf8(screen);
    bool spans = false;
    for (const std::wstring& line : Lines(screen)) {
        if (line.starts_with(L"\u250c") && line.ends_with(L"\u2510")) spans = line.size() == 76;
    }
    EXPECT_TRUE(spans) << "the dialog takes the whole width first\n"
                       << platform::WideToUtf8(screen);
    EXPECT_NE(screen.find(texts["IDS_LST_ITEM_TIME"]), std::wstring::npos)
        << "the list's names still whole";

    tmux.Resize(60, 24);
    ASSERT_TRUE(tmux.WaitFor([](const std::wstring& s) {
        for (const std::wstring& line : Lines(s)) {
            if (line.size() > 60) return false;
        }
        return s.find(L">") != std::wstring::npos;
    })) << "a mark where the window goes on\n"
        << platform::WideToUtf8(tmux.Screen());
    tmux.Resize(120, 24);
    ASSERT_TRUE(tmux.WaitForText(texts["IDS_BTN_SET"])) << platform::WideToUtf8(tmux.Screen());
    EXPECT_EQ(tmux.Screen().find(L"\u2026"), std::wstring::npos)
        << "wide again, nothing cut\n"
        << platform::WideToUtf8(tmux.Screen());
    tmux.Keys("Escape");
    EXPECT_TRUE(tmux.WaitForText(L"exited with 0")) << platform::WideToUtf8(tmux.Screen());
}

namespace {

// The columns `line` takes on the screen: double-width characters count two.
int Columns(const std::wstring& line) {
    static const bool utf8 = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
    int cols = 0;
    for (wchar_t c : line) cols += (utf8 && ::wcwidth(c) == 2) ? 2 : 1;
    return cols;
}

}  // namespace

// The settings dialog and the window menu over the Japanese dialog cut its double-width
// characters where their edges fall: a cut character becomes a blank, no row shifts, and the
// dialog beneath is whole again once they close.
TEST(GpsDialogInATerminal, WindowsOverJapaneseTextCutItCleanly) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    TmuxSession tmux(std::string(HOST_PATH) + " ja settings; echo exited with $?; sleep 30", 80,
                     24);
    ASSERT_TRUE(tmux.WaitForText(L"E 139d 46.0275")) << platform::WideToUtf8(tmux.Screen());
    const std::wstring before = tmux.Screen();
    std::map<std::string, std::wstring> texts = LanguageTexts("ja");
    const struct {
        const char* keys;
        std::wstring shows;
    } overs[] = {
        {"Enter", texts["IDS_RADIO_TYPEAGPS"]},  // the focused Setting button
        {"F10", texts["IDS_MENU_CLOSE"]},
    };
    for (const auto& over : overs) {
        SCOPED_TRACE(over.keys);
        tmux.Keys(over.keys);
        ASSERT_TRUE(tmux.WaitForText(over.shows)) << platform::WideToUtf8(tmux.Screen());
        const std::vector<std::wstring> was = Lines(before), now = Lines(tmux.Screen());
        ASSERT_EQ(was.size(), now.size());
        for (size_t i = 0; i < was.size(); ++i) {
            // The dialog's right edge stays where it was on every row it has.
            if (Columns(was[i]) > 0 && was[i].back() == L'\u2502') {
                EXPECT_EQ(Columns(now[i]), Columns(was[i])) << platform::WideToUtf8(now[i]);
            }
        }
        tmux.Keys("Escape");
        EXPECT_TRUE(tmux.WaitFor([&](const std::wstring& s) { return s == before; }))
            << "was:\n"
            << platform::WideToUtf8(before) << "now:\n"
            << platform::WideToUtf8(tmux.Screen());
    }
}
