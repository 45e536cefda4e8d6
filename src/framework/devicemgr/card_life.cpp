#include "framework/devicemgr/card_life.h"

namespace devicemgr {

CardWork CardLife::TakeWork() {
    CardWork work = work_;
    work_ = {};
    return work;
}

bool CardLife::FirstWordsUnanswered() {
    ++missed_;
    if (state_.arrived) return false;
    state_.arrived = true;
    return true;
}

bool CardLife::Answered() {
    missed_ = 0;
    if (link_ == Link::Answering) {
        if (doubted_) {
            doubted_ = false;
            reannounce_ = true;
            work_.readSim = true;
        }
        return false;
    }
    link_ = Link::Answering;
    doubted_ = false;
    bool changed = state_.unavailable;
    state_.unavailable = false;
    work_.init = work_.readSim = true;
    if (!identityComplete_) work_.identify = true;
    return changed;
}

bool CardLife::ProbeMissed() {
    if (++missed_ < kProbesBeforeUnavailable || link_ == Link::Silent) return false;
    return LinkLost();
}

bool CardLife::LinkLost() {
    if (link_ == Link::Silent) return false;
    link_ = Link::Silent;
    // Silence says more than a switch: once it answers again, the switch is looked at anew.
    switchedOff_ = false;
    state_.arrived = true;
    state_.unavailable = true;
    state_.unavailableReason = framework::kUnavailableNotAnswering;
    ++state_.unavailableCount;
    state_.ready = false;
    if (gpsOpen_) {
        gpsOpen_ = false;
        work_.stopGps = true;
    }
    return true;
}

void CardLife::Restarted() {
    work_.init = work_.readSim = true;
    if (!identityComplete_) work_.identify = true;
}

bool CardLife::Identified() {
    if (state_.arrived) return false;
    state_.arrived = true;
    return true;
}

bool CardLife::SimRead(uint32_t sim) {
    bool changed = !state_.simKnown || state_.sim != sim;
    if (changed) {
        state_.simKnown = true;
        state_.sim = sim;
        ++state_.simCount;
    }
    if (sim != kSimUsable) state_.ready = false;
    return changed;
}

bool CardLife::RadioRead(bool on) {
    bool ready = on && !switchedOff_ && state_.sim == kSimUsable && link_ == Link::Answering;
    if (!ready) {
        state_.ready = false;
        return false;
    }
    if (state_.ready && !reannounce_) return false;
    state_.ready = true;
    reannounce_ = false;
    ++state_.readyCount;
    if (!identityComplete_) work_.readIdentity = true;
    return true;
}

bool CardLife::SwitchedOff(bool off) {
    if (link_ != Link::Answering || off == switchedOff_) return false;
    switchedOff_ = off;
    if (!off) {
        // Ready again once its radio is read on.
        state_.unavailable = false;
        return true;
    }
    state_.arrived = true;
    state_.unavailable = true;
    state_.unavailableReason = framework::kUnavailableSwitchedOff;
    ++state_.unavailableCount;
    state_.ready = false;
    // The receiver went off with the radio: nothing of the session is left to stop.
    gpsOpen_ = false;
    return true;
}

void CardLife::GpsOpened() {
    gpsOpen_ = true;
    work_.stopGps = false;
}

void CardLife::GpsCloseAnswered(bool stopped) {
    // A receiver that refused to stop keeps streaming: its records still count.
    if (!stopped) return;
    gpsOpen_ = false;
    work_.stopGps = false;
}

void CardLife::GpsCloseUnanswered() {
    gpsOpen_ = false;
    work_.stopGps = true;
}

}  // namespace devicemgr
