#include "Startup/Win32/launcher_trace.h"

#include "framework/trace/zeltotrace.h"

namespace launcher {

void Trace(int level, const char* source, int line, const std::string& message) {
    CZeltoTrace::instance(kTraceLogName)
        ->Traceout(level, kTraceModule, source, line, message.c_str());
}

}  // namespace launcher
