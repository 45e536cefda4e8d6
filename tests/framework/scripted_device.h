// The scripted device manager: a device manager plug-in for tests. Its current device answers
// AT command lines from a script, and the test raises device events when it likes. Everything
// the device manager calls back (answer handlers, event sinks) runs on the manager's own
// thread, as with a real card.
//
// Reaching the control interface:
//  - through a container that loaded the plug-in from plugins.xml:
//        IBaseInterface* object = nullptr;
//        container->QueryService(framework::kDeviceMgrId, scripted::kControlInterface, &object);
//        auto* device = dynamic_cast<scripted::IScriptedDevice*>(object);
//  - or from the library itself (loaded by the test, or by the code under test from the same
//    path): its export kControlExport (ScriptedDeviceLibrary in scripted_device_access.h
//    does this).
// Every plug-in object of one loaded library shares one script, one device and one set of
// sinks. Sinks and the answer handler stay registered until removed, whoever registered them.
// Sink removal keeps the rules of framework/contracts/device.h: it returns once no call into
// the sink runs on another thread (serving sends while it waits on the window thread), so a
// sink may be destroyed as soon as its removal returns; a call still running 10 s after its
// removal (a sink waiting for the thread that removes it) stops the test program with a
// message. The control interface is released
// when the test is done with it; the manager's thread stops when the last plug-in object and
// control are released.
//
// Example:
//   device->QueueAnswer("AT^GPSTYPE?", "\r\n^GPSTYPE:2\r\n\r\nOK\r\n");
//   device->QueueAnswer("AT^WPDGP", "\r\nOK\r\n", 800);   // late: after a 500 ms window
//   device->QueueNoAnswer("AT^WPDOM=5");
//   ... code under test sends "AT^GPSTYPE?\r\n" ...
//   device->RaiseGpsData("11.5E", "48.1N", "7");
//   ASSERT_TRUE(device->WaitIdle(2000));
//   EXPECT_EQ(device->SentLines(), (std::vector<std::string>{"AT^GPSTYPE?\r\n"}));
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"

namespace scripted {

// Interface number of the control interface (IBasePlugin::QueryInterface, or a container
// lookup of the device manager's identifier with this flag).
inline constexpr uint32_t kControlInterface = 0x7E57;
// Export of the library: IScriptedDevice* ScriptedDeviceControl(); each call hands out one
// reference, released with Release().
inline constexpr const char* kControlExport = "ScriptedDeviceControl";
using ControlFn = class IScriptedDevice* (*)();

// One entry of the device list handed to IDeviceInitializeEvent sinks.
struct ListedDevice {
    std::string id;
    int port = 0;
};

// What the manager and its device were asked to do, counted since the last Reset().
struct Counters {
    int endExchanges = 0;         // IDeviceChannel::EndExchange
    int handlersSet = 0;          // IDeviceChannel::SetAnswerHandler
    int handlersRemoved = 0;      // IDeviceChannel::RemoveAnswerHandler with the registered one
    int gpsOpens = 0;             // IGpsControl::OpenGps
    int gpsCloses = 0;            // IGpsControl::CloseGps
    int refreshes = 0;            // IMultiDeviceMgr::Refresh
    int currentDeviceAsks = 0;    // IDeviceMgr::GetCurrentDevice
    int interfacesHandedOut = 0;  // objects given by the plug-in's QueryInterface (flags 1 and 2)
    int interfacesReleased = 0;   // ... and released again by their users
    int answersDelivered = 0;     // answers that reached a registered handler
    int answersDropped = 0;       // answers that came when no handler was registered
};

class IScriptedDevice : public framework::IBaseInterface {
  public:
    // ---- AT answers. `command` is a line as sent, without its final "\r\n".
    // One answer for the next sending of `command` (answers queue up per command), delivered
    // `delayMs` after the line was sent.
    virtual void QueueAnswer(const std::string& command, const std::string& answer,
                             int delayMs = 0) = 0;
    // The next sending of `command` gets no answer at all.
    virtual void QueueNoAnswer(const std::string& command) = 0;
    // The answer for every sending of `command` that has nothing queued.
    virtual void SetStandingAnswer(const std::string& command, const std::string& answer,
                                   int delayMs = 0) = 0;
    // The answer for commands with nothing queued and no standing answer ("" : none, the
    // default).
    virtual void SetFallbackAnswer(const std::string& answer, int delayMs = 0) = 0;
    // Delivers `answer` to whatever handler is registered `delayMs` from now, unasked.
    virtual void PushAnswer(const std::string& answer, int delayMs = 0) = 0;

