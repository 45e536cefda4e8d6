// The track a GPS session writes, as the session sees it: whether recording is wanted, and a
// GPX track to open, extend and close. The point made of a GPS data record.
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "framework/contracts/ids.h"
#include "orbitpane/track/gpx_track.h"

namespace session {

class TrackLog {
  public:
    // Whether sessions are recorded (the user's setting).
    virtual bool Wanted() = 0;
    // Starts the track of a session started at `start`; false with the reason in `why`.
    virtual bool Open(std::time_t start, std::string& why) = 0;
    virtual bool IsOpen() = 0;
    // Adds a point; false with the reason (the track is then closed by the caller).
    virtual bool Append(const track::TrackPoint& point, std::string& why) = 0;
    // Replaces the track's description (the time to the first fix); false with the reason.
    virtual bool Describe(const std::string& text, std::string& why) = 0;
    virtual void Close() = 0;
    virtual std::string Path() = 0;
    virtual int Points() = 0;

  protected:
    ~TrackLog() = default;
};

// The point of a record that arrived at `arrivalUtc`: the position the record carries (both
// coordinates are needed) at the receiver's UTC date and time, or at `arrivalUtc` while the
// receiver has not told its date; the altitude and the satellites used in the fix where the
// record knows them (its text count is of those in view, which GPX does not take), the fix
// (2D or 3D) and the dilutions of precision. Nothing
// when a coordinate is missing or not a number in range.
std::optional<track::TrackPoint> TrackPointOf(const framework::GpsDataRecord& record,
                                              std::time_t arrivalUtc);

}  // namespace session
