// Loads the scripted device manager library into the test and holds its control interface.
// A container or other code that loads the same library path shares the one loaded instance,
// and so the same script, device and sinks.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/library.h"
#include "scripted_device.h"
#include "test_plugins.h"

namespace scripted {

class ScriptedDeviceLibrary {
  public:
    ScriptedDeviceLibrary() {
        std::string error;
        library_ = platform::SharedLibrary::Load(
            test_plugins::LibraryPath(test_plugins::kScriptedDeviceMgr), error);
        if (!library_) throw std::runtime_error(error);
        auto open = library_->Function<ControlFn>(kControlExport, error);
        if (!open) throw std::runtime_error(error);
        control_ = open();
        control_->Reset();
    }
    ~ScriptedDeviceLibrary() {
        control_->Release();
        library_.reset();
    }
    ScriptedDeviceLibrary(const ScriptedDeviceLibrary&) = delete;
    ScriptedDeviceLibrary& operator=(const ScriptedDeviceLibrary&) = delete;

    IScriptedDevice* operator->() const { return control_; }
    IScriptedDevice* get() const { return control_; }
    const platform::SharedLibrary& library() const { return *library_; }

  private:
    std::unique_ptr<platform::SharedLibrary> library_;
    IScriptedDevice* control_ = nullptr;
};

}  // namespace scripted