    // ---- The device.
    // false: GetCurrentDevice answers null (no card). Default true.
    virtual void SetDevicePresent(bool present) = 0;
    // Results of SendCommand, OpenGps and CloseGps (default true). A failed send records the
    // line but schedules no answer.
    virtual void SetSendResult(bool result) = 0;
    virtual void SetGpsResults(bool openResult, bool closeResult) = 0;
    // The status word a failed OpenGps gives (default 0).
    virtual void SetGpsOpenStatus(uint32_t status) = 0;
    // The customize source's text (default empty); a text handed out stays valid until the
    // next change.
    virtual void SetCustomizeText(const std::string& text) = 0;

    // ---- Events, delivered on the manager's thread `delayMs` from now, in the order raised.
    // IDeviceMgrEvent sinks get `code` with a copy of `data` (null when size is 0), valid until
    // each sink returns.
    virtual void RaiseEvent(uint32_t code, const void* data, size_t size, int delayMs = 0) = 0;
    // IMultiDeviceMgrEvent sinks get a device information object with these texts.
    virtual void RaiseDeviceChanged(const std::string& name, const std::string& customize,
                                    int delayMs = 0) = 0;
    // IDeviceInitializeEvent sinks get `code` and a device list object over `devices`.
    virtual void RaiseDevicesInitialized(const std::vector<ListedDevice>& devices,
                                         int code = framework::kEventDevicesInitialized,
                                         int delayMs = 0) = 0;
    // From now on, each IDeviceInitializeEvent sink added gets code 12 with `devices`,
    // `delayMs` after it was added (as a real manager announces its cards).
    virtual void AnnounceDevicesOnRegister(const std::vector<ListedDevice>& devices,
                                           int delayMs = 0) = 0;

    // ---- Records.
    // Every line given to SendCommand, in order, exactly as given.
    virtual std::vector<std::string> SentLines() = 0;
    virtual std::vector<std::string> DeliveredAnswers() = 0;
    virtual Counters GetCounters() = 0;
    // Results the sinks returned, in delivery order.
    virtual std::vector<bool> DeviceEventResults() = 0;
    virtual std::vector<int> DeviceChangedResults() = 0;
    virtual std::vector<bool> InitializeResults() = 0;
    virtual int EventSinkCount() = 0;       // IDeviceMgrEvent sinks registered now
    virtual int MultiSinkCount() = 0;       // IMultiDeviceMgrEvent sinks
    virtual int InitializeSinkCount() = 0;  // IDeviceInitializeEvent sinks
    virtual bool HandlerRegistered() = 0;

    // ---- Waiting (for code under test that runs on other threads).
    // Until nothing is pending: every answer and event scheduled so far (delayed ones too) has
    // been delivered and its callbacks have returned. False on time-out.
    virtual bool WaitIdle(int timeoutMs) = 0;
    // Until at least `count` lines were sent in all. False on time-out.
    virtual bool WaitForSent(size_t count, int timeoutMs) = 0;

    // Forgets the script, the records and the counters, drops pending deliveries and restores
    // the defaults. Registered sinks and the handler stay registered.
    virtual void Reset() = 0;

    // ---- Helpers.
    // An event whose data is not read (arrival, removal, ready, unavailable). Like a real
    // manager it still passes data: a 32-bit zero.
    void RaiseBareEvent(uint32_t code, int delayMs = 0) {
        uint32_t zero = 0;
        RaiseEvent(code, &zero, sizeof zero, delayMs);
    }
    void RaiseSimStatus(uint32_t status, int delayMs = 0) {
        RaiseEvent(framework::kEventSimStatus, &status, sizeof status, delayMs);
    }
    void RaiseGpsData(const std::string& longitude, const std::string& latitude,
                      const std::string& satellites, int delayMs = 0) {
        framework::GpsDataRecord record{};
        std::strncpy(record.longitude, longitude.c_str(), sizeof record.longitude - 1);
        std::strncpy(record.latitude, latitude.c_str(), sizeof record.latitude - 1);
        std::strncpy(record.satellites, satellites.c_str(), sizeof record.satellites - 1);
        RaiseEvent(framework::kEventGpsData, &record, sizeof record, delayMs);
    }
};

}  // namespace scripted
