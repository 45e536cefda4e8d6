// Writes a GPX track with the program's own writer, point after point.
//   track_writer FOLDER START COUNT   a session started at START (seconds, UTC) with COUNT
//                                     points (0: until killed); writes "p" to stdout once the
//                                     first point is in the file, and the time to the first
//                                     fix in the description
// Point i lies at latitude 35 + i/10000 and longitude -139 - i/10000 (both wrap every 9000
// points), i seconds after START; every other point has an elevation and the three dilutions
// of precision, each a satellite count, every third a 3D fix, the others 2D.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "orbitpane/track/gpx_track.h"

track::TrackPoint PointNumber(long i) {
    track::TrackPoint p;
    p.utc = 0;
    p.latitude = 35.0 + static_cast<double>(i % 9000) / 10000.0;
    p.longitude = -139.0 - static_cast<double>(i % 9000) / 10000.0;
    if (i % 2 == 0) p.elevation = 35.2 + static_cast<double>(i % 100);
    p.satellites = static_cast<int>(i % 13);
    p.fixMode = i % 3 == 0 ? 3 : 2;
    if (i % 2 == 0) {
        p.hdop = 0.8 + static_cast<double>(i % 5) / 10;
        p.vdop = 1.2;
        p.pdop = 1.5;
    }
    return p;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: track_writer FOLDER START COUNT\n");
        return 2;
    }
    const std::time_t start = std::atoll(argv[2]);
    const long count = std::atol(argv[3]);
    track::GpxTrack gpx;
    std::string why;
    if (!gpx.Open(argv[1], start, &why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    for (long i = 0; count == 0 || i < count; ++i) {
        track::TrackPoint p = PointNumber(i);
        p.utc = start + i;
        if (!gpx.Append(p, &why)) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
        if (i == 0 && (!gpx.Describe("First fix after 4.2 s", &why) || ::write(1, "p", 1) != 1)) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
    }
    return 0;
}
