// Opening the current position in a map site.
#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/map_link.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

void CGPSUIDlg::OnOpenMapLink() {
    const std::string latitudeText = platform::WideToUtf8(rawLatitude_);
    const double latitude = orbitpane::ReadCoordinate(latitudeText);
    Trace("The Latitude is: = ");
    Trace(latitudeText.c_str());
    const std::string longitudeText = platform::WideToUtf8(rawLongitude_);
    const double longitude = orbitpane::ReadCoordinate(longitudeText);
    Trace("The Longitude is: = ");
    Trace(longitudeText.c_str());

    const wchar_t* key = orbitpane::LinkTemplateKey(Combo(ids::kMapSite).CurrentText());
    const std::string linkTemplate = platform::WideToUtf8(Text(key));
    std::string why;
    std::optional<std::string> link =
        orbitpane::BuildMapLink(linkTemplate, latitude, longitude, why);
    if (!link) {
        Trace(("The map link was not opened: " + why).c_str());
        return;
    }
    if (link->empty()) return;
    platform::OpenWithDefaultHandler(*link);
}
