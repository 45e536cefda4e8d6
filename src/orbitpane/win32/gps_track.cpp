// The session's GPX track from the GPS dialog: the window menu, the setting, the file.
#include "orbitpane/win32/gps_track.h"

#include <string>

#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/localisation.h"
#include "platform/text.h"

namespace {

constexpr const wchar_t* kTrackSection = L"track";

}  // namespace

bool orbitpane::TrackRecordingWanted() {
    return ReadIniString(kTrackSection, L"record", kRunInfoFile) == L"1";
}

bool orbitpane::SetTrackRecordingWanted(bool wanted) {
    return WriteIniString(kTrackSection, L"record", wanted ? L"1" : L"0", kRunInfoFile);
}

bool orbitpane::GpxTrackLog::Open(std::time_t start, std::string& why) {
    std::string folder = track::TracksFolder();
    if (folder.empty()) {
        why = "no folder for the tracks";
        return false;
    }
    return track_.Open(folder, start, &why);
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
    SetSystemMenuItemText(orbitpane::kSatellitesCommand, Text(L"IDS_MENU_SATELLITES"));
}

void CGPSUIDlg::OnSysCommand(unsigned command) {
    if (command == orbitpane::kRecordTrackCommand) {
        bool wanted = !orbitpane::TrackRecordingWanted();
        if (!orbitpane::SetTrackRecordingWanted(wanted)) {
            Trace("The track setting could not be saved.");
        }
        CheckSystemMenuItem(orbitpane::kRecordTrackCommand, wanted);
        // A session running now is recorded from here on, or no longer.
        session_.TrackWanted(wanted);
    } else if (command == orbitpane::kOpenTracksCommand) {
        OpenTracksFolder();
    } else if (command == orbitpane::kSatellitesCommand) {
        OpenSkyView();
    }
}

void CGPSUIDlg::OpenTracksFolder() {
    std::string folder = track::TracksFolder();
    std::string why;
    if (folder.empty() || !track::MakeTracksFolder(folder, &why)) {
        Trace(("The tracks folder cannot be opened: " + why).c_str());
        TracksFolderNotOpened(folder);
        return;
    }
    // What the handler says goes to the log, never over a terminal dialog.
    if (!OpenWithHandler(folder, true)) {
        Trace(("The tracks folder could not be opened with xdg-open: " + folder).c_str());
        TracksFolderNotOpened(folder);
    }
}

void CGPSUIDlg::TracksFolderNotOpened(const std::string& folder) {
    ShowPassingStatus(L"IDS_STATIC_ERROR_OPENTRACKS", platform::Utf8ToWide(folder));
}
