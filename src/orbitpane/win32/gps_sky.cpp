// The GPS dialog's satellites view: opened from the window menu or with the S key, fed with
// each view of the sky the session's card reports and with the session's first fix.
#include <cstring>

#include "orbitpane/win32/gps_track.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "platform/ui/kit.h"
#include "platform/ui/templates/gps.h"
#include "platform/ui/templates/sky.h"

namespace ids = ui::templates::gps;

void CGPSUIDlg::WireSkyView() {
    OnMessage(WM_GPS_SKY, [this](ui::WParam record, ui::LParam) {
        return OnGpsSky(reinterpret_cast<const void*>(record));
    });
}

void CGPSUIDlg::AddSkyMenu() {
    if (HasSystemMenu())
        AppendSystemMenuItem(orbitpane::kSatellitesCommand, Text(L"IDS_MENU_SATELLITES"));
    // The view's key, on every control that does not take letters itself.
    for (int id :
         {ids::kList, ids::kStart, ids::kStop, ids::kSetting, ids::kOpenMap, ids::kAutoRun}) {
        SetKeyHook(id, [this](int key) {
            if (key != 's' && key != 'S') return false;
            OpenSkyView();
            return true;
        });
    }
}

void CGPSUIDlg::OpenSkyView() {
    if (!skyDialog_) {
        // A sky plot in a window, a table in a terminal (and for the tests).
        const bool window = ui::CurrentBackend() == ui::BackendKind::Wx;
        skyDialog_ = std::make_unique<CSkyDlg>(
            context_, window ? ui::templates::SkyPlotDialog() : ui::templates::SkyTableDialog());
    }
    skyDialog_->Open(Handle());
    ShowSkyView();
}

void CGPSUIDlg::ShowSkyView() {
    if (!skyDialog_) return;
    SkyState state;
    state.sky = sky_;
    state.running = session_.Running();
    state.firstFix = session_.FirstFixAfter();
    skyDialog_->Show(state);
}

ui::LResult CGPSUIDlg::OnGpsSky(const void* data) {
    // A view that was on its way when the receiver was told to stop belongs to no session.
    if (data == nullptr || !session_.AcceptsPositions() || !session_.Running()) return 0;
    sky_ = *static_cast<const framework::GpsSkyRecord*>(data);
    ShowSkyView();
    return 0;
}
