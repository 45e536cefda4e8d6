// The GPS dialog's Setting button: the settings dialog, once the card's GPS port is known.
#include "orbitpane/win32/gpssetupdlg.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

void CGPSUIDlg::OnBnClickedButtonSetting() {
    if (!cardWatch_.View().canStart) {
        TellCardNotReady();
        return;
    }
    CGPSSetupDlg settings(context_);
    settings.AttachSettings(&configFile_, &gpsConfig_, appDirectory_, this);
    settings.DoModal(Handle());
}
