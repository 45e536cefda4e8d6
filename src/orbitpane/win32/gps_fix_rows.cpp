#include "orbitpane/win32/gps_fix_rows.h"

#include <charconv>
#include <cmath>

#include "orbitpane/win32/gpsuidlg.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/templates/gps.h"

namespace orbitpane {
namespace {

std::wstring Fixed(double value, int decimals) {
    // -0.04 shows as 0.0, not -0.0.
    double scale = std::pow(10.0, decimals);
    if (std::round(value * scale) == 0) value = 0;
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return {};
    return platform::Utf8ToWide(std::string(buffer, end));
}

template <typename T>
std::optional<T> Known(bool known, T value) {
    return known ? std::optional<T>(value) : std::nullopt;
}

}  // namespace

FixReadings ReadingsOf(const framework::GpsDataRecord& r) {
    FixReadings readings;
    readings.altitudeMetres = Known(r.altitudeKnown, r.altitudeMetres);
    readings.speedMetresPerSecond = Known(r.speedKnown, r.speedMetresPerSecond);
    readings.courseDegrees = Known(r.courseKnown, r.courseDegrees);
    readings.fixMode = Known<int>(r.fixModeKnown, r.fixMode);
    readings.hdop = Known(r.hdopKnown, r.hdop);
    return readings;
}

std::wstring SecondsText(std::chrono::milliseconds duration,
                         const std::function<std::wstring(const wchar_t*)>& text) {
    return Fixed(duration.count() / 1000.0, 1) + L" " + text(L"IDS_UNIT_SECONDS");
}

std::array<std::wstring, kFixRows> FixRowTexts(
    const FixReadings& readings, const std::function<std::wstring(const wchar_t*)>& text) {
    std::array<std::wstring, kFixRows> rows;
    if (readings.altitudeMetres) {
        rows[0] = Fixed(*readings.altitudeMetres, 1) + L" " + text(L"IDS_UNIT_METRE");
    }
    if (readings.speedMetresPerSecond) {
        rows[1] = Fixed(*readings.speedMetresPerSecond * 3.6, 1) + L" " + text(L"IDS_UNIT_KMH");
        if (readings.courseDegrees) rows[1] += L" / " + Fixed(*readings.courseDegrees, 0) + L"°";
    }
    const std::wstring hdop = readings.hdop ? L"HDOP " + Fixed(*readings.hdop, 1) : L"";
    if (!readings.fixMode) {
        rows[2] = hdop;
    } else if (*readings.fixMode == framework::kGpsFixNone) {
        rows[2] = text(L"IDS_FIX_NONE");
    } else {
        rows[2] = text(*readings.fixMode == framework::kGpsFix2D ? L"IDS_FIX_2D" : L"IDS_FIX_3D");
        if (!hdop.empty()) rows[2] += L" (" + hdop + L")";
    }
    if (readings.firstFixAfter) rows[3] = SecondsText(*readings.firstFixAfter, text);
    return rows;
}

}  // namespace orbitpane

void CGPSUIDlg::ShowFixRows(bool titles) {
    ui::ListView list = List(ui::templates::gps::kList);
    const auto values =
        orbitpane::FixRowTexts(fixReadings_, [this](const wchar_t* key) { return Text(key); });
    for (int i = 0; i < orbitpane::kFixRows; ++i) {
        if (titles) list.SetItemText(kListRows + i, 0, Text(orbitpane::kFixRowKeys[i]));
        list.SetItemText(kListRows + i, 1, values[i]);
    }
}
