#include "nmea_json.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace nmealog {
namespace {

std::string Number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// "2026-12-07T12:00:00.000Z"
std::string IsoTime(int64_t milliseconds) {
    std::time_t seconds = static_cast<std::time_t>(milliseconds / 1000);
    std::tm t{};
    gmtime_r(&seconds, &t);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                  static_cast<int>(milliseconds % 1000));
    return text;
}

class Object {
  public:
    explicit Object(const char* type) : text_(std::string("{\"class\":\"") + type + "\"") {}
    void Add(const char* name, const std::string& value) {
        text_ += std::string(",\"") + name + "\":" + value;
    }
    void Add(const char* name, const char* format, const std::optional<double>& value) {
        if (value && std::isfinite(*value)) Add(name, Number(format, *value));
    }
    std::string Close() { return text_ + "}"; }

  private:
    std::string text_;
};

}  // namespace

std::string TpvJson(const devicemgr::GpsFix& fix) {
    Object o("TPV");
    // GSA's mode where the receiver sent it, else what the position sentences tell.
    int mode = fix.fixMode.value_or(fix.altitudeMetres ? 3 : 2);
    o.Add("mode", std::to_string(mode));
    if (fix.utcMilliseconds) o.Add("time", "\"" + IsoTime(*fix.utcMilliseconds) + "\"");
    o.Add("lat", "%.6f", fix.latitude / 1e6);
    o.Add("lon", "%.6f", fix.longitude / 1e6);
    if (fix.altitudeMetres && fix.geoidSeparationMetres) {
        o.Add("altHAE", "%.3f", *fix.altitudeMetres + *fix.geoidSeparationMetres);
    }
    o.Add("altMSL", "%.3f", fix.altitudeMetres);
    o.Add("speed", "%.3f", fix.speedMetresPerSecond);
    o.Add("track", "%.4f", fix.courseDegrees);
    o.Add("epx", "%.3f", fix.longitudeError);
    o.Add("epy", "%.3f", fix.latitudeError);
    if (fix.latitudeError && fix.longitudeError) {
        o.Add("eph", "%.3f", std::hypot(*fix.latitudeError, *fix.longitudeError));
    }
    o.Add("epv", "%.3f", fix.altitudeError);
    return o.Close();
}

std::string SkyJson(const devicemgr::SkyView& view) {
    Object o("SKY");
    o.Add("hdop", "%.2f", view.hdop);
    o.Add("vdop", "%.2f", view.vdop);
    o.Add("pdop", "%.2f", view.pdop);
    o.Add("nSat", std::to_string(view.satellites.size()));
    o.Add("uSat", std::to_string(view.Used()));
    std::string list = "[";
    for (const devicemgr::SkySatellite& s : view.satellites) {
        if (list.size() > 1) list += ",";
        list += "{\"PRN\":" + std::to_string(s.id.prn) +
                ",\"gnssid\":" + std::to_string(s.id.gnssid) +
                ",\"svid\":" + std::to_string(s.id.svid);
        if (s.elevation) list += ",\"el\":" + Number("%.1f", *s.elevation);
        if (s.azimuth) list += ",\"az\":" + Number("%.1f", *s.azimuth);
        if (s.snr) list += ",\"ss\":" + Number("%.1f", *s.snr);
        list += std::string(",\"used\":") + (s.used ? "true" : "false") + "}";
    }
    o.Add("satellites", list + "]");
    return o.Close();
}

}  // namespace nmealog
