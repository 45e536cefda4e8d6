// CGPSUIDlg: the GPS dialog. It shows the card's GPS port and position, starts and stops GPS
// positioning through the plug-in object's AT commands, and offers the language and the map
// site. One instance exists per process; the plug-in object creates it and owns it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "framework/contracts/container.h"
#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "orbitpane/track/gpx_track.h"
#include "orbitpane/win32/edit_controls.h"
#include "orbitpane/win32/gps_config.h"
#include "orbitpane/win32/gps_fix_rows.h"
#include "orbitpane/win32/localisation.h"
#include "orbitpane/win32/worker_thread.h"
#include "platform/sync.h"
#include "platform/ui/dialog.h"

class COrbitpaneImpl;
namespace platform {
class SleepWatcher;
}

namespace orbitpane {
// Local time as the card's clock command takes it: year/month/day,hour:minute:second, with no
// leading zeros ("2026/1/5,0:5:9").
std::string SecTimeText(const std::tm& local);
}  // namespace orbitpane

// Whether a GPS session runs, for the whole process.
inline constexpr int kGpsSessionRunning = 0;
inline constexpr int kGpsSessionIdle = 2;
int GpsSessionState();
void SetGpsSessionState(int state);

// The dialog's private messages.
inline constexpr unsigned WM_DEVICE_STATE = 9568;
inline constexpr unsigned WM_GPS_DATA = 20701;
// The power event message: event code and data; the sleep watcher sends it.
inline constexpr unsigned WM_POWERBROADCAST = 0x0218;

// The rows of the list view (port, longitude, latitude, satellites, time), by the key of
// their item text. The fix rows (orbitpane::kFixRowKeys) follow them.
inline constexpr int kListRows = 5;
inline constexpr const wchar_t* kListRowKeys[kListRows] = {
    L"IDS_LST_ITEM_GPSPORT", L"IDS_LST_ITEM_LONG", L"IDS_LST_ITEM_Lat", L"IDS_LST_ITEM_SATInView",
    L"IDS_LST_ITEM_TIME"};

// Timer 1: the GPS-data timer, every 3 s while a session runs.
inline constexpr unsigned kGpsTimerId = 1;
inline constexpr unsigned kGpsTimerPeriodMs = 3000;

