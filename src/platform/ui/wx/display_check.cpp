#include "platform/ui/wx/display_check.h"

#include <xcb/xcb.h>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace ui::wxkit {

namespace {

// One connection attempt, shared with the thread that makes it: a thread still blocked when
// the caller gives up keeps the state alive and closes its connection once it returns.
struct Attempt {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int error = 0;
};

bool UsesX(const char* waylandDisplay, const char* gdkBackend) {
    bool wayland = waylandDisplay != nullptr && *waylandDisplay != '\0';
    bool forcedX = gdkBackend != nullptr && std::strncmp(gdkBackend, "x11", 3) == 0;
    return !wayland || forcedX;
}

std::string Reason(int error) {
    switch (error) {
        case XCB_CONN_CLOSED_PARSE_ERR:
            return "is not a display name";
        case XCB_CONN_CLOSED_INVALID_SCREEN:
            return "has no such screen";
        default:
            return "cannot be opened";
    }
}

}  // namespace

bool DisplayAnswers(const char* display, const char* waylandDisplay, const char* gdkBackend,
                    std::chrono::milliseconds timeout, std::string* why) {
    if (!UsesX(waylandDisplay, gdkBackend)) return true;
    std::string name = display != nullptr ? display : "";
    auto attempt = std::make_shared<Attempt>();
    std::thread([attempt, name] {
        xcb_connection_t* connection = xcb_connect(name.empty() ? nullptr : name.c_str(), nullptr);
        int error = xcb_connection_has_error(connection);
        xcb_disconnect(connection);
        std::lock_guard<std::mutex> lock(attempt->mutex);
        attempt->error = error;
        attempt->done = true;
        attempt->finished.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(attempt->mutex);
    if (!attempt->finished.wait_for(lock, timeout, [&] { return attempt->done; })) {
        if (why != nullptr) {
            *why = "the display \"" + name + "\" does not answer within " +
                   std::to_string(timeout.count()) + " ms";
        }
        return false;
    }
    if (attempt->error == 0) return true;
    if (why != nullptr) *why = "the display \"" + name + "\" " + Reason(attempt->error);
    return false;
}

}  // namespace ui::wxkit
