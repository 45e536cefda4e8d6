// The launcher's traces: every one goes through the trace library under the module name
// "Startup", into Log/ below the program directory.
#pragma once

#include <string>

namespace launcher {

inline constexpr const char* kTraceModule = "Startup";
inline constexpr const char* kTraceLogName = "./dodevizi_trace_0.log";
// The source names the traces carry.
inline constexpr const char* kStartupSource = "src/Startup/Win32/Startup";
inline constexpr const char* kConfigMgrSource = "src/Startup/Win32/PluginsConfigMgr";

void Trace(int level, const char* source, int line, const std::string& message);

}  // namespace launcher
