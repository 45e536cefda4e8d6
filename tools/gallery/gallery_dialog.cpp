#include "gallery_dialog.h"

#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/templates/gps.h"

namespace gallery {

namespace gps = ui::templates::gps;
namespace settings = ui::templates::settings;

namespace {
constexpr unsigned kSecondsTimer = 1;
}  // namespace

SettingsDialog::SettingsDialog(Language language)
    : Dialog(ui::templates::SettingsDialog()), language_(language) {
    OnClicked(settings::kSave, [this] { EndDialog(ui::kIdOk); });
    OnClicked(settings::kCancel, [this] { EndDialog(ui::kIdCancel); });
    OnClicked(settings::kTypeGps, [this] {
        EnableItem(settings::kApn, false);
        EnableItem(settings::kSupl, false);
    });
    OnClicked(settings::kTypeAgps, [this] {
        EnableItem(settings::kApn, true);
        EnableItem(settings::kSupl, true);
    });
}

bool SettingsDialog::OnInitDialog() {
    const Texts& t = TextsFor(language_);
    SetTitle(t.settingsTitle);
    const std::pair<int, const std::wstring*> texts[] = {
        {settings::kTypeGroup, &t.gpsType},
        {settings::kTypeGps, &t.typeGps},
        {settings::kTypeAgps, &t.typeAgps},
        {settings::kAgpsGroup, &t.agpsConfig},
        {settings::kApnLabel, &t.apn},
        {settings::kSuplLabel, &t.supl},
        {settings::kScenarioGroup, &t.scenario},
        {settings::kHighSpeed, &t.highSpeed},
        {settings::kPedestrian, &t.pedestrian},
        {settings::kUseNow, &t.useNow},
        {settings::kSave, &t.save},
        {settings::kCancel, &t.cancel},
    };
    for (const auto& [id, text] : texts) SetItemText(id, *text);
    CheckItem(settings::kTypeAgps, true);
    CheckItem(settings::kPedestrian, true);
    SetItemText(settings::kApn, L"internet.example");
    SetItemText(settings::kSupl, L"supl.example.com:7275");
    return true;
}

GalleryDialog::GalleryDialog(Language language)
    : Dialog(ui::templates::GpsDialog()), language_(language) {
    OnClicked(gps::kStart, [this] { Start(); });
    OnClicked(gps::kStop, [this] { Stop(); });
    OnClicked(gps::kSetting, [this] {
        SettingsDialog settingsDialog(language_);
        settingsDialog.DoModal(Handle());
    });
    OnClicked(gps::kOpenMap, [this] {
        const Texts& t = TextsFor(language_);
        int answer = ShowMessageBox(t.openQuestion + L"\n" + Combo(gps::kMapSite).CurrentText(),
                                    t.title, ui::kMbOkCancel | ui::kMbIconInformation);
        if (answer == ui::kIdOk) SetItemText(gps::kStatus, t.opened);
    });
    OnSelectionChanged(gps::kLanguage, [this] {
        int chosen = Combo(gps::kLanguage).GetCurSel();
        if (chosen >= 0) SetLanguage(static_cast<Language>(chosen));
    });
}

bool GalleryDialog::OnInitDialog() {
    ui::ListView list = List(gps::kList);
    list.SetExtendedStyle(list.ExtendedStyle() | ui::kListGridLines | ui::kListFullRowSelect);
    for (int row = 0; row < 5; ++row) list.InsertItem(row, L"");
    for (const std::wstring& name : LanguageNames()) Combo(gps::kLanguage).AddString(name);
    ShowItem(gps::kPath, false);
    ShowItem(gps::kRun, false);
    ShowItem(gps::kBrowse, false);
    SetIcon(ui::Icon{ui::templates::kGpsIcon}, true);
    SetIcon(ui::Icon{ui::templates::kGpsIcon}, false);
    ShowNoData(false);
    ApplyTexts();
    SetItemText(gps::kGpsType, L"AGPS");
    SetItemText(gps::kStatus, TextsFor(language_).ready);
    return true;
}

void GalleryDialog::SetLanguage(Language language) {
    language_ = language;
    if (HasWindow()) ApplyTexts();
}

void GalleryDialog::ApplyTexts() {
    const Texts& t = TextsFor(language_);
    SetTitle(t.title);
    // Columns go and come back in the new language; the rows keep their values.
    ui::ListView list = List(gps::kList);
    while (list.ColumnCount() > 0) list.DeleteColumn(0);
    list.InsertColumn(0, t.itemColumn, 95);
    list.InsertColumn(1, t.valueColumn, ItemRect(gps::kList).width - 60);
    for (int row = 0; row < 5; ++row) {
        list.SetItemText(row, 0, t.rows[row]);
        list.SetItemText(row, 1, t.values[row]);
    }
    SetItemText(gps::kStart, t.start);
    SetItemText(gps::kStop, t.stop);
    SetItemText(gps::kSetting, t.setting);
    SetItemText(gps::kAutoRun, t.autoRun);
    SetItemText(gps::kOpenMap, t.open);
    SetItemText(gps::kNoDataLabel, t.noData);
    SetItemText(gps::kSecondsUnit, t.seconds);
    SetItemText(gps::kGpsTypeLabel, t.gpsTypeLabel);
    SetItemText(gps::kStatus, running_ ? t.waiting : t.ready);
    ui::ComboBox sites = Combo(gps::kMapSite);
    int site = std::max(sites.GetCurSel(), 0);
    sites.ResetContent();
    for (const std::wstring& name : t.mapSites) sites.AddString(name);
    sites.SetCurSel(site);
    Combo(gps::kLanguage).SetCurSel(static_cast<int>(language_));
}

void GalleryDialog::Start() {
    running_ = true;
    seconds_ = 0;
    EnableItem(gps::kStop, true);
    SetFocus(gps::kStop);
    EnableItem(gps::kStart, false);
    SetItemText(gps::kStatus, TextsFor(language_).waiting);
    SetItemText(gps::kNoDataSeconds, L"0");
    ShowNoData(true);
    SetTimer(kSecondsTimer, 1000);
}

void GalleryDialog::Stop() {
    running_ = false;
    KillTimer(kSecondsTimer);
    EnableItem(gps::kStart, true);
    SetFocus(gps::kStart);
    EnableItem(gps::kStop, false);
    SetItemText(gps::kStatus, TextsFor(language_).stopped);
    ShowNoData(false);
}

void GalleryDialog::ShowNoData(bool show) {
    for (int id : {gps::kNoDataLabel, gps::kNoDataSeconds, gps::kSecondsUnit}) ShowItem(id, show);
}

void GalleryDialog::OnTimer(unsigned id) {
    if (id != kSecondsTimer) return;
    SetItemText(gps::kNoDataSeconds, std::to_wstring(++seconds_));
}

}  // namespace gallery
