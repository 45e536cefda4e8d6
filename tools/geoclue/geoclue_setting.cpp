#include "geoclue_setting.h"

#include <filesystem>

#include "markup/markup_stl.h"
#include "platform/files.h"
#include "platform/text.h"

namespace geoclue {

bool SettingOn(const std::string& choiceFile) {
    CMarkupSTL doc;
    if (!doc.LoadFromFile(choiceFile) || !doc.FindSibling("localdevice")) return false;
    return platform::AsciiLower(doc.AttributeValue("geoclue")) == "on";
}

bool WriteSetting(const std::string& choiceFile, bool on, std::string* why) {
    CMarkupSTL doc;
    if (!doc.LoadFromFile(choiceFile)) {
        if (platform::FileExists(choiceFile)) {
            if (why) *why = choiceFile + " cannot be read";
            return false;
        }
        doc.ParseText(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<localdevice>\n</localdevice>\n");
    }
    if (!doc.FindSibling("localdevice")) {
        if (why) *why = choiceFile + " has no <localdevice> element";
        return false;
    }
    doc.PutAttribute("geoclue", on ? "on" : "off");
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(choiceFile).parent_path(), ec);
    if (!doc.SaveToFile(choiceFile)) {
        if (why) *why = choiceFile + " cannot be written";
        return false;
    }
    return true;
}

std::string ConfigurationLines(const std::string& socket) {
    return "[network-nmea]\nenable=true\nnmea-socket=" + socket + "\n";
}

std::string WhatItGrants(const std::string& account, std::optional<uint32_t> uid,
                         const std::string& socket, const std::string& folders) {
    std::string who = "the account " + account +
                      (uid ? " (uid " + std::to_string(*uid) + ")" : " (not on this system yet)");
    return "What it grants: " + who + ", and no other, may connect to\n  " + socket +
           "\nand so read the NMEA sentences of Satview's GPS sessions (positions only with a\n"
           "fix). To reach it, that account may pass through " +
           folders +
           "\nwithout listing or changing them. GeoClue hands the position on to the programs\n"
           "that ask it (maps, web browsers, the desktop), as its agent allows them.\n";
}

}  // namespace geoclue
