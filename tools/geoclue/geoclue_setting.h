// Whether the desktop's location service (GeoClue) may read Satview's NMEA socket: the
// "geoclue" attribute of <localdevice> in localdeviceinfo.xml (read by the device manager when
// it starts), the lines GeoClue's configuration needs, and what the setting grants.
#pragma once

#include <optional>
#include <string>

namespace geoclue {

// The setting in `choiceFile`: true only for geoclue="on".
bool SettingOn(const std::string& choiceFile);
// Writes geoclue="on" or "off" into `choiceFile` (made when missing), keeping everything else
// in it. False with the reason in `why`.
bool WriteSetting(const std::string& choiceFile, bool on, std::string* why);

// The lines for GeoClue's configuration file that name `socket` as its NMEA source.
std::string ConfigurationLines(const std::string& socket);

// What turning it on grants, in words: the account `account` (uid `uid`, none when it does not
// exist here) and no other reaches `socket` and passes through `folders` ("a and b").
std::string WhatItGrants(const std::string& account, std::optional<uint32_t> uid,
                         const std::string& socket, const std::string& folders);

}  // namespace geoclue
