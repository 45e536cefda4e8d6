#include "at_commands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "at_dialect_mm.h"
#include "framework/devicemgr/gps_commands.h"
#include "platform/text.h"

namespace cardsim {

namespace {

// A decimal number of 1 to 5 digits, nothing else; nothing when the text is not one.
std::optional<int> Number(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.front() == '-' ||
        text.front() == '+') {
        return std::nullopt;
    }
    return value;
}

std::optional<int> NumberIn(std::string_view text, int low, int high) {
    auto value = Number(text);
    if (!value || *value < low || *value > high) return std::nullopt;
    return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

// A text in double quotes with no quote inside; nothing otherwise.
std::optional<std::string_view> Quoted(std::string_view text) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::nullopt;
    text = text.substr(1, text.size() - 2);
    if (text.find('"') != std::string_view::npos) return std::nullopt;
    return text;
}

bool ValidSocketCont(std::string_view args) {
    auto parts = Split(args, ',');
    if (parts.size() != 3 || !NumberIn(parts[0], 1, 16)) return false;
    auto type = Quoted(parts[1]);
    if (!type) return false;
    std::string upper = platform::AsciiUpper(std::string(*type));
    if (upper != "IP" && upper != "PPP" && upper != "IPV6" && upper != "IPV4V6") return false;
    return Quoted(parts[2]).has_value();
}

bool ValidServer(std::string_view args) {
    if (auto quoted = Quoted(args)) args = *quoted;
    if (args.empty() || args.size() > 255) return false;
    return std::none_of(args.begin(), args.end(), [](char c) {
        return std::isspace(static_cast<unsigned char>(c)) ||
               std::iscntrl(static_cast<unsigned char>(c)) || c == '"';
    });
}

bool ValidFixRate(std::string_view args) {
    auto parts = Split(args, ',');
    return parts.size() == 2 && NumberIn(parts[0], 1, 65536) && NumberIn(parts[1], 1, 9999);
}

bool ValidSecTime(std::string_view args) {
    auto text = Quoted(args);
    if (!text) return false;
    auto halves = Split(*text, ',');
    if (halves.size() != 2) return false;
    auto date = Split(halves[0], '/');
    auto time = Split(halves[1], ':');
    return date.size() == 3 && time.size() == 3 && NumberIn(date[0], 1970, 2099) &&
           NumberIn(date[1], 1, 12) && NumberIn(date[2], 1, 31) && NumberIn(time[0], 0, 23) &&
           NumberIn(time[1], 0, 59) && NumberIn(time[2], 0, 60);
}

int SimInfoValue(const CardState& state) {
    if (!state.ready) return 0;
    switch (state.options.sim) {
        case SimState::Ready:
            return 1;
        case SimState::Missing:
            return 255;
        case SimState::Pin:
        case SimState::Puk:
            return 4;
    }
    return 0;
}

struct Builder {
    std::string text;
    Builder& Info(const std::string& line) {
        text += WireLine(line);
        return *this;
    }
    AtAnswer Final(const std::string& code) {
        text += WireLine(code);
        return {false, text};
    }
    AtAnswer Ok() { return Final("OK"); }
};

AtAnswer Error() {
    return Builder().Final("ERROR");
}
AtAnswer CmeError(int code) {
    return Builder().Final("+CME ERROR: " + std::to_string(code));
}

// Commands a card answers before it is ready.
bool AnsweredBeforeReady(const std::string& name) {
    static const char* const names[] = {"AT",      "ATZ",     "ATE0",    "ATE1",      "ATV1",
                                        "AT+CMEE", "ATI",     "AT+CGMI", "AT+CGMM",   "AT+CGSN",
                                        "AT+CGMR", "AT+CPIN", "AT+CFUN", "AT^SYSINFO"};
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// AT+CPIN=<pin> on a PIN-locked SIM, AT+CPIN=<puk>,<new pin> on a PUK-locked one; the codes
// may be quoted. A wrong code answers +CME ERROR: 16, a SIM that needs none 3 (not allowed).
AtAnswer EnterPin(const std::string& value, CardState& state) {
    if (!state.ready) return CmeError(14);
    CardOptions& o = state.options;
    std::vector<std::string_view> parts = Split(value, ',');
    std::vector<std::string> codes;
    for (std::string_view part : parts) {
        auto quoted = Quoted(part);
        std::string code(quoted ? *quoted : part);
        bool digits = code.size() >= 4 && code.size() <= 8 &&
                      std::all_of(code.begin(), code.end(), [](char c) {
                          return std::isdigit(static_cast<unsigned char>(c));
                      });
        if (!digits) return CmeError(16);
        codes.push_back(code);
    }
    switch (o.sim) {
        case SimState::Missing:
            return CmeError(10);
        case SimState::Ready:
            return CmeError(3);
        case SimState::Pin:
            if (codes.size() != 1 || codes[0] != o.pin) return CmeError(16);
            break;
        case SimState::Puk:
            if (codes.size() != 2 || codes[0] != o.puk) return CmeError(16);
            o.pin = codes[1];
            break;
    }
    o.sim = SimState::Ready;
    return Builder().Ok();
}

// A line of S-register commands ("ATS7?", "ATS7=30", "ATS7?S7=30S7?"): each read answers the
// value in three digits; any register the card lacks or value out of 0..255 answers ERROR and
// changes nothing. Nothing when the line is not one.
std::optional<AtAnswer> AnswerSRegisters(const std::string& upper, CardState& state) {
    if (upper.size() < 4 || upper.compare(0, 3, "ATS") != 0 ||
        !std::isdigit(static_cast<unsigned char>(upper[3]))) {
        return std::nullopt;
    }
    std::map<int, int> registers = state.sRegisters;
    Builder b;
    size_t at = 2;
    auto digits = [&] {
        size_t start = at;
        while (at < upper.size() && std::isdigit(static_cast<unsigned char>(upper[at]))) ++at;
        return std::string_view(upper).substr(start, at - start);
    };
    while (at < upper.size()) {
        if (upper[at] != 'S') return Error();
        ++at;
        auto number = Number(digits());
        if (!number || !registers.count(*number) || at >= upper.size()) return Error();
        if (upper[at] == '?') {
            ++at;
            std::string value = std::to_string(registers[*number]);
            b.Info(std::string(3 - std::min<size_t>(3, value.size()), '0') + value);
        } else if (upper[at] == '=') {
            ++at;
            auto value = NumberIn(digits(), 0, 255);
            if (!value) return Error();
            registers[*number] = *value;
        } else {
            return Error();
        }
    }
    state.sRegisters = registers;
    return b.Ok();
}

// A line of the GPS command set; the card checks every field of the set commands.
AtAnswer AnswerGps(const devicemgr::GpsRequest& request, CardState& state) {
    using devicemgr::GpsCommand;
    const CardOptions& o = state.options;
    const std::string& value = request.value;
    bool valid = true;
    switch (request.command) {
        case GpsCommand::kGpsType:
            return Builder().Info(devicemgr::GpsTypeLine(o.gpsType)).Ok();
        case GpsCommand::kGpsStart:
            if (!o.gpsPort) return Error();
            state.positioning = true;
            break;
        case GpsCommand::kGpsStop:
            if (o.refuseClose) return Error();
            state.positioning = false;
            break;
        case GpsCommand::kProbe:
            break;
        case GpsCommand::kApn:
            valid = ValidSocketCont(value);
            state.apnSet |= valid;
            break;
        case GpsCommand::kSuplServer:
            valid = ValidServer(value);
            state.suplServerSet |= valid;
            break;
        case GpsCommand::kPositionMode: {
            auto mode = NumberIn(value, 0, 5);
            valid = mode.has_value();
            if (mode) state.positionMode = *mode;
            break;
        }
        case GpsCommand::kFixInterval:
            valid = ValidFixRate(value);
            break;
        case GpsCommand::kSecTime:
            valid = ValidSecTime(value);
            break;
    }
    return valid ? Builder().Ok() : Error();
}

}  // namespace

std::string WireLine(const std::string& line) {
    return "\r\n" + line + "\r\n";
}

std::string CommandName(const std::string& line) {
    std::string upper = platform::AsciiUpper(line);
    size_t end = upper.find_first_of("=?");
    return end == std::string::npos ? upper : upper.substr(0, end);
}

AtAnswer AnswerAt(const std::string& line, CardState& state) {
    const CardOptions& o = state.options;
    std::string name = CommandName(line);
    std::string upper = platform::AsciiUpper(line);
    std::string args = line.size() > name.size() ? line.substr(name.size()) : "";
    bool query = args == "?";
    bool set = !args.empty() && args.front() == '=';
    std::string value = set ? args.substr(1) : "";

    for (const std::string& key : {upper, name}) {
        auto it = o.replies.find(key);
        if (it == o.replies.end()) continue;
        if (it->second == Reply::None) return {true, {}};
        if (it->second == Reply::Error) return Error();
    }
    if (auto answer = AnswerSRegisters(upper, state)) return *answer;
    if (!state.ready && !AnsweredBeforeReady(name)) return CmeError(14);
    if (o.dialect == Dialect::ModemManager) {
        if (auto answer = AnswerModemManagerAt(line, state)) return *answer;
    }
    if (auto gps = devicemgr::ReadGpsLine(line)) return AnswerGps(*gps, state);

    Builder b;
    if (args.empty()) {
        if (name == "AT" || name == "ATZ" || name == "ATV1") return b.Ok();
        if (name == "ATE0" || name == "ATE1") {
            state.echo = name == "ATE1";
            return b.Ok();
        }
        if (name == "ATI") {
            return b.Info("Manufacturer: " + o.manufacturer)
                .Info("Model: " + o.model)
                .Info("Revision: " + o.revision)
                .Ok();
        }
        if (name == "AT+CGMI") return b.Info(o.manufacturer).Ok();
        if (name == "AT+CGMM") return b.Info(o.model).Ok();
        if (name == "AT+CGSN") return b.Info(o.serialNumber).Ok();
        if (name == "AT+CGMR") return b.Info(o.revision).Ok();
        if (name == "AT+CSQ") return b.Info("+CSQ: " + std::to_string(state.rssi) + ",99").Ok();
        if (name == "AT^SYSINFO") {
            int reg = state.RegistrationState();
            bool on = reg == 1;
            return b
                .Info("^SYSINFO:" + std::to_string(on ? 2 : 0) + "," + std::to_string(on ? 3 : 0) +
                      ",0," + std::to_string(on ? 5 : 0) + "," +
                      std::to_string(SimInfoValue(state)))
                .Ok();
        }
        return Error();
    }
    if (query) {
        if (name == "AT+CPIN") {
            if (!state.ready) return CmeError(14);
            switch (o.sim) {
                case SimState::Ready:
                    return b.Info("+CPIN: READY").Ok();
                case SimState::Missing:
                    return CmeError(10);
                case SimState::Pin:
                    return CmeError(11);
                case SimState::Puk:
                    return CmeError(12);
            }
        }
        if (name == "AT+CFUN") return b.Info(state.ready ? "+CFUN: 1" : "+CFUN: 0").Ok();
        if (name == "AT+CREG") {
            return b
                .Info("+CREG: " + std::to_string(state.cregMode) + "," +
                      std::to_string(state.RegistrationState()))
                .Ok();
        }
        if (name == "AT^CUSTOMIZE") return b.Info("^CUSTOMIZE:" + o.customize).Ok();
        return Error();
    }
    if (set) {
        if (name == "AT+CPIN") return EnterPin(value, state);
        if (name == "AT+CMEE") return NumberIn(value, 0, 2) ? b.Ok() : Error();
        if (name == "AT+CREG") {
            auto mode = NumberIn(value, 0, 2);
            if (!mode) return Error();
            state.cregMode = *mode;
            return b.Ok();
        }
    }
    return Error();
}

}  // namespace cardsim
