// The NMEA sentences of the current GPS session passed on, unchanged and in order, to a
// pseudo-terminal of this process, so that gpsd or a map program can read the receiver while
// Satview holds its port. A stable link names the terminal (the runtime folder's "nmea").
//
// Nothing here ever waits for a reader: the terminal is written without blocking, a sentence
// that does not fit whole is dropped (counted, and traced at most once per interval), and
// while nobody has the terminal open nothing is written at all, so a reader that comes later
// does not start with old positions. What a reader writes to the terminal (gpsd probes its
// devices) is read and thrown away.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace devicemgr {

struct NmeaFeedCounters {
    uint64_t written = 0;  // sentences a reader got
    uint64_t dropped = 0;  // sentences that did not fit: the reader is slow or stopped
    uint64_t unread = 0;   // sentences nobody had the terminal open for
};

class NmeaFeed {
  public:
    using TraceFn = std::function<void(int level, const std::string& text)>;
    // `link`: where the link to the terminal goes; empty: "nmea" in the runtime folder.
    explicit NmeaFeed(std::string link = {}, TraceFn trace = {},
                      std::chrono::milliseconds dropTraceInterval = std::chrono::seconds(10));
    ~NmeaFeed();
    NmeaFeed(const NmeaFeed&) = delete;
    NmeaFeed& operator=(const NmeaFeed&) = delete;

    // Makes the terminal and its link now (otherwise the first sentence does); false, traced,
    // when either cannot be made. A feed that failed does not try again.
    bool Open();
    // Passes on sentences ("$" to checksum, without the line end); each goes out with CR LF.
    void Write(const std::vector<std::string>& sentences);
    NmeaFeedCounters Counters() const;
    // The link and the terminal it names; empty until opened.
    std::string LinkPath() const;
    std::string TerminalPath() const;

  private:
    bool OpenLocked();
    void CloseLocked();
    // Reads what a reader wrote; false when nobody has the terminal open.
    bool DrainLocked();
    void TraceDropsLocked(bool force);

    const std::string wantedLink_;
    const TraceFn trace_;
    const std::chrono::milliseconds dropTraceInterval_;

    mutable std::mutex mutex_;
    int master_ = -1;
    bool failed_ = false;
    std::string link_, terminal_;
    std::string pending_;  // the rest of a sentence the reader took only part of
    NmeaFeedCounters counters_;
    uint64_t dropsTraced_ = 0;
    std::chrono::steady_clock::time_point lastDropTrace_{};
};

}  // namespace devicemgr
