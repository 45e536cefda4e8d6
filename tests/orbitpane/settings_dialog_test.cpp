// The settings dialog opened from the GPS dialog: what it shows, what Save stores and which
// AT lines the card receives when the settings are used at once.
#include <sys/stat.h>

#include "companion_fixture.h"
#include "orbitpane/win32/gpssetupdlg.h"

using namespace orbitpane_test;

namespace {

class SettingsDialog : public CompanionFixture {
  protected:
    // An AGPS session running on an AGPS card; the card's records start afresh.
    void RunAgpsSession() {
        WriteConfig("Y", "AGPS", "High speed");
        Open();
        CardFound();
        ASSERT_TRUE(user->Click(gps::kStart));
        ASSERT_TRUE(Running());
        card->Reset();
        card->SetFallbackAnswer(kOk);
    }
};

}  // namespace

TEST_F(SettingsDialog, BeforeTheCardIsFoundTheButtonOnlyExplains) {
    Open();
    dialog->EnableItem(gps::kSetting, true);
    ASSERT_TRUE(user->Click(gps::kSetting));
    EXPECT_FALSE(ui::headless::FindWindow(ui::templates::kSettingsDialogId));
    auto boxes = ui::headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, DeviceStatus());
    EXPECT_EQ(boxes[0].caption, Lang(L"IDS_Message"));
    EXPECT_EQ(Status(), DeviceStatus());
}

TEST_F(SettingsDialog, OpensWithTheRecordsChoicesInTheActiveLanguage) {
    const struct {
        const char* type;
        const char* scenario;
        int typeRadio;
        int scenarioRadio;
        bool editsEnabled;
    } cases[] = {
        {"AGPS", "Pedestrianism", settings::kTypeAgps, settings::kPedestrian, true},
        {"GPS", "High speed", settings::kTypeGps, settings::kHighSpeed, false},
    };
    for (const auto& c : cases) {
        WriteConfig("Y", c.type, c.scenario);
        Open("_pt-br");
        CardFound();
        ui::headless::Driver form = OpenSettings();
        EXPECT_EQ(form.Title(), Lang(L"IDS_TITLE_SETTING"));
        EXPECT_EQ(form.Text(settings::kUseNow), Lang(L"IDS_STATIC_CHECKUSE"));
        EXPECT_EQ(form.Text(settings::kSave), L"Salvar");
        EXPECT_TRUE(form.Checked(c.typeRadio)) << c.type;
        EXPECT_TRUE(form.Checked(c.scenarioRadio)) << c.scenario;
        EXPECT_EQ(form.Enabled(settings::kApn), c.editsEnabled) << c.type;
        EXPECT_EQ(form.Enabled(settings::kSupl), c.editsEnabled) << c.type;
        EXPECT_EQ(form.Text(settings::kApn), L"web.example");
        EXPECT_EQ(form.Text(settings::kSupl), L"supl.example.com:7275");
        EXPECT_FALSE(form.Checked(settings::kUseNow));

        // The type radios switch the two fields.
        ASSERT_TRUE(form.Click(settings::kTypeGps));
        EXPECT_FALSE(form.Enabled(settings::kApn));
        ASSERT_TRUE(form.Click(settings::kTypeAgps));
        EXPECT_TRUE(form.Enabled(settings::kSupl));
        ASSERT_TRUE(form.Click(settings::kCancel));
        EXPECT_FALSE(form.Alive());
        dialog.reset();
    }
}

