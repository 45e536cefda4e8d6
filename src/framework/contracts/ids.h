// Identifiers, lookup flags, event codes and record layouts shared by the launcher, the
// container, its services and every plug-in.
#pragma once

#include <cstddef>
#include <cstdint>

namespace framework {

// Service and plug-in identifiers looked up through the container.
inline constexpr const char* kTraceServiceId = "999C080F-996F-49f5-BBB7-61FC76B272A9";
inline constexpr const char* kLocaleServiceId = "140B81C0-F62B-4ee0-9897-BDC3F8F03B18";
inline constexpr const char* kConfigPluginId = "188F177A-8389-4e4f-A99B-C3FFF2CBB620";
inline constexpr const char* kDeviceMgrId = "5D31EE0B-DA93-4641-BD21-7DCE3DB15D15";
inline constexpr const char* kDeviceMgrUiId = "8772F2BF-3227-4203-AFDD-DBAD1E9D1F98";
inline constexpr const char* kMainFramePluginId = "D754AE84-535F-4c18-85F8-F154CFE34DDF";
inline constexpr const char* kOrbitpanePluginId = "935CFC65-83F1-4c89-8BDA-656DA0ABED75";
// The plug-in configuration property interface is asked for with an empty identifier.
inline constexpr const char* kPluginConfigPropertyId = "";

// Flags that go with each lookup.
inline constexpr uint32_t kTraceServiceFlag = 1;
inline constexpr uint32_t kLocaleServiceFlag = 0x4044;
inline constexpr uint32_t kConfigServiceFlag = 0x4000;
inline constexpr uint32_t kPluginConfigPropertyFlag = 0x200;
inline constexpr uint32_t kDeviceMgrFlag = 1;       // IDeviceMgr
inline constexpr uint32_t kMultiDeviceMgrFlag = 2;  // IMultiDeviceMgr
inline constexpr uint32_t kDeviceMgrUiFlag = 1;

// Interface numbers of IBasePlugin::QueryInterface.
inline constexpr uint32_t kUiPluginInterface = 0x5001;
// Interface numbers of a directly loaded device manager plug-in.
inline constexpr uint32_t kNotificationSourceInterface = 1;
inline constexpr uint32_t kCustomizeSourceInterface = 2;

// Device manager events (IDeviceMgrEvent::OnDeviceEvent).
inline constexpr uint32_t kEventCardArrived = 20101;
inline constexpr uint32_t kEventCardRemoved = 20102;
inline constexpr uint32_t kEventSimStatus = 20507;  // data: uint32_t, 1 usable
inline constexpr uint32_t kEventCardReady = 20509;
// data: uint32_t, kUnavailable... (why)
inline constexpr uint32_t kEventCardUnavailable = 20510;
inline constexpr uint32_t kEventGpsData = 20701;  // data: GpsDataRecord
// Every complete view of the sky while the session is open, with or without a fix.
inline constexpr uint32_t kEventGpsSky = 20702;  // data: GpsSkyRecord (gps_sky.h)
// IDeviceInitializeEvent: the devices are initialised.
inline constexpr int kEventDevicesInitialized = 12;

// SIM status values carried by kEventSimStatus.
inline constexpr uint32_t kSimUsable = 1;

// Why the card is unavailable, carried by kEventCardUnavailable: it does not answer, or it
// answers but its radio was switched off (by the user or the desktop's network manager).
inline constexpr uint32_t kUnavailableNotAnswering = 0;
inline constexpr uint32_t kUnavailableSwitchedOff = 1;

// Main-frame result that asks the launcher for another run.
inline constexpr int kMainFrameReinitialize = 4;

// The GPS data record: three zero-terminated narrow texts at fixed byte offsets, then what the
// receiver said beyond the position. A reader of the three texts alone reads exactly what it
// always did: the extra fields start after them.
inline constexpr size_t kGpsLongitudeOffset = 0;
inline constexpr size_t kGpsLatitudeOffset = 30;
inline constexpr size_t kGpsSatellitesOffset = 60;
inline constexpr size_t kGpsFieldSize = 30;
inline constexpr size_t kGpsTextsSize = 90;  // the three texts end here

// Fix modes of GpsDataRecord::fixMode.
inline constexpr int32_t kGpsFixNone = 1;
inline constexpr int32_t kGpsFix2D = 2;
inline constexpr int32_t kGpsFix3D = 3;

struct GpsDataRecord {
    char longitude[kGpsFieldSize];
    char latitude[kGpsFieldSize];
    char satellites[kGpsFieldSize];

    // Each value below counts only while its flag is set; a receiver that did not say it (or
    // said it void) leaves the flag clear and the value 0.
    bool altitudeKnown;
    bool speedKnown;
    bool courseKnown;
    bool fixModeKnown;
    bool pdopKnown;
    bool hdopKnown;
    bool vdopKnown;
    bool satellitesUsedKnown;
    bool utcTimeKnown;      // utcMillisecondOfDay is set
    bool utcDateTimeKnown;  // utcMilliseconds is set (the date is known too)

    double altitudeMetres;        // antenna above mean sea level (the geoid), metres
    double speedMetresPerSecond;  // over ground
    double courseDegrees;         // over ground, true north, clockwise, 0 to 360
    int32_t fixMode;              // kGpsFixNone, kGpsFix2D or kGpsFix3D
    int32_t satellitesUsed;       // in the fix (not in view)
    double pdop;                  // dilutions of precision, no unit
    double hdop;
    double vdop;
    int32_t utcMillisecondOfDay;  // the fix's UTC time of day, 0 to 86 400 999 (leap second)
    int64_t utcMilliseconds;      // the fix's UTC time, since 1970-01-01 00:00:00 UTC
};
static_assert(offsetof(GpsDataRecord, longitude) == kGpsLongitudeOffset);
static_assert(offsetof(GpsDataRecord, latitude) == kGpsLatitudeOffset);
static_assert(offsetof(GpsDataRecord, satellites) == kGpsSatellitesOffset);
static_assert(offsetof(GpsDataRecord, altitudeKnown) == kGpsTextsSize);

// Trace levels, most severe first.
inline constexpr int kTraceError = 1;
inline constexpr int kTraceWarning = 2;
inline constexpr int kTraceNotice = 3;
inline constexpr int kTraceInfo = 4;
// Detail for finding faults (every NMEA sentence, every AT line): not written unless the
// environment asks for it (SATVIEW_TRACE=debug).
inline constexpr int kTraceDebug = 5;

}  // namespace framework
