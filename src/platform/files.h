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

// The temporary files the writers below make beside their target are named
// "<target>" kTempSuffix "XXXXXX" (six letters or digits).
inline constexpr const char* kTempSuffix = ".new";

// Replaces `path` with `bytes`: written to a temporary file in the same folder, flushed to
// disk, then renamed over the target. On any failure, including a read-only target, the old
// file is left as it was and false is returned. A new file gets mode 0644 (less the umask);
// a replaced file keeps its mode.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);

// Writes all of `bytes` to the descriptor, going on after interrupted and short writes.
bool WriteAll(int fd, std::string_view bytes);

// Whether `name` is that of a temporary file of the writers: kTempSuffix, or ".tmp" as earlier
// versions wrote, then six letters or digits, after a name of at least one character.
bool IsWriterTempName(std::string_view name);

// Removes the writers' temporary files a write killed mid-way left in `folder` (not below it):
// regular files with such a name owned by this user. Run only while no other writer of the
// program can be at work there. The number removed.
int RemoveLeftoverTempFiles(const std::string& folder);

}  // namespace platform
