// GPS data records on the window thread: the value rows, the last position and the arrival
// time the no-data watchdog measures against.
#include <cstring>

#include "framework/contracts/ids.h"
#include "orbitpane/win32/gps_data_format.h"
#include "orbitpane/win32/gpsuidlg.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

namespace {

// A text field of the record, up to its terminating zero or the end of the field.
std::string Field(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

// The coordinate text without its final character.
std::wstring WithoutFinalCharacter(const std::string& text) {
    std::wstring wide = platform::Utf8ToWide(text);
    if (!wide.empty()) wide.pop_back();
    return wide;
}

}  // namespace

ui::LResult CGPSUIDlg::OnGpsData(const void* data) {
    // A record that was on its way when the receiver was told to stop belongs to no session.
    if (data == nullptr || !session_.AcceptsPositions()) return 0;
    const auto* record = static_cast<const framework::GpsDataRecord*>(data);
    const std::string latitude = Field(record->latitude, sizeof record->latitude);
    if (latitude.empty()) return 0;
    rawLatitude_ = WithoutFinalCharacter(latitude);
    const std::string longitude = Field(record->longitude, sizeof record->longitude);
    if (longitude.empty()) return 0;
    rawLongitude_ = WithoutFinalCharacter(longitude);
    // One a fix: at the debug level, so that a session does not fill the log.
    TraceDebug("GPS Data Notify\xEF\xBC\x81\n");  // a full-width exclamation mark
    // The time of the fix shown is the computer's wall clock.
    const std::time_t arrival = context_.Clock().wall();

    ui::ListView list = List(ids::kList);
    auto setRow = [&](int row, const std::wstring& text) {
        list.SetItemText(row, 1, text);
        context_.SetLastPositionText(row, text);
    };
    auto coordinate = [&](int row, const std::string& text, const wchar_t* plus,
                          const wchar_t* minus) {
        bool isPlus = true;
        std::wstring formatted;
        if (orbitpane::FormatCoordinate(platform::Utf8ToWide(text), isPlus, formatted)) {
            setRow(row, (isPlus ? plus : minus) + formatted);
        }
    };
    coordinate(orbitpane::kRowLongitude, longitude, L"E ", L"W ");
    coordinate(orbitpane::kRowLatitude, latitude, L"N ", L"S ");
    setRow(orbitpane::kRowSatellites,
           platform::Utf8ToWide(Field(record->satellites, sizeof record->satellites)));
    setRow(orbitpane::kRowTime, orbitpane::FormatArrivalTime(arrival));
    session_.PositionArrived(*record, arrival);
    fixReadings_ = orbitpane::ReadingsOf(*record);
    fixReadings_.firstFixAfter = session_.FirstFixAfter();
    ShowFixRows(false);
    return 0;
}
