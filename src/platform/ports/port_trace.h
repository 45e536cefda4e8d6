// Traces of the port list: skipped entries and unreadable sources, each told once per process
// so that a list read ten times a second does not flood the output.
#pragma once

#include <string>

namespace platform::ports_detail {

void TraceOnce(const std::string& message);

}  // namespace platform::ports_detail
