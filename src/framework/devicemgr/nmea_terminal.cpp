#include "framework/devicemgr/nmea_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace devicemgr {

bool NmeaTerminal::Open(const std::string& link, std::string* why) {
    if (master_ >= 0) return true;
    auto fail = [&](const std::string& what) {
        if (why) *why = what;
        Close();
        return false;
    };
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
    terminal_ = name;
    // Opened and closed once: from now on the master tells when nobody has it open.
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) ::close(slave);
    // The link is replaced in one step, so a reader never finds it missing or half made.
    std::string temporary = link + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(name, temporary.c_str()) != 0 || ::rename(temporary.c_str(), link.c_str()) != 0) {
        std::string error = std::strerror(errno);
        ::unlink(temporary.c_str());
        return fail("cannot link " + link + ": " + error);
    }
    link_ = link;
    return true;
}

void NmeaTerminal::Close() {
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
    reader_ = false;
    link_.clear();
    terminal_.clear();
    pending_.clear();
}

bool NmeaTerminal::Drain() {
    char scratch[512];
    for (;;) {
        ssize_t n = ::read(master_, scratch, sizeof scratch);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        // EIO: the last reader closed it; EAGAIN: open, nothing to read.
        return !(n < 0 && errno == EIO);
    }
}

void NmeaTerminal::Flush() {
    pending_.clear();
    if (terminal_.empty()) return;
    int slave = ::open(terminal_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) return;
    ::tcflush(slave, TCIFLUSH);
    ::close(slave);
}

bool NmeaTerminal::Write(const std::vector<std::string>& lines) {
    if (master_ < 0 || lines.empty()) return false;
    if (!Drain()) {
        counters_.unread += lines.size();
        if (reader_) ReaderLeft();  // gone before the watch saw it
        return false;
    }
    bool came = !reader_;
    reader_ = true;
    auto put = [&](const std::string& bytes) -> size_t {
        for (;;) {
            ssize_t n = ::write(master_, bytes.data(), bytes.size());
            if (n >= 0) return static_cast<size_t>(n);
            if (errno != EINTR) return 0;
        }
    };
    if (!pending_.empty()) pending_.erase(0, put(pending_));
    for (const std::string& line : lines) {
        if (!pending_.empty()) {
            ++counters_.dropped;
            continue;
        }
        size_t done = put(line);
        if (done == 0) {
            ++counters_.dropped;
            continue;
        }
        ++counters_.written;
        // A sentence begun is finished first, so the reader never sees one cut short.
        if (done < line.size()) pending_ = line.substr(done);
    }
    return came;
}

void NmeaTerminal::ReaderLeft() {
    reader_ = false;
    ++counters_.readersLeft;
    Flush();
}

void NmeaTerminal::SessionStarted() {
    if (master_ < 0 || reader_) return;
    Flush();
}

uint64_t NmeaTerminal::TakeUntoldDrops() {
    uint64_t untold = counters_.dropped - dropsTold_;
    dropsTold_ = counters_.dropped;
    return untold;
}

}  // namespace devicemgr
