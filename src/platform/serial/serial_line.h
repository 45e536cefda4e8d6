// A serial port opened for a program that owns it: raw 8-bit mode, exclusive, one reader
// thread that waits in poll() and hands over what arrives. Hang-up (an unplugged device, a
// closed pseudo-terminal) ends the reader and is reported once; nothing reopens the port.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/serving_wait.h"

namespace platform {

class SerialLine {
  public:
    struct Handlers {
        // Bytes as they arrive, on the reader thread.
        std::function<void(std::string_view bytes)> received;
        // The device hung up or failed; called once, on the reader thread, which then ends.
        std::function<void()> hungUp;
        // Milliseconds until `timer` should run, negative for never; asked before each wait.
        std::function<int()> nextTimeout;
        std::function<void()> timer;
        // How Stop waits for the reader: a handler may be sending to the window thread.
        ServingWait stopWait;
    };

    // Opens `node` (O_NOCTTY, non-blocking, close-on-exec, TIOCEXCL), sets raw 8N1 at
    // 115200 with CLOCAL and CREAD and no flow control, and drops whatever was waiting either
    // way (tcflush, then reading what is still there). Null on failure with the reason in
    // `error`.
    static std::unique_ptr<SerialLine> Open(const std::string& node, std::string& error);
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Starts the reader thread; false when it cannot be started or runs already.
    bool Start(Handlers handlers);
    // Writes every byte, waiting at most `timeoutMs` for the device to take them.
    bool Write(std::string_view bytes, int timeoutMs = 1000);
    // Makes the reader ask `nextTimeout` again.
    void Wake();
    // Ends the reader thread and waits for it (from the reader thread itself it only asks the
    // thread to end; on the window thread the wait serves sent messages, through the handlers'
    // stopWait). The port stays open until destruction.
    void Stop();
    bool HungUp() const { return hungUp_; }
    const std::string& Node() const { return node_; }

  private:
    SerialLine(int fd, int wakeFd, std::string node) : fd_(fd), wakeFd_(wakeFd), node_(node) {}
    void Run();

    int fd_;
    int wakeFd_;  // an eventfd: stop and re-time requests
    std::string node_;
    Handlers handlers_;
    std::thread reader_;
    std::mutex writeMutex_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> hungUp_{false};
    std::atomic<bool> running_{false};  // the reader thread has not finished Run
};

}  // namespace platform
