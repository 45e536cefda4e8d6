// Everything the GPS dialog follows, at once from several threads, then a close: run under
// ThreadSanitizer. The window thread keeps answering sent messages throughout.
#include <random>

#include "monitoring_fixture.h"

using namespace orbitpane_test;

namespace {

class MonitoringStress : public MonitoringFixture {};

constexpr unsigned kProbeMessage = 0x7FF0;  // no handler: answered at once by the window

}  // namespace

TEST_F(MonitoringStress, EventsDataPortsLanguagesAndSessionsTogetherThenClose) {
    WriteConfig("Y", "AGPS", "High speed");
    card->SetStandingAnswer("AT^GPSTYPE?", kAgpsCardAnswer);
    Open();
    std::atomic<bool> running{true};
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    auto loop = [&](auto body) {
        return std::thread([&, body] {
            std::mt19937 random(std::hash<std::thread::id>()(std::this_thread::get_id()));
            while (running && std::chrono::steady_clock::now() < until) body(random);
        });
    };
    const uint32_t events[] = {kArrived, kReady,   kSimStatus, kUnavailable,
                               kRemoved, kArrived, kReady};
    std::vector<std::thread> threads;
    threads.push_back(loop([&](std::mt19937& r) {
        uint32_t code = events[r() % std::size(events)];
        code == kSimStatus ? card->RaiseSimStatus(r() % 2) : card->RaiseBareEvent(code);
        std::this_thread::sleep_for(std::chrono::milliseconds(r() % 40));
    }));
    threads.push_back(loop([&](std::mt19937& r) {
        SendPosition(std::to_string(r() % 180) + ".25E", "-" + std::to_string(r() % 90) + ".5S",
                     std::to_string(r() % 12));
        std::this_thread::sleep_for(std::chrono::milliseconds(r() % 20));
    }));
    threads.push_back(loop([&](std::mt19937& r) {
        r() % 2 ? PlugPorts(r() % 4 != 0) : UnplugPorts();
        std::this_thread::sleep_for(std::chrono::milliseconds(r() % 80));
    }));
    threads.push_back(loop([&](std::mt19937& r) {
        if (r() % 3 == 0) {
            dialog->Combo(gps::kLanguage).SetCurSel(static_cast<int>(r() % 3));
            ui::RunOnWindowThread([&] { dialog->OnLanguageChanged(); });
        } else {
            ui::RunOnWindowThread([&] {
                r() % 2 ? dialog->OnBnClickedButtonStart() : dialog->OnBnClickedButtonStop();
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(r() % 60));
    }));
    // Sent messages are answered while the window thread waits for the polling to end.
    std::atomic<long long> slowestMs{0};
    std::atomic<int> answered{0};
    threads.push_back(loop([&](std::mt19937&) {
        auto sent = std::chrono::steady_clock::now();
        dialog->Send(kProbeMessage, 0, 0);
        long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - sent)
                           .count();
        if (ms > slowestMs) slowestMs = ms;
        ++answered;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }));
    for (std::thread& t : threads) t.join();
    running = false;
    RecordProperty("slowest_send_ms", std::to_string(slowestMs.load()));
    EXPECT_GT(answered.load(), 0);

    ASSERT_TRUE(card->WaitIdle(10000));
    ASSERT_TRUE(user->Close());
    EXPECT_FALSE(ThreadHeld());
    EXPECT_EQ(CardState(), session::CardState::kNone);
    card->RaiseBareEvent(kArrived);  // after the close: reaches no dialog
    ASSERT_TRUE(card->WaitIdle(5000));
    dialog.reset();
    UnplugPorts();
}
