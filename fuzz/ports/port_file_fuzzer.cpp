// Port files are written by other processes into a shared folder: any bytes must parse or be
// refused, and an accepted entry must be one that could be written back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "virtual_ports.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto entry = platform::ports_detail::ParseVirtualPort(text);
    if (!entry) return 0;
    const platform::SerialPort& port = entry->port;
    if (port.node.empty() || port.node.front() != '/' || port.friendlyName.empty() ||
        port.card.empty() || entry->pid <= 0) {
        std::abort();
    }
    auto again = platform::ports_detail::ParseVirtualPort(
        platform::ports_detail::FormatVirtualPort(port, entry->pid));
    if (!again || !(again->port == port) || again->pid != entry->pid) std::abort();
    return 0;
}