TEST_F(SettingsDialog, ASaveWithAFieldTheCardCannotTakeIsRefusedNamingTheField) {
    const struct {
        std::wstring apn;
        std::wstring supl;
        const wchar_t* key;
        int focused;
    } cases[] = {
        {std::wstring(128, L'x'), L"supl.example.com", L"IDS_STATIC_CHECK_APN", settings::kApn},
        {L"my\"apn;AT+CFUN=0", L"supl.example.com", L"IDS_STATIC_CHECK_APN", settings::kApn},
        {L"\u30A2\u30AF\u30BB\u30B9", L"supl.example.com", L"IDS_STATIC_CHECK_APN", settings::kApn},
        {L"", L"supl.example.com", L"IDS_STATIC_CHECK_APN", settings::kApn},
        {L"web.example", L"bad server:99999", L"IDS_STATIC_CHECK_SUPL", settings::kSupl},
        {L"web.example", L"", L"IDS_STATIC_CHECK_SUPL", settings::kSupl},
    };
    for (const char* language : {"_en-us", "_ja", "_pt-br"}) {
        WriteConfig("Y", "GPS", "High speed");
        const std::string before = ConfigText();
        Open(language);
        CardFound();
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(language) + " " + platform::WideToUtf8(c.apn) + " / " +
                         platform::WideToUtf8(c.supl));
            ui::headless::ClearRecords();
            ui::headless::Driver form = OpenSettings();
            ASSERT_TRUE(form.Click(settings::kTypeAgps));
            ASSERT_TRUE(form.Type(settings::kApn, c.apn));
            ASSERT_TRUE(form.Type(settings::kSupl, c.supl));
            ASSERT_TRUE(form.SetChecked(settings::kUseNow, true));
            ASSERT_TRUE(form.Click(settings::kSave));
            EXPECT_TRUE(form.Alive()) << "the dialog stays for the field to be corrected";
            auto boxes = ui::headless::MessageBoxes();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, Lang(c.key));
            EXPECT_FALSE(boxes[0].text.empty());
            EXPECT_EQ(boxes[0].caption, Lang(L"IDS_TITLE_SETTING"));
            EXPECT_EQ(form.Focused(), c.focused);
            ASSERT_TRUE(form.Click(settings::kCancel));
        }
        EXPECT_EQ(ConfigText(), before) << "nothing refused is saved";
        EXPECT_TRUE(card->SentLines().empty()) << "nor sent";
        dialog.reset();
    }
}

TEST_F(SettingsDialog, SaveStoresWhatWasTypedAndGpsKeepsTheOldServer) {
    const std::wstring apn = L"Internet-2.Example" + std::wstring(82, L'x');  // 100 characters
    WriteConfig("Y", "GPS", "High speed");
    Open();
    CardFound();
    {
        ui::headless::Driver form = OpenSettings();
        ASSERT_TRUE(form.Click(settings::kTypeAgps));
        ASSERT_TRUE(form.Type(settings::kApn, apn));
        ASSERT_TRUE(form.Type(settings::kSupl, L"[2001:db8::1]:7275"));
        ASSERT_TRUE(form.Click(settings::kPedestrian));
        ASSERT_TRUE(form.Click(settings::kSave));
        EXPECT_FALSE(form.Alive());
        EXPECT_TRUE(ui::headless::MessageBoxes().empty());
    }
    // Read back as the next start of the program does.
    GpsConfigFile file;
    file.SetAppDirectory(dir.path());
    GPSConfigInfo stored;
    file.Load(stored);
    EXPECT_EQ(stored.strType, "AGPS");
    EXPECT_EQ(platform::Utf8ToWide(stored.strAPN), apn);
    EXPECT_EQ(stored.strSUPL, "[2001:db8::1]:7275");
    EXPECT_EQ(stored.strScenario, "Pedestrianism");

    // Back to GPS: the AGPS fields are neither checked nor kept from the edits.
    ui::headless::Driver form = OpenSettings();
    ASSERT_TRUE(form.Type(settings::kSupl, L"typed but not kept"));
    ASSERT_TRUE(form.Click(settings::kTypeGps));
    ASSERT_TRUE(form.Click(settings::kSave));
    EXPECT_FALSE(form.Alive());
    file.Load(stored);
    EXPECT_EQ(stored.strType, "GPS");
    EXPECT_EQ(platform::Utf8ToWide(stored.strAPN), apn);
    EXPECT_EQ(stored.strSUPL, "[2001:db8::1]:7275");
    EXPECT_TRUE(card->SentLines().empty()) << "nothing is applied without \"use now\"";
}

