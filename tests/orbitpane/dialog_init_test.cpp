// The GPS dialog as it comes up, and its languages.
#include <chrono>
#include <filesystem>
#include <thread>

#include "dialog_fixture.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/ui/kit.h"

using namespace orbitpane_test;

namespace {
class GpsDialogInit : public DialogFixture {};
}  // namespace

TEST_F(GpsDialogInit, ComesUpIdleWithItsListTextsAndSelectors) {
    Open();
    EXPECT_EQ(user->Title(), L"Satview GPS");
    // The five position rows, then the fix rows, with nothing known yet.
    ASSERT_EQ(user->Rows(gps::kList), 9);
    const wchar_t* rows[] = {L"GPS port",           L"Longitude",   L"Latitude",
                             L"Satellites in view", L"Time of fix", L"Altitude",
                             L"Speed / course",     L"Fix",         L"First fix after"};
    for (int row = 0; row < 9; ++row) {
        EXPECT_EQ(user->Cell(gps::kList, row, 0), rows[row]);
        EXPECT_EQ(user->Cell(gps::kList, row, 1), L"");
    }
    auto columns = user->Columns(gps::kList);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[0].text, L"Item");
    EXPECT_EQ(columns[0].width, 95);
    EXPECT_EQ(columns[1].width, user->ControlRect(gps::kList).width - 60);
    EXPECT_EQ(user->ListStyle(gps::kList) & 0x21u, 0x21u);

    EXPECT_EQ(Status(), L"Looking for the data card...");
    EXPECT_EQ(StatusKey(), L"IDS_STATIC_QUER_DataCard");
    EXPECT_EQ(user->Text(gps::kStart), L"Start");
    // Dimmed until the card's GPS port is found.
    EXPECT_FALSE(user->Enabled(gps::kStart));
    EXPECT_FALSE(user->Enabled(gps::kStop));
    EXPECT_EQ(user->Text(gps::kOpenMap), L"Open");
    for (int hidden : {gps::kPath, gps::kRun, gps::kBrowse, gps::kGpsType, gps::kNoDataLabel,
                       gps::kNoDataSeconds, gps::kSecondsUnit}) {
        EXPECT_FALSE(user->Visible(hidden)) << hidden;
    }
    // AGPS is offered: the settings button waits for an AGPS-capable card.
    EXPECT_TRUE(user->Visible(gps::kSetting));
    EXPECT_FALSE(user->Enabled(gps::kSetting));
    EXPECT_TRUE(user->Visible(gps::kGpsTypeLabel));

    auto maps = user->ComboItems(gps::kMapSite);
    ASSERT_EQ(maps.size(), 3u);
    EXPECT_NE(maps[0].find(L"google"), std::wstring::npos);
    EXPECT_NE(maps[1].find(L"yahoo"), std::wstring::npos);
    EXPECT_EQ(user->ComboSelection(gps::kMapSite), 0);
    EXPECT_EQ(
        user->ComboItems(gps::kLanguage),
        (std::vector<std::wstring>{L"English", L"\u65E5\u672C\u8A9E", L"Portugu\u00EAs (Brasil)"}));
    EXPECT_EQ(user->ComboSelection(gps::kLanguage), 0);
    EXPECT_EQ(user->BigIcon(), ui::Icon{ui::templates::kGpsIcon});
    EXPECT_FALSE(Running());
}

