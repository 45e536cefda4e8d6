// The device manager over simulated cards on real pseudo-terminals, in process: a private
// ports folder, sinks that record what they are told, and waits with a deadline.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cardsim/card.h"
#include "framework/contracts/device.h"
#include "framework/contracts/ids.h"
#include "framework/devicemgr/device_manager.h"
#include "temp_dir.h"

namespace manager_test {

using namespace std::chrono_literals;

struct Event {
    uint32_t code;
    uint32_t value;  // the SIM state of a SIM status event, an unavailability's reason, else 0
    bool operator==(const Event&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Event& e) {
    out << e.code;
    if (e.code == framework::kEventSimStatus || e.code == framework::kEventCardUnavailable) {
        out << "(" << e.value << ")";
    }
    return out;
}

// Records device events; GPS records and views of the sky are kept apart.
class RecordingSink : public framework::IDeviceMgrEvent {
  public:
    bool OnDeviceEvent(uint32_t event, void* data) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (event == framework::kEventGpsData) {
            records_.push_back(*static_cast<framework::GpsDataRecord*>(data));
        } else if (event == framework::kEventGpsSky) {
            skies_.push_back(*static_cast<framework::GpsSkyRecord*>(data));
        } else {
            bool valued =
                event == framework::kEventSimStatus || event == framework::kEventCardUnavailable;
            uint32_t value = valued ? *static_cast<uint32_t*>(data) : 0;
            events_.push_back({event, value});
        }
        changed_.notify_all();
        return true;
    }

    // Waits until `count` events (other than GPS data and skies) came; answers them all.
    std::vector<Event> WaitEvents(size_t count, std::chrono::milliseconds timeout = 5s) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return events_.size() >= count; });
        return events_;
    }
    std::vector<Event> Events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::vector<framework::GpsDataRecord> WaitRecords(size_t count,
                                                      std::chrono::milliseconds timeout = 5s) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return records_.size() >= count; });
        return records_;
    }

    std::vector<framework::GpsSkyRecord> WaitSkies(size_t count,
                                                   std::chrono::milliseconds timeout = 5s) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return skies_.size() >= count; });
        return skies_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
    std::vector<framework::GpsDataRecord> records_;
    std::vector<framework::GpsSkyRecord> skies_;
};

// Answers code-12 notifications with what the device list holds.
class InitializeSink : public framework::IDeviceInitializeEvent {
  public:
    struct Listed {
        std::string id;
        int port;
    };
    bool OnDeviceInitialize(int event, framework::IDeviceList* devices) override {
        std::lock_guard<std::mutex> lock(mutex_);
        codes_.push_back(event);
        listed_.clear();
        if (devices->MoveFirst()) {
            do {
                listed_.push_back({devices->GetCurrentId(), devices->GetCurrentPort()});
            } while (devices->MoveNext());
        }
        count_ = devices->GetCount();
        changed_.notify_all();
        return true;
    }
    bool Wait(std::chrono::milliseconds timeout = 5s) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return !codes_.empty(); });
    }
    std::vector<int> Codes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return codes_;
    }
    std::vector<Listed> ListedDevices() {
        std::lock_guard<std::mutex> lock(mutex_);
        return listed_;
    }
    int Count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return count_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> codes_;
    std::vector<Listed> listed_;
    int count_ = -1;
};

class ChangedSink : public framework::IMultiDeviceMgrEvent {
  public:
    explicit ChangedSink(int answer = 0) : answer_(answer) {}
    int OnDeviceChanged(void*, framework::IDeviceInfo* info) override {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(std::string(info->GetDeviceName()) + "/" + info->GetCustomizeText());
        return answer_;
    }
    std::vector<std::string> Seen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

  private:
    int answer_;
    std::mutex mutex_;
    std::vector<std::string> seen_;
};

class SetSink : public framework::IPluginSetChangedSink {
  public:
    void OnPluginSetChanged() override { ++told; }
    std::atomic<int> told{0};
};

// Polls `condition` until it holds or `timeout` passes.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = 5s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class ManagerTest : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("SATVIEW_PORTS_DIR", (dir_ / "ports").c_str(), 1); }
    void TearDown() override {
        manager_.reset();
        if (HasFailure()) {
            for (const std::string& line : traces_)
                std::fprintf(stderr, "trace: %s\n", line.c_str());
        }
        cards_.clear();
        ::unsetenv("SATVIEW_PORTS_DIR");
    }

    cardsim::Card& Plug(cardsim::CardOptions options = {}) {
        cards_.push_back(std::make_unique<cardsim::Card>(std::move(options)));
        std::string error;
        EXPECT_TRUE(cards_.back()->Start(&error)) << error;
        return *cards_.back();
    }

    devicemgr::ManagerOptions Options() {
        devicemgr::ManagerOptions options;
        options.choicePath = dir_ / "localdeviceinfo.xml";
        options.nmeaFeedLink = dir_ / "nmea";
        options.timing.answerTimeoutMs = 600;
        options.timing.initTimeoutMs = 500;
        options.timing.probeTimeoutMs = 300;
        options.timing.probeGapMs = 50;
        options.timing.keepAliveMs = 300;
        options.timing.simRetryMs = 100;
        options.timing.simPollMs = 150;
        options.timing.gpsRestMs = 100;
        options.trace = [this](int level, const std::string& text) {
            if (level > framework::kTraceNotice) return;
            std::lock_guard<std::mutex> lock(traceMutex_);
            traces_.push_back(text);
        };
        return options;
    }

    // Starts the manager with `sink` added at once; waits for its first scan.
    devicemgr::DeviceManager& StartManager(framework::IDeviceMgrEvent* sink = nullptr,
                                           devicemgr::ManagerOptions options = {}) {
        if (options.choicePath.empty()) options = Options();
        manager_ = std::make_unique<devicemgr::DeviceManager>(std::move(options));
        if (sink) manager_->AddDeviceSink(sink);
        EXPECT_TRUE(manager_->WaitFirstScan(5000));
        return *manager_;
    }

    // True once a trace of the manager held `part`.
    bool Traced(const std::string& part, std::chrono::milliseconds timeout = 5s) {
        return WaitUntil(
            [&] {
                std::lock_guard<std::mutex> lock(traceMutex_);
                return std::any_of(traces_.begin(), traces_.end(), [&](const std::string& t) {
                    return t.find(part) != std::string::npos;
                });
            },
            timeout);
    }
    std::vector<std::string> Traces() {
        std::lock_guard<std::mutex> lock(traceMutex_);
        return traces_;
    }

    testing_support::TempDir dir_;
    std::vector<std::unique_ptr<cardsim::Card>> cards_;
    std::unique_ptr<devicemgr::DeviceManager> manager_;
    std::mutex traceMutex_;
    std::vector<std::string> traces_;  // the manager's notices, shown when a test fails
};

}  // namespace manager_test
