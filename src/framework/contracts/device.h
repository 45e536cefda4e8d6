// The device manager's interfaces, its device objects and the event sinks it calls.
// Operations are declared in table order; slot 0 releases, slot 1 answers the last error.
//
// Event sinks (every Add...Sink/Remove...Sink pair below, on every device manager):
//  - Removing a sink returns only when no call into that sink is running on another thread;
//    called from inside that sink's own call it removes without waiting. Once it has returned
//    the sink is never called again, so its owner may destroy it at once.
//  - An object removes every sink it registered before anything of it is destroyed.
//  - A sink may send to the window thread and wait (a GPS record stays valid only for the
//    call), but never while holding anything the window thread may wait for. So the window
//    thread never waits for another thread without serving sends (ui::WaitServingSends):
//    neither a device manager removing a sink on the window thread, nor an AT exchange
//    waiting there for its answer. A manager delivers GPS data and AT answers on different
//    threads.
#pragma once

#include <cstdint>

#include "framework/contracts/plugin.h"

namespace framework {

// Receives one AT answer: information lines and the final result code together.
using AnswerHandler = void (*)(const char* answer);

// The current device's command channel (its first interface).
class IDeviceChannel : public IBaseInterface {
  public:
    FRAMEWORK_RESERVED_SLOT(2)
    FRAMEWORK_RESERVED_SLOT(3)
    FRAMEWORK_RESERVED_SLOT(4)
    FRAMEWORK_RESERVED_SLOT(5)
    FRAMEWORK_RESERVED_SLOT(6)
    FRAMEWORK_RESERVED_SLOT(7)
    FRAMEWORK_RESERVED_SLOT(8)
    FRAMEWORK_RESERVED_SLOT(9)
    FRAMEWORK_RESERVED_SLOT(10)
    FRAMEWORK_RESERVED_SLOT(11)
    FRAMEWORK_RESERVED_SLOT(12)
    FRAMEWORK_RESERVED_SLOT(13)
    FRAMEWORK_RESERVED_SLOT(14)
    FRAMEWORK_RESERVED_SLOT(15)
    FRAMEWORK_RESERVED_SLOT(16)
    FRAMEWORK_RESERVED_SLOT(17)
    FRAMEWORK_RESERVED_SLOT(18)
    // One handler at a time; answers that arrive while it is registered reach it.
    virtual bool SetAnswerHandler(AnswerHandler handler) = 0;
    // Sends one command line ending in "\r\n".
    virtual bool SendCommand(const char* line) = 0;
    virtual void EndExchange() = 0;
    virtual void RemoveAnswerHandler(AnswerHandler handler) = 0;

  protected:
    ~IDeviceChannel() = default;
};

// Why IGpsControl's OpenGps failed, in its status word: the service that manages the card
// (ModemManager) refused this user access to the card's receiver (its polkit authorization).
inline constexpr uint32_t kGpsStatusNotAuthorized = 1;

// The current device's GPS receiver control (its second interface).
class IGpsControl : public IBaseInterface {
  public:
    FRAMEWORK_RESERVED_SLOT(2)
    FRAMEWORK_RESERVED_SLOT(3)
    FRAMEWORK_RESERVED_SLOT(4)
    FRAMEWORK_RESERVED_SLOT(5)
    FRAMEWORK_RESERVED_SLOT(6)
    FRAMEWORK_RESERVED_SLOT(7)
    FRAMEWORK_RESERVED_SLOT(8)
    FRAMEWORK_RESERVED_SLOT(9)
    FRAMEWORK_RESERVED_SLOT(10)
    FRAMEWORK_RESERVED_SLOT(11)
    FRAMEWORK_RESERVED_SLOT(12)
    FRAMEWORK_RESERVED_SLOT(13)
    FRAMEWORK_RESERVED_SLOT(14)
    FRAMEWORK_RESERVED_SLOT(15)
    // Each takes a status word preset to 0; true on success. A failed call may set it to a
    // kGpsStatus... code telling why.
    virtual bool OpenGps(uint32_t* status) = 0;
    virtual bool CloseGps(uint32_t* status) = 0;

  protected:
    ~IGpsControl() = default;
};

// Device events (card arrival, SIM status, readiness, loss, removal, GPS data).
class IDeviceMgrEvent {
  public:
    virtual bool OnDeviceEvent(uint32_t event, void* data) = 0;

  protected:
    ~IDeviceMgrEvent() = default;
};

// Describes the device that became current.
class IDeviceInfo {
  public:
    virtual const char* GetDeviceName() = 0;
    virtual const char* GetCustomizeText() = 0;

  protected:
    ~IDeviceInfo() = default;
};

// The current device changed; 0 no change, -1 failure, -2 the plug-in set differs.
class IMultiDeviceMgrEvent {
  public:
    virtual int OnDeviceChanged(void* unused, IDeviceInfo* info) = 0;

