// The card's GPS command set, in one table: the line each command is sent as, a received line
// read back into its command and arguments, and the answer to the GPS type query.
//
// Every line is a name, then what the table writes after it: nothing, "?", or "=" with the
// fixed fields before the command's one argument (a text or a number) and what follows it.
// Reading a line back checks the name (in any case) and the form; of a set command's fields
// only the argument, the last field, is read: the fields before it are the card's to check.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace devicemgr {

enum class GpsCommand {
    kGpsType,       // AT^GPSTYPE?                    which receiver the card has
    kGpsStart,      // AT^GPSSTART                    opens the receiver's session
    kGpsStop,       // AT^GPSSTOP                     closes it
    kApn,           // AT^SOCKETCONT=1,"IP","<text>"  the APN assistance data come through
    kSuplServer,    // AT^WPURL=<text>                the SUPL server that sends them
    kPositionMode,  // AT^WPDOM=<number>              0 the receiver on its own, else assisted
    kFixInterval,   // AT^WPDFR=65536,<number>        seconds between fixes
    kSecTime,       // AT^SECTIME="<text>"            the time, "yyyy/mm/dd,hh:mm:ss"
    kProbe,         // AT^WPDGP                       answers OK while the GPS part is there
};

// One line of the set. `text` is the argument of kApn, kSuplServer and kSecTime, `number` that
// of kPositionMode and kFixInterval; the other commands have none.
struct GpsRequest {
    GpsCommand command;
    std::string text{};
    int number = 0;
    // Read back: what follows the '=' as written, every field ("" for the commands without).
    std::string value{};
    bool operator==(const GpsRequest&) const = default;
};

// The line of the command with its argument as it is sent, "\r\n" at its end.
std::string GpsLine(const GpsRequest& request);
inline std::string GpsLine(GpsCommand command) {
    return GpsLine(GpsRequest{.command = command});
}

// The command of `line` (its name in any case, its line end optional), or nothing when it is
// no line of the set: an unknown name, another form ("AT^GPSTYPE=1", "AT^WPDGP?"), blanks after
// it, no argument ("AT^WPURL=", "AT^WPDFR=65536"), or a number argument that is no decimal int.
// A text argument in double quotes is read without them.
std::optional<GpsRequest> ReadGpsLine(std::string_view line);

// What the card offers, by the answer to "AT^GPSTYPE?".
enum class GpsOffer { kNone, kGpsOnly, kAgps };

// The information line a card answers "AT^GPSTYPE?" with: "^GPSTYPE:<type>".
std::string GpsTypeLine(int type);

// The offer an answer to "AT^GPSTYPE?" tells: the first of "^GPSTYPE:0" (none), ":1" (GPS
// only), ":2" and ":3" (assisted) found anywhere in it, tried in that order; kNone when none is.
GpsOffer GpsOfferOf(std::string_view answer);

}  // namespace devicemgr
