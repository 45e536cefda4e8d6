#include "framework/devicemgr/card_discovery.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "markup/markup_stl.h"
#include "platform/text.h"

namespace devicemgr {

std::vector<CardPorts> GroupCards(const std::vector<platform::SerialPort>& ports) {
    std::vector<CardPorts> cards;
    auto cardOf = [&](const std::string& key) -> CardPorts& {
        auto found = std::find_if(cards.begin(), cards.end(),
                                  [&](const CardPorts& c) { return c.key == key; });
        if (found != cards.end()) return *found;
        cards.push_back({key, {}, {}});
        return cards.back();
    };
    for (const platform::SerialPort& port : ports) {
        if (port.card.empty() || port.node.empty()) continue;
        // The first port of each kind counts; a card never has two.
        if (port.friendlyName.find(kAtPortText) != std::string::npos) {
            CardPorts& card = cardOf(port.card);
            if (card.at.node.empty()) card.at = port;
        } else if (port.friendlyName.find(kGpsPortText) != std::string::npos) {
            CardPorts& card = cardOf(port.card);
            if (card.gps.node.empty()) card.gps = port;
        }
    }
    cards.erase(std::remove_if(cards.begin(), cards.end(),
                               [](const CardPorts& c) { return c.at.node.empty(); }),
                cards.end());
    return cards;
}

StoredChoice ReadStoredChoice(const std::string& path) {
    StoredChoice choice;
    CMarkupSTL doc;
    if (!doc.LoadFromFile(path) || !doc.FindSibling("localdevice")) return choice;
    choice.cardPath = doc.AttributeValue("cardpath");
    choice.nmeaFeed = platform::AsciiLower(doc.AttributeValue("nmeafeed")) != "off";
    choice.geoclue = platform::AsciiLower(doc.AttributeValue("geoclue")) == "on";
    if (!doc.Descend()) return choice;
    while (doc.FindSibling("item")) {
        if (doc.ElementText() != "1") continue;
        choice.id = platform::AsciiLower(doc.AttributeValue("id"));
        std::string port = doc.AttributeValue("port");
        choice.port = port.empty() ? -1 : std::atoi(port.c_str());
        break;
    }
    return choice;
}

}  // namespace devicemgr
