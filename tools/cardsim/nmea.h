// NMEA 0183 output of the simulated card: the built-in route and the replay of a log.
#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

namespace cardsim {

// The checksum of a sentence body (what lies between '$' and '*'): the XOR of its bytes.
unsigned char NmeaChecksum(const std::string& body);
// "$<body>*<two hex digits>\r\n".
std::string NmeaSentence(const std::string& body);

struct RoutePoint {
    double latitude;   // degrees, north positive
    double longitude;  // degrees, east positive
    double speedKnots;
    double course;                 // degrees from north
    int satellites;                // GPS satellites in view
    int glonass, galileo, beidou;  // in view of the other systems
    long second;                   // since the start of positioning
};

// The built-in route: a loop of about a kilometre that takes ten minutes, with satellite
// counts that change every twenty seconds. `second` counts from the start of positioning.
RoutePoint RouteAt(long second);

// One epoch at `point`, stamped `utc`, as a receiver of four systems sends it: RMC, GGA and
// GST (GPS talker), a GSA per system (on its own talker, with its NMEA 4.10 system ID), each
// system's GSV run (with its signal ID) and GLL.
std::vector<std::string> RouteEpoch(const RoutePoint& point, std::time_t utc);

// One epoch of a receiver still searching, `progress` (0 to 1) of the way to its first fix:
// no position, and the satellites it acquired so far in GSV, with their signal strength once
// tracked; their elevation and azimuth only when it knows the sky (`skyKnown`: an almanac,
// a warm or assisted start) or late in a cold start.
std::vector<std::string> SearchEpoch(const RoutePoint& point, double progress, bool skyKnown,
                                     std::time_t utc);

// A recorded NMEA log, played back epoch by epoch: an epoch is the run of lines that share
// one time of day (the first field of RMC, GGA, GLL or ZDA).
class NmeaReplay {
  public:
    // False when the file cannot be read or holds no sentence.
    bool Load(const std::string& path);
    bool Empty() const { return epochs_.empty(); }
    // The lines of the next epoch (each with CR LF), starting over after the last one.
    const std::vector<std::string>& Next();
    // The recorded time between the epoch just returned and the next one; `fallback` when the
    // log does not say.
    std::chrono::milliseconds Gap(std::chrono::milliseconds fallback) const;

  private:
    struct Epoch {
        std::vector<std::string> lines;
        double seconds = -1;  // time of day, -1 when unknown
    };
    std::vector<Epoch> epochs_;
    size_t next_ = 0;
    size_t last_ = 0;
};

}  // namespace cardsim
