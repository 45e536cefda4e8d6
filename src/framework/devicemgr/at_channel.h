// The AT command channel of one card: a serial port, the answer assembly, and a queue that
// keeps one command in flight at a time.
//
// Two kinds of command share the queue: the manager's own (Command: send and wait for the
// answer) and the exchange of the current device's user (Send ... EndExchange), whose answers
// go to the `answered` handler on the port's reader thread. EndExchange drops the user's
// commands still queued and marks the one in flight so that its answer, when it comes, is
// thrown away; the next command goes out only once that answer came or its time ran out.
//
// Keeping in step. The card answers its commands in order, one final code each, but an
// answer may come after its command timed out, and a port just opened may still get the
// answer to a command its previous owner wrote. Such an answer must never pass for the answer
// of a later command. So the channel starts out of step, and drops out of step whenever a
// command times out; out of step, before anything else goes out it sends a marker and drops
// every answer until the marker's own. Since the card answers in order, whatever was owed
// comes before it. The marker writes a value drawn at random into S-register 7 (the wait for
// a dialled connection, unused by packet data) between two reads of it: its answer, the old
// value then the drawn one, is told from anything owed by the drawn value, and the old value
// is written back at once. A card that refuses the marker is in step once the line has stayed
// free of final codes for a quiet period after one.
//
// Waits. A Command on the window thread serves sent messages while it waits (a handler or
// sink of another thread may be sending to the window thread), and Close does the same while
// the reader thread ends, both through the handlers' serving wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "framework/devicemgr/at_answers.h"
#include "framework/devicemgr/at_receiver.h"
#include "platform/serial/serial_line.h"

namespace devicemgr {

// How long a command may take from its write to its final code.
inline constexpr int kAnswerTimeoutMs = 3000;
// Commands waiting behind the one in flight; more are refused.
inline constexpr size_t kMaxQueuedCommands = 16;
// Out of step, with a card that refuses the marker: how long the line must stay free of final
// codes after one (at most; a fifth of a shorter answer timeout).
inline constexpr int kResyncQuietMs = 300;
// The S-register the marker writes and reads back.
inline constexpr int kMarkerRegister = 7;
// How long one write may wait for the port to take a line.
inline constexpr int kWriteTimeoutMs = 400;

class AtChannel {
  public:
    struct Handlers {
        std::function<void(const std::string& answer)> answered;  // the user's answers
        std::function<void(const std::string& line)> unsolicited;
        std::function<void()> hungUp;
        std::function<void()> timedOut;  // a command got no final code in time
        // Every line sent ("> ...") and received ("< ...") for the detailed trace.
        std::function<void(const std::string& text)> trace;
        // How Command waits for its answer and Close for the reader.
        platform::ServingWait wait;
    };

    // `answerTimeoutMs`: how long a command holds the line without a final code.
    AtChannel(std::unique_ptr<platform::SerialLine> port, Handlers handlers,
              int answerTimeoutMs = kAnswerTimeoutMs);
    ~AtChannel();
    AtChannel(const AtChannel&) = delete;
    AtChannel& operator=(const AtChannel&) = delete;

    bool Start();
    // Ends the reader and fails every command waiting; no handler runs after it returns
    // (unless called from a handler).
    void Close();

    // Sends `line` (a "\r\n" is added when missing) and waits for its answer; nothing on time-
    // out, hang-up or a full queue. Returns within `timeoutMs` whatever the card does. A
    // `readOnly` command (a query, or a setting that sending again changes nothing) does not
    // make the channel Busy: it may be left unanswered at close, the next owner of the port
    // drops its late answer when it gets in step.
    std::optional<AtAnswer> Command(const std::string& line, int timeoutMs = kAnswerTimeoutMs,
                                    bool readOnly = false);

    // The user's exchange: queue a line; end the exchange.
    bool Send(const std::string& line);
    void EndExchange();

    bool Alive() const;
    // A command that acts on the card (not read-only) is in flight or waiting: the card may
    // not have done it yet. (Its owner should not let go of the port now.)
    bool Busy() const;
    // When the last byte came from the card.
    std::chrono::steady_clock::time_point LastReceived() const;
    AtCounters Counters() const;

  private:
    using Clock = std::chrono::steady_clock;
    struct Request {
        std::string line;
        bool user = false;       // the user's exchange, else a Command
        bool abandoned = false;  // user: the exchange ended, drop the answer
        uint64_t id = 0;
        Clock::time_point deadline{};
        bool resync = false;    // the channel's marker to get back in step
        bool settling = false;  // resync: answered; in step once quiet until the deadline
        int drawn = 0;          // resync: the value the marker writes
        bool readOnly = false;  // may be left unanswered at close (not Busy)
    };

    // Puts queued requests (behind a resync when out of step) in flight and writes them while
    // the slot is free; false when the request `watched` could not be written.
    bool Pump(uint64_t watched = 0, int writeTimeoutMs = kWriteTimeoutMs);
    // With mutex_ held: the next request to put in flight, if any.
    std::optional<Request> NextLocked();
    // With mutex_ held: `answer` is the marker's own; the register's value from before the
    // first marker is put back. The answer of an earlier marker only tells that value.
    bool MarkerAnsweredLocked(const AtOutput& answer);
    // With mutex_ held: a marker's answer read `old`, then `value`, from the register.
    void NoteMarkerRead(int old, int value);
    // With mutex_ held: a line nobody waits for while out of step (an earlier marker's answer
    // may come so, line by line).
    void NoteStrayLocked(const std::string& line);
    void OnBytes(std::string_view bytes);
    void OnTimer();
    void OnHangUp();
    int NextTimeout();
    // With mutex_ held: the request in flight is over, with `answer` or without one.
    void FinishLocked(const std::optional<AtAnswer>& answer);
    void FailAllLocked();

    std::unique_ptr<platform::SerialLine> port_;
    Handlers handlers_;
    const int answerTimeoutMs_;
    const int quietMs_;

    mutable std::mutex mutex_;
    std::condition_variable answered_;
    AtReceiver receiver_;
    std::optional<Request> inFlight_;
    std::deque<Request> queue_;
    uint64_t nextId_ = 1;
    // Results of Command requests, by id; taken by their waiters.
    std::map<uint64_t, std::optional<AtAnswer>> results_;
    bool closed_ = false;       // closed or hung up: nothing more is sent
    bool inStep_ = false;       // every final code owed has come or been dropped
    bool resyncWanted_ = true;  // resync at once, even with nothing queued
    std::minstd_rand random_;   // the marker's values
    // The values the markers wrote since the channel went out of step, in order, and the
    // register's value before the first of them, once an answer told it.
    std::vector<int> markersDrawn_;
    std::optional<int> registerBefore_;
    std::vector<std::string> strayTail_;  // the last stray lines (at most two)
    Clock::time_point lastReceived_ = Clock::now();
};

}  // namespace devicemgr
