// What Satview changes on a ModemManager modem's location setup, and how it is undone.
//
// Other clients (GeoClue, mmcli, another program) set up the same modem's location sources.
// So a session's start adds what it needs to the modem's current setup and remembers what it
// added (LocationChanges); its stop reads the current setup and takes away only what Satview
// added and nobody turned off since (turned on again later, it is the other client's). The
// refresh rate is set to 0 (every trace) and put back the same way. What Satview changed is
// kept in a file of the runtime folder, written before the call, so that a Satview killed
// mid-session undoes it when it next sees the modem.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace devicemgr {

// A modem's location setup as ModemManager tells it.
struct LocationSetup {
    uint32_t sources = 0;      // Enabled: MMModemLocationSource bits
    bool signals = false;      // SignalsLocation
    uint32_t refreshRate = 0;  // GpsRefreshRate, seconds
    bool operator==(const LocationSetup&) const = default;
};

// What Satview changed on a modem and has not undone.
struct LocationChanges {
    uint32_t sources = 0;  // the sources it enabled
    bool signals = false;  // it turned the location signals on
    // It set the refresh rate to 0; the rate before.
    std::optional<uint32_t> refreshBefore;
    bool Empty() const { return sources == 0 && !signals && !refreshBefore; }
    bool operator==(const LocationChanges&) const = default;
};

// A session's start on a modem set up as `now`, wanting the sources `wanted` with the
// signals on and every trace; `earlier`: what is not undone yet.
struct StartPlan {
    LocationSetup setup;      // to ask for
    bool setRefresh = false;  // the rate is to be set to 0 first
    LocationChanges changes;  // what Satview has changed once it is done
};
StartPlan PlanStart(const LocationSetup& now, uint32_t wanted, const LocationChanges& earlier);

// A session's stop, or the undoing of a killed session's changes, on a modem set up as `now`.
struct StopPlan {
    std::optional<LocationSetup> setup;   // to ask for; none: nothing of Satview's is on
    std::optional<uint32_t> refreshRate;  // to put back; none: the rate is not Satview's
};
StopPlan PlanStop(const LocationSetup& now, const LocationChanges& changes);

// What another client turned off of Satview's changes, seen in the setup `now`: no longer
// Satview's to undo, taken out of `changes`.
struct TakenAway {
    uint32_t sources = 0;
    bool signals = false;
    bool refreshRate = false;  // the rate was changed from 0
    bool Any() const { return sources != 0 || signals || refreshRate; }
};
TakenAway NoteSetup(const LocationSetup& now, LocationChanges& changes);

// True when `now` holds every change of `changes`: the setup Satview asked for is in force.
bool InForce(const LocationSetup& now, const LocationChanges& changes);

// "gps-raw|gps-nmea" for these source bits (unknown bits by number).
std::string SourceNames(uint32_t sources);

// The file of one modem's changes below `folder`; `modem` names the modem (its equipment
// identifier, else its device), made safe for a file name.
std::string ChangesPath(const std::string& folder, const std::string& modem);
// Nothing when the file is missing or unreadable.
std::optional<LocationChanges> LoadChanges(const std::string& path);
// Writes the changes (the folder made private first); empty changes remove the file.
bool SaveChanges(const std::string& path, const LocationChanges& changes);
// The folder of the runtime folder that holds them ("modemmanager"), made when first written.
std::string DefaultChangesFolder();

}  // namespace devicemgr
