// The GPS dialog's track of a session: the window-menu entries that turn it on and off and
// open the tracks folder, and the track point made of a GPS data record.
#pragma once

#include <ctime>
#include <optional>

#include "framework/contracts/ids.h"
#include "orbitpane/track/gpx_track.h"

namespace orbitpane {

// The window-menu commands.
inline constexpr unsigned kRecordTrackCommand = 0x200;
inline constexpr unsigned kOpenTracksCommand = 0x210;

// The point of a record that arrived at `arrivalUtc`: the position the record carries (both
// coordinates are needed) at the receiver's UTC date and time, or at `arrivalUtc` while the
// receiver has not told its date; the altitude and the satellites used in the fix where the
// record knows them (its text count is of those in view, which GPX does not take). Nothing
// when a coordinate is missing or not a number in range.
std::optional<track::TrackPoint> TrackPointOf(const framework::GpsDataRecord& record,
                                              std::time_t arrivalUtc);

// Whether sessions are recorded (Runinfo.ini, [track] record=1); off unless set.
bool TrackRecordingWanted();
bool SetTrackRecordingWanted(bool wanted);

}  // namespace orbitpane
