// Virtual ports: one "<id>.port" file per port in the ports folder (format in ports.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ports/ports.h"

namespace platform::ports_detail {

struct VirtualPortEntry {
    SerialPort port;
    long pid = 0;
};

// Parses the text of one port file; nothing when a key is missing, repeated or malformed.
std::optional<VirtualPortEntry> ParseVirtualPort(std::string_view text);

// The file text of a port owned by `pid`.
std::string FormatVirtualPort(const SerialPort& port, long pid);

// The number n of a port: the digits of "(COM<n>)" in its friendly name, else the trailing
// digits of its device node; -1 when neither has one.
int PortNumber(const std::string& friendlyName, const std::string& node);

// The live ports of `directory`: nothing (with a trace) unless the folder is a directory of
// this user that nobody else can write to; files that are not small regular files (links,
// FIFOs, devices) and malformed files are skipped with a trace, entries whose node is gone or
// whose owner is dead are skipped (a dead owner's file is removed), and of two entries naming
// one node only the first by file name counts. Never blocks on a file.
std::vector<SerialPort> ListVirtualPorts(const std::string& directory);

// True for an id that can name a port file: letters, digits, '-', '_' and '.', not leading.
bool ValidPortId(std::string_view id);

}  // namespace platform::ports_detail
