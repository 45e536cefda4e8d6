#include "log_track.h"

#include <cstdio>

namespace nmealog {

std::string FirstFixText(int64_t milliseconds) {
    char text[64];
    std::snprintf(text, sizeof text, "First fix after %.1f s", milliseconds / 1000.0);
    return text;
}

void LogTrack::Add(const devicemgr::GpsFix& fix) {
    if (!fix.utcMilliseconds) return;
    track::TrackPoint p;
    p.utc = static_cast<std::time_t>(*fix.utcMilliseconds / 1000);
    p.milliseconds = static_cast<int>(*fix.utcMilliseconds % 1000);
    p.latitude = fix.latitude / 1e6;
    p.longitude = fix.longitude / 1e6;
    p.elevation = fix.altitudeMetres;
    p.fixMode = fix.fixMode.value_or(fix.altitudeMetres ? 3 : 2);
    p.satellites = fix.satellitesUsed;
    p.hdop = fix.hdop;
    p.vdop = fix.vdop;
    p.pdop = fix.pdop;
    points_.push_back(p);
}

std::string LogTrack::Document(std::optional<int64_t> firstFixAfter) const {
    std::time_t start = points_.empty() ? 0 : points_.front().utc;
    std::string text = track::GpxHead(start, firstFixAfter ? FirstFixText(*firstFixAfter) : "");
    for (const track::TrackPoint& p : points_) text += track::GpxPoint(p);
    return text + track::kGpxClosing;
}

}  // namespace nmealog
