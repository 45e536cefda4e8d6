// One AT exchange with the simulated card through its pseudo-terminal: from the write of the
// command line to the read of the final "OK" (goal: under 1 ms).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "cardsim/card.h"

namespace {

bool ReadOk(int fd, std::string& got) {
    got.clear();
    char buffer[256];
    while (got.find("OK\r\n") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) return false;
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        got.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

void BM_AtExchange(benchmark::State& state) {
    char folder[] = "/tmp/satview-bench-XXXXXX";
    ::setenv("SATVIEW_PORTS_DIR", ::mkdtemp(folder), 1);
    cardsim::CardOptions options;
    options.registerPorts = false;
    cardsim::Card card(options);
    std::string error;
    if (!card.Start(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    int fd = ::open(card.AtNode().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    std::string got;
    const std::string command = state.range(0) ? "AT^GPSTYPE?\r\n" : "AT\r\n";
    if (::write(fd, "ATE0\r\n", 6) != 6 || !ReadOk(fd, got)) {
        state.SkipWithError("the card does not answer");
    }
    for (auto _ : state) {
        if (::write(fd, command.data(), command.size()) != static_cast<ssize_t>(command.size()) ||
            !ReadOk(fd, got)) {
            state.SkipWithError("the card does not answer");
            break;
        }
    }
    ::close(fd);
    card.Stop();
    ::rmdir(folder);
}
BENCHMARK(BM_AtExchange)->Arg(0)->Arg(1)->ArgName("gpstype")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
