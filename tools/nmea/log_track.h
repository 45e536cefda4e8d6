// A GPX track of an NMEA log: a point per epoch fix that has the receiver's date and time,
// with its quality, and the time to the first fix in the metadata.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/devicemgr/nmea_decoder.h"
#include "orbitpane/track/gpx_track.h"

namespace nmealog {

// "First fix after 4.2 s".
std::string FirstFixText(int64_t milliseconds);

class LogTrack {
  public:
    void Add(const devicemgr::GpsFix& fix);
    bool Empty() const { return points_.empty(); }
    // The whole document; `firstFixAfter` in milliseconds.
    std::string Document(std::optional<int64_t> firstFixAfter) const;

  private:
    std::vector<track::TrackPoint> points_;
};

}  // namespace nmealog
