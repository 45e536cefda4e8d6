#include "framework/devicemgr/at_answers.h"

#include <charconv>
#include <string_view>

#include "framework/devicemgr/card_life.h"
#include "platform/text.h"

namespace devicemgr {
namespace {

constexpr std::string_view kSimLine = "+CPIN:";

// The SIM state of a "+CME ERROR: <n>" number (27.007's SIM errors).
uint32_t SimStateOfError(int code) {
    switch (code) {
        case 10:
            return kSimMissing;
        case 11:  // SIM PIN required
        case 12:  // SIM PUK required
            return kSimLocked;
        case 13:  // SIM failure
        case 15:  // SIM wrong
            return kSimFailure;
        case 14:  // SIM busy
            return kSimBusy;
        default:
            return kSimUnknown;
    }
}

}  // namespace

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string InfoOf(const std::optional<AtAnswer>& answer) {
    if (!answer || answer->error) return {};
    std::vector<std::string> lines = LinesOf(answer->text);
    if (lines.size() < 2) return {};
    std::string info = lines.front();
    if (!info.empty() && (info[0] == '+' || info[0] == '^')) {
        size_t colon = info.find(':');
        if (colon != std::string::npos) {
            info = info.substr(colon + 1);
            info.erase(0, info.find_first_not_of(' '));
        }
    }
    if (info.size() >= 2 && info.front() == '"' && info.back() == '"') {
        info = info.substr(1, info.size() - 2);
    }
    // The card's words are shown, logged and stored: only what can be shown of them.
    return platform::PrintableOnly(info);
}

uint32_t SimStateOf(const AtAnswer& answer) {
    std::vector<std::string> lines = LinesOf(answer.text);
    if (!answer.error) {
        for (const std::string& line : lines) {
            if (!std::string_view(line).starts_with(kSimLine)) continue;
            std::string_view code =
                platform::TrimBlanks(std::string_view(line).substr(kSimLine.size()));
            if (code == "READY") return kSimUsable;
            // SIM PIN2 and PUK2 lock other things, not the card's use.
            if (code == "SIM PIN2" || code == "SIM PUK2") return kSimUsable;
            if (code == "SIM PIN" || code == "SIM PUK") return kSimLocked;
            return kSimBusy;  // PH-SIM PIN, network locks and the like
        }
        return kSimUnknown;
    }
    if (lines.empty()) return kSimUnknown;
    // The final code: a number (+CMEE=1), or its text for a card that ignored that.
    std::string_view final = lines.back();
    constexpr std::string_view kCme = "+CME ERROR:";
    if (!final.starts_with(kCme)) return kSimUnknown;
    std::string_view code = platform::TrimBlanks(final.substr(kCme.size()));
    int number = 0;
    auto [end, ec] = std::from_chars(code.data(), code.data() + code.size(), number);
    if (!code.empty() && ec == std::errc() && end == code.data() + code.size()) {
        return SimStateOfError(number);
    }
    static const struct {
        const char* text;
        int code;
    } kTexts[] = {{"SIM not inserted", 10}, {"SIM PIN required", 11}, {"SIM PUK required", 12},
                  {"SIM failure", 13},      {"SIM busy", 14},         {"SIM wrong", 15}};
    for (const auto& row : kTexts) {
        if (platform::EqualIgnoringAsciiCase(code, row.text)) return SimStateOfError(row.code);
    }
    return kSimUnknown;
}

bool RadioOn(const AtAnswer& answer) {
    return answer.error || answer.text.find("+CFUN: 1") != std::string::npos;
}

uint32_t MmSimState(std::optional<uint32_t> failedReason, std::optional<uint32_t> unlockRequired) {
    if (failedReason == mm::kFailedSimMissing) return kSimMissing;
    if (failedReason == mm::kFailedSimError) return kSimFailure;
    if (!unlockRequired) return kSimUnknown;
    switch (*unlockRequired) {
        case mm::kLockUnknown:
            return kSimUnknown;
        case mm::kLockNone:
        case mm::kLockSimPin2:  // PIN2 and PUK2 lock other things, not the card's use
        case mm::kLockSimPuk2:
            return kSimUsable;
        case mm::kLockSimPin:
        case mm::kLockSimPuk:
            return kSimLocked;
        default:
            return kSimBusy;  // network and other personalisation locks
    }
}

int MmGpsType(uint32_t capabilities) {
    if (!(capabilities & mm::kGpsSources)) return 0;
    return capabilities & mm::kAgpsSources ? 2 : 1;
}

}  // namespace devicemgr
