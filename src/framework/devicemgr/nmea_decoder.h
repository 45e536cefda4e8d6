// NMEA 0183 from a GPS port: sentences cut from the byte stream, checksums verified, positions
// taken from RMC, GGA, GNS and GLL, satellites in view from GSV, altitude, speed, course, fix
// mode, dilution of precision, error estimates (GST) and UTC time from the sentences that
// carry them, each fix turned into the GPS data record, and each complete view of the sky
// (nmea_sky.h) handed on as it completes.
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
#include "framework/devicemgr/nmea_fields.h"
#include "framework/devicemgr/nmea_sky.h"

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

// A position in micro-degrees (negative: south, west) with the satellites in view, and what
// else the receiver said about it (each empty when it did not say it).
struct GpsFix {
    int64_t latitude = 0;
    int64_t longitude = 0;
    std::optional<int> satellites;         // in view; none until the receiver tells it
    std::optional<double> altitudeMetres;  // above mean sea level
    std::optional<double> speedMetresPerSecond;
    std::optional<double> courseDegrees;  // true
    std::optional<int> fixMode;           // framework::kGpsFix...
    std::optional<int> satellitesUsed;
    std::optional<double> pdop, hdop, vdop;
    std::optional<int32_t> utcMillisecondOfDay;
    std::optional<int64_t> utcMilliseconds;  // since 1970-01-01 UTC, when the date is known
    // Beyond the GPS data record: the geoid's height above the ellipsoid (GGA, GNS), and GST's
    // standard deviations of latitude, longitude and altitude in metres.
    std::optional<double> geoidSeparationMetres;
    std::optional<double> latitudeError, longitudeError, altitudeError;
};

// The record handed to the device sinks: "-122.123456W", "37.654321N", "7", then the extra
// fields with their flags.
framework::GpsDataRecord MakeRecord(const GpsFix& fix);

struct NmeaCounters {
    uint64_t accepted = 0;      // understood sentences of a supported talker
    uint64_t badChecksum = 0;   // missing or wrong checksum
    uint64_t malformed = 0;     // unknown talker, bad fields
    uint64_t ignored = 0;       // well-formed sentences of a type not used here
    uint64_t partialSkies = 0;  // GSV runs that missed a part: no view was made of them
};

// Decodes one sentence at a time and answers a fix when the sentence completes one.
//
// A fix is made by the first sentence of an epoch (one receiver time) that holds a position;
// the others of that epoch add nothing to it. It carries each extra value read in its own
// epoch or the one before, so a receiver that sends altitude after the position gives the
// previous second's altitude, and a value the receiver stopped sending is soon forgotten.
// Once the epoch is over, the same fix is told again with what the whole epoch said
// (TakeEpochFix).
//
// A view of the sky is made of a GSV run: the GSV sentences (GSA may come between them) up to
// the next sentence of another type, whatever their talkers and signals. It is complete only
// when every talker's and signal's group of parts came whole; a run that missed a part makes
// no view. The satellites marked used are those of the last GSA sentences, of the view's epoch
// or the one before.
class NmeaDecoder {
  public:
    // `sentence` runs from '$' to the checksum, without the line end.
    std::optional<GpsFix> Decode(std::string_view sentence);
    // The end of the input: a GSV run and an epoch still open are closed.
    void Finish();
    // The view the last Decode or Finish completed, once.
    std::optional<SkyView> TakeSky();
    // The fix of the epoch the last Decode or Finish ended, with every value that epoch gave
    // (or the one before, as for the fix), once.
    std::optional<GpsFix> TakeEpochFix();
    const NmeaCounters& Counters() const { return counters_; }
    // The receiver's time of day of the open epoch, in milliseconds; none before any time.
    std::optional<int32_t> EpochTimeOfDay() const { return epochTimeOfDay_; }

  private:
    using Fields = std::vector<std::string_view>;
    std::optional<GpsFix> OnRmc(const Fields& f, bool& wellFormed);
    std::optional<GpsFix> OnGga(const Fields& f, bool& wellFormed);
    std::optional<GpsFix> OnGns(const Fields& f, bool& wellFormed);
    std::optional<GpsFix> OnGll(const Fields& f, bool& wellFormed);
    bool OnGsa(std::string_view talker, const Fields& f);
    bool OnVtg(const Fields& f);
    bool OnGst(const Fields& f);
    bool OnGsv(std::string_view talker, const Fields& f);
    void CommitSky();
    // A sentence with the receiver's time: a new time begins a new epoch.
    void EnterEpoch(std::string_view time);
    // The open epoch's fix, completed, becomes the one TakeEpochFix tells.
    void EndEpoch();
    // The extra values of a fix at the present epoch.
    void FillExtras(GpsFix& fix) const;
    // Altitude, satellites used and HDOP of a GGA or GNS with a position.
    void ReadFixQuality(const Fields& f);
    // The latitude and longitude in the four fields from `at` on (latitude, N/S, longitude,
    // E/W), in micro-degrees; none, and the sentence marked malformed, when either is unreadable.
    struct LatLon {
        int64_t latitude;
        int64_t longitude;
    };
    static std::optional<LatLon> PositionAt(const Fields& f, size_t at, bool& wellFormed);
    std::optional<GpsFix> Emit(std::string_view time, int64_t lat, int64_t lon);

    // A value and the epoch it was read in.
    template <typename T>
    struct Reading {
        T value{};
        int64_t epoch = -2;
        void Set(std::optional<T> v, int64_t now) {
            if (v) *this = Reading{*v, now};
        }
    };
    template <typename T>
    std::optional<T> Recent(const Reading<T>& r) const {
        if (epoch_ - r.epoch > 1) return std::nullopt;
        return r.value;
    }

    NmeaCounters counters_;
    SkyBuilder sky_;                      // the GSV run being read
    std::optional<SkyView> skyReady_;     // the view made last, until taken
    std::set<std::pair<int, int>> used_;  // by gnssid and svid, from the GSA of usedEpoch_
    int64_t usedEpoch_ = -2;
    bool usedTaken_ = false;       // a view took them: the next GSA starts afresh
    std::optional<int> skyCount_;  // satellites of the last complete GSV run
    int fixesSinceSky_ = 0;        // fixes since that run: an old one no longer counts
    std::optional<int> ggaCount_;  // satellites used, from the last GGA with a fix
    std::string lastFixTime_;      // RMC, GGA, GNS and GLL of one epoch make one fix

    int64_t epoch_ = 0;
    std::string epochTime_;
    std::optional<int32_t> epochTimeOfDay_;
    Reading<double> altitude_, speed_, course_, pdop_, hdop_, vdop_, geoid_;
    Reading<double> latError_, lonError_, altError_;
    Reading<int> fixMode_, usedCount_;
    std::optional<GpsFix> epochFix_;  // the fix of the open epoch
    std::optional<GpsFix> endedFix_;  // that of the epoch that ended last, until taken
    // The date of the last valid RMC and its time of day.
    struct DateAt {
        int64_t days;
        int32_t timeOfDay;
    };
    Reading<DateAt> date_;
};

// Sentences a receiver repeats unchanged while nothing changes and that carry no time (fix
// mode and DOP, speed and course): a repetition still tells that they hold.
bool RepeatedUnchanged(std::string_view sentence);

}  // namespace devicemgr
