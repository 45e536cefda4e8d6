// The launcher's command line: --help and --version answer and end the program; --terminal
// and --headless choose the front end (the window kit reads them); anything else is refused.
#pragma once

#include <string>

namespace launcher {

struct CommandLineAnswer {
    bool run = true;   // false: print `text` and end with `exitCode`
    int exitCode = 0;  // 0 for --help and --version, 2 for a word it does not know
    std::string text;  // what to print (standard output for 0, standard error otherwise)
};

CommandLineAnswer ReadCommandLine(int argc, const char* const* argv, const std::string& version);

}  // namespace launcher
