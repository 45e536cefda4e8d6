// Final result codes, and lines that only look like one. The AT receiver tells them apart with
// these cases, and so must everything else that reads answers with its final-code recognition.
#pragma once

namespace at_cases {

struct FinalCode {
    const char* line;
    bool final;
    bool error;  // a final code that reports a failure
};

inline constexpr FinalCode kFinalCodes[] = {
    {"OK", true, false},
    {"CONNECT 115200", true, false},
    {"ERROR", true, true},
    {"+CME ERROR: 10", true, true},
    {"+CMS ERROR: 500", true, true},
    {"+CME ERROR: SIM busy", true, true},
    {"NO CARRIER", true, true},
    {"BUSY", true, true},
    {"NO DIALTONE", true, true},
    {"COMMAND NOT SUPPORT", true, true},
    {"+CME ERROR:", false, false},
    {"+CME ERROR:  ", false, false},
    {"OKAY", false, false},
    {"^GPSTYPE:2", false, false},
    {"ERRORS", false, false},
    {"", false, false},
};

}  // namespace at_cases
