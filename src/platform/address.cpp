#include "platform/address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <string>

namespace platform {
namespace {

bool Parses(int family, std::string_view text) {
    // inet_pton reads a terminated string: an embedded NUL must not shorten the text.
    if (text.find('\0') != std::string_view::npos) return false;
    const std::string copy(text);
    in6_addr address{};
    return ::inet_pton(family, copy.c_str(), &address) == 1;
}

}  // namespace

bool IsIpv4Address(std::string_view text) {
    return Parses(AF_INET, text);
}

bool IsIpv6Address(std::string_view text) {
    return Parses(AF_INET6, text);
}

}  // namespace platform
