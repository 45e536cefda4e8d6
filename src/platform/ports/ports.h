// Present serial ports with friendly names, and a monitor that reports ports coming and going.
//
// Two sources feed the list:
// - real USB serial ports, from libudev (tty devices with a USB parent);
// - virtual ports that a card simulator registers as small files in the ports folder
//   (PortsDirectory()). Each file holds one port as "key=value" lines:
//       node=/dev/pts/7
//       friendly=Satview Simulated PC UI Interface (COM7)
//       card=sim-1
//       pid=1234
//       modemmanager=1      (optional: a port ModemManager may claim)
//   The file is named "<id>.port" (other names are not read), written atomically by the
//   port's owner (temp file and rename) and removed by that owner only when the port goes. An
//   entry whose node is gone or whose owner process is dead is ignored, and a dead owner's file
//   is removed; of two entries naming one node the first by file name counts. The folder must
//   belong to this user with no write access for anyone else, and only small regular files
//   are read (never through a link, never waiting on a FIFO): otherwise nothing is listed.
//
// The number of a port is the n of "(COM<n>)" in its friendly name, else the trailing digits
// of its node. A real port's friendly name takes its interface text from the program
// directory's config/ports.xml, else from the USB interface's string, else from the model.
// A real port is one ModemManager may claim when udev marked it a candidate of ModemManager's
// (ID_MM_CANDIDATE) and told it to leave neither the port nor its device alone
// (ID_MM_PORT_IGNORE, ID_MM_DEVICE_IGNORE); a virtual port when its file says so.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct SerialPort {
    std::string node;          // device node, e.g. "/dev/ttyUSB2" or "/dev/pts/7"
    int number = -1;           // n of "COM<n>": the tty's own number
    std::string friendlyName;  // "<interface text> (COM<n>)"
    std::string card;          // ports with the same card key belong to one card
    bool mmCandidate = false;  // ModemManager may claim it (see above)
    bool operator==(const SerialPort&) const = default;
};

// The folder of virtual port files: $SATVIEW_PORTS_DIR, else "ports" in the runtime folder
// ($XDG_RUNTIME_DIR/satview/ports, else /tmp/satview-<uid>/ports; see RuntimeDirectoryPath).
std::string PortsDirectory();

// Creates the ports folder (mode 0700; the runtime folder first unless $SATVIEW_PORTS_DIR
// names it) and checks it. False with the reason in `why` when it is refused.
bool PreparePortsDirectory(std::string* why = nullptr);

// Every present port, real and virtual, ordered by card then number. Unreadable sources and
// malformed entries are skipped (with a trace to stderr at most), never thrown.
std::vector<SerialPort> ListSerialPorts();

// Registers a virtual port: writes its file atomically into PortsDirectory() (creating the
// folder), under the name `id`. The owner's process id is this process. False on failure, and
// when the file under that name belongs to another live process.
bool RegisterVirtualPort(const std::string& id, const SerialPort& port);
// Removes the file of a virtual port registered under `id`, when this process owns it.
void UnregisterVirtualPort(const std::string& id);

// Reports ports added and removed, from the udev monitor and inotify on the ports folder,
// on a thread of its own that waits in poll(): no timer. The callback gets the full list of
// present ports after each change (compare with the previous list to see what changed).
class PortMonitor {
  public:
    using Callback = std::function<void(const std::vector<SerialPort>& present)>;
    // Starts watching; the callback is not called for the ports already present.
    explicit PortMonitor(Callback callback);
    // Stops the thread; once it returns the callback is never called again.
    ~PortMonitor();
    PortMonitor(const PortMonitor&) = delete;
    PortMonitor& operator=(const PortMonitor&) = delete;
    // False when neither udev nor the ports folder can be watched.
    bool Watching() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
