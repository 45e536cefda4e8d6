// What the device manager reads in a card's answers: an answer's lines and its first
// information line, the SIM state the PIN query tells, whether the radio is on; and what
// ModemManager's values tell in their place for a modem it manages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace devicemgr {

// The answer to one command.
struct AtAnswer {
    std::string text;  // information lines and final code, joined by "\r\n"
    bool error = false;
};

// The lines of `text`, split at each "\r\n"; empty lines are left out.
std::vector<std::string> LinesOf(const std::string& text);

// The first information line of a successful answer, without a "+CGMM: " style prefix and
// without the double quotes around it; only what can be shown of it. Empty for no answer, a
// failed one, or one without information.
std::string InfoOf(const std::optional<AtAnswer>& answer);

// The SIM state an answer to "AT+CPIN?" tells; kSimUnknown when it tells nothing.
uint32_t SimStateOf(const AtAnswer& answer);

// Whether the answer to "AT+CFUN?" has the radio on ("+CFUN: 1"). A card that refuses the
// query has no radio function to wait for: on.
bool RadioOn(const AtAnswer& answer);

// MMModemState, MMModemLock, MMModemStateFailedReason, MMModemLocationSource and
// MMModemPortType values of ModemManager's API.
namespace mm {
inline constexpr int32_t kStateFailed = -1;
inline constexpr int32_t kStateDisabled = 3;
inline constexpr int32_t kStateDisabling = 4;
inline constexpr int32_t kStateEnabled = 6;
inline constexpr uint32_t kLockUnknown = 0, kLockNone = 1, kLockSimPin = 2, kLockSimPin2 = 3,
                          kLockSimPuk = 4, kLockSimPuk2 = 5;
inline constexpr uint32_t kFailedSimMissing = 2, kFailedSimError = 3;
inline constexpr uint32_t kSourceGpsRaw = 1u << 1, kSourceGpsNmea = 1u << 2,
                          kSourceAgpsMsa = 1u << 5, kSourceAgpsMsb = 1u << 6;
// The sources of the receiver itself, and those of its network assistance.
inline constexpr uint32_t kGpsSources = kSourceGpsRaw | kSourceGpsNmea;
inline constexpr uint32_t kAgpsSources = kSourceAgpsMsa | kSourceAgpsMsb;
inline constexpr uint32_t kPortAt = 3, kPortGps = 5;
inline constexpr const char* kUnauthorized =
    "org.freedesktop.ModemManager1.Error.Core.Unauthorized";
}  // namespace mm

// The SIM state told by a modem's StateFailedReason and UnlockRequired (each when told);
// kSimUnknown when they tell none.
uint32_t MmSimState(std::optional<uint32_t> failedReason, std::optional<uint32_t> unlockRequired);
// What "AT^GPSTYPE?" answers for these location capabilities (0 none, 1 GPS, 2 with AGPS).
int MmGpsType(uint32_t capabilities);

}  // namespace devicemgr
