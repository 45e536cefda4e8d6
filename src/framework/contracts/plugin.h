// The plug-in contract: what the container calls on every plug-in object.
// Operations are declared in slot order; slot 0 releases, slot 1 answers the last error.
#pragma once

#include <cstdint>

namespace framework {

class IPluginContainer;

// A native window, opaque to the contract (the window kit knows what it is).
using WindowHandle = void*;

class IBaseInterface {
  public:
    virtual void Release() = 0;
    virtual int GetLastErrorCode() = 0;

  protected:
    virtual ~IBaseInterface() = default;
};

// Called when the container takes a plug-in's window away.
class IDestroyEvent {
  public:
    virtual void OnDestroyEvent() = 0;

  protected:
    virtual ~IDestroyEvent() = default;
};

class IBasePlugin : public IBaseInterface, public IDestroyEvent {
  public:
    virtual void SetContainer(IPluginContainer* container) = 0;
    virtual bool Initialize() = 0;
    virtual bool QueryInterface(uint32_t number, IBaseInterface** object) = 0;
    virtual int GetState() = 0;
    virtual const char* GetPluginId() = 0;
    virtual int GetVersion() = 0;
    virtual const char* GetName() = 0;
    // True when the plug-in may be unloaded now.
    virtual bool Uninitialize() = 0;
};

class IUIPlugin : public IBasePlugin {
  public:
    virtual bool ShowWindow(WindowHandle parent, int x, int y, int width, int height) = 0;
    virtual int DoModal() = 0;
    virtual void HideWindow() = 0;
    virtual void FitSize(int x, int y, int width, int height) = 0;
    virtual bool GetStateFlag() = 0;
};

// The one export of every plug-in library.
using CreatePluginFn = IBasePlugin* (*)();
inline constexpr const char* kCreatePluginExport = "CreatePlugin";

}  // namespace framework
