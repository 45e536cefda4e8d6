// Power events: the system's sleep announcements reach the GPS dialog as power broadcasts on
// its window thread; a suspension stops GPS first.
#include "orbitpane/win32/gpsuidlg.h"
#include "platform/power/sleep_watcher.h"
#include "platform/ui/kit.h"

void CGPSUIDlg::StartPowerEvents() {
    // The watcher's thread sends to the window and waits; the lock is released after that.
    auto watcher = std::make_unique<platform::SleepWatcher>([this](bool sleeping) {
        Send(WM_POWERBROADCAST, sleeping ? ui::kPowerSuspend : ui::kPowerResumeAutomatic, 0);
    });
    std::string reason;
    if (!watcher->Start(&reason)) {
        Trace(("No power events: " + reason).c_str());
        return;
    }
    sleepWatcher_ = std::move(watcher);
}

void CGPSUIDlg::StopPowerEvents() {
    if (!sleepWatcher_) return;
    // Its thread may be waiting in a send to this window: serve it until the thread ends.
    sleepWatcher_->RequestStop();
    ui::WaitServingSends([this] { return sleepWatcher_->Finished(); });
    sleepWatcher_->Stop();
    sleepWatcher_.reset();
}

ui::LResult CGPSUIDlg::OnPowerBroadcast(unsigned event, ui::LParam) {
    if (event == ui::kPowerSuspend) {
        OnBnClickedButtonStop();
        Trace("WM_POWERBROADCAST OnHibernate() PBT_APMQUERYSUSPEND | PBT_APMSUSPEND");
    }
    return 1;
}
