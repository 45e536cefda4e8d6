// Starting programs and opening documents, never through a shell.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Starts `program` with `args` (not including argv[0]) and does not wait for it. False when
// the program does not exist, is not executable or cannot be started.
bool StartProgram(const std::string& program, const std::vector<std::string>& args = {});

// Whether `path` names a regular file (after links) that the user may execute.
bool IsExecutableFile(const std::string& path);

// Opens a URL or file with the desktop's default handler (xdg-open), the handler's output
// (what it says on stdout and stderr) appended to the file `outputPath` (made 0600 when
// missing) instead of this program's terminal; its input is /dev/null. False when the handler
// cannot be started.
bool OpenWithDefaultHandler(const std::string& target, const std::string& outputPath);

// How a program run by RunCollectingOutput ended.
struct ProgramOutcome {
    int exitStatus = -1;  // its exit status; -1 when a signal ended it
    std::string output;   // what it wrote to stdout and stderr, at most kMaxCollectedOutput bytes
};
inline constexpr size_t kMaxCollectedOutput = 16384;

// Starts `program` (searched on PATH) with `args`, stdin from /dev/null and stdout and stderr
// into a pipe, so nothing it writes reaches this process's terminal. `done` runs on a thread
// of its own once the program has ended. Processes it leaves behind holding its output (a
// browser a handler started) keep a reader until they close it, so their writes never fail.
// False, without calling `done`, when the program cannot be started.
bool RunCollectingOutput(const std::string& program, const std::vector<std::string>& args,
                         std::function<void(const ProgramOutcome&)> done);

}  // namespace platform
