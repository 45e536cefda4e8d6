// The plug-in contract: what the container calls on every plug-in object.
// Operations are declared in slot order; slot 0 releases, slot 1 answers the last error.
//
// Callers reach every operation by its slot in the object's table, so the tables hold the
// operations and nothing else: objects are released through Release (slot 0), never deleted
// through an interface, and no interface has a virtual destructor (each has a protected
// non-virtual one). Where a table leaves slots unused before a numbered operation, the
// interface fills them with FRAMEWORK_RESERVED_SLOT so that every operation keeps its number.
#pragma once

#include <cstdint>

// An unused slot of an interface's table; the operation does nothing.
#define FRAMEWORK_RESERVED_SLOT(slot) \
    virtual void ReservedSlot##slot() {}

namespace framework {

class IPluginContainer;

// A native window, opaque to the contract (the window kit knows what it is).
using WindowHandle = void*;

class IBaseInterface {
  public:
    virtual void Release() = 0;
    virtual int GetLastErrorCode() = 0;

  protected:
    ~IBaseInterface() = default;
};

// Called when the container takes a plug-in's window away.
class IDestroyEvent {
  public:
    virtual void OnDestroyEvent() = 0;

  protected:
    ~IDestroyEvent() = default;
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

  protected:
    ~IBasePlugin() = default;
};

class IUIPlugin : public IBasePlugin {
  public:
    virtual bool ShowWindow(WindowHandle parent, int x, int y, int width, int height) = 0;
    virtual int DoModal() = 0;
    virtual void HideWindow() = 0;
    virtual void FitSize(int x, int y, int width, int height) = 0;
    virtual bool GetStateFlag() = 0;

  protected:
    ~IUIPlugin() = default;
};

// The one export of every plug-in library.
using CreatePluginFn = IBasePlugin* (*)();
inline constexpr const char* kCreatePluginExport = "CreatePlugin";

}  // namespace framework
