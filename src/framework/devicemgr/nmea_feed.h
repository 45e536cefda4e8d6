// The NMEA sentences of the current GPS session passed on, unchanged and in order, to the
// readers of the process's feed: a pseudo-terminal for gpsd (one reader; nmea_terminal.h) and
// a Unix socket for any number of them (nmea_socket.h), both in the runtime folder ("nmea",
// a link to the terminal, and "nmea.sock"). Nothing here ever waits for a reader.
//
// The desktop's location service (GeoClue) reads the socket as an account of its own: where
// the user turned that on, its account is given search on the socket's folder and the one
// above it and read/write on the socket (ACL entries of that account alone), and taken away
// again otherwise. The service connects when one of its clients asks, never connects again
// after its stream ended, and takes any position it is sent: so the socket listens from the
// feed's opening to its end, no connection is ever closed from this side, and no position
// without a fix goes out on it.
//
// One thread of the feed's own watches the terminal's reader leave, takes the socket's new
// readers and sends what their queues hold.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "framework/devicemgr/nmea_socket.h"
#include "framework/devicemgr/nmea_terminal.h"

namespace devicemgr {

// The account the location service runs as.
inline constexpr const char* kLocationServiceAccount = "geoclue";

struct NmeaFeedOptions {
    // Where the terminal's link goes; empty: "nmea" in the runtime folder.
    std::string link;
    // The socket; empty: "nmea.sock" in the link's folder. `socket` false: none.
    std::string socketPath;
    bool socket = true;
    // The location service's account (none where it is not installed): given access to the
    // socket when `shareWithLocationService`, else its entries are taken away again.
    std::optional<uint32_t> locationAccount;
    bool shareWithLocationService = false;
    size_t readerQueueBytes = 64 * 1024;
    std::chrono::milliseconds dropTraceInterval = std::chrono::seconds(10);
};

class NmeaFeed {
  public:
    using TraceFn = std::function<void(int level, const std::string& text)>;

    explicit NmeaFeed(NmeaFeedOptions options = {}, TraceFn trace = {});
    ~NmeaFeed();
    NmeaFeed(const NmeaFeed&) = delete;
    NmeaFeed& operator=(const NmeaFeed&) = delete;

    // The process's feed: made by the first call, with its options, and kept until the process
    // ends, so that its readers keep their connection however often the device manager that
    // writes to it is made again.
    static std::shared_ptr<NmeaFeed> OfProcess(const NmeaFeedOptions& options);

    // Makes the terminal, its link and the socket now (otherwise the first sentence does);
    // false, traced, when neither can be made. Tried once: a feed that failed does not try
    // again.
    bool Open();
    // Passes on sentences ("$" to checksum, without the line end); each goes out with CR LF.
    void Write(const std::vector<std::string>& sentences);
    // A session starts: the terminal keeps nothing of an earlier one for its next reader.
    void SessionStarted();

    // Traces go to the sink added last (and to the constructor's when none is). Removing a
    // sink returns once no trace to it runs.
    void AddTraceSink(const void* owner, TraceFn trace);
    void RemoveTraceSink(const void* owner);

    NmeaFeedCounters Counters() const;  // the terminal's
    std::vector<NmeaReaderCounters> SocketReaders() const;
    // The link, the terminal it names and the socket; empty until opened.
    std::string LinkPath() const;
    std::string TerminalPath() const;
    std::string SocketPath() const;

  private:
    using Traces = NmeaSocket::Traces;

    bool OpenLocked(Traces& traces);
    void ShareSocketLocked(Traces& traces);
    void TellDropsLocked(bool force, Traces& traces);
    void Emit(const Traces& traces);
    void Wake();
    void Run();

    const NmeaFeedOptions options_;

    mutable std::mutex mutex_;
    NmeaTerminal terminal_;
    NmeaSocket socket_;
    bool tried_ = false;
    bool stopping_ = false;
    int wake_ = -1;  // an eventfd: the thread polls again
    std::chrono::steady_clock::time_point lastTerminalTold_{};
    std::thread thread_;

    std::mutex traceMutex_;  // held while a trace runs
    std::vector<std::pair<const void*, TraceFn>> traceSinks_;
};

}  // namespace devicemgr
