// Network addresses written as text.
#pragma once

#include <string_view>

namespace platform {

// Whether `text` is an IPv4 address in dotted decimal ("192.0.2.1").
bool IsIpv4Address(std::string_view text);
// Whether `text` is an IPv6 address, without brackets ("2001:db8::1").
bool IsIpv6Address(std::string_view text);

}  // namespace platform
