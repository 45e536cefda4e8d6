// Whatever a GPS port sends: sentences stay bounded, and every record holds a number in range
// with its hemisphere letter last, and extra values that are finite and in their ranges; every
// view of the sky holds each satellite once, with its values in their ranges.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "framework/devicemgr/nmea_decoder.h"

namespace {

void CheckCoordinate(const char* text, double limit, char positive, char negative) {
    size_t length = strnlen(text, framework::kGpsFieldSize);
    if (length == 0 || length >= framework::kGpsFieldSize) std::abort();
    char last = text[length - 1];
    bool minus = text[0] == '-';
    if (last != (minus ? negative : positive)) std::abort();
    double value = std::strtod(std::string(text, length - 1).c_str(), nullptr);
    if (value < -limit || value > limit) std::abort();
}

void CheckExtras(const framework::GpsDataRecord& r) {
    for (double value :
         {r.altitudeMetres, r.speedMetresPerSecond, r.courseDegrees, r.pdop, r.hdop, r.vdop}) {
        if (!std::isfinite(value)) std::abort();
    }
    if (r.speedKnown && r.speedMetresPerSecond < 0) std::abort();
    if (r.courseKnown && (r.courseDegrees < 0 || r.courseDegrees > 360)) std::abort();
    if (r.fixModeKnown &&
        (r.fixMode < framework::kGpsFixNone || r.fixMode > framework::kGpsFix3D)) {
        std::abort();
    }
    if (r.utcTimeKnown && (r.utcMillisecondOfDay < 0 || r.utcMillisecondOfDay > 86'401'000)) {
        std::abort();
    }
    if (r.utcDateTimeKnown &&
        r.utcMilliseconds % 86'400'000 != r.utcMillisecondOfDay % 86'400'000) {
        std::abort();
    }
}

void CheckSky(const devicemgr::SkyView& view) {
    for (size_t i = 0; i < view.satellites.size(); ++i) {
        const devicemgr::SkySatellite& s = view.satellites[i];
        if (s.id.gnssid < 0 || s.id.gnssid >= devicemgr::gnss::kSystems || s.id.svid <= 0) {
            std::abort();
        }
        if ((s.elevation && *s.elevation > 90) || (s.azimuth && *s.azimuth > 359)) std::abort();
        for (size_t j = 0; j < i; ++j) {
            if (view.satellites[j].id == s.id) std::abort();
        }
    }
    if (view.Used() > static_cast<int>(view.satellites.size())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    devicemgr::NmeaLexer lexer;
    devicemgr::NmeaDecoder decoder;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Fed in uneven pieces, as reads come.
    for (size_t at = 0, step = 1; at < bytes.size(); at += step, step = step % 7 + 1) {
        std::vector<std::string> sentences;
        lexer.Feed(bytes.substr(at, step), sentences);
        for (const std::string& s : sentences) {
            if (s.size() > devicemgr::kMaxSentence) std::abort();
            if (auto fix = decoder.Decode(s)) {
                auto record = devicemgr::MakeRecord(*fix);
                CheckCoordinate(record.longitude, 180.0, 'E', 'W');
                CheckCoordinate(record.latitude, 90.0, 'N', 'S');
                if (fix->satellites && *fix->satellites < 0) std::abort();
                CheckExtras(record);
            }
            if (auto view = decoder.TakeSky()) CheckSky(*view);
        }
    }
    decoder.Finish();
    if (auto view = decoder.TakeSky()) CheckSky(*view);
    return 0;
}
