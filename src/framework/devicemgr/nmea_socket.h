// The NMEA feed's Unix stream socket, for any number of readers at once (map programs, the
// desktop's location service). Every reader gets each sentence whole, unchanged and in order,
// from its own bounded queue: a reader that does not keep up loses its oldest whole sentences
// (counted per reader), and never holds up the writer or another reader. A connection is only
// ever closed by its reader (or when the socket goes): the location service does not connect
// again once its stream ended.
//
// Position sentences that report no fix are held back: a reader that takes the coordinates of
// any position sentence (the location service does) never gets a position nobody measured.
//
// Not thread-safe: the feed (nmea_feed.h) calls it under its lock and polls its descriptors.
#pragma once

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace devicemgr {

struct NmeaReaderCounters {
    uint64_t id = 0;   // 1, 2, ... in the order the readers came
    uint32_t uid = 0;  // the reader's account
    int pid = 0;
    uint64_t sent = 0;     // sentences it got whole, or is getting
    uint64_t dropped = 0;  // sentences it lost for not keeping up
};

struct NmeaSocketOptions {
    size_t queueBytes = 64 * 1024;  // what one reader's queue holds at most
    size_t maxReaders = 64;         // more are refused
    // Accounts other than this user (and root) that may connect; others are turned away.
    std::vector<uint32_t> allowed;
};

class NmeaSocket {
  public:
    using Traces = std::vector<std::pair<int, std::string>>;  // level, text

    explicit NmeaSocket(NmeaSocketOptions options) : options_(std::move(options)) {}
    ~NmeaSocket() { Close(); }
    NmeaSocket(const NmeaSocket&) = delete;
    NmeaSocket& operator=(const NmeaSocket&) = delete;

    // Binds and listens at `path`, owner-only. A socket left there by an earlier run that
    // nobody listens on is replaced; one another process listens on is not. False with why.
    bool Open(const std::string& path, std::string* why);
    // Closes every connection and the socket, and removes its file.
    void Close();
    bool IsOpen() const { return listener_ >= 0; }
    const std::string& Path() const { return path_; }

    // Queues whole lines (CR LF ended) for every reader and sends what each takes now. True
    // when a reader was left with a queue, or went: the owner then polls again.
    bool Write(const std::vector<std::string>& lines);

    // What to poll: the listener and every reader. `Handle` takes the results in the same order.
    void PollFds(std::vector<pollfd>& fds) const;
    void Handle(const pollfd* fds, size_t count, Traces& traces);

    std::vector<NmeaReaderCounters> Readers() const;
    // Each reader's losses not yet told, traced at most once per `interval` per reader
    // (`force`: now, whatever the interval).
    void TellDrops(std::chrono::milliseconds interval, bool force, Traces& traces);

  private:
    struct Reader {
        int fd = -1;
        NmeaReaderCounters counters;
        std::deque<std::string> queue;
        size_t queuedBytes = 0;
        size_t headSent = 0;  // bytes of the queue's first line already sent
        bool gone = false;
        uint64_t dropsTold = 0;
        std::chrono::steady_clock::time_point lastTold{};
    };

    void Accept(Traces& traces);
    // Sends what the reader takes; marks it gone when its connection failed.
    void Send(Reader& reader);
    void Remove(size_t index, const char* why, Traces& traces);
    std::string Name(const Reader& reader) const;

    const NmeaSocketOptions options_;
    int listener_ = -1;
    std::string path_;
    uint64_t lastId_ = 0;
    std::vector<Reader> readers_;
};

}  // namespace devicemgr
