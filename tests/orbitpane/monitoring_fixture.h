// The GPS dialog following a card: the scripted device manager raises the card's events, and
// the card's serial ports come and go in a virtual ports folder of the test's own.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "dialog_fixture.h"
#include "framework/trace/zeltotrace.h"
#include "platform/files.h"
#include "platform/text.h"

namespace orbitpane_test {

// A GPS dialog that counts the polling threads it starts and can be told to fail them.
class CountingDialog : public CGPSUIDlg {
  public:
    explicit CountingDialog(orbitpane::PluginContext& context) : CGPSUIDlg(context) {}
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
        ui::headless::UseManualClock(false);
    }

    void OpenCounting(const std::string& active = "_en-us", bool failStarts = false) {
        platform::IniWriteString(dir / "Runinfo.ini", "language", "active", active);
        auto counting = std::make_unique<CountingDialog>(plugin->Context());
        counting->failStarts = failStarts;
        counting->SetPluginObject(plugin);
        counted = counting.get();
        dialog = std::move(counting);
        ASSERT_TRUE(dialog->Create());
        dialog->ShowWindow(ui::ShowCommand::Normal);
        user = std::make_unique<ui::headless::Driver>(dialog->Handle());
        ASSERT_TRUE(ui::headless::WaitIdle());
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
