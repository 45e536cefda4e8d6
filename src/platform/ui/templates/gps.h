// The GPS plug-in's dialog templates: the GPS dialog and its settings dialog, with the ids of
// their controls.
#pragma once

#include "platform/ui/template.h"

namespace ui::templates {

inline constexpr int kGpsDialogId = 6000;
inline constexpr int kGpsIcon = 6002;  // the GPS dialog's icon

namespace gps {
inline constexpr int kList = 6000;  // list view of the GPS data items
inline constexpr int kStart = 6001;
inline constexpr int kStop = 6002;
inline constexpr int kRun = 6003;     // run the external program (hidden)
inline constexpr int kBrowse = 6004;  // browse for it (hidden)
inline constexpr int kStatus = 6006;
inline constexpr int kPath = 6005;  // its path (hidden)
inline constexpr int kNoDataSeconds = 6008;
inline constexpr int kGpsType = 6023;
inline constexpr int kNoDataLabel = 6007;
inline constexpr int kSecondsUnit = 6009;
inline constexpr int kGpsTypeLabel = 6022;
inline constexpr int kSetting = 6018;
inline constexpr int kAutoRun = 6026;
inline constexpr int kLanguage = 6030;
inline constexpr int kOpenMap = 6033;
inline constexpr int kMapSite = 6034;
}  // namespace gps

// Template 6000: the GPS dialog.
const DialogTemplate& GpsDialog();

inline constexpr int kSettingsDialogId = 6003;

namespace settings {
inline constexpr int kTypeGroup = 6031;
inline constexpr int kTypeGps = 6012;
inline constexpr int kTypeAgps = 6013;
inline constexpr int kAgpsGroup = 6019;
inline constexpr int kApnLabel = 6020;
inline constexpr int kApn = 6014;
inline constexpr int kSuplLabel = 6021;
inline constexpr int kSupl = 6015;
inline constexpr int kScenarioGroup = 6032;
inline constexpr int kHighSpeed = 6016;
inline constexpr int kPedestrian = 6017;
inline constexpr int kUseNow = 6027;
inline constexpr int kSave = 6010;
inline constexpr int kCancel = 6011;
}  // namespace settings

// Template 6003: the settings dialog.
const DialogTemplate& SettingsDialog();

}  // namespace ui::templates
