// The gallery in a real terminal (tmux): a user's keys in, the screen read back, in English
// and Japanese; resizing; and the terminal left sane however the program ends.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>

#include "platform/text.h"
#include "platform/ui/terminal/text.h"
#include "temp_dir.h"
#include "tmux_session.h"

using testing_support::TmuxSession;
using ui::terminal::CharColumns;

namespace {

std::vector<std::wstring> Lines(const std::wstring& screen) {
    std::vector<std::wstring> lines;
    std::wistringstream in(screen);
    for (std::wstring line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The screen column where `part` starts in the first line holding it; -1 when none does.
int ColumnOf(const std::wstring& screen, const std::wstring& part) {
    for (const std::wstring& line : Lines(screen)) {
        size_t at = line.find(part);
        if (at == std::wstring::npos) continue;
        int col = 0;
        for (size_t i = 0; i < at; ++i) col += CharColumns(line[i]);
        return col;
    }
    return -1;
}

// What the screen shows from the cursor on, to the end of its line.
std::wstring AtCursor(const TmuxSession& tmux) {
    int row = std::stoi(tmux.Variable("cursor_y"));
    int col = std::stoi(tmux.Variable("cursor_x"));
    std::vector<std::wstring> lines = Lines(tmux.Screen());
    if (row >= static_cast<int>(lines.size())) return L"";
    const std::wstring& line = lines[row];
    int used = 0;
    size_t i = 0;
    while (i < line.size() && used < col) used += CharColumns(line[i++]);
    return line.substr(i);
}

// Whether button `label` carries the default button's marks: "<  Start  >", not "[ ... ]".
bool DefaultMarked(const std::wstring& screen, const std::wstring& label) {
    size_t at = screen.find(label);
    if (at == std::wstring::npos) return false;
    size_t open = screen.find_last_not_of(L' ', at - 1);
    return open != std::wstring::npos && screen[open] == L'<';
}

// Whether button `label` stands between brackets, "[ Setting ]" or "<  Start  >".
bool Bracketed(const std::wstring& screen, const std::wstring& label) {
    size_t at = screen.find(label);
    if (at == std::wstring::npos || at == 0) return false;
    size_t open = screen.find_last_not_of(L' ', at - 1);
    size_t close = screen.find_first_not_of(L' ', at + label.size());
    return open != std::wstring::npos && close != std::wstring::npos &&
           (screen[open] == L'[' || screen[open] == L'<') &&
           (screen[close] == L']' || screen[close] == L'>');
}

// Whether `label` is drawn with attribute `code` (2 dim, 4 underlined) on a screen captured
// with its attributes (capture-pane -e): the last attribute sequence before it sets it.
bool Drawn(const std::string& screen, const std::string& label, const std::string& code) {
    size_t at = screen.find(label);
    if (at == std::string::npos) return false;
    size_t sequence = screen.rfind("\033[", at);
    if (sequence == std::string::npos) return false;
    size_t end = screen.find('m', sequence);
    if (end == std::string::npos || end > at) return false;
    std::istringstream params(screen.substr(sequence + 2, end - sequence - 2));
    for (std::string param; std::getline(params, param, ';');) {
        if (param == code) return true;
    }
    return false;
}

bool Dim(const std::string& screen, const std::string& label) {
    return Drawn(screen, label, "2");
}

bool StartsWith(const std::wstring& text, const std::wstring& start) {
    return text.rfind(start, 0) == 0;
}

class GalleryInATerminal : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    }
    static std::string Gallery(const std::string& arguments = "") {
        return std::string(GALLERY_PATH) + " --terminal " + arguments;
    }
};

}  // namespace

