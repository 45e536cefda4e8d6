#include "process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace platform {
namespace {

bool Spawn(const std::string& program, const std::vector<std::string>& args, bool searchPath) {
    if (program.empty()) return false;
    if (!searchPath && ::access(program.c_str(), X_OK) != 0) return false;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int rc = searchPath
                 ? ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
                 : ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) return false;
    // The caller does not wait; a detached reaper keeps the child from lingering as a zombie.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
}

}  // namespace

bool StartProgram(const std::string& program, const std::vector<std::string>& args) {
    return Spawn(program, args, false);
}

bool OpenWithDefaultHandler(const std::string& target) {
    if (target.empty()) return false;
    return Spawn("xdg-open", {target}, true);
}

}  // namespace platform
