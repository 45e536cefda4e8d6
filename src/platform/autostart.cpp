#include "autostart.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "files.h"
#include "ini.h"

namespace platform {
namespace {

constexpr const char* kGroup = "Desktop Entry";
constexpr const char* kTypeKey = "X-Satview-ValueType";

std::string EntryPath(const std::string& name) {
    std::string folder = AutostartDirectory();
    return folder.empty() ? std::string() : folder + "/" + name + ".desktop";
}

bool IsDirectory(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

// A string value of a desktop entry: backslash, newline, tab and carriage return escaped.
std::string EscapeString(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string UnescapeString(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                out += text[i];
        }
    }
    return out;
}

bool NeedsQuoting(const std::string& argument) {
    return argument.empty() ||
           argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
}

}  // namespace

std::string AutostartDirectory() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config != '\0') return std::string(config) + "/autostart";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return std::string(home) + "/.config/autostart";
    return std::string();
}

// Exec quoting: an argument with a reserved character goes in double quotes, in which ",
// `, $ and \ take a backslash; a literal % is doubled. The result is then escaped as a
// string value.
std::string DesktopExecValue(const std::string& program) {
    std::string argument;
    for (char c : program) {
        if (c == '%') {
            argument += "%%";
        } else {
            argument += c;
        }
    }
    if (NeedsQuoting(program)) {
        std::string quoted = "\"";
        for (char c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
            quoted += c;
        }
        argument = quoted + "\"";
    }
    return EscapeString(argument);
}

std::optional<std::string> DesktopExecProgram(const std::string& exec) {
    const std::string line = UnescapeString(exec);
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos) return std::nullopt;
    std::string program;
    if (line[i] == '"') {
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) ++i;
            program += line[i];
        }
        if (i == line.size()) return std::nullopt;  // no closing quote
    } else {
        for (; i < line.size() && line[i] != ' ' && line[i] != '\t'; ++i) program += line[i];
    }
    // %% is a literal percent sign.
    std::string out;
    for (size_t k = 0; k < program.size(); ++k) {
        out += program[k];
        if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%') ++k;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

AutostartStatus ReadAutostart(const std::string& name, AutostartValue& value) {
    if (!IsDirectory(AutostartDirectory())) return AutostartStatus::NoFolder;
    const std::string path = EntryPath(name);
    if (!FileExists(path)) return AutostartStatus::NoEntry;
    // A hidden entry is a deleted one.
    if (IniReadString(path, kGroup, "Hidden", "") == "true") return AutostartStatus::NoEntry;
    auto program = DesktopExecProgram(IniReadString(path, kGroup, "Exec", ""));
    if (!program) return AutostartStatus::NoEntry;
    value.program = *program;
    value.type = IniReadString(path, kGroup, kTypeKey, "REG_SZ");
    return AutostartStatus::Ok;
}

bool AutostartFolderWritable() {
    const std::string folder = AutostartDirectory();
    return IsDirectory(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool CreateAutostartFolder() {
    const std::string folder = AutostartDirectory();
    if (folder.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return IsDirectory(folder);
}

bool WriteAutostart(const std::string& name, const std::string& program) {
    const std::string path = EntryPath(name);
    if (path.empty()) return false;
    const std::string text = std::string("[Desktop Entry]\n") +
                             "Type=Application\n"
                             "Name=" +
                             EscapeString(name) + "\nExec=" + DesktopExecValue(program) +
                             // A program removed since (apt remove) is skipped by the desktop.
                             "\nTryExec=" + EscapeString(program) + "\nTerminal=false\n" +
                             kTypeKey + "=REG_SZ\n";
    return WriteFileAtomic(path, text);
}

bool RemoveAutostart(const std::string& name) {
    if (!IsDirectory(AutostartDirectory())) return false;
    std::error_code error;
    std::filesystem::remove(EntryPath(name), error);
    return !error;
}

}  // namespace platform
