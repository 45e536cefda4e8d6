#include "platform/text.h"

#include <gtest/gtest.h>

using platform::TrimBlanks;
using platform::Utf8ToWide;
using platform::WideToUtf8;
using namespace std::string_view_literals;

TEST(Text, RoundTripsJapanesePortugueseAndAstralText) {
    const std::string utf8 = "Posi\xC3\xA7\xC3\xA3o \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x9B\xB0";
    std::wstring wide = Utf8ToWide(utf8);
    EXPECT_EQ(wide, L"Posi\u00E7\u00E3o \u65E5\u672C \U0001F6F0");
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(WideToUtf8(L""), "");
}

TEST(Text, BadUtf8GivesEmptyNotPartial) {
    EXPECT_EQ(Utf8ToWide("abc\xFF"
                         "def"),
              L"");                              // invalid byte in the middle
    EXPECT_EQ(Utf8ToWide("abc\xC3"), L"");       // truncated sequence at the end
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"");      // overlong encoding of '/'
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"");  // encoded surrogate
}

TEST(Text, WideValuesThatAreNotCharactersGiveEmpty) {
    std::wstring surrogate = L"ab";
    surrogate += static_cast<wchar_t>(0xD800);
    EXPECT_EQ(WideToUtf8(surrogate), "");
    std::wstring tooLarge = L"x";
    tooLarge += static_cast<wchar_t>(0x110000);
    EXPECT_EQ(WideToUtf8(tooLarge), "");
}

TEST(Text, TrimBlanksKeepsInnerBlanksAndOtherCharacters) {
    const std::pair<std::string_view, std::string_view> cases[] = {{"", ""},
                                                                   {" \t\r\n", ""},
                                                                   {"  a b\r\n", "a b"},
                                                                   {"\va\f", "\va\f"},
                                                                   {"\tTARVEK\t", "TARVEK"}};
    for (const auto& [text, trimmed] : cases) EXPECT_EQ(TrimBlanks(text), trimmed) << text;
}

TEST(Text, PrintableOnlyDropsWhatActsOnATerminalOrBreaksAFile) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"Wendrix 3G", "Wendrix 3G"},
        {"Wendrix\x1b]0;x\a", "Wendrix]0;x"},  // an escape sequence loses its controls
        {"a\r\nb\tc\0d"sv, "abcd"},            // line ends, tab and NUL
        {"x\x7f"
         "y",
         "xy"},  // DEL
        {"x\xC2\x9B"
         "31m",
         "x31m"},  // C1 CSI
        {"Posi\xC3\xA7\xC3\xA3o \xE6\x97\xA5", "Posi\xC3\xA7\xC3\xA3o \xE6\x97\xA5"},
        {"\xF0\x9F\x9B\xB0!", "\xF0\x9F\x9B\xB0!"},  // astral
        {"a\xFF"
         "b\xC3",
         "ab"},                          // stray and cut-off bytes
        {"\xC0\xAF\xED\xA0\x80z", "z"},  // overlong form, surrogate
        {"p\xE2\x80\xA8q", "pq"},        // line separator
    };
    for (const auto& [text, kept] : cases) EXPECT_EQ(platform::PrintableOnly(text), kept) << text;
}

// Commands and identifiers compare by their ASCII letters alone: UTF-8 bytes (whose lead and
// continuation bytes a locale's toupper may map) stay as they are.
TEST(Text, AsciiCaseTouchesAsciiLettersOnly) {
    EXPECT_EQ(platform::AsciiUpper("at^gpstype?=1"), "AT^GPSTYPE?=1");
    EXPECT_EQ(platform::AsciiLower("Wendrix 3G"), "wendrix 3g");
    EXPECT_EQ(platform::AsciiUpper("s\xc3\xa3o"), "S\xc3\xa3O");
    EXPECT_TRUE(platform::EqualIgnoringAsciiCase("at+cgmm", "AT+CGMM"));
    EXPECT_FALSE(platform::EqualIgnoringAsciiCase("AT+CGMM", "AT+CGM"));
    EXPECT_FALSE(platform::EqualIgnoringAsciiCase("\xc3\xa3", "\xc3\x83"));  // not ASCII
}
