// The AGPS settings a card is given in its AT lines (the APN and the SUPL server), checked
// before they are saved and again before they are sent: a value that fails here is never
// written into a command line, whatever the configuration file holds.
#pragma once

#include <string_view>

namespace session {

inline constexpr size_t kMaxApnLength = 100;

// The APN: 1 to 100 characters of letters, digits, '-' and '.', as labels separated by single
// dots (no dot first or last). Null when `apn` is one; otherwise the key of the message that
// says what the field takes.
const wchar_t* ApnProblem(std::string_view apn);

// The SUPL server: a host name (labels of letters, digits and '-' that neither start nor end
// with '-', at most 63 characters each and 253 in all), an IPv4 address or an IPv6 address in
// brackets, then optionally ':' and a port from 1 to 65535. Null when `server` is one;
// otherwise the key of the message that says what the field takes.
const wchar_t* SuplServerProblem(std::string_view server);

// The status keys for a saved value that fails its check when a session starts.
inline constexpr const wchar_t* kUnusableApnKey = L"IDS_STATIC_UNUSABLE_APN";
inline constexpr const wchar_t* kUnusableSuplKey = L"IDS_STATIC_UNUSABLE_SUPL";

}  // namespace session
