#include "orbitpane/win32/localisation.h"
#include "orbitpane/win32/plugin_context.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "temp_dir.h"

using namespace orbitpane;

namespace {

const char* kLangArea =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plxadoc>\n<module name=\"lang\">\n"
    "<item name=\"English\" id=\"1033\">en-us</item>\n"
    "<item name=\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\" id=\"1041\">ja</item>\n"
    "<item name=\"Portugu\xC3\xAAs (Brasil)\" id=\"1046\">pt-br</item>\n"
    "<item name=\"Second English\" id=\"9999\">en-us</item>\n"
    "</module>\n</plxadoc>\n";

}  // namespace

TEST(Localisation, LanguageTableReadsUtf8NamesAndKeepsTheFirstOfATwin) {
    testing_support::TempDir dir;
    dir.Write("LangAreaForShort.xml", kLangArea);
    LanguageTables tables = LoadLanguageTable(dir.path());
    ASSERT_EQ(tables.names.size(), 3u);
    EXPECT_EQ(tables.names[L"en-us"], L"English");
    EXPECT_EQ(tables.ids[L"en-us"], L"1033");
    EXPECT_EQ(tables.names[L"ja"], L"\u65E5\u672C\u8A9E");
    EXPECT_EQ(tables.names[L"pt-br"], L"Portugu\u00EAs (Brasil)");

    testing_support::TempDir empty;
    EXPECT_TRUE(LoadLanguageTable(empty.path()).names.empty());
    empty.Write("LangAreaForShort.xml", "<other/>");
    EXPECT_TRUE(LoadLanguageTable(empty.path()).names.empty());
}

TEST(Localisation, InstalledLanguagesAreListedByFileName) {
    testing_support::TempDir dir;
    dir.Write("LangAreaForShort.xml", kLangArea);
    LanguageTables tables = LoadLanguageTable(dir.path());
    for (const char* name : {"Orbitpane_pt-br.lang", "Orbitpane_en-us.lang", "Orbitpane_ja.lang",
                             "Orbitpane_xx.lang", "readme.txt"}) {
        dir.Write(std::string("Plugins/Orbitpane/") + name, "[Orbitpane]\n");
    }
    auto languages = ListInstalledLanguages(dir / "Plugins/Orbitpane", tables);
    ASSERT_EQ(languages.size(), 4u);
    EXPECT_EQ(languages[0].code, L"en-us");
    EXPECT_EQ(languages[0].displayName, L"English");
    EXPECT_EQ(languages[1].code, L"ja");
    EXPECT_EQ(languages[2].code, L"pt-br");
    EXPECT_EQ(languages[3].code, L"xx");
    EXPECT_EQ(languages[3].displayName, L"") << "an unknown code gets an empty name";
}

TEST(Localisation, AFileNameWithoutUnderscoreEndsTheList) {
    testing_support::TempDir dir;
    dir.Write("Plugins/Orbitpane/Orbitpane_en-us.lang", "");
    dir.Write("Plugins/Orbitpane/Other.lang", "");  // sorts between the two
    dir.Write("Plugins/Orbitpane/Z_ja.lang", "");
    auto languages = ListInstalledLanguages(dir / "Plugins/Orbitpane", LanguageTables());
    ASSERT_EQ(languages.size(), 1u);
    EXPECT_EQ(languages[0].code, L"en-us");
}

// The INI helpers work below the program directory, which for the tests is build/tests.
class RunInfo : public ::testing::Test {
  protected:
    void TearDown() override { ::unlink(path.c_str()); }
    // One file per test: ctest runs the tests of this fixture side by side.
    const std::string file = std::string("localisation_test_") +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                             ".ini";
    const std::wstring name = platform::Utf8ToWide(file);
    const std::string path = platform::JoinPath(AppDirectory(), file);
};

TEST_F(RunInfo, ReadsAndWritesBelowTheProgramDirectory) {
    EXPECT_EQ(ReadIniString(L"language", L"active", name), L"");
    ASSERT_TRUE(WriteIniString(L"language", L"active", L"_ja", name));
    ASSERT_TRUE(WriteIniString(L"language", L"LangID", L"1041", name));
    EXPECT_EQ(ReadIniString(L"LANGUAGE", L"Active", name), L"_ja");
    EXPECT_EQ(ReadIniString(L"language", L"langid", name), L"1041");
}

TEST_F(RunInfo, EmptyNamesAreRefusedAndReadOnlyFilesAreMadeWritable) {
    EXPECT_FALSE(WriteIniString(L"", L"active", L"_ja", name));
    EXPECT_FALSE(WriteIniString(L"language", L"", L"_ja", name));
    EXPECT_EQ(ReadIniString(L"", L"active", name), L"");
    EXPECT_FALSE(platform::FileExists(path));

    ASSERT_TRUE(WriteIniString(L"language", L"active", L"_en-us", name));
    ::chmod(path.c_str(), 0444);
    EXPECT_TRUE(WriteIniString(L"language", L"active", L"_pt-br", name));
    EXPECT_EQ(ReadIniString(L"language", L"active", name), L"_pt-br");
}

TEST(Localisation, LanguageFilesSitInThePluginDirectory) {
    EXPECT_EQ(LanguageFileFor(L"_ja"),
              platform::Utf8ToWide(PluginDirectory()) + L"/Orbitpane_ja.lang");
    PluginContext context;
    context.SetLanguageFile(L"/x/Orbitpane_ja.lang");
    EXPECT_EQ(context.LanguageFile(), L"/x/Orbitpane_ja.lang");
    EXPECT_EQ(context.Text(L"IDS_BTN_START"), L"") << "no container, no text";
}
