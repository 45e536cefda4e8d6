// A container double for the plug-in object's tests: it records traces, hands out a device
// manager when one is given, and can be told to throw from its lookups.
#pragma once

#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/contracts/container.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/services.h"

namespace orbitpane_test {

struct TraceLine {
    int level;
    std::string module;
    std::string message;
};

class RecordingTrace : public framework::ITraceService {
  public:
    void Release() override {}
    int GetLastErrorCode() override { return 0; }
    void Trace(int level, const char* module, const char*, int, const char* message) override {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back({level, module, message});
    }
    std::vector<TraceLine> Lines() {
        std::lock_guard<std::mutex> lock(mutex);
        return lines;
    }
    std::mutex mutex;
    std::vector<TraceLine> lines;
};

class FakeContainer : public framework::IPluginContainer {
  public:
    void Release() override {}
    int GetLastErrorCode() override { return 0; }
    int RunMainFrame(const char*) override { return 0; }
    const char* GetMainFrameId() override { return nullptr; }
    bool QueryService(const char* id, uint32_t flag, framework::IBaseInterface** object) override {
        if (throwOnLookup && std::strcmp(id, framework::kTraceServiceId) != 0) {
            throw std::runtime_error("lookup failed");
        }
        if (std::strcmp(id, framework::kTraceServiceId) == 0) {
            *object = &trace;
            return true;
        }
        if (std::strcmp(id, framework::kDeviceMgrId) == 0 && deviceManager) {
            return deviceManager->QueryInterface(flag, object);
        }
        return false;
    }

    RecordingTrace trace;
    framework::IBasePlugin* deviceManager = nullptr;
    bool throwOnLookup = false;
};

}  // namespace orbitpane_test
