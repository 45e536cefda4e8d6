// The parts every small plug-in object shares: its last error, its container, and the
// identity and life operations that need nothing of their own. Derive from
// PluginObject<IBasePlugin> or PluginObject<IUIPlugin> and write QueryInterface (and the
// window operations of a UI plug-in). Release deletes the object through this class, whose
// destructor is virtual; it comes after the interface's operations in the table.
#pragma once

#include <atomic>

#include "framework/contracts/plugin.h"

namespace framework {

template <typename Base = IBasePlugin>
class PluginObject : public Base {
  public:
    PluginObject(const char* id, const char* name, int version = 1)
        : id_(id), name_(name), version_(version) {}
    virtual ~PluginObject() = default;

    void Release() override { delete this; }
    int GetLastErrorCode() override { return lastError_; }
    void OnDestroyEvent() override {}
    void SetContainer(IPluginContainer* container) override { container_ = container; }
    bool Initialize() override { return true; }
    int GetState() override { return 0; }
    const char* GetPluginId() override { return id_; }
    int GetVersion() override { return version_; }
    const char* GetName() override { return name_; }
    bool Uninitialize() override { return true; }

  protected:
    IPluginContainer* Container() const { return container_; }
    // Hands `found` out through `object`; a null `found` (or `object`) is a failed query.
    bool Answer(IBaseInterface* found, IBaseInterface** object) {
        if (!object || !found) {
            lastError_ = -1;
            return false;
        }
        *object = found;
        lastError_ = 0;
        return true;
    }

    std::atomic<int> lastError_{0};  // lookups come from several threads

  private:
    const char* id_;
    const char* name_;
    int version_;
    std::atomic<IPluginContainer*> container_{nullptr};
};

}  // namespace framework
