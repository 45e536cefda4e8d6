// The life of one card apart from how its words are carried: what is known of it, what each
// thing learnt of it changes, and what is to be asked of it next. The serial card feeds it from
// its AT channel; a card reached another way feeds it from its own source.
//
//   link       learnt                          link then    asks for / may tell
//   unheard    answered                        answering    settings, identity, SIM
//   unheard    its first words unanswered      unheard      arrival (identity unknown)
//   any        probes missed in a row (N), or  silent       unavailable; an open GPS session is
//              the link lost (LinkLost)                     lost and is to be stopped
//   silent     answered                        answering    settings, SIM, the lost session's stop
//   answering  a command unanswered, then      answering    SIM again; readiness told again (its
//              answered                                     user may have given the card up)
//   answering  restarted                       answering    settings, SIM
//   answering  SIM reported by the card        answering    SIM
//   answering  SIM read                        answering    SIM told when changed; not usable:
//                                                           not ready (nothing told)
//   answering  radio read on, SIM usable       answering    ready told; the identity read again
//                                                           until complete
//   answering  switched off (the radio turned  answering    unavailable (switched off); an open
//              off by its user)                             session ends with it
//   answering  switched on again               answering    ready told again once the radio is on
//
// The receiver's session: opened (a stop owed is forgotten); a start or a stop unanswered
// (the card may be positioning): the stop is owed until the card answers again; a stop
// answered: nothing owed, unless the card refused it (it still streams).
//
// Every report carries a count, so a change that came and went between two looks of the owner
// is still told.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/contracts/ids.h"

namespace devicemgr {

// SIM states carried by the SIM status event.
inline constexpr uint32_t kSimMissing = 0;
inline constexpr uint32_t kSimUsable = 1;
inline constexpr uint32_t kSimLocked = 2;   // PIN or PUK needed
inline constexpr uint32_t kSimFailure = 3;  // broken or refused SIM
inline constexpr uint32_t kSimBusy = 4;     // not ready yet, or another lock
inline constexpr uint32_t kSimUnknown = 255;

// Probes in a row without an answer before the card counts as unavailable.
inline constexpr int kProbesBeforeUnavailable = 3;

enum class Link { Unheard, Answering, Silent };

// What the card's owner may tell of it.
struct CardState {
    bool arrived = false;
    bool unavailable = false;
    bool simKnown = false;
    uint32_t sim = kSimUnknown;
    bool ready = false;
    uint32_t unavailableCount = 0;  // times it was declared unavailable
    // Why, the last time: framework::kUnavailableNotAnswering or kUnavailableSwitchedOff.
    uint32_t unavailableReason = framework::kUnavailableNotAnswering;
    uint32_t simCount = 0;    // times its SIM state was read different
    uint32_t readyCount = 0;  // times it was (again) found ready
};

// What is to be asked of the card next.
struct CardWork {
    bool init = false;      // its settings: after it appears, restarts or comes back
    bool identify = false;  // model and serial
    bool readSim = false;
    bool readIdentity = false;  // once ready: what is missing of the identity, the customize text
    bool stopGps = false;       // a session lost while the card did not answer
    bool Any() const { return init || identify || readSim || readIdentity || stopGps; }
};

class CardLife {
  public:
    CardLife() { work_.init = work_.identify = work_.readSim = true; }

    Link GetLink() const { return link_; }
    const CardState& State() const { return state_; }
    bool HasWork() const { return work_.Any(); }
    // The work asked for so far (taken only while the card answers).
    CardWork TakeWork();
    // A probe missed since the last answer: probing goes on.
    bool Doubtful() const { return missed_ > 0; }

    // What was learnt. Each returns true when what the owner may tell changed.
    bool FirstWordsUnanswered();
    bool Answered();
    bool ProbeMissed();
    // Known not to answer (a card reached through a service that gave up on it).
    bool LinkLost();
    void CommandUnanswered() { doubted_ = true; }
    void Restarted();
    void SimReported() { work_.readSim = true; }
    bool Identified();
    bool SimRead(uint32_t sim);
    bool RadioRead(bool on);
    // Its user switched the radio off (true) or on again (false): a card that answers but is
    // not to be used while off.
    bool SwitchedOff(bool off);
    void IdentityRead(bool complete) { identityComplete_ = complete; }

    // The receiver's session. The open flag may be read from any thread.
    bool GpsOpen() const { return gpsOpen_; }
    void GpsOpened();
    // A start the card did not answer in time may still have started it: it is stopped once
    // the card answers again, as a stop that went unanswered is.
    void GpsStartUnanswered() { GpsCloseUnanswered(); }
    void GpsCloseAnswered(bool stopped);
    void GpsCloseUnanswered();
    void LostSessionStopUnanswered() { work_.stopGps = true; }

  private:
    Link link_ = Link::Unheard;
    int missed_ = 0;
    bool doubted_ = false;
    bool reannounce_ = false;
    bool identityComplete_ = false;
    bool switchedOff_ = false;
    CardState state_;
    CardWork work_;
    std::atomic<bool> gpsOpen_{false};
};

}  // namespace devicemgr
