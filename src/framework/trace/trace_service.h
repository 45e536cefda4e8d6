// The container's trace service: forwards every trace to the process's trace library, so the
// launcher and the plug-ins write one log file.
#pragma once

#include "framework/contracts/services.h"

namespace framework {

// Name of the log file when the trace service is the first to trace in a process.
inline constexpr const char* kDefaultLogFileName = "dodevizi_trace_0.log";

class TraceService final : public ITraceService {
  public:
    // Owned by the container; callers do not release it, and a release changes nothing.
    void Release() override {}
    int GetLastErrorCode() override { return 0; }
    void Trace(int level, const char* module, const char* sourceFile, int line,
               const char* message) override;
};

}  // namespace framework
