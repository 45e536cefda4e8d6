// The NMEA feed's pseudo-terminal, for gpsd (which reads terminals): one reader at a time.
// A stable link names it. Nothing here waits for the reader: the terminal is written without
// blocking, a sentence that does not fit whole is dropped, and nothing is written while nobody
// has it open. What the last reader left unread is thrown away when it goes, so the next one
// never starts with an old position or the end of a sentence. What a reader writes to the
// terminal (gpsd probes its devices) is read and thrown away.
//
// Not thread-safe: the feed (nmea_feed.h) calls it under its lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace devicemgr {

struct NmeaFeedCounters {
    uint64_t written = 0;      // sentences a reader got
    uint64_t dropped = 0;      // sentences that did not fit: the reader is slow or stopped
    uint64_t unread = 0;       // sentences nobody had the terminal open for
    uint64_t readersLeft = 0;  // times the last reader went (what it left unread thrown away)
};

class NmeaTerminal {
  public:
    NmeaTerminal() = default;
    ~NmeaTerminal() { Close(); }
    NmeaTerminal(const NmeaTerminal&) = delete;
    NmeaTerminal& operator=(const NmeaTerminal&) = delete;

    // Makes an owner-only terminal and replaces `link` with a link to it in one step. False
    // with the reason in `why`.
    bool Open(const std::string& link, std::string* why);
    // Closes the terminal; its link goes unless it names another terminal by now.
    void Close();
    bool IsOpen() const { return master_ >= 0; }

    // Passes on whole lines (CR LF ended). Returns true when a reader came since the last
    // look: the owner then watches HangUpWatch().
    bool Write(const std::vector<std::string>& lines);
    // The master's descriptor, to be polled for its hang-up while a reader has the terminal
    // open; -1 otherwise.
    int HangUpWatch() const { return reader_ ? master_ : -1; }
    // The master hung up: the last reader went. What it left unread is thrown away.
    void ReaderLeft();
    // A session starts: with nobody reading, nothing of an earlier one stays in the terminal.
    void SessionStarted();

    const NmeaFeedCounters& Counters() const { return counters_; }
    // The drops not yet told, taken.
    uint64_t TakeUntoldDrops();
    const std::string& LinkPath() const { return link_; }
    const std::string& TerminalPath() const { return terminal_; }

  private:
    // Reads what a reader wrote; false when nobody has the terminal open.
    bool Drain();
    // Empties the terminal's input queue, all of it, through a descriptor of its own.
    void Flush();

    int master_ = -1;
    bool reader_ = false;  // a reader had it open at the last look
    std::string link_, terminal_;
    std::string pending_;  // the rest of a sentence the reader took only part of
    NmeaFeedCounters counters_;
    uint64_t dropsTold_ = 0;
};

}  // namespace devicemgr
