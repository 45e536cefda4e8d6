#include "orbitpane/session/agps_settings.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "platform/address.h"

namespace session {
namespace {

constexpr const wchar_t* kApnKey = L"IDS_STATIC_CHECK_APN";
constexpr const wchar_t* kSuplKey = L"IDS_STATIC_CHECK_SUPL";
constexpr size_t kMaxHostLength = 253;
constexpr size_t kMaxLabelLength = 63;

bool IsAsciiLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsLabelCharacter(char c) {
    return IsAsciiLetterOrDigit(c) || c == '-';
}

// Calls `label` with each part of `text` between dots; false as soon as one answers false.
template <typename Check>
bool EachLabel(std::string_view text, Check label) {
    for (;;) {
        size_t dot = text.find('.');
        if (!label(text.substr(0, dot))) return false;
        if (dot == std::string_view::npos) return true;
        text.remove_prefix(dot + 1);
    }
}

bool IsHostName(std::string_view host) {
    if (host.empty() || host.size() > kMaxHostLength) return false;
    bool numericLast = false;
    bool ok = EachLabel(host, [&](std::string_view label) {
        if (label.empty() || label.size() > kMaxLabelLength) return false;
        if (label.front() == '-' || label.back() == '-') return false;
        numericLast =
            std::all_of(label.begin(), label.end(), [](char c) { return c >= '0' && c <= '9'; });
        return std::all_of(label.begin(), label.end(), IsLabelCharacter);
    });
    // A name whose last label is a number is meant as an IPv4 address and must be one.
    return ok && (!numericLast || platform::IsIpv4Address(host));
}

bool IsPort(std::string_view port) {
    if (port.empty() || port.size() > 5) return false;
    if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    int value = 0;
    std::from_chars(port.data(), port.data() + port.size(), value);
    return value >= 1 && value <= 65535;
}

}  // namespace

const wchar_t* ApnProblem(std::string_view apn) {
    if (apn.empty() || apn.size() > kMaxApnLength) return kApnKey;
    bool ok = EachLabel(apn, [](std::string_view label) {
        return !label.empty() && std::all_of(label.begin(), label.end(), IsLabelCharacter);
    });
    return ok ? nullptr : kApnKey;
}

const wchar_t* SuplServerProblem(std::string_view server) {
    std::string_view host = server;
    std::string_view port;
    bool hasPort = false;
    if (server.starts_with('[')) {
        size_t close = server.find(']');
        if (close == std::string_view::npos) return kSuplKey;
        host = server.substr(1, close - 1);
        std::string_view rest = server.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return kSuplKey;
            hasPort = true;
            port = rest.substr(1);
        }
        if (!platform::IsIpv6Address(host)) return kSuplKey;
    } else {
        size_t colon = server.find(':');
        if (colon != std::string_view::npos) {
            hasPort = true;
            host = server.substr(0, colon);
            port = server.substr(colon + 1);
        }
        if (!IsHostName(host)) return kSuplKey;
    }
    if (hasPort && !IsPort(port)) return kSuplKey;
    return nullptr;
}

}  // namespace session
