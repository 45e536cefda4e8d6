// The AT command interpreter of the simulated card: one command line in, the answer out.
#pragma once

#include <string>

#include "card_state.h"

namespace cardsim {

struct AtAnswer {
    bool silent = false;  // nothing at all is written (not even the result code)
    std::string text;     // information lines and the final result code, each in CR LF
};

// The command's name as the reply table keys it: upper case, up to '=' or '?' ("AT+CPIN?"
// gives "AT+CPIN", "ate0" gives "ATE0").
std::string CommandName(const std::string& line);

// Answers one command line (without its line end), changing `state` as the command does.
AtAnswer AnswerAt(const std::string& line, CardState& state);

// The text of one information line or result code on the wire: "\r\n<line>\r\n".
std::string WireLine(const std::string& line);

}  // namespace cardsim
