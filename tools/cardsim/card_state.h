// The state of one simulated card that its AT answers read and change.
#pragma once

#include <map>

#include "cardsim/card.h"

namespace cardsim {

struct CardState {
    CardOptions options;
    bool echo = true;
    int cregMode = 0;  // 0 no unsolicited +CREG, 1 on a change, 2 with the cell
    bool ready = false;
    bool positioning = false;
    // What the assisted start was given: an APN and SUPL server the card accepted, and the
    // position mode (0 stand-alone).
    bool apnSet = false;
    bool suplServerSet = false;
    int positionMode = 0;
    bool Assisted() const { return apnSet && suplServerSet && positionMode != 0; }
    int rssi = 20;
    // The S-registers a card of this kind keeps (V.250 defaults).
    std::map<int, int> sRegisters{{3, 13}, {4, 10}, {5, 8}, {6, 2}, {7, 50}, {8, 2}, {10, 14}};

    // Registration: 1 registered, 2 searching, 0 not registered (no usable SIM).
    int RegistrationState() const {
        if (!ready) return 2;
        return options.sim == SimState::Ready ? 1 : 0;
    }
};

}  // namespace cardsim
