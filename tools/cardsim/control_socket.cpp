#include "cardsim/control_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "platform/ports/ports.h"
#include "platform/runtime_folder.h"

namespace cardsim {

namespace {

bool Address(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int Connect(const std::string& path) {
    sockaddr_un address;
    if (!Address(path, address)) return -1;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until `stop` is seen or the peer closes, within `limitMs` for each wait.
std::string ReadText(int fd, int limitMs, char stop) {
    std::string text;
    char buffer[1024];
    while (text.size() < 65536) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, limitMs) <= 0) break;
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
        if (stop && text.find(stop) != std::string::npos) break;
    }
    return text;
}

void WriteText(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

}  // namespace

std::string DefaultControlSocket(int n) {
    std::string name = n <= 1 ? "cardsim.sock" : "cardsim-" + std::to_string(n) + ".sock";
    return (std::filesystem::path(platform::PortsDirectory()).parent_path() / name).string();
}

ControlServer::~ControlServer() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
}

bool ControlServer::Listen(const std::string& path, std::string& error, bool* taken) {
    if (taken) *taken = false;
    sockaddr_un address;
    if (!Address(path, address)) {
        error = "the control socket path is empty or too long: " + path;
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    platform::InstanceLock::Outcome outcome;
    lock_ = platform::InstanceLock::AcquireFile(path + ".lock", outcome);
    if (!lock_) {
        if (taken) *taken = outcome == platform::InstanceLock::Outcome::HeldElsewhere;
        error = outcome == platform::InstanceLock::Outcome::HeldElsewhere
                    ? "another simulator listens on " + path + " (give this one --socket)"
                    : "cannot lock " + path + ".lock: " + std::strerror(errno);
        return false;
    }
    ::unlink(path.c_str());  // stale: its simulator ended without removing it
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0 || !platform::BindOwnerOnly(fd_, path) || ::listen(fd_, 8) != 0) {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        lock_.reset();
        return false;
    }
    path_ = path;
    return true;
}

void ControlServer::ServeOne() {
    int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    std::string request = ReadText(client, 1000, '\n');
    if (size_t end = request.find('\n'); end != std::string::npos) request.resize(end);
    if (!request.empty() && request.back() == '\r') request.pop_back();
    WriteText(client, Handle(request) + "\n");
    ::close(client);
}

std::string ControlServer::Handle(const std::string& request) {
    std::istringstream in(request);
    std::string first;
    in >> first;
    if (first == "cards") {
        std::string reply = "ok";
        for (size_t i = 0; i < cards_.size(); ++i) {
            reply += '\n';
            reply += std::to_string(i + 1) + " " + cards_[i]->Id() + " " +
                     cards_[i]->Control("status").substr(3);
        }
        return reply;
    }
    if (cards_.empty()) return "error: no card";
    Card* card = cards_.front();
    std::string command = request;
    if (first == "card") {
        std::string which;
        in >> which;
        card = nullptr;
        for (size_t i = 0; i < cards_.size(); ++i) {
            if (which == std::to_string(i + 1) || which == cards_[i]->Id()) card = cards_[i];
        }
        if (!card) return "error: no card \"" + which + "\" (try cards)";
        std::getline(in >> std::ws, command);
    }
    return card->Control(command);
}

bool SendControlRequest(const std::string& path, const std::string& request, std::string& reply) {
    int fd = Connect(path);
    if (fd < 0) {
        reply = "no simulator listens on " + path;
        return false;
    }
    WriteText(fd, request + "\n");
    reply = ReadText(fd, 5000, '\0');
    ::close(fd);
    while (!reply.empty() && reply.back() == '\n') reply.pop_back();
    return true;
}

}  // namespace cardsim
