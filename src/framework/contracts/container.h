// The plug-in container and the property walk over the plug-ins it loaded.
// Operations are declared in table order; slot 0 releases, slot 1 answers the last error.
#pragma once

#include <cstdint>

#include "framework/contracts/plugin.h"

namespace framework {

class IPluginContainer : public IBaseInterface {
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
    // Runs the main-frame plug-in modally and answers its result code (4: run again).
    virtual int RunMainFrame(const char* mainFrameId) = 0;
    FRAMEWORK_RESERVED_SLOT(12)
    FRAMEWORK_RESERVED_SLOT(13)
    // Service lookup by identifier and flag; `object` must be preset to null. Callers convert
    // the object with dynamic_cast to the interface they want.
    virtual bool QueryService(const char* id, uint32_t flag, IBaseInterface** object) = 0;
    // The main-frame plug-in's identifier, null when the list names none.
    virtual const char* GetMainFrameId() = 0;

  protected:
    ~IPluginContainer() = default;
};

// Walks the entries of the plug-in list; MoveNext is called before the first entry.
class IQueryPluginConfigProperty : public IBaseInterface {
  public:
    FRAMEWORK_RESERVED_SLOT(2)
    virtual bool MoveNext() = 0;
    FRAMEWORK_RESERVED_SLOT(4)
    FRAMEWORK_RESERVED_SLOT(5)
    virtual const char* GetUrl() = 0;
    FRAMEWORK_RESERVED_SLOT(7)
    FRAMEWORK_RESERVED_SLOT(8)
    FRAMEWORK_RESERVED_SLOT(9)
    virtual const char* GetId() = 0;

  protected:
    ~IQueryPluginConfigProperty() = default;
};

class CContainerFactory {
  public:
    // Reads the plug-in list at `pluginListPath`, loads every plug-in it names and hands
    // each one the container. Null when the list cannot be used.
    static IPluginContainer* CreatePluginContainer(const char* pluginListPath);
    // Releases and unloads every plug-in, last loaded first, and frees the container.
    static void DestroyPluginContainer(IPluginContainer* container);
};

}  // namespace framework
