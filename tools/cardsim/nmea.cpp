#include "nmea.h"

#include <algorithm>
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

std::string Format(const char* format, auto... values) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

struct Satellite {
    int prn, elevation, azimuth, snr;
};
constexpr Satellite kSky[] = {{2, 67, 40, 44},   {5, 45, 110, 41},  {7, 30, 200, 38},
                              {9, 12, 320, 30},  {12, 55, 275, 43}, {15, 20, 150, 35},
                              {18, 38, 10, 40},  {21, 8, 85, 26},   {24, 72, 230, 46},
                              {26, 25, 300, 33}, {29, 50, 180, 42}, {31, 15, 60, 29}};
constexpr Satellite kGlonass[] = {{65, 58, 95, 43},  {66, 31, 160, 39}, {72, 44, 250, 41},
                                  {73, 18, 305, 31}, {79, 9, 20, 27},   {80, 62, 330, 45}};
constexpr Satellite kGalileo[] = {
    {3, 48, 60, 42}, {8, 25, 250, 37}, {13, 70, 140, 44}, {27, 11, 330, 28}};
constexpr Satellite kBeiDou[] = {{11, 62, 180, 45}, {23, 33, 95, 40}, {37, 14, 20, 31}};

// A system of the route: its talker, GSA system ID, GSV signal ID and satellites.
struct System {
    const char* talker;
    int systemId;
    int signalId;
    const Satellite* sky;
    int size;
};
constexpr System kSystems[] = {
    {"GP", 1, 1, kSky, 12},
    {"GL", 2, 1, kGlonass, 6},
    {"GA", 3, 7, kGalileo, 4},
    {"GB", 4, 1, kBeiDou, 3},
};

// The satellites of each system in view at `p`, and of those the ones used in the fix: all but
// the lowest of GPS (12 at most, as GSA holds), all but two of GLONASS, of Galileo and BeiDou
// all but one.
int InView(const RoutePoint& p, int system) {
    const int counts[] = {std::min(p.satellites, 12), p.glonass, p.galileo, p.beidou};
    return counts[system];
}
int Used(const RoutePoint& p, int system) {
    const int unused[] = {1, 2, 1, 1};
    return std::max(0, InView(p, system) - unused[system]);
}

// A system's GSV run: `listed(i)` tells whether its i-th satellite is in view, `block(i)` its
// elevation, azimuth and SNR fields.
template <typename Listed, typename Block>
void AddGsv(std::vector<std::string>& out, const System& system, Listed listed, Block block) {
    std::vector<int> shown;
    for (int i = 0; i < system.size; ++i) {
        if (listed(i)) shown.push_back(i);
    }
    int count = static_cast<int>(shown.size());
    int messages = std::max(1, (count + 3) / 4);
    for (int m = 0; m < messages; ++m) {
        std::string gsv = Format("%sGSV,%d,%d,%02d", system.talker, messages, m + 1, count);
        for (int k = m * 4; k < std::min(count, m * 4 + 4); ++k) {
            gsv += Format(",%02d,", system.sky[shown[k]].prn) + block(shown[k]);
        }
        out.push_back(NmeaSentence(gsv + Format(",%X", system.signalId)));
    }
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
    p.glonass = 4 + static_cast<int>((second / 20) % 3);
    p.galileo = 3 + static_cast<int>((second / 40) % 2);
    p.beidou = 3;
    p.second = second;
    return p;
}

namespace {

std::string TimeField(const std::tm& t) {
    return Format("%02d%02d%02d.00", t.tm_hour, t.tm_min, t.tm_sec);
}
std::string DateField(const std::tm& t) {
    return Format("%02d%02d%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
}

// A GSA of system `s` listing its first `used` satellites, on the system's own talker (so that
// ModemManager, which keeps the last sentence of each talker and type, keeps every system's).
std::string Gsa(int mode, const System& s, int used, const char* dops) {
    std::string gsa = Format("%sGSA,A,%d", s.talker, mode);
    for (int i = 0; i < 12; ++i) gsa += i < used ? Format(",%02d", s.sky[i].prn) : ",";
    return NmeaSentence(gsa + "," + dops + Format(",%X", s.systemId));
}

}  // namespace

std::vector<std::string> RouteEpoch(const RoutePoint& p, std::time_t utc) {
    std::tm t{};
    gmtime_r(&utc, &t);
    std::string time = TimeField(t);
    std::string lat = Coordinate(p.latitude, true);
    std::string lon = Coordinate(p.longitude, false);
    int used = 0;
    for (int s = 0; s < 4; ++s) used += Used(p, s);

    std::vector<std::string> out;
    out.push_back(NmeaSentence("GPRMC," + time + ",A," + lat + "," + lon +
                               Format(",%.1f,%.1f,", p.speedKnots, p.course) + DateField(t) +
                               ",,,A"));
    out.push_back(NmeaSentence("GPGGA," + time + "," + lat + "," + lon +
                               Format(",1,%02d,0.9,35.2,M,-29.8,M,,", used)));
    out.push_back(NmeaSentence("GPGST," + time + ",2.1,3.0,1.8,25.0,2.4,1.9,4.2"));
    for (int s = 0; s < 4; ++s) out.push_back(Gsa(3, kSystems[s], Used(p, s), "1.6,0.9,1.3"));
    for (int s = 0; s < 4; ++s) {
        const Satellite* sky = kSystems[s].sky;
        AddGsv(
            out, kSystems[s], [&](int i) { return i < InView(p, s); },
            [&](int i) {
                // The signals' strength wanders by a few dB-Hz from second to second.
                int snr = sky[i].snr + static_cast<int>((p.second + sky[i].prn) % 5) - 2;
                return Format("%02d,%03d,%02d", sky[i].elevation, sky[i].azimuth, snr);
            });
    }
    // GLL last: it ends the GSV runs, so the epoch's view is whole at once.
    out.push_back(NmeaSentence("GPGLL," + lat + "," + lon + "," + time + ",A,A"));
    return out;
}

std::vector<std::string> SearchEpoch(const RoutePoint& p, double progress, bool skyKnown,
                                     std::time_t utc) {
    std::tm t{};
    gmtime_r(&utc, &t);
    std::string time = TimeField(t);
    std::vector<std::string> out;
    out.push_back(NmeaSentence("GPRMC," + time + ",V,,,,,,," + DateField(t) + ",,,N"));
    out.push_back(NmeaSentence("GPGGA," + time + ",,,,,0,00,99.99,,M,,M,,"));
    out.push_back(Gsa(1, kSystems[0], 0, "99.99,99.99,99.99"));
    // Satellite i of n is acquired a share i/n of the way, tracked (its signal measured) a
    // little later, its place known from the almanac when the sky is, else near the end.
    bool placed = skyKnown || progress >= 0.7;
    for (int s = 0; s < 4; ++s) {
        const System& system = kSystems[s];
        int n = InView(p, s);
        auto share = [&](int i) { return static_cast<double>(i + 1) / (n + 1); };
        AddGsv(
            out, system, [&](int i) { return i < n && progress >= 0.8 * share(i); },
            [&](int i) {
                std::string place =
                    placed ? Format("%02d,%03d,", system.sky[i].elevation, system.sky[i].azimuth)
                           : std::string(",,");
                if (progress < share(i)) return place;
                int snr = static_cast<int>(system.sky[i].snr * (0.6 + 0.4 * progress));
                return place + Format("%02d", snr);
            });
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