TEST_F(GpsDialogInit, EveryControlTakesItsTextFromTheActiveLanguage) {
    const struct {
        int id;
        const wchar_t* key;
    } texts[] = {
        {gps::kGpsTypeLabel, L"IDS_STATIC_CURGPSType"},
        {gps::kStart, L"IDS_BTN_START"},
        {gps::kStop, L"IDS_BTN_STOP"},
        {gps::kSetting, L"IDS_BTN_SET"},
        {gps::kAutoRun, L"IDS_STATIC_CHECK_AUTORUN"},
        {gps::kNoDataLabel, L"IDS_STATIC_NODATA"},
        {gps::kSecondsUnit, L"IDS_STATIC_SEC"},
        {gps::kRun, L"IDS_BTN_RUN"},
        {gps::kOpenMap, L"IDS_BTN_OPEN"},
        {gps::kStatus, L"IDS_STATIC_QUER_DataCard"},
    };
    for (const char* code : {"_en-us", "_ja", "_pt-br"}) {
        Open(code);
        EXPECT_EQ(user->Title(), Lang(L"IDS_TITLE_GPSAPP"));
        for (const auto& t : texts) {
            EXPECT_FALSE(Lang(t.key).empty()) << code << " " << t.id;
            EXPECT_EQ(user->Text(t.id), Lang(t.key)) << code << " " << t.id;
        }
        for (int row = 0; row < kListRows; ++row) {
            EXPECT_EQ(user->Cell(gps::kList, row, 0), Lang(kListRowKeys[row])) << code;
        }
        EXPECT_EQ(user->Columns(gps::kList)[1].text, Lang(L"IDS_LST_CONTEXT")) << code;
        EXPECT_EQ(user->ComboItems(gps::kMapSite),
                  (std::vector<std::wstring>{Lang(L"IDS_GOOGLE"), Lang(L"IDS_YAHOO"),
                                             Lang(L"IDS_LIVE")}));
        // What the window kit writes itself speaks the same language.
        const ui::OwnTexts own = ui::CurrentOwnTexts();
        const std::pair<std::wstring, const wchar_t*> kit[] = {
            {own.close, L"IDS_MENU_CLOSE"},   {own.ok, L"IDS_BTN_OK"},
            {own.cancel, L"IDS_CANCEL"},      {own.yes, L"IDS_BTN_YES"},
            {own.no, L"IDS_BTN_NO"},          {own.open, L"IDS_FILE_OPEN"},
            {own.folder, L"IDS_FILE_FOLDER"}, {own.lookIn, L"IDS_FILE_LOOKIN"},
            {own.fileName, L"IDS_FILE_NAME"}, {own.type, L"IDS_FILE_TYPE"},
        };
        for (const auto& [shown, key] : kit) {
            EXPECT_FALSE(Lang(key).empty()) << code << " " << platform::WideToUtf8(key);
            EXPECT_EQ(shown, Lang(key)) << code << " " << platform::WideToUtf8(key);
        }
        dialog.reset();
    }
    EXPECT_NE(ui::CurrentOwnTexts().close, L"Close") << "the last language, Portuguese";
}

TEST_F(GpsDialogInit, TheProgramPathIsStoredInTheConfiguration) {
    Open();
    EXPECT_EQ(dialog->GetSavedProgramPath(), L"");
    ASSERT_TRUE(dialog->SaveProgramPath(L"/opt/navi/\u5730\u56F3"));
    EXPECT_EQ(dialog->GetSavedProgramPath(), L"/opt/navi/\u5730\u56F3");
    GpsConfigFile file;
    file.SetAppDirectory(dir.path());
    GPSConfigInfo info;
    file.Load(info);
    EXPECT_EQ(info.strPath, "/opt/navi/\xE5\x9C\xB0\xE5\x9B\xB3");
}

TEST_F(GpsDialogInit, WithoutAgpsOfferedTheSettingsButtonAndTypeAreHidden) {
    WriteConfig("N", "AGPS", "High speed");
    Open();
    EXPECT_FALSE(user->Visible(gps::kSetting));
    EXPECT_FALSE(user->Visible(gps::kGpsTypeLabel));
    EXPECT_FALSE(user->Visible(gps::kGpsType));
}

TEST_F(GpsDialogInit, OpensInTheActiveLanguage) {
    Open("_ja");
    EXPECT_EQ(user->Text(gps::kStart), L"\u958B\u59CB");
    EXPECT_EQ(user->Cell(gps::kList, 1, 0), L"\u7D4C\u5EA6");
    EXPECT_EQ(user->ComboSelection(gps::kLanguage), 1);
    dialog.reset();
    Open("_pt-br");
    EXPECT_EQ(user->Text(gps::kStart), L"Iniciar");
    EXPECT_EQ(user->Text(gps::kStop), L"Parar");
    EXPECT_EQ(user->ComboSelection(gps::kLanguage), 2);
}

TEST_F(GpsDialogInit, TheActiveLanguageIsSelectedWhateverLanguagesAreInstalled) {
    std::filesystem::remove(dir / "Plugins/Orbitpane/Orbitpane_en-us.lang");
    Open("_pt-br");
    EXPECT_EQ(user->ComboItems(gps::kLanguage).size(), 2u);
    EXPECT_EQ(user->ComboSelection(gps::kLanguage), 1);
    dialog.reset();
    Open("ja");  // without the leading '_' nothing is selected and no file is found
    EXPECT_EQ(user->ComboSelection(gps::kLanguage), -1);
    EXPECT_EQ(user->Text(gps::kStart), L"");
}

