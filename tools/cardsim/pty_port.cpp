#include "pty_port.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace cardsim {

bool PtyPort::Open(std::string& error) {
    Close();
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[128];
    auto fail = [&](const char* what) {
        error = std::string(what) + ": " + std::strerror(errno);
        if (master >= 0) ::close(master);
        return false;
    };
    if (master < 0) return fail("posix_openpt");
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) return fail("unlockpt");
    if (::ptsname_r(master, name, sizeof name) != 0) return fail("ptsname");
    // Packet mode: each read starts with a status byte, which tells when a client flushes.
    int on = 1;
    if (::ioctl(master, TIOCPKT, &on) != 0) return fail("TIOCPKT");
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) return fail("open the slave");
    termios tio{};
    if (::tcgetattr(slave, &tio) != 0) {
        ::close(slave);
        return fail("tcgetattr");
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~CRTSCTS;
    ::cfsetspeed(&tio, B115200);
    if (::tcsetattr(slave, TCSANOW, &tio) != 0) {
        ::close(slave);
        return fail("tcsetattr");
    }
    master_ = master;
    slave_ = slave;
    node_ = name;
    const char* digits = std::strrchr(name, '/');
    number_ = digits ? std::atoi(digits + 1) : -1;
    return true;
}

void PtyPort::Close() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
    node_.clear();
    number_ = -1;
}

ssize_t PtyPort::Read(char* buffer, size_t size, bool& flushed) {
    flushed = false;
    char packet[4097];
    ssize_t n = ::read(master_, packet, std::min(size + 1, sizeof packet));
    if (n <= 0) return -1;  // nothing waits (or nobody can write any more)
    if (packet[0] != TIOCPKT_DATA) {
        flushed = (packet[0] & (TIOCPKT_FLUSHREAD | TIOCPKT_FLUSHWRITE)) != 0;
        return 0;
    }
    std::memcpy(buffer, packet + 1, static_cast<size_t>(n - 1));
    return n - 1;
}

bool PtyPort::Write(const std::string& bytes) {
    if (master_ < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done > 0 || bytes.empty();
}

void PtyPort::ClearExclusive() {
    if (slave_ >= 0) ::ioctl(slave_, TIOCNXCL);
}

}  // namespace cardsim
