// The locale service: every key of a language file, case-blind names, null for whatever is
// missing, files read again when they change, and the active language for null paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "framework/locale/locale_service.h"
#include "temp_dir.h"

using framework::LocaleService;

namespace {

const char* kEnglish =
    "\xEF\xBB\xBF; Orbitpane texts\n"
    "[Orbitpane]\n"
    "IDS_BTN_START=Start\n"
    "IDS_LINK_GOOGLE=http://maps.google.com/maps?q=%s,%s\n"
    "IDS_EMPTY=\n"
    "[XFramePlugin]\n"
    "IDS_MAINFRM_REINITIALIZE=Initializing, please wait...\n";

std::wstring Text(const wchar_t* text) {
    return text ? text : L"<null>";
}

TEST(LocaleService, AnswersEveryKeyOfAFileAndNullForWhatIsMissing) {
    testing_support::TempDir dir;
    std::string file = dir.Write("Plugins/Orbitpane/Orbitpane_en-us.lang", kEnglish);
    std::wstring path(file.begin(), file.end());
    LocaleService locale(dir.path());

    EXPECT_EQ(Text(locale.LoadString("IDS_BTN_START", "Orbitpane", path.c_str())), L"Start");
    EXPECT_EQ(Text(locale.LoadString("ids_btn_start", "ORBITPANE", path.c_str())), L"Start");
    EXPECT_EQ(Text(locale.LoadString("IDS_LINK_GOOGLE", "Orbitpane", path.c_str())),
              L"http://maps.google.com/maps?q=%s,%s");
    EXPECT_EQ(Text(locale.LoadString("IDS_EMPTY", "Orbitpane", path.c_str())), L"");
    EXPECT_EQ(Text(locale.LoadString("IDS_MAINFRM_REINITIALIZE", "XFramePlugin", path.c_str())),
              L"Initializing, please wait...");
    EXPECT_EQ(locale.GetLastErrorCode(), 0);

    // A key of another owner, an unknown key, owner or file, and null arguments.
    EXPECT_EQ(locale.LoadString("IDS_BTN_START", "XFramePlugin", path.c_str()), nullptr);
    EXPECT_EQ(locale.GetLastErrorCode(), 1);
    EXPECT_EQ(locale.LoadString("IDS_NOPE", "Orbitpane", path.c_str()), nullptr);
    EXPECT_EQ(locale.LoadString("IDS_BTN_START", "Nobody", path.c_str()), nullptr);
    EXPECT_EQ(locale.LoadString("IDS_BTN_START", "Orbitpane", L"/no/such.lang"), nullptr);
    EXPECT_EQ(locale.LoadString(nullptr, "Orbitpane", path.c_str()), nullptr);
    EXPECT_EQ(locale.LoadString("IDS_BTN_START", nullptr, path.c_str()), nullptr);
    EXPECT_EQ(locale.LoadString("IDS_BTN_START", "Orbitpane", L""), nullptr);

    // A relative path starts at the program directory; letter case of the path is forgiven.
    EXPECT_EQ(Text(locale.LoadString("IDS_BTN_START", "Orbitpane",
                                     L"plugins/orbitpane/Orbitpane_EN-US.lang")),
              L"Start");
}

TEST(LocaleService, TextsAreUtf8AndInvalidBytesReadAsMissing) {
    testing_support::TempDir dir;
    std::string file = dir.Write("ja.lang",
                                 "[Orbitpane]\n"
                                 "IDS_BTN_START=\xE9\x96\x8B\xE5\xA7\x8B\n"
                                 "IDS_BROKEN=\xC3\x28\n");
    std::wstring path(file.begin(), file.end());
    LocaleService locale(dir.path());
    EXPECT_EQ(Text(locale.LoadString("IDS_BTN_START", "Orbitpane", path.c_str())), L"\u958B\u59CB");
    EXPECT_EQ(locale.LoadString("IDS_BROKEN", "Orbitpane", path.c_str()), nullptr);
}

TEST(LocaleService, AChangedFileIsReadAgainAndOldTextsStayValid) {
    testing_support::TempDir dir;
    std::string file = dir.Write("en.lang", "[Orbitpane]\nIDS_BTN_START=Start\n");
    std::wstring path(file.begin(), file.end());
    LocaleService locale(dir.path());
    const wchar_t* before = locale.LoadString("IDS_BTN_START", "Orbitpane", path.c_str());
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before, locale.LoadString("IDS_BTN_START", "Orbitpane", path.c_str()));

