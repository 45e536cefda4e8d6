// One port of the simulated card: a pseudo-terminal pair. The slave end is made raw before
// its name is handed out, and one slave descriptor stays open here so that the master does not
// see a hang-up each time a client closes the port.
#pragma once

#include <sys/types.h>

#include <string>

namespace cardsim {

class PtyPort {
  public:
    PtyPort() = default;
    ~PtyPort() { Close(); }
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // False, with the reason in `error`, when the pair cannot be made.
    bool Open(std::string& error);
    // Closes both ends: clients of the slave see a hang-up, as at an unplug.
    void Close();

    bool IsOpen() const { return master_ >= 0; }
    int Master() const { return master_; }  // non-blocking
    const std::string& Node() const { return node_; }
    int Number() const { return number_; }  // the n of /dev/pts/n

    // Reads what a client wrote: the number of bytes, 0 for a status report only (`flushed`
    // tells that the client flushed the port, dropping what it had written), -1 with errno
    // EAGAIN when nothing waits.
    ssize_t Read(char* buffer, size_t size, bool& flushed);

    // Writes what the terminal takes now; false when it took nothing at all (no reader keeps
    // up, or the port is closed). The rest is dropped, as a card's full buffer drops it.
    bool Write(const std::string& bytes);

    // Lets the next client open the port although the one before asked for exclusive use
    // (TIOCEXCL, as ModemManager does): without it no one else, that client included, could open
    // the port again while the slave kept here holds the terminal.
    void ClearExclusive();

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string node_;
    int number_ = -1;
};

}  // namespace cardsim
