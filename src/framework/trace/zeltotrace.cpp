#include "framework/trace/zeltotrace.h"

#include <spdlog/fmt/fmt.h>
#include <spdlog/logger.h>
#include <spdlog/sinks/rotating_file_sink.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>

#include "framework/contracts/ids.h"
#include "platform/paths.h"
#include "platform/user_files.h"

namespace {

// Process-wide state of the trace library, behind one mutex. The logger is copied out under
// the mutex and used outside it, so destroy() never waits for a write in progress.
struct TraceState {
    std::mutex mutex;
    bool named = false;
    std::string fileName;          // last component of the name given to instance()
    std::string programDirectory;  // empty: the running program's directory
    std::shared_ptr<spdlog::logger> logger;
    bool openFailed = false;  // do not retry opening on every trace
    bool debug = false;       // debug traces are written (read when the file is opened)
};

TraceState& State() {
    static TraceState* state = new TraceState;  // never destroyed: traces may run at exit
    return *state;
}

std::string BaseName(const char* name) {
    std::string text = name ? name : "";
    size_t cut = text.find_last_of("/\\");
    if (cut != std::string::npos) text.erase(0, cut + 1);
    return text.empty() ? "trace.log" : text;
}

std::string PathLocked(const TraceState& state) {
    std::string directory =
        state.programDirectory.empty() ? platform::ProgramDirectory() : state.programDirectory;
    return platform::JoinPath(platform::UserFilePath(directory, "Log"), state.fileName);
}

bool DebugWanted() {
    const char* wanted = std::getenv("SATVIEW_TRACE");
    return wanted && std::strcmp(wanted, "debug") == 0;
}

std::shared_ptr<spdlog::logger> LoggerLocked(TraceState& state) {
    if (state.logger || state.openFailed || !state.named) return state.logger;
    try {
        std::string path = PathLocked(state);
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
        // The rotating sink counts the files besides the current one.
        auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            path, CZeltoTrace::kLogFileBytes, CZeltoTrace::kLogFiles - 1);
        auto logger = std::make_shared<spdlog::logger>("zeltotrace", std::move(sink));
        logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %v");
        logger->set_level(spdlog::level::trace);
        logger->flush_on(spdlog::level::trace);
        logger->set_error_handler([](const std::string&) {});
        state.logger = std::move(logger);
        state.debug = DebugWanted();
    } catch (...) {
        state.openFailed = true;
    }
    return state.logger;
}

std::string OneLine(const char* text) {
    std::string out = text ? text : "";
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

}  // namespace

CZeltoTrace* CZeltoTrace::instance(const char* logFileName) {
    static CZeltoTrace object;
    TraceState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.named) {
        try {
            state.fileName = BaseName(logFileName);
            state.named = true;
        } catch (...) {
        }
    }
    return &object;
}

void CZeltoTrace::destroy() {
    std::shared_ptr<spdlog::logger> closing;
    {
        TraceState& state = State();
        std::lock_guard<std::mutex> lock(state.mutex);
        closing.swap(state.logger);
        state.openFailed = false;
    }
    try {
        if (closing) closing->flush();
    } catch (...) {
    }
}

void CZeltoTrace::Traceout(int level, const char* module, const char* file, int line,
                           const char* message) {
    try {
        std::shared_ptr<spdlog::logger> logger;
        {
            TraceState& state = State();
            std::lock_guard<std::mutex> lock(state.mutex);
            logger = LoggerLocked(state);
            if (level == framework::kTraceDebug && !state.debug) return;
        }
        if (!logger) return;
        logger->info("[{}] [{}] {}:{} {}", LevelName(level), OneLine(module), OneLine(file), line,
                     OneLine(message));
    } catch (...) {
    }
}

void CZeltoTrace::TraceoutF(int level, const char* module, const char* file, int line,
                            const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    int written = format ? std::vsnprintf(buffer, sizeof buffer, format, args) : -1;
    va_end(args);
    Traceout(level, module, file, line, written < 0 ? "" : buffer);
}

void CZeltoTrace::SetProgramDirectory(const std::string& directory) {
    std::shared_ptr<spdlog::logger> closing;
    {
        TraceState& state = State();
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.programDirectory == directory) return;
        state.programDirectory = directory;
        closing.swap(state.logger);
        state.openFailed = false;
    }
}

std::string CZeltoTrace::LogFilePath() {
    TraceState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.named ? PathLocked(state) : std::string();
}

std::string CZeltoTrace::LevelName(int level) {
    switch (level) {
        case framework::kTraceError:
            return "error";
        case framework::kTraceWarning:
            return "warning";
        case framework::kTraceNotice:
            return "notice";
        case framework::kTraceInfo:
            return "info";
        case framework::kTraceDebug:
            return "debug";
        default:
            return fmt::format("level {}", level);
    }
}
