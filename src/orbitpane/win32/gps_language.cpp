// The GPS dialog's language selector and the re-translation of its texts.
#include "orbitpane/win32/gpsuidlg.h"
#include "platform/ui/controls.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

void CGPSUIDlg::FillLanguageList() {
    languages_ = orbitpane::ListInstalledLanguages(orbitpane::PluginDirectory(), languageTables_);
    ui::ComboBox combo = Combo(ids::kLanguage);
    combo.ResetContent();
    for (const auto& language : languages_) combo.AddString(language.displayName);

    // The entry of the active language ("_" + code), wherever the listing put it.
    std::wstring active =
        orbitpane::ReadIniString(orbitpane::kLanguageSection, L"active", orbitpane::kRunInfoFile);
    int selected = -1;
    if (!active.empty() && active.front() == L'_') {
        for (size_t i = 0; i < languages_.size(); ++i) {
            if (languages_[i].code == active.substr(1)) selected = static_cast<int>(i);
        }
    }
    combo.SetCurSel(selected);
}

void CGPSUIDlg::OnLanguageChanged() {
    int index = Combo(ids::kLanguage).GetCurSel();
    if (index < 0 || index >= static_cast<int>(languages_.size())) return;
    const std::wstring code = languages_[index].code;
    std::wstring id;
    if (auto found = languageTables_.ids.find(code); found != languageTables_.ids.end()) {
        id = found->second;
    }
    const std::wstring suffix = L"_" + code;
    context_.SetLanguageFile(orbitpane::LanguageFileFor(code.empty() ? L"_en-us" : suffix));
    orbitpane::WriteIniString(orbitpane::kLanguageSection, L"active", suffix,
                              orbitpane::kRunInfoFile);
    orbitpane::WriteIniString(orbitpane::kLanguageSection, L"LangID", id, orbitpane::kRunInfoFile);

    SetTitle(Text(L"IDS_TITLE_GPSAPP"));
    // The value column keeps what it shows: the rows follow the session (emptied by a stop,
    // the port row by a lost card), so a change of language brings back nothing older.
    ui::ListView list = List(ids::kList);
    std::wstring values[kListRows];
    for (int row = 0; row < kListRows; ++row) values[row] = list.GetItemText(row, 1);
    SetUpListView();
    for (int row = 0; row < kListRows; ++row) {
        list.SetItemText(row, 0, Text(kListRowKeys[row]));
        list.SetItemText(row, 1, values[row]);
    }
    ShowFixRows(true);
    ShowStatus(StatusTextId(), statusDetail_);
    ApplyTexts();
    FillMapSites();
    if (skyDialog_) skyDialog_->ApplyLanguage();
}

// The map sites in the active language; the chosen one stays chosen, a typed text stays.
void CGPSUIDlg::FillMapSites() {
    ui::ComboBox maps = Combo(ids::kMapSite);
    const int chosen = maps.GetCurSel();
    const std::wstring typed = maps.CurrentText();
    const bool first = maps.Count() == 0;
    maps.ResetContent();
    for (const wchar_t* key : {L"IDS_GOOGLE", L"IDS_YAHOO", L"IDS_LIVE"}) maps.AddString(Text(key));
    if (first || chosen >= 0) {
        maps.SetCurSel(first ? 0 : chosen);
    } else {
        SetItemText(ids::kMapSite, typed);
    }
}
