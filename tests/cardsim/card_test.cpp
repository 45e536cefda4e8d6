// The simulated card over its real pseudo-terminals, driven as a serial client drives a card.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "cardsim/card.h"
#include "cardsim/control_socket.h"
#include "platform/ports/ports.h"
#include "pty_client.h"
#include "temp_dir.h"

namespace {

using namespace std::chrono_literals;
using cardsim::Card;
using cardsim::CardOptions;

class SimulatedCard : public testing::Test {
  protected:
    void SetUp() override { ::setenv("SATVIEW_PORTS_DIR", (dir_ / "ports").c_str(), 1); }
    void TearDown() override { ::unsetenv("SATVIEW_PORTS_DIR"); }

    std::unique_ptr<Card> Start(CardOptions options = {}) {
        auto card = std::make_unique<Card>(std::move(options));
        std::string error;
        EXPECT_TRUE(card->Start(&error)) << error;
        return card;
    }

    testing_support::TempDir dir_;
};

bool HasSentence(const std::string& s) {
    return s.find("$GPGSV") != std::string::npos;
}

TEST_F(SimulatedCard, RegistersItsTwoPortsUnderTheCardsNames) {
    auto card = Start();
    std::vector<platform::SerialPort> ports = platform::ListSerialPorts();
    ASSERT_EQ(ports.size(), 2u);
    for (const platform::SerialPort& port : ports) {
        EXPECT_EQ(port.card, "sim-1");
        bool gps = port.node == card->GpsNode();
        EXPECT_EQ(port.node, gps ? card->GpsNode() : card->AtNode());
        std::string text =
            gps ? "TARVEK Wendrix - 3G GPS Interface" : "TARVEK Wendrix - 3G PC UI Interface";
        EXPECT_EQ(port.friendlyName, text + " (COM" + std::to_string(port.number) + ")");
    }
    card.reset();
    EXPECT_TRUE(platform::ListSerialPorts().empty()) << "the port files go with the card";
}

TEST_F(SimulatedCard, AnswersWithAndWithoutEchoWhateverTheLineEnd) {
    auto card = Start();
    PtyClient client(card->AtNode());
    ASSERT_TRUE(client.IsOpen());
    EXPECT_EQ(client.Exchange("AT"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(client.Exchange("ATE0"), "ATE0\r\r\nOK\r\n");
    for (const char* end : {"\r", "\n", "\r\n"}) {
        client.Send(std::string("AT+CGMM") + end);
        EXPECT_EQ(client.Answer(), "\r\nWendrix 3G\r\n\r\nOK\r\n");
    }
    card->SendUnsolicited("^RSSI:17");
    EXPECT_EQ(client.ReadUntil([](const std::string& s) { return s.ends_with("17\r\n"); }),
              "\r\n^RSSI:17\r\n");
    EXPECT_EQ(card->Received().back(), "AT+CGMM");
}

TEST_F(SimulatedCard, SplitAndDelayedAnswersArriveWhole) {
    CardOptions options;
    options.answerPieces = 3;
    options.pieceGap = 30ms;
    auto card = Start(options);
    PtyClient client(card->AtNode());
    EXPECT_EQ(client.Exchange("ATI"),
              "ATI\r\r\nManufacturer: TARVEK\r\n\r\nModel: Wendrix 3G\r\n\r\nRevision: "
              "11.100.01.00.00\r\n\r\nOK\r\n");
    EXPECT_GE(client.Reads(), 3);

    card->SetAnswerPieces(1);
    card->SetAnswerDelay(300ms);
    client.Send("ATE0\r");
    std::string early = client.ReadUntil([](const std::string& s) { return s.size() > 5; }, 100ms);
    EXPECT_EQ(early, "ATE0\r") << "the echo comes at once, the answer later";
    EXPECT_EQ(client.Answer(), "\r\nOK\r\n");
}

TEST_F(SimulatedCard, FaultsChosenAtRunTime) {
    auto card = Start();
    PtyClient client(card->AtNode());
    client.Exchange("ATE0");

    EXPECT_EQ(card->Control("reply AT^WPDGP none"), "ok");
    client.Send("AT^WPDGP\r");
    EXPECT_EQ(client.Answer(200ms), "");
    EXPECT_EQ(card->Control("reply AT^GPSTYPE error"), "ok");
    EXPECT_EQ(client.Exchange("AT^GPSTYPE?"), "\r\nERROR\r\n");
    card->Control("reply AT^GPSTYPE normal");
    card->Control("gpstype 3");
    EXPECT_EQ(client.Exchange("AT^GPSTYPE?"), "\r\n^GPSTYPE:3\r\n\r\nOK\r\n");

    card->Control("sim pin");
    EXPECT_EQ(client.Exchange("AT+CPIN?"), "\r\n^SIMST:4\r\n\r\n+CME ERROR: 11\r\n");

    card->Control("ready off");
    EXPECT_EQ(client.Exchange("AT+CFUN?"), "\r\n+CFUN: 0\r\n\r\nOK\r\n");
    card->Control("ready on");
    EXPECT_EQ(client.ReadUntil([](const std::string& s) { return s.ends_with("START\r\n"); }),
              "\r\n^SYSSTART\r\n");

    card->Control("silent-after 0");
    card->SetSilentAfter(1ms);
    std::this_thread::sleep_for(5ms);
    client.Send("AT\r");
    EXPECT_EQ(client.Answer(200ms), "") << "a silent card says nothing";
}

TEST_F(SimulatedCard, ControlCommandsThatMakeNoSenseAreRefused) {
    auto card = Start();
    for (const char* command : {"gpstype 4", "gpstype x", "sim lost", "ready maybe", "reply AT",
                                "reply AT^WPDGP sometimes", "delay -5", "pieces 0",
                                "silent-after forever", "checksums ugly", "model", "frobnicate"}) {
        EXPECT_EQ(card->Control(command).rfind("error: ", 0), 0u) << command;
    }
    EXPECT_EQ(card->Control("status").rfind("ok plugged=1 ready=1 positioning=0", 0), 0u);
}

TEST_F(SimulatedCard, ClientClosingMidLineLeavesNothingBehind) {
    auto card = Start();
    {
        PtyClient first(card->AtNode());
        first.Send("AT+CG");
    }
    std::this_thread::sleep_for(50ms);
    PtyClient second(card->AtNode());
    EXPECT_EQ(second.Exchange("AT"), "AT\r\r\nOK\r\n");
}

TEST_F(SimulatedCard, StreamsNmeaWhilePositioningAndHonoursRefusedClose) {
    CardOptions options;
    options.nmeaPeriod = 40ms;
    options.refuseClose = true;
    auto card = Start(options);
    PtyClient at(card->AtNode());
    PtyClient gps(card->GpsNode());
    at.Exchange("ATE0");
    EXPECT_EQ(at.Exchange("AT^GPSSTART"), "\r\nOK\r\n");

    std::string nmea = gps.ReadUntil([](const std::string& s) {
        return std::count(s.begin(), s.end(), 'R') >= 3 && s.ends_with("\r\n");
    });
    size_t first = nmea.find("$GPGGA,");
    size_t second = nmea.find("$GPGGA,", first + 1);
    ASSERT_NE(second, std::string::npos) << nmea;
    EXPECT_NE(nmea.substr(first + 17, 30), nmea.substr(second + 17, 30)) << "the card moves";

    EXPECT_EQ(at.Exchange("AT^GPSSTOP"), "\r\nERROR\r\n");
    EXPECT_TRUE(card->Positioning());
    card->SetRefuseClose(false);
    EXPECT_EQ(at.Exchange("AT^GPSSTOP"), "\r\nOK\r\n");
    EXPECT_FALSE(card->Positioning());
}

TEST_F(SimulatedCard, CorruptNmeaOnRequest) {
    CardOptions options;
    options.nmeaPeriod = 40ms;
    options.badChecksums = true;
    options.garbage = true;
    auto card = Start(options);
    PtyClient at(card->AtNode());
    PtyClient gps(card->GpsNode());
    at.Exchange("AT^GPSSTART");
    std::string nmea = gps.ReadUntil(HasSentence);
    EXPECT_NE(nmea.find(std::string("\x00\xff", 2)), std::string::npos);
    size_t rmc = nmea.find("$GPRMC");
    ASSERT_NE(rmc, std::string::npos);
    size_t star = nmea.find('*', rmc);
    unsigned sum = 0;
    for (size_t i = rmc + 1; i < star; ++i) sum ^= static_cast<unsigned char>(nmea[i]);
    EXPECT_NE(std::strtoul(nmea.substr(star + 1, 2).c_str(), nullptr, 16), sum);
}

TEST_F(SimulatedCard, WithoutGpsPortOnlyThePcUiPortIsThere) {
    CardOptions options;
    options.gpsPort = false;
    auto card = Start(options);
    EXPECT_TRUE(card->GpsNode().empty());
    ASSERT_EQ(platform::ListSerialPorts().size(), 1u);
    EXPECT_NE(platform::ListSerialPorts()[0].friendlyName.find("PC UI"), std::string::npos);
}

TEST_F(SimulatedCard, UnplugAndPlugAreSeenByClientsAndTheMonitor) {
    auto card = Start();
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<platform::SerialPort> present = platform::ListSerialPorts();
    platform::PortMonitor monitor([&](const std::vector<platform::SerialPort>& now) {
        std::lock_guard lock(mutex);
        present = now;
        changed.notify_all();
    });
    auto waitForPorts = [&](size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return present.size() == count; });
    };
    std::string oldNode = card->AtNode();
    PtyClient client(oldNode);

    card->Unplug();
    EXPECT_TRUE(card->AtNode().empty());
    client.ReadUntil([](const std::string&) { return false; }, 500ms);
    EXPECT_TRUE(client.HungUp());
    EXPECT_TRUE(waitForPorts(0));

    ASSERT_TRUE(card->Plug());
    EXPECT_TRUE(waitForPorts(2));
    PtyClient again(card->AtNode());
    EXPECT_EQ(again.Exchange("AT"), "AT\r\r\nOK\r\n");
}

TEST_F(SimulatedCard, SeveralCardsEachWithItsModel) {
    CardOptions second;
    second.id = "sim-2";
    second.model = "Wendrix 3G Mini";
    auto one = Start();
    auto two = Start(second);
    EXPECT_EQ(platform::ListSerialPorts().size(), 4u);
    PtyClient client(two->AtNode());
    EXPECT_EQ(client.Exchange("AT+CGMM"), "AT+CGMM\r\r\nWendrix 3G Mini\r\n\r\nOK\r\n");
}

TEST_F(SimulatedCard, ControlSocketRoutesRequestsToTheChosenCard) {
    CardOptions second;
    second.id = "sim-2";
    auto one = Start();
    auto two = Start(second);
    cardsim::ControlServer server({one.get(), two.get()});
    std::string error, path = dir_ / "cardsim.sock";
    ASSERT_TRUE(server.Listen(path, error)) << error;
    cardsim::ControlServer rival({});
    EXPECT_FALSE(rival.Listen(path, error)) << "one simulator per socket";

    const std::pair<const char*, const char*> requests[] = {
        {"card 2 gpstype 0", "ok"},
        {"card sim-1 gpstype 3", "ok"},
        {"card 3 status", "error: no card \"3\" (try cards)"},
        {"gpstype 7", "error: gpstype takes 0 to 3"},
    };
    std::atomic<bool> done{false};
    std::thread serving([&] {
        while (!done) {
            pollfd p{server.Fd(), POLLIN, 0};
            if (::poll(&p, 1, 50) == 1) server.ServeOne();
        }
    });
    for (auto [request, expected] : requests) {
        std::string reply;
        EXPECT_TRUE(cardsim::SendControlRequest(path, request, reply));
        EXPECT_EQ(reply, expected) << request;
    }
    done = true;
    serving.join();
    PtyClient client(two->AtNode());
    EXPECT_EQ(client.Exchange("AT^GPSTYPE?"), "AT^GPSTYPE?\r\r\n^GPSTYPE:0\r\n\r\nOK\r\n");
    PtyClient first(one->AtNode());
    EXPECT_EQ(first.Exchange("AT^GPSTYPE?"), "AT^GPSTYPE?\r\r\n^GPSTYPE:3\r\n\r\nOK\r\n");
}

TEST_F(SimulatedCard, UnsolicitedLinesComeBetweenAnswers) {
    CardOptions options;
    options.unsolicitedPeriod = 30ms;
    options.answerPieces = 4;
    auto card = Start(options);
    PtyClient client(card->AtNode());
    client.Send("AT+CREG=2\r");
    std::string got = client.ReadUntil([](const std::string& s) {
        return s.find("+CREG: 1,") != std::string::npos && s.ends_with("\r\n");
    });
    EXPECT_NE(got.find("AT+CREG=2\r\r\nOK\r\n"), std::string::npos) << "the answer is whole";
    EXPECT_NE(got.find("\r\n^RSSI:"), std::string::npos);
}

TEST_F(SimulatedCard, ReplaysAnNmeaLogAndRefusesOverlongLines) {
    CardOptions options;
    options.nmeaFile =
        dir_.Write("drive.nmea",
                   "$GPRMC,120000.00,A,3739.259,N,12207.407,W,0.1,0.0,081226,,,A*00\n"
                   "$GPRMC,120001.00,A,3739.260,N,12207.408,W,0.1,0.0,081226,,,A*00\n");
    options.replaySpeed = 50;
    auto card = Start(options);
    PtyClient at(card->AtNode());
    PtyClient gps(card->GpsNode());
    EXPECT_EQ(at.Exchange(std::string(600, 'A')), std::string(512, 'A') + "\r\r\nERROR\r\n");
    at.Exchange("AT^GPSSTART");
    std::string nmea = gps.ReadUntil([](const std::string& s) {
        return s.find("120001.00") != std::string::npos && s.find("120000.00") != std::string::npos;
    });
    EXPECT_NE(nmea.find("$GPRMC,120000.00,A,3739.259,N"), std::string::npos) << nmea;

    Card missing([&] {
        CardOptions o;
        o.nmeaFile = dir_ / "missing.nmea";
        return o;
    }());
    std::string error;
    EXPECT_FALSE(missing.Start(&error));
    EXPECT_NE(error.find("missing.nmea"), std::string::npos);
}

}  // namespace
