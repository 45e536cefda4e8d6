// NMEA 0183 from a GPS port: sentences cut from the byte stream, checksums verified, positions
// taken from RMC and GGA, satellites in view from GSV, each fix turned into the GPS data
// record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/contracts/ids.h"

namespace devicemgr {

// Longest sentence kept, "$" to checksum; the standard allows 82, receivers exceed it.
inline constexpr size_t kMaxSentence = 128;

// Cuts sentences out of the bytes of a GPS port. A sentence starts at '$' and ends at CR or
// LF; a '$' inside restarts it; a byte that is not printable ASCII or an overlong line throws
// the sentence away. Memory stays bounded whatever comes in.
class NmeaLexer {
  public:
    // Appends every complete sentence (without its line end) to `out`.
    void Feed(std::string_view bytes, std::vector<std::string>& out);
    uint64_t Discarded() const { return discarded_; }  // sentences thrown away while cut

  private:
    std::string line_;
    bool inSentence_ = false;
    uint64_t discarded_ = 0;
};

// A position in micro-degrees (negative: south, west) with the satellites in view, none while
// the receiver has not told their number.
struct GpsFix {
    int64_t latitude = 0;
    int64_t longitude = 0;
    std::optional<int> satellites;
};

// The record handed to the device sinks: "-122.123456W", "37.654321N", "7" (an empty count
// while none is known).
framework::GpsDataRecord MakeRecord(const GpsFix& fix);

struct NmeaCounters {
    uint64_t accepted = 0;     // understood sentences of a supported talker
    uint64_t badChecksum = 0;  // missing or wrong checksum
    uint64_t malformed = 0;    // unknown talker, bad fields
    uint64_t ignored = 0;      // well-formed sentences of a type not used here
};

// Decodes one sentence at a time and answers a fix when the sentence completes one.
class NmeaDecoder {
  public:
    // `sentence` runs from '$' to the checksum, without the line end.
    std::optional<GpsFix> Decode(std::string_view sentence);
    const NmeaCounters& Counters() const { return counters_; }

  private:
    using Fields = std::vector<std::string_view>;
    std::optional<GpsFix> OnRmc(const Fields& f, bool& wellFormed);
    std::optional<GpsFix> OnGga(const Fields& f, bool& wellFormed);
    bool OnGsv(std::string_view talker, const Fields& f);
    void CommitSky();
    std::optional<GpsFix> Emit(std::string_view time, int64_t lat, int64_t lon);

    NmeaCounters counters_;
    // Satellites of the GSV run being read: per system, the numbers listed and the largest
    // count announced by one signal group.
    struct SystemSky {
        std::set<int> numbers;
        int announced = 0;
    };
    std::map<std::string, SystemSky> building_;
    bool lastWasGsv_ = false;
    std::optional<int> skyCount_;  // satellites of the last complete GSV run
    int fixesSinceSky_ = 0;        // fixes since that run: an old one no longer counts
    std::optional<int> ggaCount_;  // satellites used, from the last GGA with a fix
    std::string lastFixTime_;      // RMC and GGA of one epoch make one fix
};

// Checks "$...*hh": the XOR of the bytes between '$' and '*' against two hex digits. On
// success `body` is the text between them.
bool VerifyChecksum(std::string_view sentence, std::string_view& body);

}  // namespace devicemgr
