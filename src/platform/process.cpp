#include "process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace platform {
namespace {

bool Spawn(const std::string& program, const std::vector<std::string>& args, bool searchPath,
           const std::string& outputPath = {}) {
    if (program.empty()) return false;
    if (!searchPath && ::access(program.c_str(), X_OK) != 0) return false;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_t* files = nullptr;
    if (!outputPath.empty()) {
        files = &actions;
        ::posix_spawn_file_actions_init(files);
        ::posix_spawn_file_actions_addopen(files, 0, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(files, 1, outputPath.c_str(),
                                           O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW, 0600);
        ::posix_spawn_file_actions_adddup2(files, 1, 2);
    }
    pid_t pid;
    int rc = searchPath
                 ? ::posix_spawnp(&pid, program.c_str(), files, nullptr, argv.data(), environ)
                 : ::posix_spawn(&pid, program.c_str(), files, nullptr, argv.data(), environ);
    if (files) ::posix_spawn_file_actions_destroy(files);
    if (rc != 0) return false;
    // The caller does not wait; a detached reaper keeps the child from lingering as a zombie.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
}

}  // namespace

bool StartProgram(const std::string& program, const std::vector<std::string>& args) {
    return Spawn(program, args, false);
}

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    // access() grants root every file; a program needs at least one execute bit even then.
    return ::access(path.c_str(), X_OK) == 0 && (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH));
}

bool OpenWithDefaultHandler(const std::string& target) {
    if (target.empty()) return false;
    return Spawn("xdg-open", {target}, true);
}

bool OpenWithDefaultHandler(const std::string& target, const std::string& outputPath) {
    if (target.empty()) return false;
    return Spawn("xdg-open", {target}, true, outputPath);
}

}  // namespace platform
