#include "orbitpane/win32/card_commands.h"

#include "orbitpane/win32/orbitpaneimpl.h"

namespace orbitpane {

bool PluginCardCommands::SetSecTime(const std::string& text) {
    return plugin_ && plugin_->SetSecTime(text) != 0;
}
bool PluginCardCommands::SetApn(const std::string& apn) {
    return plugin_ && plugin_->SetApn(apn) != 0;
}
bool PluginCardCommands::SetSuplServer(const std::string& server) {
    return plugin_ && plugin_->SetSuplServer(server) != 0;
}
bool PluginCardCommands::SetPositionMode(int mode) {
    return plugin_ && plugin_->SetPositionMode(mode) != 0;
}
bool PluginCardCommands::SetFixInterval(int seconds) {
    return plugin_ && plugin_->SetFixInterval(seconds) != 0;
}
bool PluginCardCommands::OpenGps(bool& refused) {
    refused = false;
    if (!plugin_) return false;
    if (plugin_->OpenGps() != 0) return true;
    refused = plugin_->GpsStatus() == framework::kGpsStatusNotAuthorized;
    return false;
}
bool PluginCardCommands::CloseGps() {
    return plugin_ && plugin_->CloseGps() != 0;
}
bool PluginCardCommands::ProbeCard() {
    return plugin_ && plugin_->ProbeCard();
}
void PluginCardCommands::RegisterEvents() {
    if (plugin_) plugin_->RegisterDeviceEvents();
}
void PluginCardCommands::UnregisterEvents() {
    if (plugin_) plugin_->UnregisterDeviceEvents();
}

}  // namespace orbitpane
