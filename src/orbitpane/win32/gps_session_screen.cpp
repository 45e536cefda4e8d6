// The GPS dialog's buttons and timer hand over to the session, and the dialog shows what the
// session asks for.
#include "orbitpane/win32/gpsuidlg.h"
#include "platform/ui/controls.h"
#include "platform/ui/kit.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

unsigned CGPSUIDlg::StartGpsTimer() {
    return SetTimer(kGpsTimerId, kGpsTimerPeriodMs);
}

bool CGPSUIDlg::KillGpsTimer() {
    return Dialog::KillTimer(kGpsTimerId);
}

void CGPSUIDlg::TellCardNotReady() {
    std::wstring message = DeviceStatusText();
    SetItemText(ids::kStatus, message);
    // The box goes by itself once the card is ready (DrawCard): it would say what is no
    // longer so.
    notReadyBoxUp_ = true;
    ShowMessageBox(message, Text(L"IDS_Message"), ui::kMbOk);
    notReadyBoxUp_ = false;
}

session::StartSettings CGPSUIDlg::StartSettingsNow() const {
    session::StartSettings s;
    s.agps = gpsConfig_.strType == "AGPS" && cardWatch_.AgpsReady();
    s.pedestrian = gpsConfig_.strScenario == kScenarioPedestrian && cardWatch_.AgpsCapable();
    s.apn = gpsConfig_.strAPN;
    s.suplServer = gpsConfig_.strSUPL;
    return s;
}

void CGPSUIDlg::OnBnClickedButtonStart() {
    if (!cardWatch_.View().canStart) {
        TellCardNotReady();
        return;
    }
    session_.Start(StartSettingsNow());
}

void CGPSUIDlg::OnBnClickedButtonStop() {
    session_.Stop();
}

void CGPSUIDlg::RestartGps() {
    session_.Restart([this] { OnBnClickedButtonStart(); });
}

void CGPSUIDlg::OnClose() {
    session_.CloseForExit();
    // The polling of the GPS port runs only while the card is present or ready; it has ended
    // when the join returns.
    cardWatch_.Closing();
    if (gpsThread_.Held()) {
        gpsThread_.StopAndJoin();
        Trace("Stop QueryGPSThread successfully!");
    }
    Dialog::OnClose();
}

void CGPSUIDlg::OnTimer(unsigned id) {
    if (id == kGpsTimerId) session_.WatchdogTick();
}

void CGPSUIDlg::OnSettingsSaved() {
    if (!session_.Running()) {
        cardWatch_.SettingsSaved(gpsConfig_.strType);
        DrawCard();
    }
}

std::wstring CGPSUIDlg::DeviceStatusText() {
    const session::CardView& v = cardWatch_.View();
    return v.deviceStatusTold ? Text(v.deviceStatusKey.c_str()) : L"Querying Data Card...";
}

void CGPSUIDlg::ShowDeviceStatus() {
    SetItemText(ids::kStatus, DeviceStatusText());
    // The key, not the text: a later language change shows the message again.
    statusTextId_ = cardWatch_.View().deviceStatusKey;
    statusDetail_.clear();
}

void CGPSUIDlg::ShowSessionType(bool agps) {
    cardWatch_.SessionStarting(agps);
    DrawCard();
}

void CGPSUIDlg::ShowButtons(bool running) {
    if (running) {
        EnableItem(ids::kStop, true);
        SetFocus(ids::kStop);
        EnableItem(ids::kStart, false);
    } else {
        ShowStartable(true);
        EnableItem(ids::kStop, false);
    }
}

// Idle, Start is pressable only while a session can start: with no card (or none ready) it
// is dimmed, and the status line says why. `focus`: a pressable Start takes the focus.
void CGPSUIDlg::ShowStartable(bool focus) {
    const bool startable = cardWatch_.View().canStart;
    if (IsItemEnabled(ids::kStart) != startable) EnableItem(ids::kStart, startable);
    if (startable && focus) SetFocus(ids::kStart);
}

void CGPSUIDlg::ShowIdle() {
    ShowStartable(true);
    EnableItem(ids::kStop, false);
    ui::ListView list = List(ids::kList);
    for (int row = 1; row < kListRows; ++row) list.SetItemText(row, 1, L"");
    fixReadings_ = {};
    ShowFixRows(false);
    sky_.reset();
    ShowSkyView();
    ShowNoData(std::nullopt);
    SetItemText(ids::kNoDataSeconds, L"");
    cardWatch_.SessionEnded();
    DrawCard();
}

void CGPSUIDlg::ShowNoData(std::optional<long long> seconds) {
    ShowItem(ids::kNoDataLabel, seconds.has_value());
    ShowItem(ids::kNoDataSeconds, seconds.has_value());
    ShowItem(ids::kSecondsUnit, seconds.has_value());
    if (seconds) SetItemText(ids::kNoDataSeconds, std::to_wstring(*seconds));
}

void CGPSUIDlg::ClearNoDataSeconds() {
    SetItemText(ids::kNoDataSeconds, L"");
}

void CGPSUIDlg::Pause(int milliseconds) {
    // The pause serves sends: a sink waiting on this thread is not held up by it.
    ui::WaitServingSends([] { return false; }, milliseconds);
}

void CGPSUIDlg::ShowFirstFix(std::chrono::milliseconds) {
    // The first fix row is drawn with the position that brought it (OnGpsData), which reads
    // the time from the session.
    ShowSkyView();
}

void CGPSUIDlg::CardGaveUp() {
    Post(WM_DEVICE_STATE, static_cast<ui::WParam>(framework::kEventCardUnavailable), kNoSimStatus);
}
