// An NMEA log read through the device manager's decoder, as satview-nmea reads it: the fix of
// each epoch once the epoch is over, each complete view of the sky, and how long the receiver
// took from the first time it told to its first fix.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "framework/devicemgr/nmea_decoder.h"

namespace nmealog {

class LogReader {
  public:
    struct Sinks {
        std::function<void(const devicemgr::GpsFix&)> fix;
        std::function<void(const devicemgr::SkyView&)> sky;
    };
    explicit LogReader(Sinks sinks) : sinks_(std::move(sinks)) {}

    // Bytes of the log, cut anywhere.
    void Feed(std::string_view bytes);
    // The end of the log: the last epoch and view are told.
    void Finish();

    const devicemgr::NmeaCounters& Counters() const { return decoder_.Counters(); }
    // Sentences the lexer threw away (binary bytes, overlong lines).
    uint64_t Discarded() const { return lexer_.Discarded(); }
    // Milliseconds from the receiver's first time to its first fix, by its own clock.
    std::optional<int64_t> FirstFixAfter() const { return firstFixAfter_; }

  private:
    void Deliver();

    Sinks sinks_;
    devicemgr::NmeaLexer lexer_;
    devicemgr::NmeaDecoder decoder_;
    std::optional<int32_t> firstTime_;
    std::optional<int64_t> firstFixAfter_;
};

}  // namespace nmealog
