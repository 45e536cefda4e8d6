// File helpers: existence, the read-only attribute and atomic whole-file writes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

bool FileExists(const std::string& path);

// A file is read-only when its owner may not write it (the Windows read-only attribute).
bool IsReadOnly(const std::string& path);

// Gives the owner write permission back; false when the file is missing or cannot be changed.
bool ClearReadOnly(const std::string& path);

// Reads a whole file; nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces `path` with `bytes`: written to a temporary file in the same folder, flushed to
// disk, then renamed over the target. On any failure, including a read-only target, the old
// file is left as it was and false is returned. A new file gets mode 0644 (less the umask);
// a replaced file keeps its mode.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);

// Writes all of `bytes` to the descriptor, going on after interrupted and short writes.
bool WriteAll(int fd, std::string_view bytes);

}  // namespace platform
