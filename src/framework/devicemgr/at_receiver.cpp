#include "framework/devicemgr/at_receiver.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/text.h"

namespace devicemgr {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// "+CME ERROR: 10" is final; a bare "+CME ERROR:" is not.
bool ErrorWithValue(std::string_view line, std::string_view prefix) {
    return line.starts_with(prefix) && !Trim(line.substr(prefix.size())).empty();
}

// The name an unsolicited line and its query share: "+CREG" of "+CREG: 1" and "AT+CREG?".
std::string_view NameOfCommand(std::string_view command) {
    command = Trim(command);
    if (command.size() < 2 || !platform::EqualIgnoringAsciiCase(command.substr(0, 2), "AT"))
        return {};
    command.remove_prefix(2);
    size_t end = command.find_first_of("=?;\r\n");
    return command.substr(0, end);
}

}  // namespace

bool IsFinalCode(std::string_view line, bool& error) {
    line = Trim(line);
    error = false;
    if (line == "OK" || line.starts_with("CONNECT")) return true;
    static constexpr std::string_view kFailures[] = {"ERROR",
                                                     "NO CARRIER",
                                                     "BUSY",
                                                     "NO ANSWER",
                                                     "NO DIALTONE",
                                                     "COMMAND NOT SUPPORT",
                                                     "TOO MANY PARAMETERS"};
    error = true;
    if (std::find(std::begin(kFailures), std::end(kFailures), line) != std::end(kFailures)) {
        return true;
    }
    if (ErrorWithValue(line, "+CME ERROR:") || ErrorWithValue(line, "+CMS ERROR:") ||
        ErrorWithValue(line, "MODEM ERROR:")) {
        return true;
    }
    error = false;
    return false;
}

bool IsUnsolicited(std::string_view line, std::string_view command) {
    static constexpr std::string_view kPrefixes[] = {
        "^RSSI:",  "^HRSSILVL:",  "^HCSQ:",     "^MODE:",    "^SRVST:", "^SIMST:",
        "^BOOT:",  "^DSFLOWRPT:", "^EARST:",    "^STIN:",    "^CEND:",  "^CONN:",
        "^ORIG:",  "^CONF:",      "^NDISSTAT:", "^SYSSTART", "+CREG:",  "+CGREG:",
        "+CEREG:", "+CMTI:",      "+CDSI:",     "+CBM:",     "+CDS:",   "+CMT:",
        "+CUSD:",  "+CRING:",     "+CLIP:",     "+CGEV:",    "+PACSP"};
    line = Trim(line);
    if (line == "RING") return true;
    for (std::string_view prefix : kPrefixes) {
        if (!line.starts_with(prefix)) continue;
        std::string_view name = prefix.substr(0, prefix.find(':'));
        return !platform::EqualIgnoringAsciiCase(name, NameOfCommand(command));
    }
    return false;
}

bool HasSecondLine(std::string_view header) {
    header = Trim(header);
    if (header.starts_with("+CMT:") || header.starts_with("+CBM:")) return true;
    if (!header.starts_with("+CDS:")) return false;
    // Text mode reports the status in one line of fields; PDU mode gives the PDU's length.
    std::string_view length = Trim(header.substr(5));
    return !length.empty() && std::all_of(length.begin(), length.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

void AtReceiver::SetCommand(std::string_view command, bool manyAnswers) {
    command_ = std::string(Trim(command));
    manyAnswers_ = manyAnswers;
    answer_.clear();
}

void AtReceiver::Feed(std::string_view bytes, std::vector<AtOutput>& out) {
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (!overlong_ && !line_.empty()) OnLine(line_, out);
            line_.clear();
            overlong_ = false;
        } else if (overlong_ || c == '\0') {
            // The rest of an overlong line, and NUL bytes, which no answer text may hold.
        } else if (line_.size() >= kMaxAtLine) {
            ++counters_.overlong;
            overlong_ = true;
            line_.clear();
            // The second line of a two-line result is lost: the header goes alone.
            if (!header_.empty()) EmitUnsolicited(std::exchange(header_, {}), out);
        } else {
            line_.push_back(c);
        }
    }
}

void AtReceiver::OnLine(std::string_view raw, std::vector<AtOutput>& out) {
    std::string_view line = Trim(raw);
    if (line.empty()) return;
    if (!header_.empty()) {
        EmitUnsolicited(std::exchange(header_, {}) + "\r\n" + std::string(line), out);
        return;
    }
    if (IsUnsolicited(line, command_)) {
        if (HasSecondLine(line)) {
            header_ = std::string(line);
        } else {
            EmitUnsolicited(std::string(line), out);
        }
        return;
    }
    if (command_.empty()) {
        ++counters_.stray;
        out.push_back({AtOutput::Kind::kStray, std::string(line)});
        return;
    }
    if (platform::EqualIgnoringAsciiCase(line, command_))
        return;  // the card echoes what it was sent
    bool error = false;
    if (!IsFinalCode(line, error)) {
        if (answer_.size() < kMaxAnswerLines) {
            answer_.emplace_back(line);
        } else {
            ++counters_.overlong;
        }
        return;
    }
    std::string text;
    for (const std::string& info : answer_) text += info + "\r\n";
    text += line;
    ++counters_.answers;
    out.push_back({AtOutput::Kind::kAnswer, std::move(text), error});
    if (!manyAnswers_) command_.clear();
    answer_.clear();
}

void AtReceiver::EmitUnsolicited(std::string text, std::vector<AtOutput>& out) {
    ++counters_.unsolicited;
    out.push_back({AtOutput::Kind::kUnsolicited, std::move(text)});
}

}  // namespace devicemgr
