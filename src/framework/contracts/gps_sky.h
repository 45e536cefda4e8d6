// The sky view the device manager hands to its sinks with kEventGpsSky: every satellite the
// receiver reported in one complete view, with the fix's quality as the receiver told it.
// Satellites are numbered as gpsd's JSON reports number them: gnssid (0 GPS, 1 SBAS,
// 2 Galileo, 3 BeiDou, 4 IMES, 5 QZSS, 6 GLONASS, 7 NavIC), svid within the system, PRN over
// all systems.
#pragma once

#include <cstddef>
#include <cstdint>

namespace framework {

// A view holds at most this many satellites; a receiver that lists more has the rest left
// out (the count it announced still reaches the satellites row of the GPS record).
inline constexpr size_t kSkyMaxSatellites = 96;

struct GpsSkySatellite {
    int32_t gnssid;
    int32_t svid;
    int32_t prn;
    // Each value counts only while its flag is set.
    bool elevationKnown;
    bool azimuthKnown;
    bool snrKnown;
    bool used;          // in the fix
    int32_t elevation;  // degrees above the horizon, 0 to 90
    int32_t azimuth;    // degrees from true north, clockwise, 0 to 359
    int32_t snr;        // carrier to noise density, dB-Hz: the strongest of its signals
    uint32_t signals;   // bit n: NMEA signal ID n was heard (bit 0: no signal ID given)
};

struct GpsSkyRecord {
    int32_t count;  // satellites[0 .. count)
    GpsSkySatellite satellites[kSkyMaxSatellites];

    // Each value counts only while its flag is set; none is ever made up.
    bool fixModeKnown;
    bool pdopKnown;
    bool hdopKnown;
    bool vdopKnown;
    bool latitudeErrorKnown;  // the three error estimates come from GST only
    bool longitudeErrorKnown;
    bool altitudeErrorKnown;
    int32_t fixMode;  // kGpsFixNone, kGpsFix2D or kGpsFix3D
    double pdop;
    double hdop;
    double vdop;
    double latitudeErrorMetres;  // standard deviations, metres
    double longitudeErrorMetres;
    double altitudeErrorMetres;
};

}  // namespace framework
