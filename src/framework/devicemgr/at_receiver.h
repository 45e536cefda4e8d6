// The receiving side of an AT port: bytes cut into lines, lines gathered into answers.
//
// One command is outstanding at a time. While it is, every line belongs to its answer
// except the echo of the command itself and unsolicited result lines (signal reports,
// registration changes, incoming messages); a final result code (OK, ERROR, +CME ERROR: n,
// NO CARRIER, ...) ends the answer. A message or broadcast delivered unsolicited (+CMT, +CBM,
// and +CDS in PDU mode) is a header line and one line of PDU or text: that line, whatever it
// reads, belongs to the header and never to an answer. With no command outstanding, every line is
// unsolicited or stray and never makes an answer. Memory stays bounded whatever the card sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace devicemgr {

inline constexpr size_t kMaxAtLine = 1024;      // longer lines are thrown away
inline constexpr size_t kMaxAnswerLines = 128;  // information lines kept per answer

struct AtOutput {
    enum class Kind {
        kAnswer,       // information lines and the final code, joined by "\r\n"
        kUnsolicited,  // an unsolicited result line (two-line results: joined by "\r\n")
        kStray,        // a line nobody asked for: a late answer, a final code with no command
    };
    Kind kind;
    std::string text;
    bool error = false;  // kAnswer: the final code reports a failure
};

struct AtCounters {
    uint64_t answers = 0;
    uint64_t unsolicited = 0;
    uint64_t stray = 0;
    uint64_t overlong = 0;  // lines thrown away for their length, or beyond kMaxAnswerLines
};

// True for a final result code; `error` tells failure codes from OK and CONNECT.
bool IsFinalCode(std::string_view line, bool& error);

// True for a line of the unsolicited table, unless it is the answer to `command` (the line
// "+CREG: 0,1" answers "AT+CREG?").
bool IsUnsolicited(std::string_view line, std::string_view command);

// True for the header of an unsolicited result that one more line completes: "+CMT: ...",
// "+CBM: ..." and the PDU-mode "+CDS: <length>".
bool HasSecondLine(std::string_view header);

class AtReceiver {
  public:
    // The command now outstanding (the line as sent, line end optional); empty for none. A
    // partial answer of the previous command is dropped. `manyAnswers`: the command stays
    // outstanding after a final code (answers owed before its own are told apart by the
    // caller).
    void SetCommand(std::string_view command, bool manyAnswers = false);
    bool Outstanding() const { return !command_.empty(); }
    void Feed(std::string_view bytes, std::vector<AtOutput>& out);
    const AtCounters& Counters() const { return counters_; }

  private:
    void OnLine(std::string_view line, std::vector<AtOutput>& out);
    void EmitUnsolicited(std::string text, std::vector<AtOutput>& out);

    std::string command_;
    bool manyAnswers_ = false;
    std::string line_;
    bool overlong_ = false;  // the current line passed kMaxAtLine: drop it at its end
    std::vector<std::string> answer_;
    std::string header_;  // a two-line unsolicited result waiting for its second line
    AtCounters counters_;
};

}  // namespace devicemgr
