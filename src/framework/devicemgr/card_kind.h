// What the device manager needs of a card, however it is reached: over its serial ports
// (SerialCard, card.h) or through ModemManager's D-Bus API (MmCard, mm_card.h). Both feed
// their card's life table (card_life.h) and tell their owner through a CardListener.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "framework/contracts/ids.h"
#include "framework/devicemgr/card_discovery.h"
#include "framework/devicemgr/card_life.h"
#include "framework/devicemgr/nmea_decoder.h"

namespace devicemgr {

class Card;

// What a card tells its owner, from the card's threads.
class CardListener {
  public:
    // What may be told of the card changed (GetState), or its identity.
    virtual void OnCardChanged(Card& card) = 0;
    virtual void OnGpsRecord(Card& card, const framework::GpsDataRecord& record) = 0;
    // The sentences read from the receiver during a session, in order, before the records
    // made of them.
    virtual void OnGpsSentences(Card& card, const std::vector<std::string>& sentences) {
        (void)card;
        (void)sentences;
    }
    // Each complete view of the sky during a session, after the records of the same reading.
    virtual void OnGpsSky(Card& card, const framework::GpsSkyRecord& sky) {
        (void)card;
        (void)sky;
    }
    virtual void OnUserAnswer(Card& card, const std::string& answer) = 0;
    virtual void OnCardHungUp(Card& card) = 0;
    // The GPS port hung up: the port list is to be looked at again at `lookAgain`.
    virtual void OnGpsPortHungUp(Card& card, std::chrono::steady_clock::time_point lookAgain) = 0;
    virtual void OnCardTrace(Card& card, int level, const std::string& text) = 0;
    // The card's ports changed while it is known (a modem whose service reports another port).
    virtual void OnCardPortsChanged(Card& card) { (void)card; }

  protected:
    ~CardListener() = default;
};

class Card {
  public:
    virtual ~Card() = default;

    // Ends the card's work; no listener call runs after it returns (unless it is called from
    // one).
    virtual void Stop() = 0;
    // Its ports: the key identifies the card.
    virtual CardPorts Ports() const = 0;
    // The card as listed again (manager thread).
    virtual void UpdatePorts(const CardPorts&) {}
    // True once the card is identified or found silent.
    virtual bool WaitBroughtUp(std::chrono::steady_clock::time_point deadline) = 0;
    virtual std::string Id() const = 0;  // the model in lower case; the card key until known
    virtual std::string Model() const = 0;
    virtual std::string Serial() const = 0;
    virtual std::string Variant() const = 0;

    using State = CardState;
    virtual State GetState() const = 0;

    // The current device's user: its exchange (answers go to OnUserAnswer) and the
    // receiver's session.
    virtual bool SendUser(const std::string& line) = 0;
    virtual void EndUserExchange() = 0;
    // False with a kGpsStatus... code (contracts/device.h) in `status` when one tells why.
    virtual bool OpenGps(uint32_t& status) = 0;
    bool OpenGps() {
        uint32_t status = 0;
        return OpenGps(status);
    }
    virtual bool CloseGps() = 0;
    virtual bool GpsOpen() const = 0;
    virtual bool ExchangeInFlight() const = 0;
    virtual NmeaCounters GpsCounters() const = 0;
};

}  // namespace devicemgr
