// The GPS dialog's track of a session: the window-menu entries that turn it on and off and
// open the tracks folder, and the GPX track a session writes in the user's tracks folder.
#pragma once

#include <functional>
#include <string>

#include "orbitpane/session/track_log.h"
#include "orbitpane/track/gpx_track.h"

namespace orbitpane {

// The window-menu commands.
inline constexpr unsigned kRecordTrackCommand = 0x200;
inline constexpr unsigned kOpenTracksCommand = 0x210;
inline constexpr unsigned kSatellitesCommand = 0x220;  // the satellites view

// Whether sessions are recorded (Runinfo.ini, [track] record=1); off unless set.
bool TrackRecordingWanted();
bool SetTrackRecordingWanted(bool wanted);

// A session's track as a GPX file in the tracks folder, written while recording is wanted.
class GpxTrackLog final : public session::TrackLog {
  public:
    bool Wanted() override { return TrackRecordingWanted(); }
    bool Open(std::time_t start, std::string& why) override;
    bool IsOpen() override { return track_.IsOpen(); }
    bool Append(const track::TrackPoint& point, std::string& why) override {
        return track_.Append(point, &why);
    }
    bool Describe(const std::string& text, std::string& why) override {
        return track_.Describe(text, &why);
    }
    void Close() override { track_.Close(); }
    std::string Path() override { return track_.Path(); }
    int Points() override { return track_.Points(); }

  private:
    track::GpxTrack track_;
};

}  // namespace orbitpane
