// The satellites view in a real terminal (tmux), 80 x 24: opened with the S key during a
// session fed with a recorded log of four systems, it fits the terminal, counts what it shows,
// lists the satellites by system and number with their bars, in each language, and Escape
// closes it while the GPS dialog stays.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "language_texts.h"
#include "platform/text.h"
#include "tmux_session.h"

using testing_support::TmuxSession;

namespace {

std::vector<std::wstring> Lines(const std::wstring& screen) {
    std::vector<std::wstring> lines;
    std::wistringstream in(screen);
    for (std::wstring line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The screen's line holding all of `parts`, in their order; empty when none does.
std::wstring LineWith(const std::wstring& screen, const std::vector<std::wstring>& parts) {
    for (const std::wstring& line : Lines(screen)) {
        size_t at = 0;
        bool all = true;
        for (const std::wstring& part : parts) {
            at = line.find(part, at);
            if (at == std::wstring::npos) {
                all = false;
                break;
            }
            at += part.size();
        }
        if (all) return line;
    }
    return {};
}

}  // namespace

TEST(SkyViewInATerminal, TheKeyShowsTheTableOfTheSessionInEachLanguage) {
    if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
    const std::wstring kDot = L" \u00B7 ";
    // GPS 2 at 67 degrees, azimuth 40, 44 dB-Hz (seventeen cells and a half of twenty), used.
    const std::wstring kBar = std::wstring(17, L'\u2588') + L"\u258C   44";
    for (const char* language : {"en-us", "ja", "pt-br"}) {
        SCOPED_TRACE(language);
        auto t = orbitpane_test::LanguageTexts(language);
        TmuxSession tmux(
            std::string(HOST_PATH) + " " + language + " sky; echo exited with $?; sleep 30", 80,
            24);
        ASSERT_TRUE(tmux.WaitForText(L"E 139d 46.0275")) << platform::WideToUtf8(tmux.Screen());
        tmux.Keys("Enter");  // the focused Start button
        ASSERT_TRUE(tmux.WaitForText(t["IDS_STATIC_START_GPSSUCCE"]))
            << platform::WideToUtf8(tmux.Screen());
        tmux.Keys("s");
        ASSERT_TRUE(tmux.WaitForText(t["IDS_TITLE_SKY"])) << platform::WideToUtf8(tmux.Screen());
        const std::wstring counts = t["IDS_GNSS_GPS"] + L" 7/5" + kDot + t["IDS_GNSS_GLONASS"] +
                                    L" 4/3" + kDot + t["IDS_GNSS_GALILEO"] + L" 3/2" + kDot +
                                    t["IDS_GNSS_BEIDOU"] + L" 3/";
        ASSERT_TRUE(tmux.WaitForText(counts)) << platform::WideToUtf8(tmux.Screen());
        std::wstring error = t["IDS_SKY_ERROR"];
        error.replace(error.find(L"%1"), 2, L"2.3");
        error.replace(error.find(L"%2"), 2, L"3.1");
        // GST comes after the epoch's GSV: the first view goes without it.
        EXPECT_TRUE(tmux.WaitForText(error)) << platform::WideToUtf8(tmux.Screen());
        std::wstring screen = tmux.Screen();
        const std::string shown = platform::WideToUtf8(screen);
        EXPECT_NE(screen.find(L"PDOP 1.3" + kDot + L"HDOP 0.7" + kDot + L"VDOP 1.1"),
                  std::wstring::npos)
            << shown;
        EXPECT_NE(screen.find(t["IDS_LST_ITEM_FIRSTFIX"]), std::wstring::npos) << shown;
        // The header, then the satellites by system (GPS first) and number.
        EXPECT_FALSE(LineWith(screen, {t["IDS_SKY_COL_SYSTEM"], t["IDS_SKY_COL_NUMBER"],
                                       t["IDS_SKY_COL_ELEVATION"], t["IDS_SKY_COL_AZIMUTH"],
                                       L"C/N0", t["IDS_SKY_COL_USED"]})
                         .empty())
            << shown;
        EXPECT_FALSE(LineWith(screen, {t["IDS_GNSS_GPS"], L" 2", L"67\u00B0", L"40\u00B0", kBar,
                                       t["IDS_SKY_USED"]})
                         .empty())
            << shown;
        std::wstring nine = LineWith(screen, {t["IDS_GNSS_GPS"], L" 9", L"12\u00B0", L"320\u00B0"});
        ASSERT_FALSE(nine.empty()) << shown;
        EXPECT_EQ(nine.find(t["IDS_SKY_USED"]), std::wstring::npos) << "not in the fix";
        std::vector<std::wstring> lines = Lines(screen);
        size_t two = 0, five = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (!LineWith(lines[i], {t["IDS_GNSS_GPS"], L" 2", L"67\u00B0"}).empty()) two = i;
            if (!LineWith(lines[i], {t["IDS_GNSS_GPS"], L" 5", L"45\u00B0"}).empty()) five = i;
        }
        EXPECT_EQ(five, two + 1) << shown;
        // The whole window in 80 columns: both top corners on the title's line, nothing cut.
        std::wstring title = LineWith(screen, {L"\u250C", t["IDS_TITLE_SKY"], L"\u2510"});
        EXPECT_FALSE(title.empty()) << shown;
        EXPECT_EQ(screen.find(L"\u2026"), std::wstring::npos) << shown;

        tmux.Keys("Escape");
        ASSERT_TRUE(tmux.WaitFor([&](const std::wstring& s) {
            return s.find(t["IDS_TITLE_SKY"]) == std::wstring::npos;
        })) << platform::WideToUtf8(tmux.Screen());
        EXPECT_NE(tmux.Screen().find(t["IDS_LST_ITEM_GPSPORT"]), std::wstring::npos);
        tmux.Keys("Escape");
        EXPECT_TRUE(tmux.WaitForText(L"exited with 0")) << platform::WideToUtf8(tmux.Screen());
    }
}
