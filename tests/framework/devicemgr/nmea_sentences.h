// Builds NMEA sentences with their checksum, for the decoder tests.
#pragma once

#include <cstdio>
#include <string>

namespace nmea_test {

// "$" + body + "*hh" with the right checksum.
inline std::string Sentence(const std::string& body) {
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[4];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

}  // namespace nmea_test