TEST_F(GalleryInATerminal, AUserStartsSwitchesToJapaneseAndCancelsAMessageBox) {
    TmuxSession tmux(Gallery());
    ASSERT_TRUE(tmux.WaitForText(L"GPS Port")) << platform::WideToUtf8(tmux.Screen());
    std::wstring screen = tmux.Screen();
    EXPECT_TRUE(DefaultMarked(screen, L"Start")) << "the default button's mark";
    EXPECT_TRUE(StartsWith(AtCursor(tmux), L"Start")) << "the focus on the first button";
    EXPECT_NE(screen.find(L"W 122d 7.407360"), std::wstring::npos);

    tmux.Keys("Enter");
    ASSERT_TRUE(tmux.WaitForText(L"Waiting for GPS data..."));
    EXPECT_TRUE(tmux.WaitFor([&](const std::wstring&) {
        return StartsWith(AtCursor(tmux), L"Stop");
    })) << "Start hands the focus to Stop";
    EXPECT_TRUE(DefaultMarked(tmux.Screen(), L"Stop"));
    EXPECT_FALSE(DefaultMarked(tmux.Screen(), L"Start"));

    // Tab, in reading order (Settings, the list, the map site, Open), to the language
    // selector; open it and take Japanese.
    tmux.Keys("Tab Tab Tab Tab Tab");
    ASSERT_TRUE(
        tmux.WaitFor([&](const std::wstring&) { return StartsWith(AtCursor(tmux), L"English"); }));
    tmux.Keys("Enter");
    ASSERT_TRUE(tmux.WaitForText(L"\u65e5\u672c\u8a9e"));
    tmux.Keys("Down Enter");
    ASSERT_TRUE(tmux.WaitForText(L"\u7d4c\u5ea6")) << platform::WideToUtf8(tmux.Screen());
    screen = tmux.Screen();
    for (const wchar_t* text :
         {L"\u505c\u6b62", L"\u81ea\u52d5\u5b9f\u884c",
          L"GPS\u30c7\u30fc\u30bf\u3092\u5f85\u3063\u3066\u3044\u307e\u3059"}) {
        EXPECT_NE(screen.find(text), std::wstring::npos) << platform::WideToUtf8(text);
    }
    // Double-width names leave the value column where it was.
    EXPECT_EQ(ColumnOf(screen, L"W 122d 7.407360"), ColumnOf(screen, L"N 37d 39.259260"));
    EXPECT_EQ(ColumnOf(screen, L"\u5185\u5bb9"), ColumnOf(screen, L"W 122d 7.407360"));

    // Open (left of the selector) asks first; Cancel leaves everything as it was.
    tmux.Keys("BTab Enter");
    ASSERT_TRUE(tmux.WaitForText(L"\u5730\u56f3\u30b5\u30a4\u30c8\u3067"));
    tmux.Keys("Tab Enter");
    ASSERT_TRUE(tmux.WaitWhileText(L"\u5730\u56f3\u30b5\u30a4\u30c8\u3067"));
    EXPECT_NE(tmux.Screen().find(L"GPS\u30c7\u30fc\u30bf\u3092\u5f85"), std::wstring::npos);
    EXPECT_EQ(tmux.Variable("pane_dead"), "0");
}

TEST_F(GalleryInATerminal, DisabledButtonsLookDisabledAndALabelKeepsAGapBeforeItsValue) {
    TmuxSession tmux(Gallery());
    ASSERT_TRUE(tmux.WaitForText(L"GPS Port")) << platform::WideToUtf8(tmux.Screen());
    std::wstring screen = tmux.Screen();
    EXPECT_NE(screen.find(L"Current GPS Type: AGPS"), std::wstring::npos)
        << platform::WideToUtf8(screen);
    EXPECT_NE(screen.find(L"Satellites in view"), std::wstring::npos);
    // Stop is disabled until Start is pressed, then Start is.
    const struct {
        const wchar_t* disabled;
        const wchar_t* enabled;
    } states[] = {{L"Stop", L"Start"}, {L"Start", L"Stop"}};
    for (const auto& state : states) {
        ASSERT_TRUE(tmux.WaitFor([&](const std::wstring& s) {
            return Bracketed(s, state.enabled) && !Bracketed(s, state.disabled);
        })) << platform::WideToUtf8(state.disabled)
            << " without brackets\n"
            << platform::WideToUtf8(tmux.Screen());
        std::string attributes = tmux.Tmux("capture-pane -p -e -t 0");
        EXPECT_TRUE(Dim(attributes, platform::WideToUtf8(state.disabled)));
        EXPECT_FALSE(Dim(attributes, platform::WideToUtf8(state.enabled)));
        EXPECT_TRUE(Bracketed(tmux.Screen(), L"Setting"));
        EXPECT_FALSE(Dim(attributes, "Setting"));
        tmux.Keys("Enter");  // the focused button: Start, which hands the focus to Stop
    }
}

