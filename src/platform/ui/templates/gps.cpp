#include "platform/ui/templates/gps.h"

namespace ui::templates {

namespace {
using K = ControlKind;
}  // namespace

const DialogTemplate& GpsDialog() {
    using namespace gps;
    // 279 x 179 dialog units: the list on top (the position rows, then the fix rows, all in
    // sight), then the GPS type and no-data line, the status line, the map and language
    // selectors, and the check box with the buttons at the bottom. The path controls are hidden for
    // good and share the selectors' row.
    static const DialogTemplate dialog{
        kGpsDialogId,
        L"Satview",
        279,
        179,
        L"MS Shell Dlg",
        8,
        kDialogPopup | kDialogCaption | kDialogSysMenu | kDialogMinimizeBox,
        {
            {kStart, K::PushButton, L"Start", {126, 164, 46, 14}, kStyleDefault | kStyleGroup},
            {kStop, K::PushButton, L"Stop", {176, 164, 46, 14}, kStyleDisabled},
            {kSetting, K::PushButton, L"Setting", {226, 164, 46, 14}, 0},
            {kAutoRun, K::CheckBox, L"Run automatically", {7, 166, 115, 10}, 0},
            {kLanguage, K::DropDownList, L"", {176, 151, 96, 64}, 0},
            {kRun, K::PushButton, L"Run", {204, 150, 40, 14}, kStyleHidden},
            {kOpenMap, K::PushButton, L"Open", {111, 150, 50, 14}, 0},
            {kList, K::ListView, L"", {7, 4, 265, 130}, kStyleBorder | kStyleNoScroll},
            {kBrowse, K::PushButton, L"...", {180, 150, 20, 14}, kStyleHidden},
            {kStatus, K::Static, L"", {7, 142, 265, 8}, kStyleNoPrefix},
            {kPath, K::Edit, L"", {7, 151, 170, 12}, kStyleHidden | kStyleAutoHScroll},
            {kNoDataSeconds, K::Static, L"", {222, 134, 28, 8}, kStyleCentre},
            {kGpsType, K::Static, L"", {77, 134, 40, 8}, 0},
            {kNoDataLabel, K::Static, L"No Data during", {160, 134, 62, 8}, 0},
            {kSecondsUnit, K::Static, L"s", {252, 134, 20, 8}, 0},
            {kGpsTypeLabel, K::Static, L"Current GPS Type:", {7, 134, 68, 8}, 0},
            {kMapSite, K::DropDownCombo, L"", {7, 151, 100, 64}, kStyleAutoHScroll},
        },
    };
    return dialog;
}

const DialogTemplate& SettingsDialog() {
    using namespace settings;
    // 186 x 172 dialog units: three group boxes (type, AGPS configuration, scenario), the
    // "use now" check box and the Save and Cancel buttons.
    static const DialogTemplate dialog{
        kSettingsDialogId,
        L"Setting",
        186,
        172,
        L"MS Shell Dlg",
        8,
        kDialogPopup | kDialogCaption | kDialogSysMenu | kDialogModalFrame,
        {
            {kTypeGroup, K::GroupBox, L"GPS Type", {7, 7, 172, 40}, 0},
            {kTypeGps, K::RadioButton, L"GPS(no network)", {16, 19, 150, 10}, kStyleGroup},
            {kTypeAgps, K::RadioButton, L"AGPS(need network)", {16, 32, 150, 10}, 0},
            {kAgpsGroup, K::GroupBox, L"AGPS Configuration", {7, 51, 172, 50}, kStyleGroup},
            {kApnLabel, K::Static, L"APN", {16, 66, 48, 8}, 0},
            {kApn, K::Edit, L"", {66, 64, 104, 12}, kStyleAutoHScroll | kStyleGroup},
            {kSuplLabel, K::Static, L"SUPL server", {16, 84, 48, 8}, 0},
            {kSupl, K::Edit, L"", {66, 82, 104, 12}, kStyleAutoHScroll},
            {kScenarioGroup, K::GroupBox, L"Scenario Profile", {7, 105, 172, 28}, kStyleGroup},
            {kHighSpeed, K::RadioButton, L"High speed", {16, 117, 70, 10}, kStyleGroup},
            {kPedestrian, K::RadioButton, L"Pedestrianism", {92, 117, 80, 10}, 0},
            {kUseNow, K::CheckBox, L"Use these immediately.", {7, 138, 172, 10}, kStyleGroup},
            {kSave, K::PushButton, L"Save", {76, 152, 50, 14}, kStyleDefault | kStyleGroup},
            {kCancel, K::PushButton, L"Cancel", {129, 152, 50, 14}, 0},
        },
    };
    return dialog;
}

}  // namespace ui::templates
