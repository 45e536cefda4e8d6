// CGPSUIDlg: the GPS dialog. It shows the card's GPS port and position, starts and stops GPS
// positioning through the plug-in object's AT commands, and offers the language and the map
// site. The plug-in object creates it and owns it.
//
// What the dialog knows of the card is CardWatch's, what a session does is GpsSession's
// (orbitpane/session); the dialog hands them what happens, on its window thread, and draws
// what they give back. Its polling threads only look and post what they found.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "framework/contracts/container.h"
#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "orbitpane/session/card_watch.h"
#include "orbitpane/session/gps_session.h"
#include "orbitpane/win32/card_commands.h"
#include "orbitpane/win32/edit_controls.h"
#include "orbitpane/win32/gps_config.h"
#include "orbitpane/win32/gps_fix_rows.h"
#include "orbitpane/win32/gps_track.h"
#include "orbitpane/win32/localisation.h"
#include "orbitpane/win32/plugin_context.h"
#include "orbitpane/win32/sky_dialog.h"
#include "orbitpane/win32/worker_thread.h"
#include "platform/ui/dialog.h"

class COrbitpaneImpl;
namespace platform {
class SleepWatcher;
}

// The dialog's private messages.
inline constexpr unsigned WM_DEVICE_STATE = 9568;  // a device event: code, SIM status
inline constexpr unsigned WM_GPS_DATA = 20701;
inline constexpr unsigned WM_GPS_SKY = 9572;  // a view of the sky: GpsSkyRecord*
// What the polling threads found: the PC UI search (bit 0 its port, bit 1 the GPS port); the
// GPS port search (the search round; the port's number, kNoPort for none); the GPS type (the
// round; the answer).
inline constexpr unsigned WM_PCUI_SEARCHED = 9569;
inline constexpr unsigned WM_GPS_PORT_SEARCHED = 9570;
inline constexpr unsigned WM_GPS_TYPE_ANSWERED = 9571;
// The power event message: event code and data; the sleep watcher sends it.
inline constexpr unsigned WM_POWERBROADCAST = 0x0218;

