#include "nmea.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

namespace cardsim {

namespace {

// The centre and size of the route.
constexpr double kCentreLatitude = 37.654321;
constexpr double kCentreLongitude = -122.123456;
constexpr double kRadiusDegrees = 0.0015;
constexpr long kLoopSeconds = 600;

struct Satellite {
    int prn, elevation, azimuth, snr;
};
constexpr Satellite kSky[] = {{2, 67, 40, 44},   {5, 45, 110, 41},  {7, 30, 200, 38},
                              {9, 12, 320, 30},  {12, 55, 275, 43}, {15, 20, 150, 35},
                              {18, 38, 10, 40},  {21, 8, 85, 26},   {24, 72, 230, 46},
                              {26, 25, 300, 33}, {29, 50, 180, 42}, {31, 15, 60, 29}};

std::string Format(const char* format, auto... values) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

// ddmm.mmmm,N or dddmm.mmmm,W
std::string Coordinate(double value, bool latitude) {
    double magnitude = std::fabs(value);
    int degrees = static_cast<int>(magnitude);
    double minutes = (magnitude - degrees) * 60.0;
    char hemisphere = latitude ? (value < 0 ? 'S' : 'N') : (value < 0 ? 'W' : 'E');
    return Format(latitude ? "%02d%07.4f,%c" : "%03d%07.4f,%c", degrees, minutes, hemisphere);
}

double TimeOfDay(const std::string& line) {
    // $xxRMC,hhmmss.ss,... and the same first field for GGA, GLL (fifth) and ZDA.
    if (line.size() < 7 || line[0] != '$') return -1;
    std::string type = line.substr(3, 3);
    size_t field = 1;
    if (type == "GLL")
        field = 5;
    else if (type != "RMC" && type != "GGA" && type != "ZDA")
        return -1;
    size_t at = 0;
    for (size_t i = 0; i < field; ++i) {
        at = line.find(',', at);
        if (at == std::string::npos) return -1;
        ++at;
    }
    int h, m;
    double s;
    if (std::sscanf(line.c_str() + at, "%2d%2d%lf", &h, &m, &s) != 3) return -1;
    return h * 3600.0 + m * 60.0 + s;
}

}  // namespace

unsigned char NmeaChecksum(const std::string& body) {
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    return sum;
}

std::string NmeaSentence(const std::string& body) {
    return "$" + body + Format("*%02X\r\n", NmeaChecksum(body));
}

RoutePoint RouteAt(long second) {
    double angle = 2 * std::numbers::pi * static_cast<double>(second % kLoopSeconds) / kLoopSeconds;
    RoutePoint p;
    p.latitude = kCentreLatitude + kRadiusDegrees * std::sin(angle);
    p.longitude = kCentreLongitude + kRadiusDegrees * std::cos(angle) /
                                         std::cos(kCentreLatitude * std::numbers::pi / 180);
    double metresPerSecond = 2 * std::numbers::pi * kRadiusDegrees * 111320.0 / kLoopSeconds;
    p.speedKnots = metresPerSecond * 3600.0 / 1852.0;
    p.course = std::fmod(360.0 - angle * 180.0 / std::numbers::pi, 360.0);  // anticlockwise
    p.satellites = 8 + static_cast<int>((second / 20) % 5);
    return p;
}

std::vector<std::string> RouteEpoch(const RoutePoint& p, std::time_t utc) {
    std::tm t{};
    gmtime_r(&utc, &t);
    std::string time = Format("%02d%02d%02d.00", t.tm_hour, t.tm_min, t.tm_sec);
    std::string date = Format("%02d%02d%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
    std::string lat = Coordinate(p.latitude, true);
    std::string lon = Coordinate(p.longitude, false);
    int used = std::min(p.satellites, 12) - 1;  // the lowest one is not used in the fix

    std::vector<std::string> out;
    out.push_back(NmeaSentence("GPRMC," + time + ",A," + lat + "," + lon +
                               Format(",%.1f,%.1f,", p.speedKnots, p.course) + date + ",,,A"));
    out.push_back(NmeaSentence("GPGGA," + time + "," + lat + "," + lon +
                               Format(",1,%02d,0.9,35.2,M,-29.8,M,,", used)));
    std::string gsa = "GPGSA,A,3";
    for (int i = 0; i < 12; ++i) gsa += i < used ? Format(",%02d", kSky[i].prn) : ",";
    out.push_back(NmeaSentence(gsa + ",1.6,0.9,1.3"));
    int messages = (p.satellites + 3) / 4;
    for (int m = 0; m < messages; ++m) {
        std::string gsv = Format("GPGSV,%d,%d,%02d", messages, m + 1, p.satellites);
        for (int i = m * 4; i < std::min(p.satellites, m * 4 + 4); ++i) {
            gsv += Format(",%02d,%02d,%03d,%02d", kSky[i].prn, kSky[i].elevation, kSky[i].azimuth,
                          kSky[i].snr);
        }
        out.push_back(NmeaSentence(gsv));
    }
    return out;
}

bool NmeaReplay::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    epochs_.clear();
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (line.empty() || line.size() > 1024) continue;
        double seconds = TimeOfDay(line);
        bool newEpoch = epochs_.empty() || (seconds >= 0 && epochs_.back().seconds >= 0 &&
                                            seconds != epochs_.back().seconds);
        if (newEpoch) epochs_.push_back({});
        if (seconds >= 0 && epochs_.back().seconds < 0) epochs_.back().seconds = seconds;
        epochs_.back().lines.push_back(line + "\r\n");
    }
    next_ = last_ = 0;
    return !epochs_.empty();
}

const std::vector<std::string>& NmeaReplay::Next() {
    last_ = next_;
    next_ = (next_ + 1) % epochs_.size();
    return epochs_[last_].lines;
}

std::chrono::milliseconds NmeaReplay::Gap(std::chrono::milliseconds fallback) const {
    if (epochs_.empty()) return fallback;
    double from = epochs_[last_].seconds;
    double to = epochs_[next_].seconds;
    if (from < 0 || to < 0 || next_ == 0) return fallback;
    double gap = to - from;
    if (gap < 0) gap += 86400;  // past midnight
    if (gap <= 0 || gap > 60) return fallback;
    return std::chrono::milliseconds(static_cast<long>(gap * 1000));
}

}  // namespace cardsim
