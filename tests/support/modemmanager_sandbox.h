// The real ModemManager for a test program, on a private bus and without touching the system
// (modemmanager_sandbox.sh): started on first use, shared by every test of the program, stopped
// at exit. Simulated cards (in the ModemManager dialect) are handed to it in slots 1..4, and it
// may be restarted (told of the cards again, as udev tells a ModemManager that starts).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <thread>

#include "temp_dir.h"

#ifndef MODEMMANAGER_SANDBOX_SCRIPT
#error "define MODEMMANAGER_SANDBOX_SCRIPT as the path of modemmanager_sandbox.sh"
#endif

namespace testing_support {

// Waits up to `limit` for `test` to hold.
inline bool WaitFor(const std::function<bool()>& test,
                    std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!test()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class ModemManagerSandbox {
  public:
    static constexpr int kSlots = 4;

    // Why ModemManager cannot run here; empty when it can.
    static std::string Unavailable() {
        if (std::system("PATH=$PATH:/usr/sbin:/sbin ModemManager --version >/dev/null 2>&1") != 0)
            return "ModemManager is not installed (Debian package modemmanager)";
        if (std::system("command -v busctl dbus-daemon unshare >/dev/null 2>&1") != 0)
            return "busctl, dbus-daemon or unshare is missing";
        if (std::system("/usr/bin/python3 -c 'import dbusmock' >/dev/null 2>&1") != 0)
            return "python3-dbusmock is missing (the mock polkit)";
        return "";
    }

    static ModemManagerSandbox& Shared() {
        static ModemManagerSandbox sandbox;
        return sandbox;
    }

    ModemManagerSandbox() {
        auto start = std::chrono::steady_clock::now();
        std::string logPath = dir_ / "sandbox.log", slots = std::to_string(kSlots);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0);
            int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(log, 1);
            ::dup2(log, 2);
            ::execl("/bin/sh", "sh", MODEMMANAGER_SANDBOX_SCRIPT, dir_.path().c_str(),
                    slots.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        up_ = WaitFor([&] {
            return Call(
                       "call org.freedesktop.ModemManager1 "
                       "/org/freedesktop/ModemManager1 org.freedesktop.DBus."
                       "Properties Get ss org.freedesktop.ModemManager1 Version")
                .ok;
        });
        startup_ = std::chrono::steady_clock::now() - start;
    }
    ~ModemManagerSandbox() {
        if (pid_ <= 0) return;
        ::kill(-pid_, SIGTERM);
        if (!WaitFor([&] { return ::waitpid(pid_, nullptr, WNOHANG) == pid_; },
                     std::chrono::seconds(5))) {
            ::kill(-pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::kill(-pid_, SIGKILL);  // the bus, which outlives its parent on SIGTERM
    }
    ModemManagerSandbox(const ModemManagerSandbox&) = delete;
    ModemManagerSandbox& operator=(const ModemManagerSandbox&) = delete;

    // Whether the mock polkit grants what ModemManager asks for it (at first it does).
    bool Authorize(bool allow) const {
        return Call(
                   "call org.freedesktop.PolicyKit1 /org/freedesktop/PolicyKit1/Authority "
                   "org.freedesktop.DBus.Mock AllowUnknown b " +
                   std::string(allow ? "true" : "false"))
            .ok;
    }

    // ModemManager owns its name on the private bus.
    bool Up() const { return up_; }
    std::chrono::steady_clock::duration Startup() const { return startup_; }
    std::string Address() const { return "unix:path=" + dir_ / "bus"; }
    std::string Log() const { return Read(dir_ / "modemmanager.log"); }

    struct Result {
        bool ok = false;
        std::string out;  // standard output
    };
    // busctl on the private bus: `arguments` as on its command line (shell words).
    Result Call(const std::string& arguments) const {
        std::string out = dir_ / "busctl.out";
        int status = std::system(
            ("busctl --address=" + Address() + " " + arguments + " >" + out + " 2>" + out + ".err")
                .c_str());
        return {WIFEXITED(status) && WEXITSTATUS(status) == 0, Read(out)};
    }
    // mmcli on the private bus (another client of ModemManager): `arguments` as on its command
    // line.
    Result Mmcli(const std::string& arguments) const {
        std::string out = dir_ / "mmcli.out";
        int status = std::system(
            ("DBUS_SYSTEM_BUS_ADDRESS=" + Address() + " mmcli " + arguments + " >" + out + " 2>&1")
                .c_str());
        return {WIFEXITED(status) && WEXITSTATUS(status) == 0, Read(out)};
    }
    // One property of ModemManager's object `path` as busctl prints it ("s \"Telit\"", "u 6").
    std::string Property(const std::string& path, const std::string& interface,
                         const std::string& name) const {
        return Call("get-property org.freedesktop.ModemManager1 " + path + " " + interface + " " +
                    name)
            .out;
    }

    // Hands the card with these ports to ModemManager, in `slot` (1..kSlots).
    bool AddCard(int slot, const std::string& atNode, const std::string& gpsNode) {
        bool ok = true;
        for (const auto& [port, node] : {std::pair{"at", atNode}, std::pair{"gps", gpsNode}}) {
            std::string link = PortLink(slot, port);
            std::filesystem::remove(link);
            std::filesystem::create_symlink(node, link);
            ok = KernelEvent("add", slot, port) && ok;
        }
        slots_.insert(slot);
        return ok;
    }
    // The card in `slot` goes, as when it is pulled out.
    bool RemoveCard(int slot) {
        slots_.erase(slot);
        bool gps = KernelEvent("remove", slot, "gps");
        return KernelEvent("remove", slot, "at") && gps;
    }
    // ModemManager ends and starts again on the same bus, then is told of the cards it had
    // (as udev's list tells it); true once it answers again.
    bool Restart() {
        pid_t before = Pid();
        if (before <= 0 || ::kill(before, SIGTERM) != 0) return false;
        bool ended = WaitFor([&] { return ::kill(before, 0) != 0; }, std::chrono::seconds(20));
        if (!ended) ::kill(before, SIGKILL);
        bool back = WaitFor(
            [&] {
                return Pid() != before && Pid() > 0 &&
                       Call(
                           "call org.freedesktop.ModemManager1 /org/freedesktop/ModemManager1 "
                           "org.freedesktop.DBus.Properties Get ss "
                           "org.freedesktop.ModemManager1 Version")
                           .ok;
            },
            std::chrono::seconds(20));
        bool told = true;
        for (int slot : slots_) {
            for (const char* port : {"at", "gps"}) told = KernelEvent("add", slot, port) && told;
        }
        return back && told;
    }
    // The path of the modem object of the card in `slot`; empty while there is none.
    std::string ModemPath(int slot) const {
        std::string tree = Call("tree --list org.freedesktop.ModemManager1").out;
        std::regex modem("/org/freedesktop/ModemManager1/Modem/[0-9]+");
        for (std::sregex_iterator it(tree.begin(), tree.end(), modem), end; it != end; ++it) {
            if (Property(it->str(), "org.freedesktop.ModemManager1.Modem", "Device") ==
                "s \"" + Uid(slot) + "\"\n")
                return it->str();
        }
        return "";
    }
    static std::string Uid(int slot) { return "satview-card" + std::to_string(slot); }

  private:
    static std::string Read(const std::string& path) {
        std::string text;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
            std::fclose(f);
        }
        return text;
    }
    pid_t Pid() const {
        std::string text = Read(dir_ / "modemmanager.pid");
        return text.empty() ? -1 : static_cast<pid_t>(std::atol(text.c_str()));
    }
    std::string PortLink(int slot, const std::string& port) const {
        return dir_ / ("card" + std::to_string(slot) + "-" + port);
    }
    bool KernelEvent(const std::string& action, int slot, const std::string& port) const {
        return Call(
                   "call org.freedesktop.ModemManager1 /org/freedesktop/ModemManager1 "
                   "org.freedesktop.ModemManager1 ReportKernelEvent a{sv} 4 action s " +
                   action + " subsystem s tty name s ../../.." + PortLink(slot, port) + " uid s " +
                   Uid(slot))
            .ok;
    }

    TempDir dir_;
    std::set<int> slots_;  // the cards handed to it
    pid_t pid_ = -1;
    bool up_ = false;
    std::chrono::steady_clock::duration startup_{};
};

}  // namespace testing_support
