// The trace library and the trace service: where lines go, what a line holds, and that
// tracing survives bad input, closing and concurrent callers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "framework/contracts/ids.h"
#include "framework/trace/trace_service.h"
#include "framework/trace/zeltotrace.h"
#include "temp_dir.h"

using framework::TraceService;

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// "YYYY-MM-DD hh:mm:ss.mmm " at the start of the line.
bool HasTimePrefix(const std::string& line) {
    const std::string shape = "dddd-dd-dd dd:dd:dd.ddd ";
    if (line.size() < shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        bool digit = line[i] >= '0' && line[i] <= '9';
        if (shape[i] == 'd' ? !digit : line[i] != shape[i]) return false;
    }
    return true;
}

// `text` is `prefix`, then one or more digits, then `suffix`, and nothing else.
bool DigitsBetween(const std::string& text, const std::string& prefix, const std::string& suffix) {
    if (text.compare(0, prefix.size(), prefix) != 0) return false;
    size_t end = text.find_first_not_of("0123456789", prefix.size());
    return end != prefix.size() && end != std::string::npos && text.substr(end) == suffix;
}

class TraceTest : public ::testing::Test {
  protected:
    void SetUp() override { CZeltoTrace::SetProgramDirectory(dir.path()); }
    void TearDown() override {
        CZeltoTrace::destroy();
        CZeltoTrace::SetProgramDirectory("");
    }
    std::string LogPath() const { return dir / "Log/dodevizi_trace_0.log"; }
    testing_support::TempDir dir;
};

TEST_F(TraceTest, EachTraceIsOneLineWithAllFiveFields) {
    CZeltoTrace* trace = CZeltoTrace::instance("./dodevizi_trace_0.log");
    ASSERT_EQ(trace, CZeltoTrace::instance("other.log"));
    EXPECT_EQ(CZeltoTrace::LogFilePath(), LogPath());
    trace->Traceout(2, "Startup", "src\\Startup\\Win32\\Startup", 412, "Init fail !");
    trace->TraceoutF(4, "Startup", "src/Startup/Win32/Startup", 7, "version %s", "1.0.3");
    TraceService service;
    service.Trace(1, "Orbitpane", "orbitpaneimpl.cpp", 88, "two\r\nlines");
    service.Trace(9, nullptr, nullptr, -1, nullptr);

    auto lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 4u);
    for (const auto& line : lines) EXPECT_TRUE(HasTimePrefix(line)) << line;
    EXPECT_NE(lines[0].find(" [warning] [Startup] src\\Startup\\Win32\\Startup:412 Init fail !"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find(" [info] [Startup] src/Startup/Win32/Startup:7 version 1.0.3"),
              std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find(" [error] [Orbitpane] orbitpaneimpl.cpp:88 two  lines"),
              std::string::npos)
        << lines[2];
    EXPECT_NE(lines[3].find(" [level 9] [] :-1 "), std::string::npos) << lines[3];
}

TEST_F(TraceTest, DestroyClosesAndTheNextTraceAppends) {
    CZeltoTrace::instance("dodevizi_trace_0.log")->Traceout(3, "A", "a.cpp", 1, "first");
    CZeltoTrace::destroy();
    CZeltoTrace::destroy();
    CZeltoTrace::instance("dodevizi_trace_0.log")->Traceout(3, "A", "a.cpp", 2, "second");
    auto lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("[notice] [A] a.cpp:1 first"), std::string::npos);
    EXPECT_NE(lines[1].find("a.cpp:2 second"), std::string::npos);
}

TEST_F(TraceTest, AnUnwritableLogFolderDropsTracesQuietly) {
    dir.Write("Log", "a file where the folder should be");
    CZeltoTrace* trace = CZeltoTrace::instance("dodevizi_trace_0.log");
    trace->Traceout(1, "A", "a.cpp", 1, "lost");
    trace->Traceout(1, "A", "a.cpp", 2, "lost too");
    SUCCEED();
    // A new program directory is tried afresh.
    testing_support::TempDir other;
    CZeltoTrace::SetProgramDirectory(other.path());
    trace->Traceout(1, "A", "a.cpp", 3, "kept");
    EXPECT_EQ(ReadLines(other / "Log/dodevizi_trace_0.log").size(), 1u);
}

TEST_F(TraceTest, ConcurrentTracesKeepWholeLines) {
    TraceService service;
    constexpr int kThreads = 4, kEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&service, t] {
            std::string module = "T";
            module += std::to_string(t);
            for (int i = 0; i < kEach; ++i) {
                service.Trace(4, module.c_str(), "worker.cpp", i, "message body");
                if (t == 0 && i == kEach / 2) CZeltoTrace::destroy();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    auto lines = ReadLines(LogPath());
    EXPECT_EQ(lines.size(), size_t{kThreads * kEach});
    for (const auto& line : lines) {
        ASSERT_TRUE(HasTimePrefix(line)) << line;
        std::string rest = line.substr(24);
        // "[info] [T<thread>] worker.cpp:<line> message body"
        ASSERT_TRUE(
            DigitsBetween(rest, "[info] [T",
                          std::string("] worker.cpp:").append(rest.substr(rest.find(':') + 1))))
            << line;
        ASSERT_TRUE(DigitsBetween(rest.substr(rest.find(':') + 1), "", " message body")) << line;
    }
}

TEST_F(TraceTest, DebugTracesAreWrittenOnlyWhenAskedFor) {
    ::unsetenv("SATVIEW_TRACE");
    CZeltoTrace* trace = CZeltoTrace::instance("dodevizi_trace_0.log");
    trace->Traceout(framework::kTraceDebug, "A", "a.cpp", 1, "$GPGGA,dropped");
    trace->Traceout(framework::kTraceInfo, "A", "a.cpp", 2, "kept");
    CZeltoTrace::destroy();
    ::setenv("SATVIEW_TRACE", "debug", 1);
    trace->Traceout(framework::kTraceDebug, "A", "a.cpp", 3, "$GPGGA,written");
    CZeltoTrace::destroy();
    ::unsetenv("SATVIEW_TRACE");

    auto lines = ReadLines(LogPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("[info] [A] a.cpp:2 kept"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("[debug] [A] a.cpp:3 $GPGGA,written"), std::string::npos) << lines[1];
}

TEST_F(TraceTest, TheLogRotatesWithinItsFilesAndSize) {
    TraceService service;
    const std::string message(1000, 'x');
    const size_t traces = CZeltoTrace::kLogFiles * CZeltoTrace::kLogFileBytes / 1000 + 500;
    for (size_t i = 0; i < traces; ++i) {
        service.Trace(framework::kTraceInfo, "Orbitpane", "a.cpp", static_cast<int>(i),
                      message.c_str());
    }
    service.Trace(framework::kTraceInfo, "Orbitpane", "a.cpp", -1, "the last one");
    CZeltoTrace::destroy();

    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "Log")) {
        ++files;
        EXPECT_LE(entry.file_size(), CZeltoTrace::kLogFileBytes) << entry.path();
    }
    EXPECT_EQ(files, CZeltoTrace::kLogFiles);
    auto lines = ReadLines(LogPath());
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("a.cpp:-1 the last one"), std::string::npos) << lines.back();
    // The older files keep the name's extension last.
    EXPECT_TRUE(std::filesystem::exists(dir / "Log/dodevizi_trace_0.2.log"));
}

}  // namespace
