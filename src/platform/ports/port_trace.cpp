#include "port_trace.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace platform::ports_detail {

void TraceOnce(const std::string& message) {
    static std::mutex mutex;
    static std::set<std::string> told;
    std::lock_guard lock(mutex);
    if (told.size() > 256 || !told.insert(message).second) return;
    std::fprintf(stderr, "satview ports: %s\n", message.c_str());
}

}  // namespace platform::ports_detail
