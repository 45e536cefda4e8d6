// satview-cardsim: one or more simulated data cards on pseudo-terminals, until SIGINT or
// SIGTERM; "satview-cardsim ctl ..." acts on a running one through its control socket.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "cardsim/card.h"
#include "cardsim/control_socket.h"
#include "platform/ports/ports.h"
#include "platform/single_instance.h"

namespace {

// The lock that a running Satview (its launcher, Startup) holds in the runtime folder.
constexpr char kSatviewInstance[] = "Tarvek GPS Appliction 1.00";

struct Settings {
    cardsim::CardOptions card;
    std::vector<std::string> models;
    std::string name = "sim";
    std::string sim = "ready";
    double readyAfter = 2, silentAfter = 0, unsolicited = 10;
    int delayMs = 0;
    std::vector<std::string> errorCommands, silentCommands;
    std::string socket;  // empty: the first free default socket
    bool quiet = false;
    std::string dialect = "card";
    bool checkSatview = false;
    bool noGpsPort = false;
    std::string start = "hot";
    std::vector<double> startTimes = {35, 25, 1};  // cold, warm, hot
};

const char* const kAtHelp =
    "AT commands:\n"
    "The simulated card's, on its PC UI port (lines end in CR, LF or both):\n"
    "  AT ATZ ATE0 ATE1 ATV1 AT+CMEE=<n>   basic control, echo off and on\n"
    "  ATI AT+CGMI AT+CGMM AT+CGSN AT+CGMR identification\n"
    "  AT+CPIN? AT+CFUN? AT^SYSINFO        SIM state and readiness\n"
    "  AT+CREG? AT+CREG=<0-2> AT+CSQ       registration and signal\n"
    "  AT^CUSTOMIZE?                       the variant text\n"
    "  AT^GPSTYPE?                         ^GPSTYPE:<0-3>\n"
    "  AT^SOCKETCONT=1,\"IP\",\"<apn>\"  AT^WPURL=<server>  AT^WPDOM=<0-5>\n"
    "  AT^WPDFR=65536,<s>  AT^SECTIME=\"<y>/<m>/<d>,<h>:<m>:<s>\"  AT^WPDGP (probe)\n"
    "  AT^GPSSTART                         starts positioning: NMEA on the GPS port\n"
    "  AT^GPSSTOP                          ends it\n"
    "Unknown commands and malformed arguments answer ERROR.\n"
    "--dialect modemmanager adds what ModemManager sends (identification as its $GPSP GNSS\n"
    "plug-in expects, SIM, registration, AT$GPSP=? AT$GPSP=<0|1> AT$GPSNMUN=...), so that a\n"
    "real ModemManager manages the card and positions with it; its port entries say that\n"
    "ModemManager may claim the ports (modemmanager=1), so Satview leaves them to it.\n";

bool AllDigits(const std::string& word) {
    return !word.empty() && word.find_first_not_of("0123456789") == std::string::npos;
}

// Without --socket: the simulators that run, lowest number first. "card ID" goes to the one
// that has that card; anything else to the first that answers.
int RunControl(const std::string& socket, const std::vector<std::string>& words) {
    std::string request;
    for (const std::string& word : words) request += (request.empty() ? "" : " ") + word;
    std::vector<std::string> sockets;
    for (int n = 1; socket.empty() && n <= cardsim::kMaxSimulators; ++n) {
        std::string path = cardsim::DefaultControlSocket(n);
        if (::access(path.c_str(), F_OK) == 0) sockets.push_back(path);
    }
    if (sockets.empty())
        sockets.push_back(socket.empty() ? cardsim::DefaultControlSocket() : socket);
    bool byId = words.size() > 1 && words[0] == "card" && !AllDigits(words[1]);
    std::string reply, lastReply;
    bool answered = false;
    for (const std::string& path : sockets) {
        if (!cardsim::SendControlRequest(path, request, reply)) {
            if (!answered) lastReply = reply;
            continue;
        }
        answered = true;
        lastReply = reply;
        if (!byId || reply.rfind("error: no card \"", 0) != 0) break;
    }
    if (!answered) {
        std::cerr << "satview-cardsim: " << lastReply << "\n";
        return 2;
    }
    std::cout << lastReply << "\n";
    return lastReply.rfind("error", 0) == 0 ? 1 : 0;
}

// The first free id "<name>-<k>": held through a lock on "<id>.lock" in the ports folder for
// as long as `claims` lives, so that two simulators never share one.
std::string ClaimId(const std::string& name,
                    std::vector<std::unique_ptr<platform::InstanceLock>>& claims) {
    for (int k = 1; k <= 1000; ++k) {
        std::string id = name + "-" + std::to_string(k);
        platform::InstanceLock::Outcome outcome;
        auto claim = platform::InstanceLock::AcquireFile(
            platform::PortsDirectory() + "/" + id + ".lock", outcome);
        if (claim) {
            claims.push_back(std::move(claim));
            return id;
        }
        if (outcome != platform::InstanceLock::Outcome::HeldElsewhere) break;
    }
    return std::string();
}

// Listens on --socket, else on the first default socket no other simulator holds.
bool ListenSomewhere(cardsim::ControlServer& server, std::string& socket, std::string& error) {
    if (!socket.empty()) return server.Listen(socket, error);
    for (int n = 1; n <= cardsim::kMaxSimulators; ++n) {
        bool taken = false;
        socket = cardsim::DefaultControlSocket(n);
        if (server.Listen(socket, error, &taken) || !taken) return !taken;
    }
    error = "every control socket is taken: " + std::to_string(cardsim::kMaxSimulators) +
            " simulators run";
    return false;
}

int RunCards(Settings& s) {
    cardsim::CardOptions& o = s.card;
    if (!cardsim::ParseSimState(s.sim, o.sim)) {
        std::cerr << "satview-cardsim: --sim takes ready, missing, pin or puk\n";
        return 2;
    }
    auto ms = [](double seconds) {
        return cardsim::Milliseconds(static_cast<long>(seconds * 1000));
    };
    cardsim::ParseStartKind(s.start, o.start);
    o.coldStart = ms(s.startTimes[0]);
    o.warmStart = ms(s.startTimes[1]);
    o.hotStart = ms(s.startTimes[2]);
    o.readyAfter = ms(s.readyAfter);
    o.silentAfter = ms(s.silentAfter);
    o.unsolicitedPeriod = ms(s.unsolicited);
    o.answerDelay = cardsim::Milliseconds(s.delayMs);
    for (const std::string& c : s.errorCommands) o.replies[c] = cardsim::Reply::Error;
    for (const std::string& c : s.silentCommands) o.replies[c] = cardsim::Reply::None;
    if (s.models.empty()) s.models.push_back(o.model);
    o.dialect =
        s.dialect == "modemmanager" ? cardsim::Dialect::ModemManager : cardsim::Dialect::Card;

    // SIGINT and SIGTERM arrive through a descriptor, so that the cards are unplugged (and
    // their port files removed) on the way out.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);

    // Everything this simulator will own is claimed before a port appears, so that one that
    // cannot run harms no other.
    std::string error;
    if (!platform::PreparePortsDirectory(&error)) {
        std::cerr << "satview-cardsim: " << error << "\n";
        return 1;
    }
    std::vector<std::unique_ptr<platform::InstanceLock>> claims;
    std::vector<std::unique_ptr<cardsim::Card>> cards;
    std::vector<cardsim::Card*> pointers;
    for (const std::string& model : s.models) {
        cardsim::CardOptions options = o;
        options.model = model;
        options.id = ClaimId(s.name, claims);
        if (options.id.empty()) {
            std::cerr << "satview-cardsim: no free card id " << s.name << "-<n> in "
                      << platform::PortsDirectory() << "\n";
            return 1;
        }
        cards.push_back(std::make_unique<cardsim::Card>(options));
        pointers.push_back(cards.back().get());
    }
    cardsim::ControlServer server(pointers);
    if (!ListenSomewhere(server, s.socket, error)) {
        std::cerr << "satview-cardsim: " << error << "\n";
        return 1;
    }
    for (size_t i = 0; i < cards.size(); ++i) {
        cardsim::Card& card = *cards[i];
        if (!card.Start(&error)) {
            std::cerr << "satview-cardsim: card " << card.Id() << ": " << error << "\n";
            return 1;
        }
        if (!s.quiet) {
            std::cout << card.Id() << " (" << s.models[i] << "): PC UI " << card.AtNode()
                      << ", GPS " << (card.GpsNode().empty() ? "none" : card.GpsNode())
                      << std::endl;
        }
    }
    if (!s.quiet) std::cout << "control socket " << s.socket << std::endl;
    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {server.Fd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents) break;
        if (fds[1].revents) server.ServeOne();
    }
    if (!s.quiet) std::cout << "unplugging" << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Settings s;
    CLI::App app{"A simulated 3G data card with a GPS receiver, on pseudo-terminals."};
    app.footer(kAtHelp);
    app.set_version_flag("--version", "satview-cardsim " SATVIEW_VERSION);
    app.add_option("--model", s.models, "one card per model name (default: one Wendrix 3G)");
    app.add_option("--name", s.name,
                   "card ids are <name>-<n>, n the lowest that no other simulator uses")
        ->capture_default_str();
    app.add_option("--customize", s.card.customize, "variant text of AT^CUSTOMIZE?")
        ->capture_default_str();
    app.add_option("--gps-type", s.card.gpsType,
                   "what AT^GPSTYPE? answers: 0 no GPS type, 1 stand-alone GPS only, 2 or 3 GPS "
                   "and AGPS (Satview offers AGPS for 2 and 3 only)")
        ->check(CLI::Range(0, 3))
        ->capture_default_str();
    app.add_option("--sim", s.sim, "SIM state: ready, missing, pin, puk")->capture_default_str();
    app.add_option("--ready-after", s.readyAfter, "seconds from plug-in to ready")
        ->check(CLI::Range(0.0, 3600.0))
        ->capture_default_str();
    app.add_flag("--never-ready", s.card.neverReady, "the card never becomes ready");
    app.add_flag("--no-gps-port", s.noGpsPort, "the card has no GPS port");
    app.add_flag("--refuse-close", s.card.refuseClose, "AT^GPSSTOP answers ERROR");
    app.add_option("--error", s.errorCommands, "answer ERROR to this command (e.g. AT^WPDGP)");
    app.add_option("--no-answer", s.silentCommands, "answer nothing to this command");
    app.add_option("--delay", s.delayMs, "milliseconds before each answer")
        ->check(CLI::Range(0, 60000));
    app.add_option("--pieces", s.card.answerPieces, "write each answer in this many pieces")
        ->check(CLI::Range(1, 64));
    app.add_option("--silent-after", s.silentAfter, "seconds after which the card says nothing")
        ->check(CLI::Range(0.0, 86400.0));
    app.add_flag("--bad-checksums", s.card.badChecksums, "wrong NMEA checksums");
    app.add_flag("--garbage", s.card.garbage, "junk bytes between NMEA sentences");
    app.add_option("--nmea", s.card.nmeaFile, "replay this NMEA log instead of the route")
        ->check(CLI::ExistingFile);
    app.add_option("--start", s.start,
                   "how the receiver starts: cold (nothing known of the sky), warm (an almanac "
                   "and the last position) or hot (fresh ephemerides); it searches, satellites "
                   "rising, for the start's time to the first fix")
        ->check(CLI::IsMember({"cold", "warm", "hot"}))
        ->capture_default_str();
    app.add_option("--start-times", s.startTimes,
                   "the seconds to the first fix of a cold, warm and hot start; with AGPS set "
                   "up (APN and SUPL server accepted, a position mode other than 0) a cold or "
                   "warm start takes a fifth of its time, at least the hot start's")
        ->expected(3)
        ->delimiter(',')
        ->check(CLI::Range(0.0, 3600.0))
        ->capture_default_str();
    app.add_option("--speed", s.card.replaySpeed, "replay this many times faster")
        ->check(CLI::Range(0.01, 1000.0))
        ->capture_default_str();
    app.add_option("--unsolicited", s.unsolicited, "seconds between unsolicited lines, 0 none")
        ->check(CLI::Range(0.0, 3600.0))
        ->capture_default_str();
    const std::string sockets = "the control socket (default: " + cardsim::DefaultControlSocket() +
                                ", or cardsim-2.sock, ... beside it when another simulator has it)";
    app.add_option("--socket", s.socket, sockets);
    app.add_flag("--quiet", s.quiet, "print nothing while running");
    app.add_option("--dialect", s.dialect, "AT commands: card (its own) or modemmanager")
        ->check(CLI::IsMember({"card", "modemmanager"}))
        ->capture_default_str();
    app.add_option("--at-log", s.card.atLog, "append every AT command line received to this file");
    app.add_flag("--check-satview", s.checkSatview,
                 "start nothing: exit 0 when Satview runs for this user, 1 when it does not");

    std::vector<std::string> words;
    CLI::App* ctl =
        app.add_subcommand("ctl", "act on a running simulator: ctl [card N|ID] COMMAND");
    ctl->add_option("--socket", s.socket, "the simulator to talk to (default: see below)");
    ctl->add_option("command", words, "the command and its arguments")->required();
    ctl->footer(
        "Without --socket, ctl talks to the first simulator that runs (cardsim.sock, then\n"
        "cardsim-2.sock, ...); \"card ID\" (e.g. card sim-2) goes to whichever simulator has\n"
        "that card, \"card N\" to that simulator's n-th card, \"cards\" lists its cards.\n"
        "Commands:\n" +
        cardsim::Card::ControlHelp());
    ctl->allow_extras(false);

    CLI11_PARSE(app, argc, argv);
    s.card.gpsPort = !s.noGpsPort;
    if (*ctl) return RunControl(s.socket, words);
    // The card's own unsolicited lines (^RSSI) mean nothing to ModemManager.
    if (s.dialect == "modemmanager" && app.count("--unsolicited") == 0) s.unsolicited = 0;
    if (s.checkSatview) return platform::InstanceLockHeld(kSatviewInstance) ? 0 : 1;
    return RunCards(s);
}
