// Cards from the list of present serial ports: the ports of one card share its card key; its
// AT port and GPS port are told apart by their interface texts. And the user's stored choice
// of card.
#pragma once

#include <string>
#include <vector>

#include "platform/ports/ports.h"

namespace devicemgr {

// Interface texts in the friendly names of a card's ports.
inline constexpr const char* kAtPortText = "TARVEK Wendrix - 3G PC UI Interface";
inline constexpr const char* kGpsPortText = "TARVEK Wendrix - 3G GPS Interface";

struct CardPorts {
    std::string key;  // the card key shared by its ports
    platform::SerialPort at;
    platform::SerialPort gps;  // node empty when the card has no GPS port
    bool operator==(const CardPorts&) const = default;
};

// One entry per card that has an AT port, in the order of the list.
std::vector<CardPorts> GroupCards(const std::vector<platform::SerialPort>& ports);

// The card the user chose, from the "item" of "localdevice" whose text is "1" in
// localdeviceinfo.xml: its id (lower case) and port. Empty id when there is none. And the
// "cardpath" attribute of "localdevice": how cards are reached ("serial", "modemmanager",
// "auto"; empty when it is not set). And its "nmeafeed" attribute: "off" keeps the NMEA feed
// (nmea_feed.h) from being offered; anything else, or none, offers it. And its "geoclue"
// attribute: "on" lets GeoClue's account read the feed's socket; anything else, or none, not.
struct StoredChoice {
    std::string id;
    int port = -1;
    std::string cardPath;
    bool nmeaFeed = true;
    bool geoclue = false;
};
StoredChoice ReadStoredChoice(const std::string& path);

}  // namespace devicemgr
