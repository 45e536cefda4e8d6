// CGPSSetupDlg: the settings dialog (template 6003). The user chooses stand-alone GPS or
// AGPS, the APN and SUPL server AGPS needs, and the scenario profile. Save stores them in the
// GPS dialog's settings record and in ConfigFile.xml, updates the GPS dialog's type display
// and, when asked, applies them at once by starting or restarting the session.
#pragma once

#include <string>

#include "orbitpane/win32/edit_controls.h"
#include "orbitpane/win32/gps_config.h"
#include "platform/ui/dialog.h"

class CGPSUIDlg;
namespace orbitpane {
class PluginContext;
}

class CGPSSetupDlg : public ui::Dialog {
  public:
    // `context`: where its texts come from.
    explicit CGPSSetupDlg(orbitpane::PluginContext& context);
    ~CGPSSetupDlg() override;

    // The GPS dialog's configuration document and settings record, the program directory and
    // the GPS dialog itself. Nothing is kept when the record or the document is missing; the
    // dialog then opens with the defaults and cannot save.
    void AttachSettings(GpsConfigFile* markup, GPSConfigInfo* configInfo,
                        const std::string& appDirectory, CGPSUIDlg* mainDlg);

    // Whether this Save counted as a change of the GPS type.
    bool TypeChanged() const { return m_bTypeChanged != 0; }

  protected:
    bool OnInitDialog() override;

  private:
    void OnTypeGps();
    void OnTypeAgps();
    void OnSave();
    // The APN and SUPL server fields pass their checks (always, for stand-alone GPS).
    bool FieldsAccepted();
    // Step 6 of a Save: the GPS dialog's type display while no session runs.
    void UpdateMainTypeDisplay();
    std::wstring Text(const wchar_t* key) const;

    orbitpane::PluginContext& context_;
    GPSConfigInfo* m_pConfigInfo = nullptr;
    GpsConfigFile* m_pMarkup = nullptr;
    std::string m_strAppDirectory;
    CGPSUIDlg* m_pMainDlg = nullptr;
    int m_bTypeChanged = 0;
    CEditAPNEx m_editApn;
    CEditSUPLSrvEx m_editSupl;
};
