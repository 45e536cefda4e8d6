#include "framework/devicemgr/nmea_feed.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "framework/contracts/ids.h"
#include "platform/paths.h"
#include "platform/runtime_folder.h"

namespace devicemgr {

NmeaFeed::NmeaFeed(std::string link, TraceFn trace, std::chrono::milliseconds dropTraceInterval)
    : wantedLink_(std::move(link)),
      trace_(std::move(trace)),
      dropTraceInterval_(dropTraceInterval) {}

NmeaFeed::~NmeaFeed() {
    std::lock_guard<std::mutex> lock(mutex_);
    TraceDropsLocked(true);
    CloseLocked();
}

bool NmeaFeed::Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    return OpenLocked();
}

bool NmeaFeed::OpenLocked() {
    if (master_ >= 0) return true;
    if (failed_) return false;
    auto fail = [&](const std::string& what) {
        failed_ = true;
        if (trace_) trace_(framework::kTraceWarning, "NMEA feed not offered: " + what);
        CloseLocked();
        return false;
    };
    std::string link = wantedLink_;
    if (link.empty()) {
        std::string why;
        std::string folder = platform::RuntimeDirectory(&why);
        if (folder.empty()) return fail(why);
        link = platform::JoinPath(folder, "nmea");
    }
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) return fail(std::string("posix_openpt: ") + std::strerror(errno));
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        return fail(std::string("a pseudo-terminal: ") + std::strerror(errno));
    }
    // Raw both ways: no echo back to us, no line editing, CR LF passed as they are.
    termios tio{};
    if (::tcgetattr(master_, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(master_, TCSANOW, &tio);
    }
    // Only the owner may open it (grantpt leaves it to the tty group for writing).
    ::chmod(name, 0600);
    // Opened and closed once: from now on the master tells when nobody has it open.
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) ::close(slave);
    // The link is replaced in one step, so a reader never finds it missing or half made.
    std::string temporary = link + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(name, temporary.c_str()) != 0 || ::rename(temporary.c_str(), link.c_str()) != 0) {
        std::string why = std::strerror(errno);
        ::unlink(temporary.c_str());
        return fail("cannot link " + link + ": " + why);
    }
    link_ = link;
    terminal_ = name;
    if (trace_) trace_(framework::kTraceNotice, "NMEA feed: " + link_ + " -> " + terminal_);
    return true;
}

void NmeaFeed::CloseLocked() {
    if (!link_.empty()) {
        // Only a link that still names this terminal: another instance may have taken it.
        char target[256];
        ssize_t n = ::readlink(link_.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == terminal_) {
            ::unlink(link_.c_str());
        }
    }
    if (master_ >= 0) ::close(master_);
    master_ = -1;
    link_.clear();
    terminal_.clear();
    pending_.clear();
}

bool NmeaFeed::DrainLocked() {
    char scratch[512];
    for (;;) {
        ssize_t n = ::read(master_, scratch, sizeof scratch);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        // EIO: the last reader closed it; EAGAIN: open, nothing to read.
        return !(n < 0 && errno == EIO);
    }
}

void NmeaFeed::Write(const std::vector<std::string>& sentences) {
    if (sentences.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!OpenLocked()) return;
    if (!DrainLocked()) {
        counters_.unread += sentences.size();
        pending_.clear();
        return;
    }
    auto put = [&](const std::string& bytes) -> size_t {
        for (;;) {
            ssize_t n = ::write(master_, bytes.data(), bytes.size());
            if (n >= 0) return static_cast<size_t>(n);
            if (errno != EINTR) return 0;
        }
    };
    if (!pending_.empty()) {
        size_t done = put(pending_);
        pending_.erase(0, done);
    }
    for (const std::string& sentence : sentences) {
        if (!pending_.empty()) {
            ++counters_.dropped;
            continue;
        }
        std::string line = sentence + "\r\n";
        size_t done = put(line);
        if (done == 0) {
            ++counters_.dropped;
            continue;
        }
        ++counters_.written;
        // A sentence begun is finished first, so the reader never sees one cut short.
        if (done < line.size()) pending_ = line.substr(done);
    }
    TraceDropsLocked(false);
}

void NmeaFeed::TraceDropsLocked(bool force) {
    if (!trace_ || counters_.dropped == dropsTraced_) return;
    auto now = std::chrono::steady_clock::now();
    if (!force && lastDropTrace_ != std::chrono::steady_clock::time_point{} &&
        now - lastDropTrace_ < dropTraceInterval_) {
        return;
    }
    trace_(framework::kTraceWarning,
           "NMEA feed: " + std::to_string(counters_.dropped - dropsTraced_) +
               " sentences dropped, the reader of " + link_ + " is not keeping up (" +
               std::to_string(counters_.dropped) + " in all)");
    dropsTraced_ = counters_.dropped;
    lastDropTrace_ = now;
}

NmeaFeedCounters NmeaFeed::Counters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counters_;
}

std::string NmeaFeed::LinkPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return link_;
}

std::string NmeaFeed::TerminalPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return terminal_;
}

}  // namespace devicemgr
