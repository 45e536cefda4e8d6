// The control commands of a running card, as the control socket and tests send them.
#include <charconv>
#include <sstream>

#include "cardsim/card.h"

namespace cardsim {

namespace {

bool OnOff(const std::string& word, bool& value) {
    if (word == "on" || word == "yes" || word == "1")
        value = true;
    else if (word == "off" || word == "no" || word == "0")
        value = false;
    else
        return false;
    return true;
}

bool Integer(const std::string& word, long low, long high, long& value) {
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size() && value >= low && value <= high;
}

}  // namespace

std::string Card::ControlHelp() {
    return "status                       plugged, ready, positioning and the port nodes\n"
           "gpstype <0-3>                what AT^GPSTYPE? answers\n"
           "sim ready|missing|pin|puk    the SIM state\n"
           "ready on|off                 off: the card never becomes ready; on: ready now\n"
           "gpsport on|off               the GPS port appears or vanishes (now if plugged)\n"
           "refuse-close on|off          AT^GPSSTOP answers ERROR and positioning goes on\n"
           "reply <command> normal|error|none   how one command is answered (e.g. AT^WPDGP)\n"
           "delay <ms>                   wait this long before each answer\n"
           "pieces <n>                   write each answer in n pieces\n"
           "silent-after <s>             say nothing at all after s seconds; 0 speaks again\n"
           "checksums good|bad           every other NMEA sentence with a wrong checksum\n"
           "garbage on|off               junk bytes between NMEA sentences\n"
           "start cold|warm|hot          how the receiver's next start goes\n"
           "model <name>                 what AT+CGMM answers\n"
           "unsolicited <line>           write one unsolicited line on the PC UI port\n"
           "unplug, plug                 the ports vanish, and come back with new numbers\n";
}

std::string Card::Control(const std::string& command) {
    std::istringstream in(command);
    std::string verb, word;
    in >> verb;
    std::getline(in >> std::ws, word);
    while (!word.empty() && (word.back() == ' ' || word.back() == '\r')) word.pop_back();
    bool flag = false;
    long number = 0;
    auto bad = [&](const char* expected) { return "error: " + verb + " takes " + expected; };

    if (verb == "status") {
        return std::string("ok plugged=") + (Plugged() ? "1" : "0") +
               " ready=" + (Ready() ? "1" : "0") + " positioning=" + (Positioning() ? "1" : "0") +
               " at=" + AtNode() + " gps=" + GpsNode();
    }
    if (verb == "gpstype") {
        if (!Integer(word, 0, 3, number)) return bad("0 to 3");
        SetGpsType(static_cast<int>(number));
    } else if (verb == "sim") {
        SimState state;
        if (!ParseSimState(word, state)) return bad("ready, missing, pin or puk");
        SetSim(state);
    } else if (verb == "ready") {
        if (!OnOff(word, flag)) return bad("on or off");
        SetNeverReady(!flag);
    } else if (verb == "gpsport") {
        if (!OnOff(word, flag)) return bad("on or off");
        SetGpsPort(flag);
    } else if (verb == "refuse-close") {
        if (!OnOff(word, flag)) return bad("on or off");
        SetRefuseClose(flag);
    } else if (verb == "reply") {
        std::istringstream words(word);
        std::string name, how, extra;
        words >> name >> how >> extra;
        Reply reply;
        if (how == "normal")
            reply = Reply::Normal;
        else if (how == "error")
            reply = Reply::Error;
        else if (how == "none")
            reply = Reply::None;
        else
            return bad("a command and normal, error or none");
        if (name.empty() || !extra.empty()) return bad("a command and normal, error or none");
        SetReply(name, reply);
    } else if (verb == "delay") {
        if (!Integer(word, 0, 60000, number)) return bad("milliseconds, 0 to 60000");
        SetAnswerDelay(Milliseconds(number));
    } else if (verb == "pieces") {
        if (!Integer(word, 1, 64, number)) return bad("1 to 64");
        SetAnswerPieces(static_cast<int>(number));
    } else if (verb == "silent-after") {
        if (!Integer(word, 0, 86400, number)) return bad("seconds, 0 to 86400");
        SetSilentAfter(std::chrono::seconds(number));
    } else if (verb == "checksums") {
        if (word != "good" && word != "bad") return bad("good or bad");
        SetBadChecksums(word == "bad");
    } else if (verb == "garbage") {
        if (!OnOff(word, flag)) return bad("on or off");
        SetGarbage(flag);
    } else if (verb == "start") {
        StartKind kind;
        if (!ParseStartKind(word, kind)) return bad("cold, warm or hot");
        SetStart(kind);
    } else if (verb == "model") {
        if (word.empty()) return bad("a name");
        SetModel(word);
    } else if (verb == "unsolicited") {
        if (word.empty()) return bad("a line");
        SendUnsolicited(word);
    } else if (verb == "unplug") {
        Unplug();
    } else if (verb == "plug") {
        std::string error;
        if (!Plug(&error)) return "error: " + error;
    } else if (verb == "help") {
        return "ok\n" + ControlHelp();
    } else {
        return "error: unknown command \"" + verb + "\" (try help)";
    }
    return "ok";
}

}  // namespace cardsim