TEST_F(GpsDialogInit, ChoosingALanguageRetranslatesEverythingAndRemembersIt) {
    WriteConfig("Y", "AGPS", "High speed");
    Open();
    CardFound();
    card->QueueAnswer("AT^SOCKETCONT=1,\"IP\",\"web.example\"", "\r\nERROR\r\n");
    ASSERT_TRUE(user->Click(gps::kStart));
    ASSERT_EQ(StatusKey(), L"IDS_STATIC_ERROR_SETAPN");
    dialog->List(gps::kList).SetItemText(0, 1, L"COM3");

    ASSERT_TRUE(user->Choose(gps::kLanguage, 1));
    EXPECT_EQ(Status(),
              L"APN \u3092\u8A2D\u5B9A\u3067\u304D\u307E\u305B\u3093\u3067\u3057\u305F\u3002");
    EXPECT_EQ(user->Text(gps::kStart), L"\u958B\u59CB");
    EXPECT_EQ(user->Columns(gps::kList).size(), 2u);
    EXPECT_EQ(user->Cell(gps::kList, 0, 0), L"GPS \u30DD\u30FC\u30C8");
    EXPECT_EQ(user->Cell(gps::kList, 0, 1), L"COM3") << "values survive the new columns";
    EXPECT_EQ(user->Title(), L"Satview GPS");
    EXPECT_EQ(platform::IniReadString(dir / "Runinfo.ini", "language", "active", ""), "_ja");
    EXPECT_EQ(platform::IniReadString(dir / "Runinfo.ini", "language", "LangID", ""), "1041");

    ASSERT_TRUE(user->Choose(gps::kLanguage, 2));
    EXPECT_EQ(Status(), L"N\u00E3o foi poss\u00EDvel definir o APN.");
    EXPECT_EQ(user->ComboItems(gps::kMapSite)[1], L"Yahoo! JAPAN Mapa (yahoo)")
        << "the map sites follow the language";
}

TEST_F(GpsDialogInit, ClosingTheWindowRemovesTheDeviceEventSink) {
    Open();
    EXPECT_EQ(card->EventSinkCount(), 1);
    EXPECT_EQ(card->GetCounters().refreshes, 1);
    ASSERT_TRUE(user->Close());
    EXPECT_FALSE(dialog->HasWindow());
    EXPECT_EQ(card->EventSinkCount(), 0);
    card->RaiseSimStatus(1);
    ASSERT_TRUE(card->WaitIdle(2000));
    EXPECT_TRUE(card->DeviceEventResults().empty()) << "no event reaches a closed dialog";
}

TEST_F(GpsDialogInit, ThePluginRunsTheDialogModally) {
    std::thread modal([this] { EXPECT_EQ(plugin->DoModal(), 0); });
    ui::WindowHandle window = ui::headless::WaitForWindow(ui::templates::kGpsDialogId);
    ASSERT_TRUE(window);
    ui::headless::Driver modalUser(window);
    EXPECT_EQ(modalUser.Text(gps::kStart), L"Start");
    EXPECT_TRUE(modalUser.Close());
    modal.join();
    EXPECT_EQ(card->EventSinkCount(), 0);
}

// A folder where one of the program's files belongs: the dialog still comes up, idle, with the
// defaults that file would have changed (no active language: no texts).
TEST_F(GpsDialogInit, AFolderInPlaceOfAFileGivesTheDefaults) {
    struct Case {
        const char* file;
        bool texts;
    } cases[] = {
        {"config/ConfigFile.xml", true}, {"Runinfo.ini", false}, {"LangAreaForShort.xml", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::filesystem::remove(dir / c.file);
        std::filesystem::create_directory(dir / c.file);
        Open();
        EXPECT_EQ(user->Title(), c.texts ? L"Satview GPS" : L"");
        EXPECT_EQ(user->Text(gps::kStart), c.texts ? L"Start" : L"");
        EXPECT_EQ(Status(), c.texts ? L"Looking for the data card..." : L"");
        EXPECT_EQ(StatusKey(), L"IDS_STATIC_QUER_DataCard");
        EXPECT_FALSE(user->Enabled(gps::kStart)) << "no card yet";
        EXPECT_FALSE(user->Enabled(gps::kStop));
        EXPECT_FALSE(Running());
        ASSERT_TRUE(user->Close());
        dialog.reset();
        std::filesystem::remove(dir / c.file);
        std::filesystem::copy(std::string(SATVIEW_DATA_DIR) + "/" + c.file, dir / c.file);
    }
}

// Device events keep coming while the window closes and the dialog is destroyed: none reaches
// the dialog once it is gone (AddressSanitizer and ThreadSanitizer watch the rest).
TEST_F(GpsDialogInit, EventsRacingTheCloseAndDestructionReachNoFreedDialog) {
    for (int round = 0; round < 5; ++round) {
        Open();
        for (int ms = 0; ms < 40; ms += 2) card->RaiseSimStatus(1, ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 5));
        if (round % 2 == 0) {
            ASSERT_TRUE(user->Close());
        }
        user.reset();
        dialog.reset();
        EXPECT_EQ(card->EventSinkCount(), 0);
        ASSERT_TRUE(card->WaitIdle(2000));
    }
}
