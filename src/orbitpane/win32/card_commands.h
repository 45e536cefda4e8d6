// The card's commands as a GPS session asks them, carried out by the plug-in object the dialog
// was given (none: every command fails and nothing is sent).
#pragma once

#include "orbitpane/session/gps_session.h"

class COrbitpaneImpl;

namespace orbitpane {

class PluginCardCommands final : public session::CardCommands {
  public:
    // `plugin`: the dialog's back-pointer, read at each command.
    explicit PluginCardCommands(COrbitpaneImpl* const& plugin) : plugin_(plugin) {}
    bool SetSecTime(const std::string& text) override;
    bool SetApn(const std::string& apn) override;
    bool SetSuplServer(const std::string& server) override;
    bool SetPositionMode(int mode) override;
    bool SetFixInterval(int seconds) override;
    bool OpenGps(bool& refused) override;
    bool CloseGps() override;
    bool ProbeCard() override;
    void RegisterEvents() override;
    void UnregisterEvents() override;

  private:
    COrbitpaneImpl* const& plugin_;
};

}  // namespace orbitpane