  protected:
    ~IMultiDeviceMgrEvent() = default;
};

// The devices found at start-up, walked with a cursor.
class IDeviceList {
  public:
    virtual int GetCount() = 0;
    virtual const char* GetCurrentId() = 0;
    virtual int GetCurrentPort() = 0;
    virtual bool MoveFirst() = 0;
    virtual bool MoveNext() = 0;

  protected:
    ~IDeviceList() = default;
};

class IDeviceInitializeEvent {
  public:
    virtual bool OnDeviceInitialize(int event, IDeviceList* devices) = 0;

  protected:
    ~IDeviceInitializeEvent() = default;
};

class IDeviceMgr : public IBaseInterface {
  public:
    // The current device's channel; null when there is none. Not released by its users;
    // its IGpsControl is reached by dynamic_cast.
    virtual IDeviceChannel* GetCurrentDevice() = 0;
    FRAMEWORK_RESERVED_SLOT(3)
    FRAMEWORK_RESERVED_SLOT(4)
    FRAMEWORK_RESERVED_SLOT(5)
    FRAMEWORK_RESERVED_SLOT(6)
    FRAMEWORK_RESERVED_SLOT(7)
    FRAMEWORK_RESERVED_SLOT(8)
    FRAMEWORK_RESERVED_SLOT(9)
    FRAMEWORK_RESERVED_SLOT(10)
    FRAMEWORK_RESERVED_SLOT(11)
    FRAMEWORK_RESERVED_SLOT(12)
    FRAMEWORK_RESERVED_SLOT(13)
    FRAMEWORK_RESERVED_SLOT(14)
    virtual bool AddEventSink(IDeviceMgrEvent* sink) = 0;
    virtual bool RemoveEventSink(IDeviceMgrEvent* sink) = 0;

  protected:
    ~IDeviceMgr() = default;
};

class IMultiDeviceMgr : public IBaseInterface {
  public:
    // Called once when the GPS dialog's window is created.
    virtual bool Refresh() = 0;
    FRAMEWORK_RESERVED_SLOT(3)
    FRAMEWORK_RESERVED_SLOT(4)
    FRAMEWORK_RESERVED_SLOT(5)
    FRAMEWORK_RESERVED_SLOT(6)
    FRAMEWORK_RESERVED_SLOT(7)
    virtual bool AddEventSink(IMultiDeviceMgrEvent* sink) = 0;
    virtual bool RemoveEventSink(IMultiDeviceMgrEvent* sink) = 0;

  protected:
    ~IMultiDeviceMgr() = default;
};

// Told that the plug-in set must be rebuilt: a device-changed sink answered -2 for the card
// that became current. The main frame ends its run with kMainFrameReinitialize.
class IPluginSetChangedSink {
  public:
    virtual void OnPluginSetChanged() = 0;

  protected:
    ~IPluginSetChangedSink() = default;
};

// Reached by dynamic_cast from the device manager's IMultiDeviceMgr object. The sink rules at
// the top of this file hold here too.
class IPluginSetNotifier {
  public:
    virtual bool AddPluginSetSink(IPluginSetChangedSink* sink) = 0;
    virtual bool RemovePluginSetSink(IPluginSetChangedSink* sink) = 0;

  protected:
    ~IPluginSetNotifier() = default;
};

// Looked up and released by the GPS plug-in; nothing else is used.
class IDeviceMgrUI : public IBaseInterface {
  protected:
    ~IDeviceMgrUI() = default;
};

// What a directly loaded device manager plug-in hands out by interface number
// (kNotificationSourceInterface, kCustomizeSourceInterface).
class IDeviceNotificationSource : public IBaseInterface {
  public:
    FRAMEWORK_RESERVED_SLOT(2)
    FRAMEWORK_RESERVED_SLOT(3)
    FRAMEWORK_RESERVED_SLOT(4)
    FRAMEWORK_RESERVED_SLOT(5)
    FRAMEWORK_RESERVED_SLOT(6)
    FRAMEWORK_RESERVED_SLOT(7)
    FRAMEWORK_RESERVED_SLOT(8)
    FRAMEWORK_RESERVED_SLOT(9)
    FRAMEWORK_RESERVED_SLOT(10)
    FRAMEWORK_RESERVED_SLOT(11)
    FRAMEWORK_RESERVED_SLOT(12)
    FRAMEWORK_RESERVED_SLOT(13)
    FRAMEWORK_RESERVED_SLOT(14)
    FRAMEWORK_RESERVED_SLOT(15)
    FRAMEWORK_RESERVED_SLOT(16)
    virtual bool AddInitializeSink(IDeviceInitializeEvent* sink) = 0;
    virtual bool RemoveInitializeSink(IDeviceInitializeEvent* sink) = 0;

  protected:
    ~IDeviceNotificationSource() = default;
};

class ICustomizeSource : public IBaseInterface {
  public:
    FRAMEWORK_RESERVED_SLOT(2)
    FRAMEWORK_RESERVED_SLOT(3)
    FRAMEWORK_RESERVED_SLOT(4)
    virtual const char* GetCustomizeText() = 0;

  protected:
    ~ICustomizeSource() = default;
};

}  // namespace framework
