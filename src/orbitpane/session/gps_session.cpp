#include "orbitpane/session/gps_session.h"

#include <cstdio>

#include "orbitpane/session/agps_settings.h"

namespace session {
namespace {

constexpr const wchar_t* kWaitingKey = L"IDS_STATIC_QUER_GPS";
constexpr const wchar_t* kStartedKey = L"IDS_STATIC_START_GPSSUCCE";
constexpr const wchar_t* kTrackFailedKey = L"IDS_STATIC_ERROR_TRACK";

}  // namespace

Clock Clock::System() {
    return Clock{[] { return std::chrono::steady_clock::now(); },
                 [] { return std::time(nullptr); }};
}

std::string SecTimeText(const std::tm& local) {
    return std::to_string(local.tm_year + 1900) + "/" + std::to_string(local.tm_mon + 1) + "/" +
           std::to_string(local.tm_mday) + "," + std::to_string(local.tm_hour) + ":" +
           std::to_string(local.tm_min) + ":" + std::to_string(local.tm_sec);
}

GpsSession::GpsSession(CardCommands& card, SessionScreen& screen, TrackLog& track, Clock clock)
    : card_(card), screen_(screen), track_(track), clock_(std::move(clock)) {
    Clock system = Clock::System();
    if (!clock_.steady) clock_.steady = system.steady;
    if (!clock_.wall) clock_.wall = system.wall;
}

std::string GpsSession::SecTimeNow() const {
    std::time_t now = clock_.wall();
    std::tm local{};
    localtime_r(&now, &local);
    return SecTimeText(local);
}

bool GpsSession::Step(bool ok, const wchar_t* errorKey) {
    if (!ok) screen_.ShowStatusKey(errorKey);
    return ok;
}

// The set commands of a start; false (with the error shown) at the first that fails.
bool GpsSession::RunSetCommands(const StartSettings& s) {
    screen_.ShowSessionType(s.agps);
    if (s.agps) {
        // A value that was never checked (a configuration file edited by hand) stops the
        // start before any command: it is not written into an AT line.
        if (ApnProblem(s.apn) != nullptr) {
            screen_.Trace("The saved APN is not one; it is not sent to the card.");
            screen_.ShowStatusKey(kUnusableApnKey);
            return false;
        }
        if (SuplServerProblem(s.suplServer) != nullptr) {
            screen_.Trace(
                "The saved SUPL server is not a host with an optional port; it is not "
                "sent to the card.");
            screen_.ShowStatusKey(kUnusableSuplKey);
            return false;
        }
        if (!Step(card_.SetSecTime(SecTimeNow()), L"IDS_STATIC_ERROR_SETSECTIME") ||
            !Step(card_.SetApn(s.apn), L"IDS_STATIC_ERROR_SETAPN") ||
            !Step(card_.SetSuplServer(s.suplServer), L"IDS_STATIC_ERROR_SETSUPL") ||
            !Step(card_.SetPositionMode(kAgpsPositionMode), L"IDS_STATIC_ERROR_SETMODE")) {
            return false;
        }
    } else if (!Step(card_.SetPositionMode(kGpsPositionMode), L"IDS_STATIC_ERROR_SETMODE")) {
        return false;
    }
    if (s.pedestrian) {
        return Step(card_.SetFixInterval(kPedestrianFixInterval), L"IDS_STATIC_ERROR_SETPED");
    }
    return Step(card_.SetFixInterval(kHighSpeedFixInterval), L"IDS_STATIC_ERROR_SETHIGHSPEED");
}

std::string FirstFixText(std::chrono::milliseconds after) {
    char text[64];
    std::snprintf(text, sizeof text, "First fix after %.1f s", after.count() / 1000.0);
    return text;
}

void GpsSession::Start(const StartSettings& settings) {
    if (running_) {
        screen_.ShowStatusKey(kWaitingKey);
        screen_.ClearNoDataSeconds();
        TouchWatchdog();
        return;
    }
    // The receiver's time to its first fix counts from here, the set commands included.
    const auto pressed = clock_.steady();
    screen_.ShowStatusKey(L"IDS_STATIC_START_GPS");
    card_.RegisterEvents();
    // A start that failed leaves no session behind, not even its events.
    if (!RunSetCommands(settings)) {
        card_.UnregisterEvents();
        return;
    }
    bool refused = false;
    if (!card_.OpenGps(refused)) {
        card_.UnregisterEvents();
        // Refused by the card's manager: the status line says how to allow it.
        screen_.ShowStatusKey(refused ? L"IDS_STATIC_NOT_AUTHORIZED"
                                      : L"IDS_STATIC_START_GPSFAILED");
        screen_.Trace("Starting GPS failed!");
        return;
    }
    screen_.ShowStatusKey(kStartedKey);
    screen_.ShowButtons(true);
    receiver_ = Receiver::kOn;
    running_ = true;
    gaveUp_ = false;
    trackFailureTold_ = false;
    startedAt_ = pressed;
    firstFix_.reset();
    screen_.Trace("GPS has been openned successfully.");
    bool recorded = StartTrack();
    screen_.ShowStatusKey(kWaitingKey);
    if (!recorded) TellTrackFailure();
    screen_.ClearNoDataSeconds();
    TouchWatchdog();
    timerStarted_ = screen_.StartWatchdogTimer();
    if (!timerStarted_) screen_.Trace("The GPS Data determining Timer starting failed.");
}

void GpsSession::TouchWatchdog() {
    lastData_ = lastCheck_ = clock_.steady();
}

void GpsSession::KillTimer(const char* failureTrace) {
    if (timerStarted_ && !screen_.KillWatchdogTimer()) screen_.Trace(failureTrace);
}

// Records already on their way when the receiver is told to stop are dropped: nothing reaches
// the rows after this.
bool GpsSession::CloseReceiver() {
    receiver_ = Receiver::kStopped;
    EndTrack();
    return card_.CloseGps();
}

void GpsSession::Stop() {
    screen_.ShowStatusKey(L"IDS_STATIC_STOP_GPS");
    if (!running_) {
        screen_.ShowStatusKey(L"IDS_STATIC_STOP_GPSSUCCE");
        return;
    }
    KillTimer("The GPS Data determining Timer starting failed!");
    if (CloseReceiver()) {
        screen_.ShowStatusKey(L"IDS_STATIC_STOP_GPSSUCCE");
        screen_.Trace("GPS has been closed successfully.");
    } else {
        screen_.ShowStatusKey(L"IDS_STATIC_STOP_GPSFAILED");
        screen_.Trace("Stopping GPS failed!");
    }
    Idle();
    card_.UnregisterEvents();
    screen_.Trace("OnBnClickedButtonStop returned!");
}

void GpsSession::Restart(const std::function<void()>& start) {
    if (running_) Stop();
    screen_.Pause(kRestartPauseMs);
    start();
}

void GpsSession::CloseForExit() {
    if (!running_) return;
    KillTimer("The GPS Data determining Timer starting failed!");
    screen_.ShowDeviceStatus();
    if (CloseReceiver()) {
        screen_.ShowButtons(false);
        screen_.ShowStatusKey(L"IDS_STATIC_STOP_GPSSUCCE");
        screen_.Trace("GPS has been closed successfully.");
    } else {
        screen_.ShowStatusKey(L"IDS_STATIC_STOP_GPSFAILED");
        screen_.Trace("Stopping GPS failed!");
    }
    card_.UnregisterEvents();
}

// A session that ends without the user: its card stopped answering, or its window goes. A card
// that does not answer now is stopped by the device manager once it answers again.
void GpsSession::EndLostSession() {
    if (CloseReceiver()) {
        screen_.Trace("GPS has been closed successfully.");
    } else {
        screen_.Trace("Stopping GPS failed!");
    }
    card_.UnregisterEvents();
}

void GpsSession::WindowGoing() {
    if (receiver_ == Receiver::kOn) EndLostSession();
    EndTrack();
}

void GpsSession::CardLost(CardLoss loss) {
    // A session on a lost card is over: its receiver is told to stop (a removed card has none
    // left to stop), its positions are no longer shown and its track ends.
    if (receiver_ == Receiver::kOn) {
        if (loss == CardLoss::kUnavailable) {
            EndLostSession();
        } else {
            receiver_ = Receiver::kStopped;
            EndTrack();
            card_.UnregisterEvents();
        }
    }
    Idle();
    KillTimer("The GPS Data determining Timer Killing failed!");
    // The watchdog's own verdict: the status line says why the session ended.
    if (gaveUp_) {
        gaveUp_ = false;
        screen_.ShowStatusKey(L"IDS_STATIC_STOPPED_NOANSWER");
    }
}

void GpsSession::Idle() {
    running_ = false;
    firstFix_.reset();
    screen_.ShowIdle();
}

// While a session runs, the status line says whether positions come: "waiting" until the first
// and again once they stop, "started" while they arrive. Any other message (an error, the
// card's state) stays until its own cause changes it.
void GpsSession::ShowSessionStatus(bool positionsArrive) {
    if (!running_) return;
    const std::wstring key = screen_.StatusKey();
    // A passing message stays while positions come for a few seconds, so that it can be read.
    if (!passingKey_.empty() && key == passingKey_ && positionsArrive &&
        clock_.steady() - passingSince_ >= kPassingStatusFor) {
        passingKey_.clear();
        screen_.ShowStatusKey(kStartedKey);
        return;
    }
    if (key != kWaitingKey && key != kStartedKey) return;
    const wchar_t* shown = positionsArrive ? kStartedKey : kWaitingKey;
    if (key != shown) screen_.ShowStatusKey(shown);
}

void GpsSession::WatchdogTick() {
    using std::chrono::duration_cast;
    using std::chrono::seconds;
    const auto now = clock_.steady();
    const auto sinceData = duration_cast<seconds>(now - lastData_);
    const auto sinceCheck = duration_cast<seconds>(now - lastCheck_);
    const bool noData = sinceData >= kNoDataAfter;
    screen_.ShowNoData(noData ? std::optional<long long>(sinceData.count()) : std::nullopt);
    if (noData) ShowSessionStatus(false);

    if (sinceCheck < kCardCheckEvery) return;
    // The card is checked every 20 s, positions or not; that none came is said only when so.
    if (sinceData >= kCardCheckEvery) screen_.Trace("NO GPS Data in 20 second!\n");
    if (card_.ProbeCard()) {
        screen_.Trace("Data Card is OK!\n");
        lastCheck_ = clock_.steady();
    } else if (running_) {
        screen_.Trace("Data Card is Not OK!\n");
        gaveUp_ = true;
        screen_.CardGaveUp();
        screen_.KillWatchdogTimer();
    }
    // Not acknowledged while idle: the check comes again on the next tick.
}

void GpsSession::PositionArrived(const framework::GpsDataRecord& record, std::time_t arrival) {
    lastData_ = clock_.steady();
    if (running_ && !firstFix_) {
        firstFix_ = std::chrono::duration_cast<std::chrono::milliseconds>(lastData_ - startedAt_);
        screen_.Trace(FirstFixText(*firstFix_));
        screen_.ShowFirstFix(*firstFix_);
        DescribeTrack();
    }
    if (track_.IsOpen()) {
        std::optional<track::TrackPoint> point = TrackPointOf(record, arrival);
        std::string why;
        if (point && !track_.Append(*point, why)) {
            screen_.Trace("The track stops: " + why);
            track_.Close();
            TellTrackFailure();
        }
    }
    ShowSessionStatus(true);
}

void GpsSession::PassingStatusShown(const std::wstring& key) {
    passingKey_ = key;
    passingSince_ = clock_.steady();
}

void GpsSession::TrackWanted(bool wanted) {
    if (wanted && receiver_ == Receiver::kOn && !StartTrack()) TellTrackFailure();
    if (!wanted) EndTrack();
}

bool GpsSession::StartTrack() {
    if (track_.IsOpen() || !track_.Wanted()) return true;
    std::string why;
    if (!track_.Open(clock_.wall(), why)) {
        screen_.Trace("The session is not recorded: " + why);
        return false;
    }
    screen_.Trace("Recording the session in " + track_.Path());
    DescribeTrack();
    return true;
}

// The status line says it once a session: the track is not written (the log says why); what
// was written of it stays a whole GPX file. The message stays until the session's state
// changes the line.
void GpsSession::TellTrackFailure() {
    if (trackFailureTold_) return;
    trackFailureTold_ = true;
    screen_.ShowStatusKey(kTrackFailedKey);
}

void GpsSession::DescribeTrack() {
    if (!track_.IsOpen() || !firstFix_) return;
    std::string why;
    if (!track_.Describe(FirstFixText(*firstFix_), why)) {
        screen_.Trace("The track's description stays: " + why);
    }
}

void GpsSession::EndTrack() {
    if (!track_.IsOpen()) return;
    screen_.Trace("Track ended with " + std::to_string(track_.Points()) +
                  " points: " + track_.Path());
    track_.Close();
}

}  // namespace session