// The SIM status or the unavailability's reason of WM_DEVICE_STATE when the event carried
// none, and the port of WM_GPS_PORT_SEARCHED when the search found none.
inline constexpr ui::LParam kNoSimStatus = INTPTR_MIN;
inline constexpr ui::LParam kNoPort = INTPTR_MIN;

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
                  public framework::IMultiDeviceMgrEvent,
                  private session::SessionScreen {
  public:
    explicit CGPSUIDlg(orbitpane::PluginContext& context);
    ~CGPSUIDlg() override;

    void SetPluginObject(COrbitpaneImpl* plugin) { pluginObject_ = plugin; }
    COrbitpaneImpl* PluginObject() const { return pluginObject_; }
    orbitpane::PluginContext& Context() const { return context_; }

    // IDeviceMgrEvent / IMultiDeviceMgrEvent
    bool OnDeviceEvent(uint32_t event, void* data) override;
    int OnDeviceChanged(void* unused, framework::IDeviceInfo* info) override;

    // Handlers and operations other parts of the plug-in call (on the window thread).
    void OnBnClickedButtonStart();
    void OnBnClickedButtonStop();
    void RestartGps();
    void OnLanguageChanged();
    void OnBnClickedButtonSetting();
    // The settings dialog saved a type while no session runs: the type label follows it.
    void OnSettingsSaved();
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

    // Status line: shows the text of `key`, followed by `detail` when there is one, and
    // remembers both for a language change.
    void ShowStatus(const std::wstring& key, const std::wstring& detail = {});
    // The same for a message that gives way to the session's status once positions have kept
    // coming for a while (a map or folder that could not be opened).
    void ShowPassingStatus(const std::wstring& key, const std::wstring& detail = {});
    // Opens the current position in the map site chosen in the selector.
    void OnOpenMapLink();

    // What the owners hold, for the other dialogs and the tests.
    const session::CardWatch& Card() const { return cardWatch_; }
    bool SessionRunning() const { return session_.Running(); }
    // The last position as received, without the final character of each coordinate.
    std::wstring RawLatitude() const { return rawLatitude_; }
    std::wstring RawLongitude() const { return rawLongitude_; }
    // The device-status message: the text of the card's device-status key, or "Querying Data
    // Card..." until the card told anything.
    std::wstring DeviceStatusText();
    std::wstring StatusTextId() const { return statusTextId_; }
    // The polling of the GPS port: a thread is held (running, or ended and not yet joined).
    bool GpsThreadHeld() const { return gpsThread_.Held(); }
    // The external program's path: stored in the configuration file, and read back.
    bool SaveProgramPath(const std::wstring& path);
    std::wstring GetSavedProgramPath() const;

  protected:
    int OnCreate() override;
    bool OnInitDialog() override;
    void OnClose() override;
    void OnDestroy() override;
    void OnTimer(unsigned id) override;
    // Starts one of the dialog's polling threads; false when no thread could be made.
    virtual bool StartWorker(orbitpane::WorkerThread& worker, std::function<void()> body);
    // Ends both polling threads (the dialog is going).
    void StopWorkers();
    ui::LResult OnPowerBroadcast(unsigned event, ui::LParam data) override;
    void OnSysCommand(unsigned command) override;

  private:
    void SetUpListView();
    void FillLanguageList();
    void ApplyTexts();
    void ApplyKitTexts();
    void FillMapSites();
    // Traces under the dialog's module name; the file and line are those of the call.
    void Trace(const char* message, const char* file = __builtin_FILE(),
               int line = __builtin_LINE());
    void TraceDebug(const char* message, const char* file = __builtin_FILE(),
                    int line = __builtin_LINE());
    std::wstring Text(const wchar_t* key) { return context_.Text(key); }
    bool ReadAppDirectory();
    std::wstring AutoRunProgram() const;
    bool LaunchProgram(const std::wstring& path);
    void StartPowerEvents();
    void StopPowerEvents();
    void RegisterWithDeviceManager();
    void UnregisterFromDeviceManager();
    // Start and Setting while no session can start: the device-status message, also in a box.
    void TellCardNotReady();
    session::StartSettings StartSettingsNow() const;

    // The card (gps_card.cpp): device events, what the polling found, drawing the card's view.
    void WireMonitoring();
    ui::LResult OnDeviceState(uint32_t event, ui::LParam value);
    void DrawCard();
    void FollowSearch();
    bool StartGpsThread(unsigned round);
    void StartPcUiThread();
    void QueryPCUIThread();
    void QueryGPSThread(unsigned round);

    // GPS data (gps_data.cpp).
    ui::LResult OnGpsData(const void* record);
    // The fix rows' values from fixReadings_, and their titles when `titles`.
    void ShowFixRows(bool titles);

    // The map link's handler answers on a thread of its own, through a message to the window.
    struct MapLinkAnswers;
    void WireMapLink();
    void ForgetMapLinkAnswers();
    void OnMapLinkAnswered();
    // Hands `target` to the desktop's handler; its answer comes back as a message. False when
    // the handler cannot be started.
    bool OpenWithHandler(const std::string& target, bool folder);
    void MapNotOpened(const std::string& link);

    // The satellites view (gps_sky.cpp).
    void WireSkyView();
    void AddSkyMenu();
    void OpenSkyView();
    void ShowSkyView();
    ui::LResult OnGpsSky(const void* record);

    // The session's track and the window menu (gps_track.cpp).
    void AddTrackMenu();
    void ApplyTrackMenuTexts();
    void OpenTracksFolder();
    void TracksFolderNotOpened(const std::string& folder);

    // session::SessionScreen (gps_session_screen.cpp)
    void ShowStatusKey(const wchar_t* key) override { ShowStatus(std::wstring(key)); }
    std::wstring StatusKey() override { return statusTextId_; }
    void ShowDeviceStatus() override;
    void ShowSessionType(bool agps) override;
    void ShowButtons(bool running) override;
    void ShowIdle() override;
    void ShowStartable(bool focus);
    void ShowNoData(std::optional<long long> seconds) override;
    void ClearNoDataSeconds() override;
    bool StartWatchdogTimer() override { return StartGpsTimer() != 0; }
    bool KillWatchdogTimer() override { return KillGpsTimer(); }
    void Pause(int milliseconds) override;
    void CardGaveUp() override;
    void ShowFirstFix(std::chrono::milliseconds after) override;
    void Trace(const std::string& message, const char* file, int line) override {
        Trace(message.c_str(), file, line);
    }

    orbitpane::PluginContext& context_;
    std::string appDirectory_;
    COrbitpaneImpl* pluginObject_ = nullptr;
    GpsConfigFile configFile_;
    GPSConfigInfo gpsConfig_;
    CEditPathEx pathEdit_;
    std::unique_ptr<platform::SleepWatcher> sleepWatcher_;

    orbitpane::LanguageTables languageTables_;
    std::vector<orbitpane::InstalledLanguage> languages_;
    std::wstring statusTextId_ = L"IDS_STATIC_QUER_DataCard";
    std::wstring statusDetail_;

    // The card, and what of its view was drawn last (window thread only).
    session::CardWatch cardWatch_;
    unsigned drawnStatusTurn_ = 0;
    bool notReadyBoxUp_ = false;  // TellCardNotReady's box is up
    unsigned searchRound_ = 0;    // the round the GPS port polling was started for

    // The session (window thread only).
    orbitpane::PluginCardCommands cardCommands_{pluginObject_};
    orbitpane::GpxTrackLog trackLog_;
    session::GpsSession session_;

    // The last position as received (window thread only).
    std::wstring rawLatitude_;
    std::wstring rawLongitude_;
    // What the fix rows show (window thread only); empty while idle.
    orbitpane::FixReadings fixReadings_;
    // The session's last view of the sky and the satellites view, once opened (window thread).
    std::optional<framework::GpsSkyRecord> sky_;
    std::unique_ptr<CSkyDlg> skyDialog_;

    std::shared_ptr<MapLinkAnswers> mapLinkAnswers_;

    // Polling: the GPS port while the card is searched, the PC UI port for the dialog's life.
    orbitpane::WorkerThread gpsThread_;
    orbitpane::WorkerThread queryThread_;

    // Device events are taken only while the window is registered with the manager.
    std::mutex sinkMutex_;
    bool acceptingEvents_ = false;
};
