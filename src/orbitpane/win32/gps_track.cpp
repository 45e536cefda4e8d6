// The session's GPX track from the GPS dialog: the window menu, the setting, the points.
#include "orbitpane/win32/gps_track.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/localisation.h"
#include "platform/process.h"
#include "platform/user_files.h"

namespace {

constexpr const wchar_t* kTrackSection = L"track";

// A coordinate of the record ("-122.123456W"): the number before the hemisphere letter.
std::optional<double> Coordinate(const char* field, size_t size, double limit) {
    std::string text(field, strnlen(field, size));
    if (text.size() < 2) return std::nullopt;
    text.pop_back();
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(value >= -limit && value <= limit)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<track::TrackPoint> orbitpane::TrackPointOf(const framework::GpsDataRecord& record,
                                                         std::time_t arrivalUtc) {
    auto latitude = Coordinate(record.latitude, sizeof record.latitude, 90);
    auto longitude = Coordinate(record.longitude, sizeof record.longitude, 180);
    if (!latitude || !longitude) return std::nullopt;
    track::TrackPoint point;
    point.utc = arrivalUtc;
    if (record.utcDateTimeKnown && record.utcMilliseconds >= 0) {
        point.utc = static_cast<std::time_t>(record.utcMilliseconds / 1000);
        point.milliseconds = static_cast<int>(record.utcMilliseconds % 1000);
    }
    point.latitude = *latitude;
    point.longitude = *longitude;
    if (record.altitudeKnown && std::isfinite(record.altitudeMetres)) {
        point.elevation = record.altitudeMetres;
    }
    if (record.satellitesUsedKnown && record.satellitesUsed >= 0) {
        point.satellites = record.satellitesUsed;
    }
    return point;
}

bool orbitpane::TrackRecordingWanted() {
    return ReadIniString(kTrackSection, L"record", kRunInfoFile) == L"1";
}

bool orbitpane::SetTrackRecordingWanted(bool wanted) {
    return WriteIniString(kTrackSection, L"record", wanted ? L"1" : L"0", kRunInfoFile);
}

void CGPSUIDlg::AddTrackMenu() {
    if (!HasSystemMenu()) return;
    AppendSystemMenuSeparator();
    AppendSystemMenuItem(orbitpane::kRecordTrackCommand, Text(L"IDS_MENU_RECORD_TRACK"));
    CheckSystemMenuItem(orbitpane::kRecordTrackCommand, orbitpane::TrackRecordingWanted());
    AppendSystemMenuItem(orbitpane::kOpenTracksCommand, Text(L"IDS_MENU_OPEN_TRACKS"));
}

void CGPSUIDlg::ApplyTrackMenuTexts() {
    SetSystemMenuItemText(orbitpane::kRecordTrackCommand, Text(L"IDS_MENU_RECORD_TRACK"));
    SetSystemMenuItemText(orbitpane::kOpenTracksCommand, Text(L"IDS_MENU_OPEN_TRACKS"));
}

void CGPSUIDlg::OnSysCommand(unsigned command) {
    if (command == orbitpane::kRecordTrackCommand) {
        bool wanted = !orbitpane::TrackRecordingWanted();
        if (!orbitpane::SetTrackRecordingWanted(wanted)) {
            Trace("The track setting could not be saved.");
        }
        CheckSystemMenuItem(orbitpane::kRecordTrackCommand, wanted);
        // A session running now is recorded from here on, or no longer.
        if (wanted && receiver_ == Receiver::kOn) StartTrack();
        if (!wanted) EndTrack();
    } else if (command == orbitpane::kOpenTracksCommand) {
        OpenTracksFolder();
    }
}

void CGPSUIDlg::StartTrack() {
    if (track_.IsOpen() || !orbitpane::TrackRecordingWanted()) return;
    std::string why;
    std::string folder = track::TracksFolder();
    if (folder.empty() || !track_.Open(folder, std::time(nullptr), &why)) {
        Trace(("The session is not recorded: " + why).c_str());
        return;
    }
    Trace(("Recording the session in " + track_.Path()).c_str());
}

void CGPSUIDlg::EndTrack() {
    if (!track_.IsOpen()) return;
    Trace(("Track ended with " + std::to_string(track_.Points()) + " points: " + track_.Path())
              .c_str());
    track_.Close();
}

void CGPSUIDlg::AddTrackPoint(const framework::GpsDataRecord& record, std::time_t arrivalUtc) {
    if (!track_.IsOpen()) return;
    std::optional<track::TrackPoint> point = orbitpane::TrackPointOf(record, arrivalUtc);
    std::string why;
    if (point && !track_.Append(*point, &why)) {
        Trace(("The track stops: " + why).c_str());
        track_.Close();
    }
}

void CGPSUIDlg::OpenTracksFolder() {
    std::string folder = track::TracksFolder();
    std::string why;
    if (folder.empty() || !track::MakeTracksFolder(folder, &why)) {
        Trace(("The tracks folder cannot be opened: " + why).c_str());
        return;
    }
    // What the handler says goes to the log folder, never over a terminal dialog.
    std::string log = platform::UserFilePath(orbitpane::AppDirectory(), "Log");
    std::string output = log + "/open-folder.log";
    if (!platform::OpenWithDefaultHandler(folder, output)) {
        Trace(("The tracks folder could not be opened with xdg-open: " + folder).c_str());
    }
}