    dir.Write("en.lang", "[Orbitpane]\nIDS_BTN_START=Begin now\nIDS_BTN_STOP=Stop\n");
    EXPECT_EQ(Text(locale.LoadString("IDS_BTN_START", "Orbitpane", path.c_str())), L"Begin now");
    EXPECT_EQ(Text(locale.LoadString("IDS_BTN_STOP", "Orbitpane", path.c_str())), L"Stop");
    EXPECT_EQ(std::wstring(before), L"Start");

    // Same size, new time.
    dir.Write("en.lang", "[Orbitpane]\nIDS_BTN_START=Begin no!\nIDS_BTN_STOP=Stop\n");
    std::filesystem::last_write_time(
        file, std::filesystem::last_write_time(file) + std::chrono::seconds(2));
    EXPECT_EQ(Text(locale.LoadString("IDS_BTN_START", "Orbitpane", path.c_str())), L"Begin no!");

    std::filesystem::remove(file);
    EXPECT_EQ(locale.LoadString("IDS_BTN_START", "Orbitpane", path.c_str()), nullptr);
    dir.Write("en.lang", "[Orbitpane]\nIDS_BTN_START=Back\n");
    EXPECT_EQ(Text(locale.LoadString("IDS_BTN_START", "Orbitpane", path.c_str())), L"Back");
}

TEST(LocaleService, WithoutAFileTheActiveLanguageOfTheOwnerIsUsed) {
    testing_support::TempDir dir;
    dir.Write("plugins/xframeplugin/XFramePlugin_ja.lang",
              "[XFramePlugin]\nIDS_MAINFRM_REINITIALIZE=ja text\n");
    dir.Write("plugins/xframeplugin/XFramePlugin_en-us.lang",
              "[XFramePlugin]\nIDS_MAINFRM_REINITIALIZE=en text\n");
    LocaleService locale(dir.path());
    // No Runinfo.ini, then no active language: nothing.
    EXPECT_EQ(locale.LoadString("IDS_MAINFRM_REINITIALIZE", "XFramePlugin", nullptr), nullptr);

    dir.Write("RunInfo.ini", "[version]\nversion=1.0\n[language]\nactive=_ja\nLangID=1041\n");
    EXPECT_EQ(Text(locale.LoadString("IDS_MAINFRM_REINITIALIZE", "XFramePlugin", nullptr)),
              L"ja text");
    dir.Write("RunInfo.ini", "[language]\nactive=_en-us\n");
    EXPECT_EQ(Text(locale.LoadString("IDS_MAINFRM_REINITIALIZE", "XFramePlugin", nullptr)),
              L"en text");
    EXPECT_EQ(locale.LoadString("IDS_MAINFRM_REINITIALIZE", "Orbitpane", nullptr), nullptr);
}

TEST(LocaleService, ConcurrentLookupsWhileTheFileChanges) {
    testing_support::TempDir dir;
    std::string file = dir.Write("en.lang", "[Orbitpane]\nA=1\nB=2\n");
    std::wstring path(file.begin(), file.end());
    LocaleService locale(dir.path());
    std::atomic<bool> stop{false};
    std::atomic<int> missing{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!stop) {
                const wchar_t* a = locale.LoadString("A", "Orbitpane", path.c_str());
                // Whatever version of the file was read, the text is whole and readable.
                if (!a || (std::wstring(a) != L"1" && std::wstring(a) != L"one")) ++missing;
            }
        });
    }
    for (int i = 0; i < 50; ++i) {
        std::string temp = dir / "next.lang";
        dir.Write("next.lang", i % 2 ? "[Orbitpane]\nA=1\nB=2\n" : "[Orbitpane]\nA=one\nB=two\n");
        std::filesystem::rename(temp, file);  // replaced whole, as an editor saves
    }
    stop = true;
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(missing, 0);
}

}  // namespace
