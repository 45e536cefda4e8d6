// The AT commands ModemManager sends to a card, as far as the simulated card answers them in
// its ModemManager dialect (CardOptions::dialect): identification (with the maker name that
// makes ModemManager drive the card's GPS with $GPSP), SIM, registration, signal, packet
// contexts and the GNSS commands. Everything else falls through to the card's own set.
//
//   AT+CGMI, AT+GMI                  Telit (the one maker name that selects the GNSS commands)
//   AT+GCAP                          +GCAP: +CGSM,+DS
//   AT+CIMI                          the subscriber identity
//   AT+CRSM=176,12258,0,0,10         the SIM card number (ICCID, BCD with swapped nibbles);
//                                    other SIM file reads: +CRSM: 106,130 (no such file)
//   AT+CGREG?, AT+CEREG?, =<n>       registration in the packet domains, as AT+CREG?
//   AT+COPS?, AT+COPS=<...>          the registered network, automatic selection
//   AT+CFUN=<0|1|4>                  power states: OK (the card stays on)
//   AT+CGDCONT?, AT+CGDCONT=?        one IP context
//   AT$GPSP=?                        $GPSP: (0,1)
//   AT$GPSP?, AT$GPSP=<0|1>          GNSS power: 1 starts positioning, 0 ends it
//   AT$GPSNMUN=<2>,<1|0>x6           NMEA sentences on the GPS port: OK
#pragma once

#include <optional>
#include <string>

#include "at_commands.h"

namespace cardsim {

// The answer to `line` in the ModemManager dialect; nothing when the card's own set answers it.
std::optional<AtAnswer> AnswerModemManagerAt(const std::string& line, CardState& state);

}  // namespace cardsim
