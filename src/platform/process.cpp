#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

extern char** environ;

namespace platform {
namespace {

// The argument vector of `program` with `args`, as exec takes it (pointing into both).
std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

bool Spawn(const std::string& program, const std::vector<std::string>& args, bool searchPath,
           const std::string& outputPath = {}) {
    if (program.empty()) return false;
    if (!searchPath && ::access(program.c_str(), X_OK) != 0) return false;
    std::vector<char*> argv = Argv(program, args);
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

// Reads the output of `pid` from `fd` until it has ended, then hands over the outcome, then
// keeps reading (and dropping) until every writer has closed the pipe.
void CollectOutput(pid_t pid, int fd, const std::function<void(const ProgramOutcome&)>& done) {
    ProgramOutcome outcome;
    char buffer[4096];
    auto keep = [&](ssize_t length) {
        size_t room = kMaxCollectedOutput - outcome.output.size();
        outcome.output.append(buffer, std::min(static_cast<size_t>(length), room));
    };
    bool open = true;
    for (bool ended = false; !ended;) {
        if (open) {
            pollfd readable{fd, POLLIN, 0};
            if (::poll(&readable, 1, 100) > 0) {
                ssize_t length = ::read(fd, buffer, sizeof buffer);
                if (length > 0) {
                    keep(length);
                    continue;
                }
                if (length == 0 || (errno != EINTR && errno != EAGAIN)) open = false;
            }
        }
        int status = 0;
        pid_t waited = ::waitpid(pid, &status, open ? WNOHANG : 0);
        if (waited == pid) {
            ended = true;
            outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        } else if (waited < 0 && errno != EINTR) {
            ended = true;
        }
    }
    if (open) {
        // What the program wrote before it ended is still in the pipe.
        int flags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        for (ssize_t length; (length = ::read(fd, buffer, sizeof buffer)) > 0;) keep(length);
        ::fcntl(fd, F_SETFL, flags);
    }
    done(outcome);
    while (open) {
        ssize_t length = ::read(fd, buffer, sizeof buffer);
        open = length > 0 || (length < 0 && errno == EINTR);
    }
    ::close(fd);
}

}  // namespace

bool RunCollectingOutput(const std::string& program, const std::vector<std::string>& args,
                         std::function<void(const ProgramOutcome&)> done) {
    if (program.empty()) return false;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    std::vector<char*> argv = Argv(program, args);
    pid_t pid;
    int rc = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (rc != 0) {
        ::close(pipeEnds[0]);
        return false;
    }
    std::thread([pid, fd = pipeEnds[0], done = std::move(done)] {
        CollectOutput(pid, fd, done);
    }).detach();
    return true;
}

bool StartProgram(const std::string& program, const std::vector<std::string>& args) {
    return Spawn(program, args, false);
}

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    // access() grants root every file; a program needs at least one execute bit even then.
    return ::access(path.c_str(), X_OK) == 0 && (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH));
}

bool OpenWithDefaultHandler(const std::string& target, const std::string& outputPath) {
    if (target.empty()) return false;
    return Spawn("xdg-open", {target}, true, outputPath);
}

}  // namespace platform
