// The GPS dialog following a card: the scripted device manager raises the card's events, and
// the card's serial ports come and go in a virtual ports folder of the test's own.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "dialog_fixture.h"
#include "framework/trace/zeltotrace.h"
#include "orbitpane/win32/gps_clock.h"
#include "orbitpane/win32/port_search.h"
#include "platform/files.h"
#include "platform/ports/ports.h"
#include "platform/text.h"

namespace orbitpane_test {

inline constexpr uint32_t kArrived = framework::kEventCardArrived;
inline constexpr uint32_t kRemoved = framework::kEventCardRemoved;
inline constexpr uint32_t kSimStatus = framework::kEventSimStatus;
inline constexpr uint32_t kReady = framework::kEventCardReady;
inline constexpr uint32_t kUnavailable = framework::kEventCardUnavailable;
inline constexpr const char* kAgpsCardAnswer = "\r\n^GPSTYPE:2\r\n\r\nOK\r\n";
inline const std::wstring kGpsPortText = L"TARVEK Wendrix - 3G GPS Interface (COM5)";

// A GPS dialog that counts the polling threads it starts and can be told to fail them.
class CountingDialog : public CGPSUIDlg {
  public:
    ~CountingDialog() override {
        DestroyWindow();
        StopWorkers();
    }
    std::atomic<int> starts{0};
    std::atomic<bool> failStarts{false};

  protected:
    bool StartWorker(orbitpane::WorkerThread& worker, std::function<void()> body) override {
        if (failStarts) return false;
        ++starts;
        return CGPSUIDlg::StartWorker(worker, std::move(body));
    }
};

class MonitoringFixture : public DialogFixture {
  protected:
    void TearDown() override {
        DialogFixture::TearDown();
        orbitpane::SetClock(nullptr);
        ui::headless::UseManualClock(false);
    }

    void OpenCounting(const std::string& active = "_en-us", bool failStarts = false) {
        platform::IniWriteString(dir / "Runinfo.ini", "language", "active", active);
        auto counting = std::make_unique<CountingDialog>();
        counting->failStarts = failStarts;
        counting->SetPluginObject(plugin);
        counted = counting.get();
        dialog = std::move(counting);
        ASSERT_TRUE(dialog->Create());
        dialog->ShowWindow(ui::ShowCommand::Normal);
        user = std::make_unique<ui::headless::Driver>(dialog->Handle());
        ASSERT_TRUE(ui::headless::WaitIdle());
    }

    // The card's PC UI port and, unless `withGps` is false, its GPS port.
    void PlugPorts(bool withGps = true) {
        Port("pcui", std::string(orbitpane::kPcUiInterfaceText) + " (COM4)", 4);
        if (withGps) Port("gps", std::string(orbitpane::kGpsInterfaceText) + " (COM5)", 5);
    }
    void UnplugPorts() {
        platform::UnregisterVirtualPort("pcui");
        platform::UnregisterVirtualPort("gps");
    }
    void Port(const std::string& id, const std::string& friendly, int number) {
        std::string node = dir.Write("dev/tty" + id, "");
        ASSERT_TRUE(platform::RegisterVirtualPort(id, {node, number, friendly, "sim-card"}));
    }

    // Raises device events one after the other and waits until the dialog has handled them.
    void Raise(std::initializer_list<uint32_t> codes) {
        for (uint32_t code : codes) card->RaiseBareEvent(code);
        Settle();
    }
    void RaiseSim(uint32_t value) {
        card->RaiseSimStatus(value);
        Settle();
    }
    void Settle() {
        ASSERT_TRUE(card->WaitIdle(5000));
        ASSERT_TRUE(ui::headless::WaitIdle());
    }

    // Waits for what the polling threads do in their own time; false when it never happens.
    static bool Eventually(const std::function<bool()>& done, int timeoutMs = 5000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    bool PortShown() {
        return Eventually([&] { return user->Cell(gps::kList, 0, 1) == kGpsPortText; });
    }
    int TypeQueries() {
        int count = 0;
        for (const std::string& line : card->SentLines()) count += line == "AT^GPSTYPE?\r\n";
        return count;
    }

    // A GPS data record as the device manager hands it over.
    void SendPosition(const std::string& longitude, const std::string& latitude,
                      const std::string& satellites) {
        framework::GpsDataRecord record{};
        std::strncpy(record.longitude, longitude.c_str(), sizeof record.longitude - 1);
        std::strncpy(record.latitude, latitude.c_str(), sizeof record.latitude - 1);
        std::strncpy(record.satellites, satellites.c_str(), sizeof record.satellites - 1);
        dialog->Send(WM_GPS_DATA, reinterpret_cast<ui::WParam>(&record), 0);
    }

    // The process's trace log as written so far.
    static std::string Log() {
        CZeltoTrace::destroy();  // flushed; the next trace opens the file again
        return platform::ReadWholeFile(CZeltoTrace::LogFilePath()).value_or("");
    }
    static bool Logged(const std::string& message) {
        return Log().find(message) != std::string::npos;
    }

    CountingDialog* counted = nullptr;
};

}  // namespace orbitpane_test
