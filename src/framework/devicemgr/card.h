// One card: its AT channel, its GPS port and the thread that brings it up and watches it.
//
// The life thread initialises the card (echo off, numeric errors), identifies it (model,
// serial, variant), reads its SIM state and then waits: it probes the card when a command
// went unanswered or when nothing came from it for a while, and reports when it stops and
// starts answering. The GPS port is read for the card's whole life; sentences become records
// only while the receiver's session is open.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "framework/contracts/ids.h"
#include "framework/devicemgr/at_channel.h"
#include "framework/devicemgr/card_discovery.h"
#include "framework/devicemgr/nmea_decoder.h"

namespace devicemgr {

// SIM states carried by the SIM status event.
inline constexpr uint32_t kSimMissing = 0;
inline constexpr uint32_t kSimUsable = 1;
inline constexpr uint32_t kSimLocked = 2;   // PIN or PUK needed
inline constexpr uint32_t kSimFailure = 3;  // broken or refused SIM
inline constexpr uint32_t kSimBusy = 4;     // not ready yet, or another lock
inline constexpr uint32_t kSimUnknown = 255;

// The SIM state an answer to "AT+CPIN?" tells; kSimUnknown when it tells nothing.
uint32_t SimStateOf(const AtAnswer& answer);

// Probes in a row without an answer before the card counts as unavailable.
inline constexpr int kProbesBeforeUnavailable = 3;

class Card;

// What a card tells its owner, from the card's threads.
class CardListener {
  public:
    // Arrival, SIM status (with its value), ready, unavailable.
    virtual void OnCardEvent(Card& card, uint32_t event, uint32_t value) = 0;
    virtual void OnGpsRecord(Card& card, const framework::GpsDataRecord& record) = 0;
    virtual void OnUserAnswer(Card& card, const std::string& answer) = 0;
    virtual void OnCardHungUp(Card& card) = 0;
    virtual void OnCardTrace(Card& card, int level, const std::string& text) = 0;

  protected:
    ~CardListener() = default;
};

struct CardTiming {
    int answerTimeoutMs = kAnswerTimeoutMs;  // a command without a final code holds the line
    int initTimeoutMs = 1000;                // each command of the bring-up
    int probeTimeoutMs = 1000;               // one readiness probe
    int probeGapMs = 1000;                   // between probes while the card is not answering
    int keepAliveMs = 15000;                 // probe after this long without a byte from the card
    int simRetryMs = 1000;                   // re-read a busy SIM after this long
    int simRetries = 10;
};

class Card {
  public:
    Card(CardPorts ports, CardListener& listener, CardTiming timing = {});
    ~Card();
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;

    // Opens the ports and starts the threads; false with the reason when the AT port cannot
    // be opened.
    bool Start(std::string& error);
    // Ends every thread of the card; no listener call runs after it returns (unless it is
    // called from one).
    void Stop();

    const CardPorts& Ports() const { return ports_; }
    // True once the bring-up reached the SIM state (or gave up); identity is known then.
    bool WaitBroughtUp(std::chrono::steady_clock::time_point deadline);
    std::string Id() const;  // the model in lower case; the card key until it is known
    std::string Model() const;
    std::string Serial() const;
    std::string Variant() const;

    struct State {
        bool arrived = false;  // identified, arrival reported
        bool simKnown = false;
        uint32_t sim = kSimUnknown;
        bool ready = false;
    };
    State GetState() const;

    // The current device's user: its exchange and the receiver's session.
    bool SendUser(const std::string& line);
    void EndUserExchange();
    bool OpenGps();
    bool CloseGps();
    bool GpsOpen() const { return gpsOpen_; }
    // An AT command of the card is in flight or waiting (AtChannel::Busy).
    bool ExchangeInFlight() const { return channel_ && channel_->Busy(); }
    NmeaCounters GpsCounters() const;

  private:
    void Life();
    bool BringUp();  // true when the card is up
    // Reads the SIM state, reports it when it changed, and reports the card ready once its SIM
    // is usable and its radio is on; true then.
    bool CheckSim();
    void Watch(bool ready);
    bool Probe();
    void OnUnsolicited(const std::string& line);
    void SetReady(bool ready);
    void OnGpsBytes(std::string_view bytes);
    void Trace(int level, const std::string& text) { listener_.OnCardTrace(*this, level, text); }

    const CardPorts ports_;
    CardListener& listener_;
    const CardTiming timing_;

    std::unique_ptr<AtChannel> channel_;
    std::unique_ptr<platform::SerialLine> gpsPort_;
    std::thread life_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool probeWanted_ = false;    // a command went unanswered
    bool recheckWanted_ = false;  // the card said it has started
    bool broughtUp_ = false;
    std::string model_, serial_, variant_;
    State state_;

    std::atomic<bool> gpsOpen_{false};
    mutable std::mutex gpsMutex_;  // the lexer and decoder, on the GPS reader thread
    NmeaLexer lexer_;
    NmeaDecoder decoder_;
};

}  // namespace devicemgr
