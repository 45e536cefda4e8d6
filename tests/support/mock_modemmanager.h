// A mock of ModemManager's D-Bus API (python3-dbusmock) on a private bus, for what the real
// ModemManager cannot be made to show: its objects and methods are set up by the test through
// busctl and the mock's own interface (org.freedesktop.DBus.Mock), and the mock may be started
// late, stopped and started again on the same bus (ModemManager restarting).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "modemmanager_sandbox.h"
#include "temp_dir.h"

namespace testing_support {

inline pid_t SpawnLogged(const std::vector<std::string>& args, const std::string& log,
                         const std::string& busAddress = "") {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        if (!busAddress.empty()) ::setenv("DBUS_SESSION_BUS_ADDRESS", busAddress.c_str(), 1);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

inline void EndGroup(pid_t pid) {
    if (pid <= 0) return;
    ::kill(-pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

class MockModemManager {
  public:
    static constexpr const char* kRoot = "/org/freedesktop/ModemManager1";

    // Why the mock cannot run here; empty when it can.
    static std::string Unavailable() {
        if (std::system("/usr/bin/python3 -c 'import dbusmock' >/dev/null 2>&1") != 0 ||
            std::system("command -v busctl dbus-daemon >/dev/null 2>&1") != 0) {
            return "python3-dbusmock, busctl or dbus-daemon is missing";
        }
        return "";
    }

    // The bus, and on it the mock unless `startMock` is false (StartMock then).
    explicit MockModemManager(bool startMock = true) {
        std::ofstream(dir_.path() + "/bus.conf")
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
               "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\"><busconfig>"
               "<type>session</type><listen>unix:path="
            << dir_.path() << "/bus</listen><auth>EXTERNAL</auth><policy context=\"default\">"
            << "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "<allow own=\"*\"/></policy></busconfig>\n";
        bus_ =
            SpawnLogged({"dbus-daemon", "--config-file=" + dir_.path() + "/bus.conf", "--nofork"},
                        dir_.path() + "/bus.log");
        up_ = WaitFor([&] { return ::access((dir_.path() + "/bus").c_str(), F_OK) == 0; },
                      std::chrono::seconds(5));
        if (up_ && startMock) up_ = StartMock();
    }
    ~MockModemManager() {
        StopMock();
        EndGroup(bus_);
    }
    MockModemManager(const MockModemManager&) = delete;
    MockModemManager& operator=(const MockModemManager&) = delete;

    // ModemManager's name taken by a fresh mock with no modem; true once it answers.
    bool StartMock() {
        StopMock();
        mock_ =
            SpawnLogged({"/usr/bin/python3", "-m", "dbusmock", "-m",
                         "org.freedesktop.ModemManager1", kRoot, "org.freedesktop.ModemManager1"},
                        dir_.path() + "/mock.log", Address());
        return WaitFor([&] { return Busctl("status org.freedesktop.ModemManager1"); },
                       std::chrono::seconds(10));
    }
    // The mock leaves the bus, as ModemManager stopping.
    void StopMock() {
        EndGroup(mock_);
        mock_ = -1;
    }

    bool Up() const { return up_; }
    std::string Address() const { return "unix:path=" + dir_.path() + "/bus"; }
    // Where the managers of a test keep what they changed on the mock's modems.
    std::string ChangesFolder() const { return dir_.path() + "/changes"; }
    std::string Log() const {
        std::ifstream in(dir_.path() + "/mock.log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // What busctl prints for `arguments`.
    std::string Output(const std::string& arguments) const {
        std::string text;
        if (FILE* out =
                ::popen(("busctl --address=" + Address() + " -- " + arguments).c_str(), "r")) {
            char buffer[256];
            while (size_t n = std::fread(buffer, 1, sizeof buffer, out)) text.append(buffer, n);
            ::pclose(out);
        }
        return text;
    }
    bool Busctl(const std::string& arguments) const {
        return std::system(
                   ("busctl --address=" + Address() + " -- " + arguments + " >/dev/null 2>&1")
                       .c_str()) == 0;
    }
    // A call of the mock's own interface on its object `path`.
    bool Mock(const std::string& path, const std::string& arguments) const {
        return Busctl("call org.freedesktop.ModemManager1 " + path + " org.freedesktop.DBus.Mock " +
                      arguments);
    }
    // Sets a property of the modem object `path` (the mock tells it with PropertiesChanged).
    bool Set(const std::string& path, const std::string& interface, const std::string& name,
             const std::string& typeAndValue) const {
        return Busctl("call org.freedesktop.ModemManager1 " + path +
                      " org.freedesktop.DBus.Properties Set ssv " + interface + " " + name + " " +
                      typeAndValue);
    }
    // The calls of `method` the mock's object `path` got, as busctl prints them.
    std::string Calls(const std::string& path, const std::string& method) const {
        return Output("call org.freedesktop.ModemManager1 " + path +
                      " org.freedesktop.DBus.Mock GetMethodCalls s " + method);
    }
    // The object goes, announced as ModemManager announces it (the mock does not).
    bool RemoveModem(const std::string& path) const {
        return Mock(kRoot, "RemoveObject o " + path) &&
               Mock(kRoot,
                    "EmitSignal sssav org.freedesktop.DBus.ObjectManager "
                    "InterfacesRemoved oas 2 o " +
                        path +
                        " as 2 org.freedesktop.ModemManager1.Modem "
                        "org.freedesktop.ModemManager1.Modem.Location");
    }

  private:
    TempDir dir_;
    pid_t bus_ = -1, mock_ = -1;
    bool up_ = false;
};

}  // namespace testing_support
