// Starting a program when the user logs on: one XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/<name>.desktop ($HOME/.config when the variable is unset or
// empty). The entry's Exec line holds the program; the kind of value it was written as is
// kept in the entry beside it (X-Satview-ValueType, "REG_SZ" unless written otherwise).
#pragma once

#include <optional>
#include <string>

namespace platform {

// The folder that holds the entries; empty when neither $XDG_CONFIG_HOME nor $HOME is set.
std::string AutostartDirectory();

struct AutostartValue {
    std::string program;          // the Exec line's program (its first argument, unquoted)
    std::string type = "REG_SZ";  // the kind of value kept in the entry
};

enum class AutostartStatus {
    Ok,
    NoFolder,  // the autostart folder is missing or not usable
    NoEntry,   // no entry, an unreadable one, one without Exec, or one marked Hidden=true
};

// Reads entry `name`; `value` is filled when the answer is Ok.
AutostartStatus ReadAutostart(const std::string& name, AutostartValue& value);

// Whether the autostart folder exists and entries can be written into it.
bool AutostartFolderWritable();
// Creates the autostart folder (and its parents) when it is missing.
bool CreateAutostartFolder();

// Writes entry `name` starting `program` (a path; blanks and other special characters are
// quoted as desktop entries require), replacing the file atomically. False when it could
// not be written.
bool WriteAutostart(const std::string& name, const std::string& program);
// Removes entry `name`; an entry that is not there counts as removed. False when the
// folder is missing or the entry could not be removed.
bool RemoveAutostart(const std::string& name);

// The Exec value that starts `program` with no arguments, and the program read back from an
// Exec value (nothing when it is empty or badly quoted).
std::string DesktopExecValue(const std::string& program);
std::optional<std::string> DesktopExecProgram(const std::string& exec);

}  // namespace platform