class CGPSUIDlg : public ui::Dialog,
                  public framework::IDeviceMgrEvent,
                  public framework::IMultiDeviceMgrEvent {
  public:
    CGPSUIDlg();
    ~CGPSUIDlg() override;

    void SetPluginObject(COrbitpaneImpl* plugin) { pluginObject_ = plugin; }
    COrbitpaneImpl* PluginObject() const { return pluginObject_; }

    // IDeviceMgrEvent / IMultiDeviceMgrEvent
    bool OnDeviceEvent(uint32_t event, void* data) override;
    int OnDeviceChanged(void* unused, framework::IDeviceInfo* info) override;

    // Handlers and operations other parts of the plug-in call (on the window thread).
    void OnBnClickedButtonStart();
    void OnBnClickedButtonStop();
    void RestartGps();
    void OnLanguageChanged();
    void OnBnClickedButtonSetting();
    // The external program (path field 6005, Run 6003, browse 6004).
    void OnRunProgram();
    void OnBrowseProgram();
    // An existing regular file the user may execute.
    static bool IsExecutablePath(const std::wstring& path);
    // Start at log-on (check box 6026).
    bool IsAutoRunEnabled();
    void OnAutoRunClicked();
    bool EnableAutoRun(const std::wstring& path);
    bool DisableAutoRun();
    void ResetToIdle();
    void FocusRule();
    unsigned StartGpsTimer();
    bool KillGpsTimer();

    // Status line: shows the text of `key` and remembers the key for a language change.
    void ShowStatus(const std::wstring& key);
    // Opens the current position in the map site chosen in the selector.
    void OnOpenMapLink();

    // State the device handling and the polling keep; readable from any thread.
    void SetCardReady(bool ready) { cardReady_ = ready ? 1 : 0; }
    bool CardReady() const { return cardReady_ != 0; }
    void SetGpsTypeResult(int result) { gpsTypeResult_ = result; }
    int GpsTypeResult() const { return gpsTypeResult_; }
    void SetDeviceState(int state) { deviceState_ = state; }
    int DeviceState() const { return deviceState_; }
    bool SimReady() const { return simReady_ != 0; }
    // The polling of the GPS port: a thread is held (running, or ended and not yet joined).
    bool GpsThreadHeld() const { return gpsThread_.Held(); }
    bool GpsThreadEnding() { return gpsThread_.Ending(); }
    // The last position as received, without the final character of each coordinate.
    std::wstring RawLatitude() const { return rawLatitude_; }
    std::wstring RawLongitude() const { return rawLongitude_; }
    // The device-status message and its key ("" when the text is not a key's).
    void SetDeviceStatus(const std::wstring& key, const std::wstring& text);
    std::wstring DeviceStatusText() const;
    std::wstring StatusTextId() const;
    // The external program's path: stored in the configuration file, and read back.
    bool SaveProgramPath(const std::wstring& path);
    std::wstring GetSavedProgramPath() const;
    // Sets the no-data watchdog's reference times (the last data, the last card check) to now.
    void TouchWatchdog();

  protected:
    int OnCreate() override;
    bool OnInitDialog() override;
    void OnClose() override;
    void OnDestroy() override;
    void OnTimer(unsigned id) override;
    // Starts one of the dialog's polling threads; false when no thread could be made.
    virtual bool StartWorker(orbitpane::WorkerThread& worker, std::function<void()> body);
    // Ends both polling threads (the dialog is going), or the GPS port polling alone.
    void StopWorkers();
    void StopGpsPolling() { gpsThread_.StopAndJoin(); }
    ui::LResult OnPowerBroadcast(unsigned event, ui::LParam data) override;
    void OnSysCommand(unsigned command) override;

  private:
    void SetUpListView();
    void FillLanguageList();
    void ApplyTexts();
    void FillMapSites();
    // Traces under the dialog's module name; the file and line are those of the call.
    void Trace(const char* message, const char* file = __builtin_FILE(),
               int line = __builtin_LINE());
    std::wstring Text(const wchar_t* key) { return orbitpane::LoadLanguageText(key); }
    bool ReadAppDirectory();
    std::wstring AutoRunProgram() const;
    bool LaunchProgram(const std::wstring& path);
    void StartPowerEvents();
    void StopPowerEvents();
    void RegisterWithDeviceManager();
    void UnregisterFromDeviceManager();
    void CloseGpsOnExit();
    // Tells the card to stop positioning; from then on no position reaches the rows.
    bool CloseReceiver();
    // A session whose card was lost or whose window goes: the receiver is stopped.
    void EndLostSession();
    void SetStatusKey(const std::wstring& key);
    bool RunSetCommands(bool agps);
    bool AgpsCardReady() const;
    void EnableSettingsForAgpsCard();

    // Device events, the polling threads, GPS data and the no-data watchdog.
    void WireMonitoring();
    bool FoldDeviceEvent(uint32_t event, const void* data);
    ui::LResult OnDeviceState(int state, int32_t simStatus);
    // The status key for a SIM that cannot be used, by its last reported status.
    const wchar_t* UnusableSimKey(int32_t simStatus) const;
    void OnCardPresent(int state);
    void ShowCardCapability();
    void OnCardLost(int state);
    bool StartGpsThread();
    void StartPcUiThread();
    void QueryPCUIThread();
    void QueryGPSThread();
    void ShowGpsType(int gpsType);
    // Device status: the text of `key` becomes the device-status message and the status line,
    // and, when `keepKey`, the status line's key; all in one step.
    void SetDeviceStatusShown(const std::wstring& key, bool keepKey);
    ui::LResult OnGpsData(const void* record);
    // The fix rows' values from fixReadings_, and their titles when `titles`.
    void ShowFixRows(bool titles);
    void OnWatchdogTick();
    // The status line of a running session, by whether positions arrive.
    void ShowSessionStatus(bool positionsArrive);
    // The map link's handler answers on a thread of its own, through a message to the window.
    struct MapLinkAnswers;
    void WireMapLink();
    void ForgetMapLinkAnswers();
    void OnMapLinkAnswered();

    // The session's track (gps_track.cpp).
    void AddTrackMenu();
    void ApplyTrackMenuTexts();
    void StartTrack();
    void EndTrack();
    void AddTrackPoint(const framework::GpsDataRecord& record, std::time_t arrivalUtc);
    void OpenTracksFolder();

    framework::IPluginContainer* container_ = nullptr;
    std::string appDirectory_;
    COrbitpaneImpl* pluginObject_ = nullptr;
    GpsConfigFile configFile_;
    GPSConfigInfo gpsConfig_;
    CEditPathEx pathEdit_;
    std::unique_ptr<platform::SleepWatcher> sleepWatcher_;

    orbitpane::LanguageTables languageTables_;
    std::vector<orbitpane::InstalledLanguage> languages_;

    mutable std::mutex textMutex_;  // guards the status key and the device status
    std::wstring statusTextId_ = L"IDS_STATIC_QUER_DataCard";
    std::wstring deviceStatusKey_ = L"IDS_STATIC_QUER_DataCard";
    std::wstring deviceStatusText_ = L"Querying Data Card...";

    std::atomic<int> gpsTypeResult_{0};
    std::atomic<int> deviceState_{0};
    std::atomic<int> cardReady_{0};
    std::atomic<int> simReady_{1};
    std::atomic<int32_t> simStatus_{static_cast<int32_t>(framework::kSimUsable)};
    std::atomic<int> pcuiPortFound_{0};
    unsigned gpsTimerId_ = 0;
    // The receiver as this window left it (window thread only). Positions are shown unless
    // the window stopped it; it is stopped again when the window goes while it is on.
    enum class Receiver { kUntouched, kOn, kStopped };
    Receiver receiver_ = Receiver::kUntouched;

    // The track of the running session, while one is recorded (window thread only).
    track::GpxTrack track_;

    // The last position as received (window thread only).
    std::wstring rawLatitude_;
    std::wstring rawLongitude_;
    // What the fix rows show (window thread only); empty while idle.
    orbitpane::FixReadings fixReadings_;

    platform::CriticalSection dataLock_;
    std::atomic<std::int64_t> lastDataTime_{0};
    std::atomic<std::int64_t> lastCheckTime_{0};

    std::shared_ptr<MapLinkAnswers> mapLinkAnswers_;

    // Polling: the GPS port while the card is present, the PC UI port for the dialog's life.
    orbitpane::WorkerThread gpsThread_;
    orbitpane::WorkerThread queryThread_;

    // Device events are taken only while the window is registered with the manager.
    std::mutex sinkMutex_;
    bool acceptingEvents_ = false;
};
