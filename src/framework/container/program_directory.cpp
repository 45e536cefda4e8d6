#include "framework/container/program_directory.h"

#include <mutex>

#include "framework/trace/zeltotrace.h"
#include "platform/paths.h"

namespace framework {
namespace {

std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& Chosen() {
    static std::string chosen;
    return chosen;
}

}  // namespace

std::string ProgramDirectory() {
    {
        std::lock_guard<std::mutex> lock(Mutex());
        if (!Chosen().empty()) return Chosen();
    }
    return platform::ProgramDirectory();
}

void SetProgramDirectory(const std::string& directory) {
    {
        std::lock_guard<std::mutex> lock(Mutex());
        Chosen() = directory;
    }
    CZeltoTrace::SetProgramDirectory(directory);
}

}  // namespace framework
