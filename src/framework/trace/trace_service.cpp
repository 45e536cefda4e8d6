#include "framework/trace/trace_service.h"

#include "framework/trace/zeltotrace.h"

namespace framework {

void TraceService::Trace(int level, const char* module, const char* sourceFile, int line,
                         const char* message) {
    CZeltoTrace::instance(kDefaultLogFileName)->Traceout(level, module, sourceFile, line, message);
}

}  // namespace framework
