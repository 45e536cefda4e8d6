// The program directory and path helpers.
#pragma once

#include <string>

namespace platform {

// Directory of the running executable (from /proc/self/exe), without a trailing separator;
// empty when it cannot be read.
std::string ProgramDirectory();

// Joins two path pieces with exactly one '/' between them. An absolute `tail` wins.
std::string JoinPath(const std::string& head, const std::string& tail);

// Resolves `relative` below `directory`. Where a component with the exact name is missing,
// a sibling whose name differs only in letter case is taken ("RunInfo.ini" finds
// "Runinfo.ini"). Components that match nothing are kept as given, so the result names
// where a new file would be created. A '\' in `relative` counts as a separator.
std::string ResolveNoCase(const std::string& directory, const std::string& relative);

// `path` with its links resolved ("/dev/gps0" to "/dev/ttyUSB2"); `path` as given when it
// cannot be resolved (it does not exist, say).
std::string RealPathOr(const std::string& path);

}  // namespace platform
