#include "at_dialect_mm.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

#include "platform/text.h"

namespace cardsim {

namespace {

// The simulated SIM's card number, digits 1..20, and the subscriber identity (test network).
constexpr const char* kIccid = "89001123456789012345";
constexpr const char* kImsi = "001010123456789";
constexpr const char* kOperator = "00101";

AtAnswer Lines(std::initializer_list<std::string> lines) {
    AtAnswer answer;
    for (const std::string& line : lines) answer.text += WireLine(line);
    return answer;
}

AtAnswer Ok() {
    return Lines({"OK"});
}

AtAnswer Error() {
    return Lines({"ERROR"});
}

// The card number as EF_ICCID holds it: each pair of digits with its nibbles swapped.
std::string SwappedBcd(const std::string& digits) {
    std::string swapped;
    for (size_t i = 0; i < digits.size(); i += 2) {
        swapped += i + 1 < digits.size() ? digits[i + 1] : 'F';
        swapped += digits[i];
    }
    return swapped;
}

bool Digits(const std::string& text, const char* allowed) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [&](char c) {
        return std::string_view(allowed).find(c) != std::string_view::npos;
    });
}

}  // namespace

std::optional<AtAnswer> AnswerModemManagerAt(const std::string& line, CardState& state) {
    std::string name = CommandName(line);
    std::string args = platform::AsciiUpper(line.substr(std::min(line.size(), name.size())));
    int reg = state.RegistrationState();

    if (name == "AT+CGMI" || name == "AT+GMI") return Lines({"Telit", "OK"});
    if (name == "AT+GCAP") return Lines({"+GCAP: +CGSM,+DS", "OK"});
    if (name == "AT+CIMI") {
        if (state.options.sim != SimState::Ready) return Lines({"+CME ERROR: 10"});
        return Lines({kImsi, "OK"});
    }
    if (name == "AT+CRSM") {
        if (state.options.sim == SimState::Missing) return Lines({"+CME ERROR: 10"});
        if (args.rfind("=176,12258,", 0) == 0) {
            return Lines({"+CRSM: 144,0,\"" + SwappedBcd(kIccid) + "\"", "OK"});
        }
        return Lines({"+CRSM: 106,130", "OK"});
    }
    if (name == "AT+CGREG" || name == "AT+CEREG") {
        std::string prefix = name.substr(2) + ": ";
        if (args == "?") return Lines({prefix + "0," + std::to_string(reg), "OK"});
        if (args == "=?") return Lines({prefix + "(0-2)", "OK"});
        return args.size() == 2 && Digits(args.substr(1), "012") ? Ok() : Error();
    }
    if (name == "AT+COPS") {
        if (args == "?") {
            if (reg != 1) return Lines({"+COPS: 0", "OK"});
            return Lines({std::string("+COPS: 0,2,\"") + kOperator + "\",2", "OK"});
        }
        return args.front() == '=' ? Ok() : Error();
    }
    if (name == "AT+CFUN" && args.size() > 1 && args.front() == '=') {
        return Digits(args.substr(1), "014,") ? Ok() : Error();
    }
    if (name == "AT+CGDCONT") {
        if (args == "?") return Lines({"+CGDCONT: 1,\"IP\",\"internet.example\",\"\",0,0", "OK"});
        if (args == "=?") return Lines({"+CGDCONT: (1-16),\"IP\",,,(0-2),(0-4)", "OK"});
        return std::nullopt;
    }
    if (name == "AT$GPSP") {
        if (args == "=?") return Lines({"$GPSP: (0,1)", "OK"});
        if (args == "?")
            return Lines({std::string("$GPSP: ") + (state.positioning ? "1" : "0"), "OK"});
        if (args == "=1") {
            if (!state.options.gpsPort) return Error();
            state.positioning = true;
            return Ok();
        }
        if (args == "=0") {
            if (state.options.refuseClose) return Error();
            state.positioning = false;
            return Ok();
        }
        return Error();
    }
    if (name == "AT$GPSNMUN") {
        return args.size() > 1 && args.front() == '=' && Digits(args.substr(1), "0123,") ? Ok()
                                                                                         : Error();
    }
    return std::nullopt;
}

}  // namespace cardsim
