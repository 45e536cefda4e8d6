#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <thread>

#include "platform/ports/ports.h"
#include "port_trace.h"
#include "virtual_ports.h"

namespace platform {

struct PortMonitor::Impl {
    Callback callback;
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    int inotifyFd = -1;
    int folderWatch = -1;
    int ptsWatch = -1;
    int stopFd = -1;
    std::vector<SerialPort> present;
    std::thread thread;

    ~Impl() {
        if (monitor) udev_monitor_unref(monitor);
        if (context) udev_unref(context);
        if (inotifyFd >= 0) ::close(inotifyFd);
        if (stopFd >= 0) ::close(stopFd);
    }

    void WatchUdev() {
        context = udev_new();
        if (!context) return;
        monitor = udev_monitor_new_from_netlink(context, "udev");
        if (!monitor ||
            udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor) < 0) {
            ports_detail::TraceOnce("cannot watch udev for serial ports");
            if (monitor) udev_monitor_unref(monitor);
            monitor = nullptr;
        }
    }

    void WatchFolder() {
        std::string dir = PortsDirectory();
        inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotifyFd < 0) return;
        std::string why = "cannot watch the ports folder " + dir;
        if (PreparePortsDirectory(&why)) {
            folderWatch = ::inotify_add_watch(inotifyFd, dir.c_str(),
                                              IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                                                  IN_DELETE | IN_DONT_FOLLOW | IN_ONLYDIR);
        }
        if (folderWatch < 0) {
            ports_detail::TraceOnce(why);
            ::close(inotifyFd);
            inotifyFd = -1;
            return;
        }
        // A virtual port's owner that dies without removing its file takes its pseudo-terminal
        // with it: the node's removal tells.
        ptsWatch = ::inotify_add_watch(inotifyFd, "/dev/pts", IN_DELETE);
    }

    bool IsPresent(const std::string& node) const {
        for (const SerialPort& port : present) {
            if (port.node == node) return true;
        }
        return false;
    }

    // Reads what is waiting; true when something may have changed the list.
    bool DrainUdev() {
        bool any = false;
        while (udev_device* device = udev_monitor_receive_device(monitor)) {
            udev_device_unref(device);
            any = true;
        }
        return any;
    }

    bool DrainFolder() {
        alignas(inotify_event) std::array<char, 4096> buffer;
        bool any = false;
        for (;;) {
            ssize_t n = ::read(inotifyFd, buffer.data(), buffer.size());
            if (n <= 0) break;
            for (ssize_t at = 0; at < n;) {
                auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
                std::string_view name = event->len ? event->name : "";
                if (event->mask & IN_Q_OVERFLOW) any = true;
                if (event->wd == folderWatch && name.ends_with(".port")) any = true;
                if (event->wd == ptsWatch && IsPresent("/dev/pts/" + std::string(name))) any = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return any;
    }

    void Run() {
        for (;;) {
            std::array<pollfd, 3> fds{};
            fds[0] = {stopFd, POLLIN, 0};
            fds[1] = {monitor ? udev_monitor_get_fd(monitor) : -1, POLLIN, 0};
            fds[2] = {inotifyFd, POLLIN, 0};
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                ports_detail::TraceOnce("the port monitor stopped: poll failed");
                return;
            }
            if (fds[0].revents) return;
            bool changed = false;
            if (fds[1].revents) changed = DrainUdev() || changed;
            if (fds[2].revents) changed = DrainFolder() || changed;
            if (!changed) continue;
            std::vector<SerialPort> now = ListSerialPorts();
            if (now == present) continue;
            present = std::move(now);
            callback(present);
        }
    }
};

PortMonitor::PortMonitor(Callback callback) : impl_(std::make_unique<Impl>()) {
    impl_->callback = std::move(callback);
    impl_->stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // Watch first, then list, so that nothing that happens in between is missed.
    impl_->WatchUdev();
    impl_->WatchFolder();
    impl_->present = ListSerialPorts();
    if (impl_->stopFd >= 0 && Watching()) impl_->thread = std::thread([this] { impl_->Run(); });
}

PortMonitor::~PortMonitor() {
    if (impl_->thread.joinable()) {
        uint64_t one = 1;
        while (::write(impl_->stopFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
        impl_->thread.join();
    }
}

bool PortMonitor::Watching() const {
    return impl_->monitor || impl_->inotifyFd >= 0;
}

}  // namespace platform
