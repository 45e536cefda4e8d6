// The install tree as shipped: every language has every text, the map links work as
// templates, and the configuration files read as the program expects.
#include <gtest/gtest.h>

#include <cstdio>

#include "framework/locale/language_file.h"
#include "framework/skin/skin.h"
#include "orbitpane/win32/gps_config.h"
#include "orbitpane/win32/localisation.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

const std::string kData = SATVIEW_DATA_DIR;
const char* kCodes[] = {"en-us", "ja", "pt-br"};

framework::LanguageTexts Texts(const std::string& owner, const std::string& code) {
    auto bytes =
        platform::ReadWholeFile(kData + "/Plugins/" + owner + "/" + owner + "_" + code + ".lang");
    EXPECT_TRUE(bytes.has_value()) << owner << " " << code;
    auto texts = framework::ParseLanguageFile(bytes.value_or(""));
    EXPECT_TRUE(texts.has_value());
    return texts.value_or(framework::LanguageTexts{});
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

}  // namespace

TEST(InstallTree, EveryLanguageHasEveryTextOfEnglish) {
    auto english = Texts("Orbitpane", "en-us")["orbitpane"];
    EXPECT_GE(english.size(), 69u);
    for (const char* code : kCodes) {
        auto texts = Texts("Orbitpane", code);
        for (const auto& [key, text] : english) {
            ASSERT_TRUE(texts["orbitpane"].count(key)) << code << " lacks " << key;
            EXPECT_FALSE(texts["orbitpane"][key].empty()) << code << " " << key;
        }
        EXPECT_FALSE(texts["xframeplugin"]["ids_mainfrm_reinitialize"].empty()) << code;
        EXPECT_FALSE(
            Texts("XFramePlugin", code)["xframeplugin"]["ids_mainfrm_reinitialize"].empty());
        // The map site is chosen by these lower-case words in the item texts.
        EXPECT_NE(texts["orbitpane"]["ids_google"].find(L"google"), std::wstring::npos) << code;
        EXPECT_NE(texts["orbitpane"]["ids_yahoo"].find(L"yahoo"), std::wstring::npos) << code;
        EXPECT_EQ(texts["orbitpane"]["ids_live"].find(L"google"), std::wstring::npos) << code;
        EXPECT_EQ(texts["orbitpane"]["ids_live"].find(L"yahoo"), std::wstring::npos) << code;
    }
}

TEST(InstallTree, MapLinksPlaceTheLatitudeAndLongitude) {
    auto texts = Texts("Orbitpane", "en-us")["orbitpane"];
    const char* expected[] = {
        "https://www.google.com/maps/search/?api=1&query=35.681236,139.767125",
        "https://map.yahoo.co.jp/place?lat=35.681236&lon=139.767125&zoom=16",
        "https://www.bing.com/maps?cp=35.681236~139.767125&lvl=16"};
    const char* keys[] = {"ids_link_google", "ids_link_yahoo", "ids_link_live"};
    for (int i = 0; i < 3; ++i) {
        std::string format = Narrow(texts[keys[i]]);
        char link[256];
        std::snprintf(link, sizeof link, format.c_str(), 35.681236, 139.767125, 35.681236,
                      139.767125);
        EXPECT_EQ(std::string(link), expected[i]);
        for (const char* code : kCodes) {
            EXPECT_EQ(Texts("Orbitpane", code)["orbitpane"][keys[i]], texts[keys[i]]) << code;
        }
    }
}

TEST(InstallTree, ConfigurationLanguagesAndSkinReadAsExpected) {
    GpsConfigFile file;
    file.SetAppDirectory(kData);
    GPSConfigInfo info;
    info.strType = "";
    file.Load(info);
    EXPECT_EQ(info.isAGPSSupported, 1);
    EXPECT_EQ(info.strType, "GPS");
    EXPECT_EQ(info.strScenario, "High speed");
    EXPECT_FALSE(info.strAPN.empty());
    EXPECT_FALSE(info.strSUPL.empty());

    auto tables = orbitpane::LoadLanguageTable(kData);
    EXPECT_EQ(tables.names.size(), 3u);
    auto languages = orbitpane::ListInstalledLanguages(kData + "/Plugins/Orbitpane", tables);
    ASSERT_EQ(languages.size(), 3u);
    for (const auto& language : languages) EXPECT_FALSE(language.displayName.empty());

    auto skinText = platform::ReadWholeFile(kData + "/skin/classic.smf");
    ASSERT_TRUE(skinText.has_value());
    EXPECT_FALSE(skin::ThemeFor(skin::ParseSkin(*skinText), L"CommFrame").Empty());
}