TEST_F(SettingsDialog, AHandEditedFileReachesNoAtLineAndTheStatusSaysSo) {
    const struct {
        const char* element;
        const char* value;
        const wchar_t* status;
    } cases[] = {
        {"APN", "my&quot;apn;AT+CFUN=0", L"IDS_STATIC_UNUSABLE_APN"},
        {"SUPL", "bad server:99999", L"IDS_STATIC_UNUSABLE_SUPL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.element);
        WriteConfig("Y", "AGPS", "High speed");
        std::string text = ConfigText();
        const std::string was =
            std::string(c.element) == "APN" ? "web.example" : "supl.example.com:7275";
        text.replace(text.find(was), was.size(), c.value);
        dir.Write("config/ConfigFile.xml", text);
        Open();
        CardFound();
        ASSERT_TRUE(user->Click(gps::kStart));
        EXPECT_FALSE(Running());
        EXPECT_EQ(Status(), Lang(c.status));
        for (const std::string& line : card->SentLines()) {
            EXPECT_EQ(line.find("SOCKETCONT"), std::string::npos) << line;
            EXPECT_EQ(line.find("WPURL"), std::string::npos) << line;
        }
        dialog.reset();
        card->Reset();
        card->SetFallbackAnswer(kOk);
    }
}

TEST_F(SettingsDialog, ASaveThatCannotBeWrittenIsToldInEachLanguage) {
    const std::string path = dir / "config/ConfigFile.xml";
    for (const char* language : {"_en-us", "_ja", "_pt-br"}) {
        SCOPED_TRACE(language);
        ui::headless::ClearRecords();
        WriteConfig("Y", "GPS", "High speed");
        ::chmod(path.c_str(), 0444);  // read-only: the writer refuses it, even for root
        Open(language);
        CardFound();
        ui::headless::Driver form = OpenSettings();
        ASSERT_TRUE(form.Click(settings::kPedestrian));
        ASSERT_TRUE(form.Click(settings::kSave));
        EXPECT_FALSE(form.Alive());
        auto boxes = ui::headless::MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        std::wstring told = Lang(L"IDS_STATIC_ERROR_SAVESETTINGS");
        EXPECT_FALSE(told.empty());
        EXPECT_EQ(boxes[0].text, told + L"\n" + platform::Utf8ToWide(path));
        EXPECT_EQ(boxes[0].caption, Lang(L"IDS_TITLE_SETTING"));
        EXPECT_NE(ConfigText().find("High speed"), std::string::npos) << "file unchanged";

        // Writable again, the same save says nothing and sticks.
        ::chmod(path.c_str(), 0644);
        ui::headless::ClearRecords();
        ui::headless::Driver again = OpenSettings();
        ASSERT_TRUE(again.Click(settings::kSave));
        EXPECT_TRUE(ui::headless::MessageBoxes().empty());
        EXPECT_NE(ConfigText().find("Pedestrianism"), std::string::npos);
        dialog.reset();
    }
}

TEST_F(SettingsDialog, UseNowStartsOrRestartsTheSession) {
    const struct {
        const char* name;
        bool running;
        const wchar_t* shownType;  // the GPS dialog's type display before Save
        int choice;
        bool useNow;
        int closes;
        int opens;
        bool agpsLines;
        bool gpsLines;
    } cases[] = {
        {"idle, same type: start", false, L"AGPS", settings::kTypeAgps, true, 0, 1, true, false},
        {"running, new type: restart", true, L"AGPS", settings::kTypeGps, true, 1, 1, false, true},
        {"running, empty display: restart", true, L"", settings::kTypeAgps, true, 1, 1, true,
         false},
        {"running, same type: start reports", true, L"AGPS", settings::kTypeAgps, true, 0, 0, false,
         false},
        {"running, unchecked: nothing", true, L"AGPS", settings::kTypeGps, false, 0, 0, false,
         false},
    };
    for (const auto& c : cases) {
        if (c.running) {
            RunAgpsSession();
        } else {
            WriteConfig("Y", "AGPS", "High speed");
            Open();
            CardFound();
        }
        dialog->SetItemText(gps::kGpsType, c.shownType);
        ui::headless::Driver form = OpenSettings();
        ASSERT_TRUE(form.Click(c.choice));
        ASSERT_TRUE(form.SetChecked(settings::kUseNow, c.useNow));
        ASSERT_TRUE(form.Click(settings::kSave));
        EXPECT_EQ(card->GetCounters().gpsCloses, c.closes) << c.name;
        EXPECT_EQ(card->GetCounters().gpsOpens, c.opens) << c.name;
        std::vector<std::string> expected =
            c.agpsLines ? kAgpsLines : (c.gpsLines ? kGpsLines : std::vector<std::string>{});
        EXPECT_EQ(Lines(), expected) << c.name;
        EXPECT_EQ(Running(), c.running || c.opens) << c.name;
        if (Running()) {
            ASSERT_TRUE(user->Click(gps::kStop));
        }
        dialog.reset();
        card->Reset();
        card->SetFallbackAnswer(kOk);
    }
}

TEST_F(SettingsDialog, TheTypeDisplayFollowsWhatTheCardCanDo) {
    const struct {
        int choice;
        bool agpsCard;
        const wchar_t* shown;
    } cases[] = {
        {settings::kTypeAgps, false, L"GPS"},
        {settings::kTypeAgps, true, L"AGPS"},
        {settings::kTypeGps, true, L"GPS"},
    };
    for (const auto& c : cases) {
        WriteConfig("Y", "GPS", "High speed");
        Open();
        CardFound(c.agpsCard);
        dialog->SetItemText(gps::kGpsType, L"unchanged");
        ui::headless::Driver form = OpenSettings();
        ASSERT_TRUE(form.Click(c.choice));
        ASSERT_TRUE(form.Click(settings::kSave));
        EXPECT_EQ(user->Text(gps::kGpsType), c.shown) << c.agpsCard;
        dialog.reset();
    }
}

TEST_F(SettingsDialog, WithoutSettingsItShowsTheDefaultsAndCannotSave) {
    Open();
    CGPSSetupDlg alone(plugin->Context());
    alone.AttachSettings(nullptr, nullptr, dir.path(), dialog.get());
    ASSERT_TRUE(alone.Create());
    alone.ShowWindow(ui::ShowCommand::Normal);
    ASSERT_TRUE(ui::headless::WaitIdle());
    ui::headless::Driver form(alone.Handle());
    EXPECT_TRUE(form.Checked(settings::kTypeGps));
    EXPECT_TRUE(form.Checked(settings::kHighSpeed));
    EXPECT_FALSE(form.Enabled(settings::kApn));
    EXPECT_FALSE(form.Enabled(settings::kSupl));
    EXPECT_FALSE(form.Click(settings::kSave));
    EXPECT_TRUE(form.Click(settings::kCancel));
}

TEST_F(SettingsDialog, CancelChangesNothing) {
    WriteConfig("Y", "AGPS", "High speed");
    Open();
    CardFound();
    const std::string before = ConfigText();
    ui::headless::Driver form = OpenSettings();
    ASSERT_TRUE(form.Type(settings::kApn, L"other"));
    ASSERT_TRUE(form.Click(settings::kTypeGps));
    ASSERT_TRUE(form.SetChecked(settings::kUseNow, true));
    ASSERT_TRUE(form.Click(settings::kCancel));
    EXPECT_EQ(ConfigText(), before);
    EXPECT_TRUE(card->SentLines().empty());
    EXPECT_EQ(user->Text(gps::kGpsType), L"AGPS");
}
