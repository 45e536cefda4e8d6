// The control socket of satview-cardsim: a Unix stream socket that takes one command line per
// connection and answers with one reply (which may span lines), then closes.
//
// A request is "[card <n|id>] <command>": the command goes to the n-th card (from 1) or to
// the card of that id, to the first card without the prefix. "cards" lists the cards. The
// commands themselves are those of Card::Control.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cardsim/card.h"
#include "platform/single_instance.h"

namespace cardsim {

// How many simulators may run side by side with default control sockets.
inline constexpr int kMaxSimulators = 32;

// Where the n-th simulator's control socket lives unless told otherwise: next to the ports
// folder, "cardsim.sock" for the first, "cardsim-<n>.sock" for the others.
std::string DefaultControlSocket(int n = 1);

class ControlServer {
  public:
    explicit ControlServer(std::vector<Card*> cards) : cards_(std::move(cards)) {}
    // Stops listening and removes the socket file.
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens on `path`, owner-only whatever the umask. The socket is held through a lock on
    // "<path>.lock": a socket file left by an ended simulator is replaced, one that another
    // running simulator holds is left alone (false, with `taken` set). False with the reason
    // in `error`.
    bool Listen(const std::string& path, std::string& error, bool* taken = nullptr);
    int Fd() const { return fd_; }
    // Accepts one waiting client and answers it; a client that says nothing for a second or
    // goes away is dropped.
    void ServeOne();
    // The reply to one request line.
    std::string Handle(const std::string& request);

  private:
    std::vector<Card*> cards_;
    std::unique_ptr<platform::InstanceLock> lock_;
    int fd_ = -1;
    std::string path_;
};

// Sends one request to the simulator listening on `path` and returns its reply; false with
// the reason in `reply` when no simulator answers.
bool SendControlRequest(const std::string& path, const std::string& request, std::string& reply);

}  // namespace cardsim
