// The control socket of satview-cardsim: a Unix stream socket that takes one command line per
// connection and answers with one reply (which may span lines), then closes.
//
// A request is "[card <n|id>] <command>": the command goes to the n-th card (from 1) or to
// the card of that id, to the first card without the prefix. "cards" lists the cards. The
// commands themselves are those of Card::Control.
#pragma once

#include <string>
#include <vector>

#include "cardsim/card.h"

namespace cardsim {

// Where the control socket lives unless told otherwise: next to the ports folder.
std::string DefaultControlSocket();

class ControlServer {
  public:
    explicit ControlServer(std::vector<Card*> cards) : cards_(std::move(cards)) {}
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens on `path`. A stale socket file is replaced; a socket that another simulator
    // answers on is not. False with the reason in `error`.
    bool Listen(const std::string& path, std::string& error);
    int Fd() const { return fd_; }
    // Accepts one waiting client and answers it; a client that says nothing for a second or
    // goes away is dropped.
    void ServeOne();
    // The reply to one request line.
    std::string Handle(const std::string& request);

  private:
    std::vector<Card*> cards_;
    int fd_ = -1;
    std::string path_;
};

// Sends one request to the simulator listening on `path` and returns its reply; false with
// the reason in `reply` when no simulator answers.
bool SendControlRequest(const std::string& path, const std::string& request, std::string& reply);

}  // namespace cardsim
