// One card on serial ports (SerialCard): its AT channel, its GPS port and the thread that brings it
// up and follows it.
//
// The life thread feeds what it learns of the card (answers, missed probes, SIM reads, the
// card's own SIM and start-up reports) into the card's life table (card_life.h) and does the
// work that table asks for: settings, identity, SIM, a lost GPS session's stop. It probes the
// card when a command went unanswered, while it does not answer, and when nothing came from it
// for a while; it re-reads a SIM that is not usable now and then. The GPS port is read while
// it is listed; sentences become records only while the receiver's session is open.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "framework/contracts/ids.h"
#include "framework/devicemgr/at_channel.h"
#include "framework/devicemgr/card_discovery.h"
#include "framework/devicemgr/card_kind.h"
#include "framework/devicemgr/card_life.h"
#include "framework/devicemgr/nmea_decoder.h"

namespace devicemgr {

struct CardTiming {
    int answerTimeoutMs = kAnswerTimeoutMs;  // a command without a final code holds the line
    int initTimeoutMs = 1000;                // each command of the bring-up
    int probeTimeoutMs = 1000;               // one readiness probe
    int probeGapMs = 1000;                   // between probes while the card is not answering
    int keepAliveMs = 15000;                 // probe after this long without a byte from the card
    int simRetryMs = 1000;                   // re-read a starting or unknown SIM after this long
    int simPollMs = 3000;  // re-read a missing, locked or failed SIM (a PIN entered elsewhere)
    int gpsRestMs = 500;   // a hung-up GPS port is opened again no sooner
};

class SerialCard final : public Card {
  public:
    // `wait`: how its waits that may run on the window thread (a command's answer, the end of a
    // port's reader) wait there.
    SerialCard(CardPorts ports, CardListener& listener, CardTiming timing = {},
               platform::ServingWait wait = {});
    ~SerialCard() override;
    SerialCard(const SerialCard&) = delete;
    SerialCard& operator=(const SerialCard&) = delete;

    // Opens the ports and starts the threads; false with the reason when the AT port cannot
    // be opened.
    bool Start(std::string& error);
    // Ends every thread of the card; no listener call runs after it returns (unless it is
    // called from one).
    void Stop() override;

    // The ports as they are now.
    CardPorts Ports() const override;
    // The card as listed again (manager thread): a GPS port that appeared is opened, one that
    // went or hung up is closed.
    void UpdatePorts(const CardPorts& ports) override;
    // True once the bring-up identified the card or found it silent; identity is known then.
    bool WaitBroughtUp(std::chrono::steady_clock::time_point deadline) override;
    std::string Id() const override;  // the model in lower case; the card key until it is known
    std::string Model() const override;
    std::string Serial() const override;
    std::string Variant() const override;

    State GetState() const override;

    // The current device's user: its exchange and the receiver's session.
    bool SendUser(const std::string& line) override;
    void EndUserExchange() override;
    using Card::OpenGps;
    bool OpenGps(uint32_t& status) override;
    bool CloseGps() override;
    bool GpsOpen() const override { return life_.GpsOpen(); }
    // An AT command of the card is in flight or waiting (AtChannel::Busy).
    bool ExchangeInFlight() const override { return channel_ && channel_->Busy(); }
    NmeaCounters GpsCounters() const override;

  private:
    using Clock = std::chrono::steady_clock;

    void Life();
    // Waits for the next thing to do: a probe, or work the life table asks for. False: stop.
    bool WaitForTurn(bool& probe, CardWork& work);
    void DoWork(const CardWork& work);
    // A command of the life thread; no answer asks for a probe. Its queries (`readOnly`) do
    // not hold the manager when its plug-in is asked to end.
    std::optional<AtAnswer> Ask(const std::string& line, int timeoutMs, bool readOnly = true);
    // The model and serial still missing and the customize text; false when unanswered.
    bool Identify(bool onceReady);
    void CheckSim();
    void StopLostSession();
    // Applies `learn` to the life table and tells the listener when it says something changed.
    template <class F>
    void Learn(F&& learn);
    void MarkBroughtUp();
    void OnUnsolicited(const std::string& line);
    void OpenGpsPort();
    void OnGpsBytes(const std::string& node, std::string_view bytes);
    void OnGpsHungUp(const std::string& node);
    void Trace(int level, const std::string& text);

    const CardPorts ports_;  // key and AT port; the GPS port is gps_
    CardListener& listener_;
    const CardTiming timing_;
    const platform::ServingWait wait_;

    std::unique_ptr<AtChannel> channel_;
    std::thread life_thread_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool probeWanted_ = false;
    bool broughtUp_ = false;
    Clock::time_point nextProbe_{};
    Clock::time_point nextSimRead_{};
    std::string model_, serial_, variant_;
    CardLife life_;

    mutable std::mutex gpsPortMutex_;  // gps_, gpsPort_, the rest after a hang-up
    platform::SerialPort gps_;
    std::unique_ptr<platform::SerialLine> gpsPort_;
    Clock::time_point gpsRestUntil_{};
    std::chrono::milliseconds gpsRest_{0};

    mutable std::mutex gpsMutex_;  // the lexer and decoder, on the GPS reader thread
    NmeaLexer lexer_;
    NmeaDecoder decoder_;
};

}  // namespace devicemgr
