// The GPS dialog follows the card: the device manager's events and what the polling threads
// find go to CardWatch on the window thread, and the dialog draws what it makes of them.
#include <cstring>

#include "framework/contracts/ids.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "orbitpane/win32/port_search.h"
#include "platform/ui/controls.h"
#include "platform/ui/kit.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;
using session::CardState;

namespace {

constexpr int kPcUiPollMs = 1000;
constexpr int kGpsPollMs = 100;

}  // namespace

void CGPSUIDlg::WireMonitoring() {
    OnMessage(WM_DEVICE_STATE, [this](ui::WParam event, ui::LParam value) {
        return OnDeviceState(static_cast<uint32_t>(event), value);
    });
    OnMessage(WM_PCUI_SEARCHED, [this](ui::WParam found, ui::LParam) {
        cardWatch_.PcUiSearched((found & 1) != 0, (found & 2) != 0);
        DrawCard();
        return ui::LResult{0};
    });
    OnMessage(WM_GPS_PORT_SEARCHED, [this](ui::WParam round, ui::LParam port) {
        std::optional<int> found;
        if (port != kNoPort) found = static_cast<int>(port);
        const std::string text = found ? std::string(orbitpane::kGpsInterfaceText) + " (COM" +
                                             std::to_string(*found) + ")"
                                       : std::string();
        cardWatch_.GpsPortSearched(static_cast<unsigned>(round), found, text);
        DrawCard();
        return ui::LResult{0};
    });
    OnMessage(WM_GPS_TYPE_ANSWERED, [this](ui::WParam round, ui::LParam answer) {
        cardWatch_.GpsTypeAnswered(static_cast<unsigned>(round),
                                   static_cast<session::GpsTypeAnswer>(answer));
        DrawCard();
        return ui::LResult{0};
    });
    OnMessage(WM_GPS_DATA, [this](ui::WParam record, ui::LParam) {
        return OnGpsData(reinterpret_cast<const void*>(record));
    });
    OnClicked(ids::kOpenMap, [this] { OnOpenMapLink(); });
}

// The device manager's thread. Removing this sink waits for a call running here, so the
// window's teardown never overlaps one; the flag refuses an event that arrives while the
// window is being created or destroyed. The event goes to the window, never waiting for it.
bool CGPSUIDlg::OnDeviceEvent(uint32_t event, void* data) {
    std::lock_guard<std::mutex> lock(sinkMutex_);
    if (!acceptingEvents_) return false;
    // The session's views of the sky come through the plug-in object, as its positions.
    if (event == framework::kEventGpsSky) return true;
    // A SIM report's status, an unavailability's reason.
    ui::LParam value = kNoSimStatus;
    if ((event == framework::kEventSimStatus || event == framework::kEventCardUnavailable) &&
        data != nullptr) {
        int32_t word = 0;
        std::memcpy(&word, data, sizeof word);
        value = word;
    }
    Post(WM_DEVICE_STATE, static_cast<ui::WParam>(event), value);
    return true;
}

ui::LResult CGPSUIDlg::OnDeviceState(uint32_t event, ui::LParam value) {
    std::optional<int32_t> word;
    if (value != kNoSimStatus) word = static_cast<int32_t>(value);
    if (!cardWatch_.DeviceEvent(event, word)) return 0;
    DrawCard();
    const CardState state = cardWatch_.State();
    if (state != CardState::kRemoved && state != CardState::kUnavailable) return 0;
    if (state == CardState::kRemoved) context_.ClearLastPosition();
    session_.CardLost(state == CardState::kRemoved ? session::CardLoss::kRemoved
                                                   : session::CardLoss::kUnavailable);
    return 0;
}

