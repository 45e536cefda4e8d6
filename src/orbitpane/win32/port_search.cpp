#include "orbitpane/win32/port_search.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

namespace orbitpane {
namespace {

// The number at the start of `digits` as a 32-bit value: leading blanks and a sign allowed,
// the rest ignored, no digits giving 0 and an overflow the nearest limit.
int LeadingNumber(const char* digits) {
    errno = 0;
    long long value = std::strtoll(digits, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

bool FindComPortIn(const std::vector<platform::SerialPort>& ports, const std::string& text,
                   int& port) {
    for (const platform::SerialPort& candidate : ports) {
        const std::string& name = candidate.friendlyName;
        if (name.find(text) == std::string::npos) continue;
        size_t com = name.find("COM");
        if (com == std::string::npos) continue;
        port = LeadingNumber(name.c_str() + com + 3);
        return true;
    }
    return false;
}

std::vector<platform::SerialPort> ListPresentPorts() {
    static std::mutex listing;
    std::lock_guard<std::mutex> lock(listing);
    return platform::ListSerialPorts();
}

bool FindComPortByFriendlyName(const std::string& text, int& port) {
    return FindComPortIn(ListPresentPorts(), text, port);
}

}  // namespace orbitpane
