// Starting programs and opening documents, never through a shell.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Starts `program` with `args` (not including argv[0]) and does not wait for it. False when
// the program does not exist, is not executable or cannot be started.
bool StartProgram(const std::string& program, const std::vector<std::string>& args = {});

// Whether `path` names a regular file (after links) that the user may execute.
bool IsExecutableFile(const std::string& path);

// Opens a URL or file with the desktop's default handler (xdg-open). False when the handler
// cannot be started.
bool OpenWithDefaultHandler(const std::string& target);
// The same with the handler's output (what it says on stdout and stderr) appended to the file
// `outputPath` (made 0600 when missing) instead of this program's terminal; its input is
// /dev/null.
bool OpenWithDefaultHandler(const std::string& target, const std::string& outputPath);

}  // namespace platform