// The card's view on the screen, where the screen differs from it, and the GPS port polling
// follows it.
void CGPSUIDlg::DrawCard() {
    const session::CardView& v = cardWatch_.View();
    auto show = [this](int id, bool shown) {
        if (IsItemVisible(id) != shown) ShowItem(id, shown);
    };
    show(ids::kSetting, v.agpsOffered);
    show(ids::kGpsTypeLabel, v.agpsOffered);
    if (ItemText(ids::kGpsType) != v.gpsType) SetItemText(ids::kGpsType, v.gpsType);
    show(ids::kGpsType, v.gpsTypeShown);
    if (IsItemEnabled(ids::kSetting) != v.settingsEnabled) {
        EnableItem(ids::kSetting, v.settingsEnabled);
    }
    ui::ListView list = List(ids::kList);
    if (list.GetItemText(0, 1) != v.portText) {
        list.SetItemText(0, 1, v.portText);
        // The last position keeps a lost card's port (a removal forgets all of it).
        if (!v.portText.empty()) context_.SetLastPositionText(orbitpane::kRowPort, v.portText);
    }
    if (!session_.Running() && IsItemEnabled(ids::kStart) != v.canStart) {
        // Start, pressable now, takes the focus unless the user is choosing or typing.
        const int focus = Focus();
        ShowStartable(focus != ids::kLanguage && focus != ids::kMapSite && focus != ids::kPath);
    }
    if (v.canStart && notReadyBoxUp_) ui::EndMessageBox(Handle());
    if (v.statusTurn != drawnStatusTurn_) {
        drawnStatusTurn_ = v.statusTurn;
        ShowStatus(v.statusKey);
    }
    FollowSearch();
}

void CGPSUIDlg::FollowSearch() {
    const session::CardView& v = cardWatch_.View();
    if (!v.searchPorts) {
        // The search is over (found and asked, or the card is gone): its thread has ended or
        // ends after its pass.
        gpsThread_.StopAndJoin();
        return;
    }
    if (gpsThread_.Held() && searchRound_ == v.searchRound) return;
    gpsThread_.StopAndJoin();
    searchRound_ = v.searchRound;
    if (!StartGpsThread(v.searchRound)) {
        Trace("Starting QueryGPSThread failed!");
        cardWatch_.SearchFailed();
        DrawCard();
    }
}

bool CGPSUIDlg::StartWorker(orbitpane::WorkerThread& worker, std::function<void()> body) {
    return worker.Start(std::move(body));
}

bool CGPSUIDlg::StartGpsThread(unsigned round) {
    return StartWorker(gpsThread_, [this, round] { QueryGPSThread(round); });
}

void CGPSUIDlg::StartPcUiThread() {
    if (queryThread_.Held()) return;
    if (!StartWorker(queryThread_, [this] { QueryPCUIThread(); })) {
        Trace("Starting QueryPCUIThread failed!");
    }
}

void CGPSUIDlg::StopWorkers() {
    gpsThread_.StopAndJoin();
    queryThread_.StopAndJoin();
}

// Every second, for the dialog's life: whether the card's PC UI port, and its GPS port, are in
// the port list.
void CGPSUIDlg::QueryPCUIThread() {
    do {
        const std::vector<platform::SerialPort> ports = orbitpane::ListPresentPorts();
        int port = 0;
        const bool pcUi = orbitpane::FindComPortIn(ports, orbitpane::kPcUiInterfaceText, port);
        const bool gps = orbitpane::FindComPortIn(ports, orbitpane::kGpsInterfaceText, port);
        Post(WM_PCUI_SEARCHED, (pcUi ? 1u : 0u) | (gps ? 2u : 0u));
    } while (queryThread_.Sleep(kPcUiPollMs));
}

// One search: the GPS port every 100 ms until found, then the card's GPS type once.
void CGPSUIDlg::QueryGPSThread(unsigned round) {
    while (!gpsThread_.StopRequested()) {
        int port = 0;
        const bool found = orbitpane::FindComPortByFriendlyName(orbitpane::kGpsInterfaceText, port);
        Post(WM_GPS_PORT_SEARCHED, round, found ? port : kNoPort);
        if (found) {
            const session::GpsTypeAnswer answer = pluginObject_
                                                      ? pluginObject_->QueryGpsTypeAnswer()
                                                      : session::GpsTypeAnswer::kUnanswered;
            Post(WM_GPS_TYPE_ANSWERED, round, static_cast<ui::LParam>(answer));
            break;
        }
        if (!gpsThread_.Sleep(kGpsPollMs)) break;
    }
    Trace("QueryGPSPortThread returned.");
}
