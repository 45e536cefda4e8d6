// The GPS dialog's language selector and the re-translation of its texts.
#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/last_position.h"
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
    orbitpane::SetCurrentLanguageFile(
        orbitpane::LanguageFileFor(code.empty() ? L"_en-us" : suffix));
    orbitpane::WriteIniString(orbitpane::kLanguageSection, L"active", suffix,
                              orbitpane::kRunInfoFile);
    orbitpane::WriteIniString(orbitpane::kLanguageSection, L"LangID", id, orbitpane::kRunInfoFile);

    SetTitle(Text(L"IDS_TITLE_GPSAPP"));
    // The value column shows the last position again (port, coordinates, satellites, time).
    ui::ListView list = List(ids::kList);
    const orbitpane::LastPositionTexts values = orbitpane::LastPosition();
    SetUpListView();
    for (int row = 0; row < kListRows; ++row) {
        list.SetItemText(row, 0, Text(kListRowKeys[row]));
        list.SetItemText(row, 1, values[row]);
    }
    ShowFixRows(true);
    ShowStatus(StatusTextId());
    ApplyTexts();
}
