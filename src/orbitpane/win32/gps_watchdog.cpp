// The no-data watchdog on timer 1: how long no position has come, and a check every 20 s
// that the card still answers.
#include "framework/contracts/ids.h"
#include "orbitpane/win32/gps_clock.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

namespace {

constexpr std::int64_t kNoDataSeconds = 3;
constexpr std::int64_t kCardCheckSeconds = 20;
constexpr const wchar_t* kWaitingKey = L"IDS_STATIC_QUER_GPS";
constexpr const wchar_t* kStartedKey = L"IDS_STATIC_START_GPSSUCCE";

}  // namespace

// While a session runs, the status line says whether positions come: "waiting" until the
// first and again once they stop, "started" while they arrive. Any other message (an error,
// the card's state) stays until its own cause changes it.
void CGPSUIDlg::ShowSessionStatus(bool positionsArrive) {
    if (GpsSessionState() != kGpsSessionRunning) return;
    const std::wstring key = StatusTextId();
    if (key != kWaitingKey && key != kStartedKey) return;
    const wchar_t* shown = positionsArrive ? kStartedKey : kWaitingKey;
    if (key != shown) ShowStatus(shown);
}

void CGPSUIDlg::OnTimer(unsigned id) {
    if (id == kGpsTimerId) OnWatchdogTick();
}

void CGPSUIDlg::OnWatchdogTick() {
    const std::int64_t now = orbitpane::NowSeconds();
    const std::int64_t sinceCheck = now - lastCheckTime_;
    const std::int64_t sinceData = now - lastDataTime_;
    // A clock set back gives a negative difference, which counts as below the threshold.
    const bool noData = sinceData >= kNoDataSeconds;
    ShowItem(ids::kNoDataLabel, noData);
    ShowItem(ids::kNoDataSeconds, noData);
    ShowItem(ids::kSecondsUnit, noData);
    if (noData) SetItemText(ids::kNoDataSeconds, std::to_wstring(sinceData));
    if (noData) ShowSessionStatus(false);

    if (sinceCheck < kCardCheckSeconds) return;
    Trace("NO GPS Data in 20 second!\n");
    if (pluginObject_ && pluginObject_->ProbeCard()) {
        Trace("Data Card is OK!\n");
        platform::CriticalSectionLock lock(dataLock_);
        lastCheckTime_ = orbitpane::NowSeconds();
    } else if (GpsSessionState() == kGpsSessionRunning) {
        Trace("Data Card is Not OK!\n");
        const int unavailable = static_cast<int>(framework::kEventCardUnavailable);
        SetDeviceState(unavailable);
        Post(WM_DEVICE_STATE, static_cast<ui::WParam>(unavailable), 0);
        KillGpsTimer();
    }
    // Not acknowledged while idle: the check comes again on the next tick.
}
