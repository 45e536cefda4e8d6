// Finding the data card's serial ports by the interface text of their friendly names.
#pragma once

#include <string>
#include <vector>

#include "platform/ports/ports.h"

namespace orbitpane {

// The interface texts of the card's GPS (NMEA) port and of its PC UI (AT) port.
inline constexpr const char* kGpsInterfaceText = "TARVEK Wendrix - 3G GPS Interface";
inline constexpr const char* kPcUiInterfaceText = "TARVEK Wendrix - 3G PC UI Interface";

// The first port of `ports` whose friendly name holds `text` (case-sensitive) and a "COM":
// its number is the decimal number right after the first "COM" (leading digits only, 0 when
// there are none). `port` is written only when found.
bool FindComPortIn(const std::vector<platform::SerialPort>& ports, const std::string& text,
                   int& port);

// The ports present now. The dialog's polling threads list them one at a time: libudev seeds
// a context's random state in process-wide memory without a lock.
std::vector<platform::SerialPort> ListPresentPorts();

// The same over the ports present now.
bool FindComPortByFriendlyName(const std::string& text, int& port);

}  // namespace orbitpane
