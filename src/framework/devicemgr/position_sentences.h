// Which NMEA sentences say where the receiver is without a fix. Receivers send their position
// sentences with the fields of the last position, or of none, while they have no fix, and tell
// it only by a status or quality field that some readers never look at.
#pragma once

#include <string_view>

namespace devicemgr {

// True for a GGA, RMC, GLL or GNS sentence (any talker) that reports no fix: GGA quality 0 or
// empty; RMC or GLL status other than A, or mode indicator N; GNS with every system's mode N
// or none. False for every other sentence, and for those reporting a fix. `sentence` runs from
// '$' to the checksum (the checksum is not checked here).
bool ReportsNoFix(std::string_view sentence);

}  // namespace devicemgr
