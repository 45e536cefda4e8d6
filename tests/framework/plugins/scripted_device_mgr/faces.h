// The objects the scripted device manager hands out: the current device, the two manager
// interfaces (each also carrying what a directly loading caller asks for by the same number)
// and the control interface.
#pragma once

#include "engine.h"
#include "framework/contracts/device.h"
#include "scripted_device.h"

namespace scripted {

// The current device: command channel and GPS control. One per library; never released by its
// users (a release changes nothing).
class CurrentDevice final : public framework::IDeviceChannel, public framework::IGpsControl {
  public:
    static CurrentDevice& Instance();

    void Release() override {}
    int GetLastErrorCode() override { return 0; }
    bool SetAnswerHandler(framework::AnswerHandler handler) override {
        return Engine::Instance().SetAnswerHandler(handler);
    }
    bool SendCommand(const char* line) override { return Engine::Instance().SendCommand(line); }
    void EndExchange() override { Engine::Instance().EndExchange(); }
    void RemoveAnswerHandler(framework::AnswerHandler handler) override {
        Engine::Instance().RemoveAnswerHandler(handler);
    }
    bool OpenGps(uint32_t* status) override;
    bool CloseGps(uint32_t* status) override;
};

// Interface number 1: IDeviceMgr (container lookups with flag 1) and the notification source
// (a caller that loads the plug-in directly). The plug-in object owns it; a release is counted.
class ManagerFace final : public framework::IDeviceMgr,
                          public framework::IDeviceNotificationSource {
  public:
    void Release() override { Engine::Instance().CountInterface(false); }
    int GetLastErrorCode() override { return 0; }
    framework::IDeviceChannel* GetCurrentDevice() override;
    bool AddEventSink(framework::IDeviceMgrEvent* sink) override {
        return Engine::Instance().AddSink(sink);
    }
    bool RemoveEventSink(framework::IDeviceMgrEvent* sink) override {
        return Engine::Instance().RemoveSink(sink);
    }
    bool AddInitializeSink(framework::IDeviceInitializeEvent* sink) override {
        return Engine::Instance().AddInitializeSink(sink);
    }
    bool RemoveInitializeSink(framework::IDeviceInitializeEvent* sink) override {
        return Engine::Instance().RemoveInitializeSink(sink);
    }
};

// Interface number 2: IMultiDeviceMgr (flag 2), the customize source and the plug-in set
// notifier (told whenever a device-changed sink answers -2).
class MultiManagerFace final : public framework::IMultiDeviceMgr,
                               public framework::ICustomizeSource,
                               public framework::IPluginSetNotifier {
  public:
    void Release() override { Engine::Instance().CountInterface(false); }
    int GetLastErrorCode() override { return 0; }
    bool Refresh() override {
        Engine::Instance().CountRefresh();
        return true;
    }
    bool AddEventSink(framework::IMultiDeviceMgrEvent* sink) override {
        return Engine::Instance().AddMultiSink(sink);
    }
    bool RemoveEventSink(framework::IMultiDeviceMgrEvent* sink) override {
        return Engine::Instance().RemoveMultiSink(sink);
    }
    const char* GetCustomizeText() override { return Engine::Instance().CustomizeText(); }
    bool AddPluginSetSink(framework::IPluginSetChangedSink* sink) override {
        return Engine::Instance().AddPluginSetSink(sink);
    }
    bool RemovePluginSetSink(framework::IPluginSetChangedSink* sink) override {
        return Engine::Instance().RemovePluginSetSink(sink);
    }
};

// A new control, holding one reference on the engine until released.
IScriptedDevice* NewControl();

}  // namespace scripted
