#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orbitpane/session/track_log.h"

namespace session {
namespace {

// A coordinate of the record ("-122.123456W"): the number before the hemisphere letter.
std::optional<double> Coordinate(const char* field, size_t size, double limit) {
    std::string text(field, strnlen(field, size));
    if (text.size() < 2) return std::nullopt;
    text.pop_back();
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(value >= -limit && value <= limit)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<track::TrackPoint> TrackPointOf(const framework::GpsDataRecord& record,
                                              std::time_t arrivalUtc) {
    auto latitude = Coordinate(record.latitude, sizeof record.latitude, 90);
    auto longitude = Coordinate(record.longitude, sizeof record.longitude, 180);
    if (!latitude || !longitude) return std::nullopt;
    track::TrackPoint point;
    point.utc = arrivalUtc;
    if (record.utcDateTimeKnown && record.utcMilliseconds >= 0) {
        point.utc = static_cast<std::time_t>(record.utcMilliseconds / 1000);
        point.milliseconds = static_cast<int>(record.utcMilliseconds % 1000);
    }
    point.latitude = *latitude;
    point.longitude = *longitude;
    if (record.altitudeKnown && std::isfinite(record.altitudeMetres)) {
        point.elevation = record.altitudeMetres;
    }
    if (record.satellitesUsedKnown && record.satellitesUsed >= 0) {
        point.satellites = record.satellitesUsed;
    }
    if (record.fixModeKnown &&
        (record.fixMode == framework::kGpsFix2D || record.fixMode == framework::kGpsFix3D)) {
        point.fixMode = record.fixMode;
    }
    auto dop = [](bool known, double value) {
        return known && std::isfinite(value) && value >= 0 ? std::optional<double>(value)
                                                           : std::nullopt;
    };
    point.hdop = dop(record.hdopKnown, record.hdop);
    point.vdop = dop(record.vdopKnown, record.vdop);
    point.pdop = dop(record.pdopKnown, record.pdop);
    return point;
}

}  // namespace session
