// GpsSession: the life of one GPS session on the card, from Start to its end (Stop, a restart,
// the window closing, the card lost, the watchdog giving the card up, a suspension): the AT
// commands in their order and the status keys that go with them, the no-data watchdog's times
// and verdicts, the time to the first fix, and the session's track. It runs on the window thread
// and owns no thread or window: the card's commands, the screen and the track come in as
// interfaces, the clock as functions, so that a table test drives it with doubles.
#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "framework/contracts/ids.h"
#include "orbitpane/session/track_log.h"

namespace session {

// The session's clocks: a steady one for every duration it measures, the wall clock for the
// times it tells (the card's clock, the track's times).
struct Clock {
    std::function<std::chrono::steady_clock::time_point()> steady;
    std::function<std::time_t()> wall;
    static Clock System();
};

// What a session asks of the card. Each set command is true when the card acknowledged it.
class CardCommands {
  public:
    virtual bool SetSecTime(const std::string& text) = 0;
    virtual bool SetApn(const std::string& apn) = 0;
    virtual bool SetSuplServer(const std::string& server) = 0;
    virtual bool SetPositionMode(int mode) = 0;
    virtual bool SetFixInterval(int seconds) = 0;
    // Opens the receiver; `refused` tells a card manager that does not allow it.
    virtual bool OpenGps(bool& refused) = 0;
    virtual bool CloseGps() = 0;
    // True when the card acknowledged the probe.
    virtual bool ProbeCard() = 0;
    // The positions reach the dialog only while the events are registered.
    virtual void RegisterEvents() = 0;
    virtual void UnregisterEvents() = 0;

  protected:
    ~CardCommands() = default;
};

// What a session shows.
class SessionScreen {
  public:
    // The status line: shows the text of `key` and keeps the key.
    virtual void ShowStatusKey(const wchar_t* key) = 0;
    virtual std::wstring StatusKey() = 0;
    // The status line shows the card's device-status message.
    virtual void ShowDeviceStatus() = 0;
    // The type label and the Setting button for a session with AGPS or GPS.
    virtual void ShowSessionType(bool agps) = 0;
    // Start disabled and Stop enabled and focused (running), or the other way round.
    virtual void ShowButtons(bool running) = 0;
    // The idle state: Start enabled and focused, Stop disabled, the value rows and the
    // no-data line emptied, the card's idle display.
    virtual void ShowIdle() = 0;
    // The no-data line with the seconds without data, or hidden.
    virtual void ShowNoData(std::optional<long long> seconds) = 0;
    virtual void ClearNoDataSeconds() = 0;
    // The watchdog's timer (every 3 s while a session runs); true on success.
    virtual bool StartWatchdogTimer() = 0;
    virtual bool KillWatchdogTimer() = 0;
    // Waits `milliseconds`, serving what the window is sent meanwhile.
    virtual void Pause(int milliseconds) = 0;
    // The watchdog gave the card up: the dialog is told the card is unavailable.
    virtual void CardGaveUp() = 0;
    // The session's time to the first fix, once it is known (ShowIdle empties it).
    virtual void ShowFirstFix(std::chrono::milliseconds after) = 0;
    // A trace naming the file and line of the call.
    virtual void Trace(const std::string& message, const char* file = __builtin_FILE(),
                       int line = __builtin_LINE()) = 0;

  protected:
    ~SessionScreen() = default;
};

// How a session is started, as the configuration and the card make it.
struct StartSettings {
    bool agps = false;        // the AGPS sequence (configured, offered, and an AGPS-ready card)
    bool pedestrian = false;  // the pedestrian fix interval (5 s) instead of high speed (1 s)
    std::string apn;
    std::string suplServer;
};

enum class CardLoss { kRemoved, kUnavailable };

class GpsSession {
  public:
    static constexpr int kAgpsPositionMode = 5;
    static constexpr int kGpsPositionMode = 0;
    static constexpr int kPedestrianFixInterval = 5;
    static constexpr int kHighSpeedFixInterval = 1;
    static constexpr int kRestartPauseMs = 500;
    static constexpr std::chrono::seconds kNoDataAfter{3};
    static constexpr std::chrono::seconds kCardCheckEvery{20};
    static constexpr std::chrono::seconds kPassingStatusFor{5};

