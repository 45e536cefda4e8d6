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
    double course;   // degrees from north
    int satellites;  // in view
};

// The built-in route: a loop of about a kilometre that takes ten minutes, with a satellite
// count that changes every twenty seconds. `second` counts from the start of positioning.
RoutePoint RouteAt(long second);

// One epoch at `point`, stamped `utc`: RMC, GGA, GSA and as many GSV as the satellites need.
std::vector<std::string> RouteEpoch(const RoutePoint& point, std::time_t utc);

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
