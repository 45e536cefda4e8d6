// CZeltoTrace: the launcher's trace library. One log file per process, in the program
// directory's Log/ folder; one line per trace with time, level, module, file:line and message.
// The log rotates: when the file reaches kLogFileBytes it becomes "<name>.1" (the older ones
// move up, the oldest goes), so the log never takes more than kLogFiles files of that size.
// Traces at kTraceDebug are dropped unless SATVIEW_TRACE=debug is set when the
// file is opened. Every operation is safe to call from any thread and never throws.
#pragma once

#include <cstddef>
#include <string>

class CZeltoTrace {
  public:
    static constexpr size_t kLogFileBytes = 2 * 1024 * 1024;
    static constexpr size_t kLogFiles = 3;  // the current file and two older ones

    // The process's trace object. The first call names the log file (its last path component
    // is kept and placed in <program directory>/Log/); later calls return the same object and
    // keep the file already chosen until destroy(). Never null.
    static CZeltoTrace* instance(const char* logFileName);
    // Flushes and closes the log file. The object stays valid; a later trace opens the file
    // again (appending).
    static void destroy();

    // Writes one line. Null texts are written as empty; line breaks in the message become
    // spaces so that every trace stays one line.
    void Traceout(int level, const char* module, const char* file, int line, const char* message);
    // printf-style variant of Traceout.
    void TraceoutF(int level, const char* module, const char* file, int line, const char* format,
                   ...) __attribute__((format(printf, 6, 7)));

    // Where Log/ lives; by default the directory of the running program. Changing it closes
    // the open file; the next trace opens the file below the new directory.
    static void SetProgramDirectory(const std::string& directory);
    // The full path of the log file that traces go to now (empty before the first instance()).
    static std::string LogFilePath();

    // The name given to a level in the log ("error", "warning", "notice", "info", "debug", else
    // "level N").
    static std::string LevelName(int level);

  private:
    CZeltoTrace() = default;
};
