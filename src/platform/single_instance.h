// One running instance per user: an exclusive lock on a file in the user's runtime folder, and
// a Unix socket beside it through which a later instance asks the running one to bring its
// window forward.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/runtime_folder.h"

namespace platform {

// Holds an exclusive lock on "<runtime folder>/<name>.lock" (RuntimeDirectory()) until
// destroyed (or the process ends, whatever way it ends).
class InstanceLock {
  public:
    enum class Outcome { Acquired, HeldElsewhere, Failed };
    // Acquired: the lock is ours. HeldElsewhere: another process (or another lock object of
    // this one) holds it. Failed: the runtime folder is refused (traced) or the file cannot be
    // made; no lock is held.
    static std::unique_ptr<InstanceLock> Acquire(const std::string& name, Outcome& outcome);
    // The same lock on the file `path` (created 0600 when missing, never through a link).
    static std::unique_ptr<InstanceLock> AcquireFile(const std::string& path, Outcome& outcome);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

  private:
    explicit InstanceLock(int fd) : fd_(fd) {}
    int fd_;
};

// Listens on "<runtime folder>/<name>.sock" (owner-only) and calls `onRequest` on its own thread
// for each request to bring the window forward; answers the asking instance once `onRequest`
// returned.
class RaiseListener {
  public:
    // Null when the socket cannot be made. A socket file left by an ended process is replaced.
    static std::unique_ptr<RaiseListener> Start(const std::string& name,
                                                std::function<void()> onRequest);
    // Stops listening, waits for a request in progress and removes the socket file.
    ~RaiseListener();
    RaiseListener(const RaiseListener&) = delete;
    RaiseListener& operator=(const RaiseListener&) = delete;

  private:
    RaiseListener(int listenFd, int stopFd, std::string path, std::function<void()> onRequest);
    void Run();

    int listenFd_;
    int stopFd_;
    std::string path_;
    std::function<void()> onRequest_;
    std::thread thread_;
};

// Asks the instance listening under `name` to bring its window forward. True when it answered
// within `timeoutMilliseconds`; false when nobody listens (nothing is brought forward).
bool AskToRaise(const std::string& name, int timeoutMilliseconds = 2000);

// True when another process holds the lock of InstanceLock::Acquire(name). Looks with a
// shared lock taken and dropped at once; creates nothing.
bool InstanceLockHeld(const std::string& name);

}  // namespace platform
