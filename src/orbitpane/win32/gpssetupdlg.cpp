#include "orbitpane/win32/gpssetupdlg.h"

#include "orbitpane/session/agps_settings.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/localisation.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "orbitpane/win32/plugin_context.h"
#include "platform/text.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::settings;

CGPSSetupDlg::CGPSSetupDlg(orbitpane::PluginContext& context)
    : Dialog(ui::templates::SettingsDialog()), context_(context) {
    OnClicked(ids::kTypeGps, [this] { OnTypeGps(); });
    OnClicked(ids::kTypeAgps, [this] { OnTypeAgps(); });
    OnClicked(ids::kSave, [this] { OnSave(); });
    OnClicked(ids::kCancel, [this] { EndDialog(ui::kIdCancel); });
}

CGPSSetupDlg::~CGPSSetupDlg() {
    DestroyWindow();
}

std::wstring CGPSSetupDlg::Text(const wchar_t* key) const {
    return context_.Text(key);
}

void CGPSSetupDlg::AttachSettings(GpsConfigFile* markup, GPSConfigInfo* configInfo,
                                  const std::string& appDirectory, CGPSUIDlg* mainDlg) {
    if (configInfo == nullptr || markup == nullptr) return;
    m_pMarkup = markup;
    m_pConfigInfo = configInfo;
    m_strAppDirectory = appDirectory;
    m_pMainDlg = mainDlg;
}

bool CGPSSetupDlg::OnInitDialog() {
    static const struct {
        int id;
        const wchar_t* key;
    } kTexts[] = {
        {ids::kTypeGroup, L"ID_GPS_TYPE"},
        {ids::kTypeGps, L"IDS_RADIO_TYPEGPS"},
        {ids::kTypeAgps, L"IDS_RADIO_TYPEAGPS"},
        {ids::kAgpsGroup, L"IDS_STATIC_AGPSCFG"},
        {ids::kApnLabel, L"IDS_STATIC_APN"},
        {ids::kSuplLabel, L"IDS_STATIC_SUPLserver"},
        {ids::kScenarioGroup, L"IDS_STATIC_SCENARIOPRO"},
        {ids::kHighSpeed, L"IDS_RADIO_HighSpeed"},
        {ids::kPedestrian, L"IDS_RADIO_PED"},
        {ids::kUseNow, L"IDS_STATIC_CHECKUSE"},
        {ids::kSave, L"IDS_SAVE"},
        {ids::kCancel, L"IDS_CANCEL"},
    };
    SetTitle(Text(L"IDS_TITLE_SETTING"));
    for (const auto& t : kTexts) SetItemText(t.id, Text(t.key));

    m_editApn.SetOwnerDlg(this);
    m_editApn.Bind(*this, ids::kApn);
    m_editSupl.SetOwnerDlg(this);
    m_editSupl.Bind(*this, ids::kSupl);

    if (m_pConfigInfo != nullptr) {
        const GPSConfigInfo& info = *m_pConfigInfo;
        CheckItem(info.strType == "AGPS" ? ids::kTypeAgps : ids::kTypeGps, true);
        if (info.strType == "GPS") {
            EnableItem(ids::kApn, false);
            EnableItem(ids::kSupl, false);
        }
        SetItemText(ids::kApn, platform::Utf8ToWide(info.strAPN));
        SetItemText(ids::kSupl, platform::Utf8ToWide(info.strSUPL));
        CheckItem(info.strScenario == kScenarioPedestrian ? ids::kPedestrian : ids::kHighSpeed,
                  true);
    } else {
        CheckItem(ids::kTypeGps, true);
        CheckItem(ids::kHighSpeed, true);
        EnableItem(ids::kApn, false);
        EnableItem(ids::kSupl, false);
        // Nothing to save into: the GPS dialog always attaches both, a stray caller gets a
        // dialog that can only be cancelled.
        EnableItem(ids::kSave, false);
    }
    return true;
}

void CGPSSetupDlg::OnTypeGps() {
    EnableItem(ids::kApn, false);
    EnableItem(ids::kSupl, false);
}

void CGPSSetupDlg::OnTypeAgps() {
    EnableItem(ids::kApn, true);
    EnableItem(ids::kSupl, true);
}

// AGPS takes the two fields as the card is given them: a field that fails its check is named
// in a message box, gets the focus, and nothing is saved.
bool CGPSSetupDlg::FieldsAccepted() {
    if (!IsItemChecked(ids::kTypeAgps)) return true;
    const struct {
        int id;
        const wchar_t* (*problem)(std::string_view);
    } kFields[] = {
        {ids::kApn, session::ApnProblem},
        {ids::kSupl, session::SuplServerProblem},
    };
    for (const auto& field : kFields) {
        const wchar_t* key = field.problem(platform::WideToUtf8(ItemText(field.id)));
        if (key == nullptr) continue;
        ShowMessageBox(Text(key), Text(L"IDS_TITLE_SETTING"), ui::kMbOk | ui::kMbIconWarning);
        SetFocus(field.id);
        return false;
    }
    return true;
}

void CGPSSetupDlg::OnSave() {
    if (m_pConfigInfo == nullptr || m_pMarkup == nullptr) return;
    if (!FieldsAccepted()) return;
    GPSConfigInfo& info = *m_pConfigInfo;
    const std::string shownType =
        m_pMainDlg ? platform::WideToUtf8(m_pMainDlg->ItemText(ui::templates::gps::kGpsType))
                   : std::string();

    if (IsItemChecked(ids::kTypeGps)) {
        if (shownType != "GPS") m_bTypeChanged = 1;
        info.strType = "GPS";
    } else if (IsItemChecked(ids::kTypeAgps)) {
        if (shownType != "AGPS") m_bTypeChanged = 1;
        info.strType = "AGPS";
    }
    if (info.strType == "AGPS") {
        info.strAPN = platform::WideToUtf8(ItemText(ids::kApn));
        info.strSUPL = platform::WideToUtf8(ItemText(ids::kSupl));
    }
    if (IsItemChecked(ids::kHighSpeed)) {
        info.strScenario = kScenarioHighSpeed;
    } else if (IsItemChecked(ids::kPedestrian)) {
        info.strScenario = kScenarioPedestrian;
    }
    // The record keeps the new values for this session either way; a failed write is told,
    // so that nobody expects to find them at the next start.
    if (!m_pMarkup->SaveSettings(info)) {
        std::wstring text = Text(L"IDS_STATIC_ERROR_SAVESETTINGS");
        if (text.empty()) text = L"The GPS settings could not be saved.";
        ShowMessageBox(text + L"\n" + platform::Utf8ToWide(m_pMarkup->Path()),
                       Text(L"IDS_TITLE_SETTING"), ui::kMbOk | ui::kMbIconWarning);
    }

    if (m_pMainDlg != nullptr) {
        UpdateMainTypeDisplay();
        if (IsItemChecked(ids::kUseNow)) {
            if (m_bTypeChanged) {
                m_pMainDlg->RestartGps();
            } else {
                m_pMainDlg->OnBnClickedButtonStart();
            }
        }
    }
    EndDialog(ui::kIdOk);
}

void CGPSSetupDlg::UpdateMainTypeDisplay() {
    m_pMainDlg->OnSettingsSaved();
}
