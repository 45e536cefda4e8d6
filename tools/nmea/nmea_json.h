// gpsd's JSON reports of what the NMEA decoder makes: a TPV object for a fix, a SKY object for
// a view of the sky, one line each, with the members gpsd gives them where Satview knows
// their values and none made up.
#pragma once

#include <string>

#include "framework/devicemgr/nmea_decoder.h"

namespace nmealog {

// {"class":"TPV","mode":3,"time":...,"lat":...,"lon":...,"altHAE":...,"altMSL":...,
//  "speed":...,"track":...,"epx":...,"epy":...,"eph":...,"epv":...}: the error estimates only
// from GST, the altitude above the ellipsoid only where the geoid's separation was given.
std::string TpvJson(const devicemgr::GpsFix& fix);
// {"class":"SKY","hdop":...,"vdop":...,"pdop":...,"nSat":...,"uSat":...,"satellites":[...]},
// each satellite with PRN, gnssid, svid, el, az, ss and used.
std::string SkyJson(const devicemgr::SkyView& view);

}  // namespace nmealog