    GpsSession(CardCommands& card, SessionScreen& screen, TrackLog& track, Clock clock);
    GpsSession(const GpsSession&) = delete;
    GpsSession& operator=(const GpsSession&) = delete;

    // Start with a card whose GPS port is known: the set commands and the receiver, or, while
    // a session runs, only the watchdog's times.
    void Start(const StartSettings& settings);
    void Stop();
    // Stops a running session, pauses, then calls `start` (the dialog's Start).
    void Restart(const std::function<void()>& start);
    // The window closes while a session runs: the receiver and the events stop; the session
    // counts as running until the window's next initialisation makes it idle.
    void CloseForExit();
    // The window goes (however): a receiver it started does not keep running, the track ends.
    void WindowGoing();
    // The card was removed or is unavailable: the session ends, the dialog is idle.
    void CardLost(CardLoss loss);
    // The idle state (a new window).
    void Idle();
    // The watchdog's timer fired.
    void WatchdogTick();

    // Whether a position record belongs to this window's session: none after its receiver was
    // told to stop.
    bool AcceptsPositions() const { return receiver_ != Receiver::kStopped; }
    // A position shown at `arrival` (wall clock): the watchdog's data time, the track point,
    // the status line's "started".
    void PositionArrived(const framework::GpsDataRecord& record, std::time_t arrival);
    // The dialog showed `key`, a message that gives way to the session's status once
    // positions have kept coming for kPassingStatusFor.
    void PassingStatusShown(const std::wstring& key);
    // Recording switched on or off from the menu: a running session's track follows at once.
    void TrackWanted(bool wanted);

    bool Running() const { return running_; }
    // From Start (the user's, not a restart's) to the first position of the session; none
    // before it and once the session is over.
    std::optional<std::chrono::milliseconds> FirstFixAfter() const { return firstFix_; }

  private:
    enum class Receiver { kUntouched, kOn, kStopped };

    bool RunSetCommands(const StartSettings& settings);
    bool Step(bool ok, const wchar_t* errorKey);
    void TouchWatchdog();
    bool CloseReceiver();
    void EndLostSession();
    void KillTimer(const char* failureTrace);
    void ShowSessionStatus(bool positionsArrive);
    // Starts the track when it is wanted; false when it is wanted and cannot be written.
    bool StartTrack();
    void EndTrack();
    void TellTrackFailure();
    void DescribeTrack();
    std::string SecTimeNow() const;

    CardCommands& card_;
    SessionScreen& screen_;
    TrackLog& track_;
    Clock clock_;
    bool running_ = false;
    Receiver receiver_ = Receiver::kUntouched;
    bool timerStarted_ = false;      // the timer was started once (kills are traced when failing)
    bool gaveUp_ = false;            // the watchdog gave the card up; its loss is told so
    bool trackFailureTold_ = false;  // this session's track failure is on the status line
    std::chrono::steady_clock::time_point lastData_{};
    std::chrono::steady_clock::time_point lastCheck_{};
    // The passing message on the status line, and since when it is shown.
    std::wstring passingKey_;
    std::chrono::steady_clock::time_point passingSince_{};
    std::chrono::steady_clock::time_point startedAt_{};
    std::optional<std::chrono::milliseconds> firstFix_;
};

// "First fix after 4.2 s", as traces and tracks say it.
std::string FirstFixText(std::chrono::milliseconds after);

// Local time as the card's clock command takes it: year/month/day,hour:minute:second, with no
// leading zeros ("2026/1/5,0:5:9").
std::string SecTimeText(const std::tm& local);

}  // namespace session