TEST_F(GalleryInATerminal, DisabledFieldsLoseTheirUnderline) {
    TmuxSession tmux(Gallery("--settings"));
    ASSERT_TRUE(tmux.WaitForText(L"internet.example"));
    std::string attributes = tmux.Tmux("capture-pane -p -e -t 0");
    EXPECT_TRUE(Drawn(attributes, "internet.example", "4")) << "AGPS: the field takes input";
    EXPECT_FALSE(Dim(attributes, "internet.example"));
    // The focus is on the checked "AGPS(need network)"; Up checks "GPS(no network)": no APN,
    // no SUPL server.
    EXPECT_NE(AtCursor(tmux).find(L"AGPS(need network)"), std::wstring::npos)
        << platform::WideToUtf8(AtCursor(tmux));
    tmux.Keys("Up");
    ASSERT_TRUE(tmux.WaitFor([&](const std::wstring&) {
        return Dim(tmux.Tmux("capture-pane -p -e -t 0"), "internet.example");
    })) << tmux.Tmux("capture-pane -p -e -t 0");
    attributes = tmux.Tmux("capture-pane -p -e -t 0");
    EXPECT_FALSE(Drawn(attributes, "internet.example", "4"));
    EXPECT_FALSE(Drawn(attributes, "supl.example.com", "4"));
}

TEST_F(GalleryInATerminal, ResizingRedrawsClipsWithAMarkAndCentresAgain) {
    TmuxSession tmux(Gallery("--settings"));
    ASSERT_TRUE(tmux.WaitForText(L"Scenario Profile"));
    tmux.Resize(40, 12);
    ASSERT_TRUE(tmux.WaitWhileText(L"Scenario Profile")) << "the lower part is scrolled away";
    std::wstring small = tmux.Screen();
    EXPECT_NE(small.find(L">"), std::wstring::npos) << "a mark where the window goes on";
    EXPECT_NE(AtCursor(tmux).find(L"AGPS(need network)"), std::wstring::npos)
        << "the focused radio button stays in view: " << platform::WideToUtf8(small);
    tmux.Resize(100, 30);
    ASSERT_TRUE(tmux.WaitForText(L"Scenario Profile"));
    // The 49 x 24 window centred on 100 x 30.
    EXPECT_EQ(ColumnOf(tmux.Screen(), L"\u250c"), (100 - 49) / 2);
    EXPECT_EQ(tmux.Variable("pane_dead"), "0");
}

TEST_F(GalleryInATerminal, TheTerminalIsSaneHoweverTheProgramEnds) {
    const struct {
        const char* name;
        const char* keys;  // a user's way out
        int signal;        // or a signal sent to the program
    } ways[] = {
        {"Escape", "Escape", 0},
        {"Ctrl-C", "C-c", 0},
        {"SIGTERM", nullptr, SIGTERM},
        {"a crash", nullptr, SIGSEGV},
    };
    for (const auto& way : ways) {
        testing_support::TempDir dir;
        std::string pidFile = dir / "pid", modes = dir / "modes";
        // A shell that outlives the program (Ctrl-C only reaches the program) and reads the
        // terminal's modes once it is gone.
        TmuxSession tmux("ulimit -c 0; trap true INT; sh -c 'echo $$ > " + pidFile + "; exec " +
                         Gallery() + "'; stty -a > " + modes + "; sleep 30");
        ASSERT_TRUE(tmux.WaitForText(L"GPS Port")) << way.name;
        EXPECT_EQ(tmux.Variable("alternate_on"), "1");
        if (way.keys != nullptr) {
            tmux.Keys(way.keys);
        } else {
            std::ifstream in(pidFile);
            pid_t pid = 0;
            in >> pid;
            ASSERT_GT(pid, 0);
            ::kill(pid, way.signal);
        }
        std::string stty;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (stty.empty() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            std::ifstream in(modes);
            stty.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        ASSERT_FALSE(stty.empty()) << way.name << ": the program did not end";
        std::istringstream words(stty);
        std::set<std::string> on{std::istream_iterator<std::string>(words), {}};
        for (const char* mode : {"icanon", "echo", "isig", "icrnl", "opost"}) {
            EXPECT_TRUE(on.count(mode)) << way.name << ": " << mode;
        }
        EXPECT_EQ(tmux.Variable("alternate_on"), "0") << way.name;
        EXPECT_EQ(tmux.Variable("cursor_flag"), "1") << way.name;
        EXPECT_EQ(tmux.Variable("mouse_any_flag"), "0") << way.name;
    }
}
