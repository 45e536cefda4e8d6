// Messages, timers, modal runs, power broadcasts and other threads: what the window thread
// guarantees to the dialogs and to the threads that talk to them.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "headless_ui.h"
#include "platform/sync.h"
#include "platform/ui/headless/driver.h"
#include "platform/ui/kit.h"
#include "probe_dialog.h"

using namespace ui;
using headless::Driver;
using probe::Probe;

namespace {

constexpr unsigned kDeviceState = 9568;
constexpr unsigned kGpsData = 20701;

std::thread::id WindowThreadId() {
    std::thread::id id;
    RunOnWindowThread([&] { id = std::this_thread::get_id(); });
    return id;
}

// A probe dialog that is created and shown.
std::unique_ptr<Probe> ShownProbe() {
    auto dialog = std::make_unique<Probe>();
    EXPECT_TRUE(dialog->Create());
    dialog->ShowWindow(ShowCommand::Normal);
    dialog->Clear();
    return dialog;
}

struct ManualClock {
    ManualClock() { headless::UseManualClock(true); }
    ~ManualClock() { headless::UseManualClock(false); }
};

}  // namespace

TEST(Messages, PostsArriveInOrderOnTheWindowThreadWithBothParameters) {
    auto dialog = ShownProbe();
    dialog->OnMessage(kDeviceState, [&](WParam w, LParam l) {
        dialog->Record(std::to_string(w) + "/" + std::to_string(l));
        return 0;
    });
    for (WParam state : {20101u, 20507u, 20509u})
        EXPECT_TRUE(dialog->Post(kDeviceState, state, -1));
    ASSERT_TRUE(headless::WaitIdle());
    EXPECT_EQ(dialog->Events(), (std::vector<std::string>{"20101/-1", "20507/-1", "20509/-1"}));
    for (auto id : dialog->Threads()) EXPECT_EQ(id, WindowThreadId());
    EXPECT_TRUE(dialog->Post(12345)) << "a message without a handler is accepted and ignored";
}

TEST(Messages, ASendWaitsForABusyWindowThreadAndRunsThere) {
    auto dialog = ShownProbe();
    platform::Event started, release;
    dialog->OnMessage(1, [&](WParam, LParam) {
        dialog->Record("busy begins");
        started.Set();
        release.Wait(5000);
        dialog->Record("busy ends");
        return 0;
    });
    struct Record {
        char text[30];
    };
    dialog->OnMessage(kGpsData, [&](WParam w, LParam) {
        // The sender's data is valid while the handler runs.
        dialog->Record(std::string("data ") + reinterpret_cast<const Record*>(w)->text);
        return 42;
    });
    ASSERT_TRUE(dialog->Post(1));
    ASSERT_TRUE(started.Wait(5000));
    LResult result = 0;
    std::thread sender([&] {
        Record record{"-122.123456E"};
        result = Send(dialog->Handle(), kGpsData, reinterpret_cast<WParam>(&record));
    });
    release.Set();
    sender.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(dialog->Events(),
              (std::vector<std::string>{"busy begins", "busy ends", "data -122.123456E"}));
    for (auto id : dialog->Threads()) EXPECT_EQ(id, WindowThreadId());
}

TEST(Messages, ASendOnTheWindowThreadCallsTheHandlerDirectly) {
    auto dialog = ShownProbe();
    dialog->OnMessage(2, [](WParam w, LParam l) { return static_cast<LResult>(w) + l; });
    LResult inner = 0;
    dialog->OnClicked(probe::kButton, [&] { inner = dialog->Send(2, 40, 2); });
    EXPECT_TRUE(Driver(dialog->Handle()).Click(probe::kButton));
    EXPECT_EQ(inner, 42);
}

TEST(Messages, ASendToAWindowThatGoesMeanwhileReturnsZero) {
    auto dialog = ShownProbe();
    platform::Event started, release;
    dialog->OnMessage(1, [&](WParam, LParam) {
        started.Set();
        release.Wait(5000);
        dialog->DestroyWindow();
        return 0;
    });
    dialog->OnMessage(2, [](WParam, LParam) { return 7; });
    WindowHandle handle = dialog->Handle();
    ASSERT_TRUE(dialog->Post(1));
    ASSERT_TRUE(started.Wait(5000));
    std::atomic<LResult> result{-1};
    std::thread sender([&] { result = Send(handle, 2); });
    release.Set();
    sender.join();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(Post(handle, 2));
}

TEST(Messages, ClosingWhileAnotherThreadPostsAndSendsNeverReachesTheDeadDialog) {
    for (int round = 0; round < 20; ++round) {
        auto dialog = ShownProbe();
        auto handled = std::make_shared<std::atomic<int>>(0);
        dialog->OnMessage(kDeviceState, [handled, d = dialog.get()](WParam, LParam) {
            d->SetItemText(probe::kLabel, L"state");  // touches the dialog: ASan sees misuse
            ++*handled;
            return 1;
        });
        WindowHandle handle = dialog->Handle();
        std::atomic<int> accepted{0};
        std::thread poster([&] {
            for (int i = 0;; ++i) {
                bool more = i % 3 == 2 ? Send(handle, kDeviceState) == 1
                                       : Post(handle, kDeviceState, 20102);
                if (!more) break;
                ++accepted;
            }
        });
        EXPECT_TRUE(Driver(handle).Close());
        dialog.reset();
        poster.join();
        ASSERT_TRUE(headless::WaitIdle());
        EXPECT_LE(handled->load(), accepted.load());
        EXPECT_FALSE(Post(handle, kDeviceState));
    }
}

TEST(Messages, PostsQueuedForADialogDeletedMeanwhileAreDropped) {
    auto target = ShownProbe();
    auto helper = ShownProbe();
    std::atomic<int> handled{0};
    target->OnMessage(kDeviceState, [&handled, d = target.get()](WParam, LParam) {
        d->SetItemText(probe::kLabel, L"state");  // a dead dialog here is a use after free
        ++handled;
        return 0;
    });
    WindowHandle handle = target->Handle();
    platform::Event queued;
    // While the window thread is held in the helper's handler, posts for the target pile
    // up; the handler then deletes the target, and the posts behind it must go nowhere.
    helper->OnMessage(1, [&](WParam, LParam) {
        queued.Wait(5000);
        target.reset();
        return 0;
    });
    ASSERT_TRUE(helper->Post(1));
    std::atomic<int> accepted{0};
    std::thread poster([&] {
        while (Post(handle, kDeviceState)) {
            if (++accepted == 100) queued.Set();
        }
    });
    poster.join();
    ASSERT_TRUE(headless::WaitIdle());
    EXPECT_GE(accepted, 100);
    EXPECT_EQ(handled, 0);
}

TEST(Messages, ControlsMayBeWrittenAndReadFromAnyThread) {
    auto dialog = ShownProbe();
    dialog->List(probe::kListView).InsertColumn(0, L"Item", 95);
    dialog->List(probe::kListView).InsertColumn(1, L"Value", 200);
    dialog->List(probe::kListView).InsertItem(0, L"Port");
    std::atomic<int> reads{0};
    dialog->OnMessage(3, [&](WParam, LParam) {
        if (!dialog->ItemText(probe::kLabel).empty()) ++reads;
        dialog->SetItemText(probe::kEdit, L"window thread");
        return 0;
    });
    std::thread writer([&] {
        for (int i = 0; i < 500; ++i) {
            dialog->SetItemText(probe::kLabel, L"status " + std::to_wstring(i));
            dialog->List(probe::kListView).SetItemText(0, 1, L"COM" + std::to_wstring(i));
            dialog->EnableItem(probe::kButton, i % 2 == 0);
            dialog->Post(3);
        }
    });
    writer.join();
    ASSERT_TRUE(headless::WaitIdle());
    EXPECT_EQ(reads, 500);
    EXPECT_EQ(dialog->ItemText(probe::kLabel), L"status 499");
    EXPECT_EQ(dialog->List(probe::kListView).GetItemText(0, 1), L"COM499");
    EXPECT_FALSE(dialog->IsItemEnabled(probe::kButton));
}

TEST(Messages, TheWindowThreadCanWaitForAWorkerThatSendsToIt) {
    auto dialog = ShownProbe();
    dialog->OnMessage(4, [](WParam w, LParam) { return static_cast<LResult>(w) * 2; });
    std::atomic<LResult> workerGot{0};
    std::atomic<bool> joined{false};
    dialog->OnClicked(probe::kButton, [&] {
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            workerGot = dialog->Send(4, 21);  // blocks until the window thread serves it
            dialog->SetItemText(probe::kLabel, L"worker done");
            finished = true;
        });
        joined = WaitServingSends([&] { return finished.load(); }, 5000);
        worker.join();
    });
    EXPECT_TRUE(Driver(dialog->Handle()).Click(probe::kButton));
    EXPECT_TRUE(joined);
    EXPECT_EQ(workerGot, 42);
}

TEST(Timers, FireByIdInOrderAndStopWhenKilled) {
    ManualClock clock;
    auto dialog = ShownProbe();
    EXPECT_EQ(dialog->SetTimer(1, 3000), 1u);
    EXPECT_EQ(dialog->SetTimer(2, 2000), 2u);
    EXPECT_EQ(Driver(dialog->Handle()).Timers(), (std::vector<unsigned>{1, 2}));
    ASSERT_TRUE(headless::AdvanceClock(1999));
    EXPECT_TRUE(dialog->Events().empty());
    ASSERT_TRUE(headless::AdvanceClock(3001));
    EXPECT_EQ(dialog->Events(), (std::vector<std::string>{"timer 2", "timer 1", "timer 2"}));

    dialog->Clear();
    EXPECT_TRUE(dialog->KillTimer(2));
    EXPECT_FALSE(dialog->KillTimer(2)) << "it was not running any more";
    EXPECT_FALSE(dialog->KillTimer(9));
    ASSERT_TRUE(headless::AdvanceClock(6000));
    EXPECT_EQ(dialog->Events(), (std::vector<std::string>{"timer 1", "timer 1"}));

    dialog->Clear();
    dialog->SetTimer(1, 500);  // the same id starts over with the new period
    ASSERT_TRUE(headless::AdvanceClock(1000));
    EXPECT_EQ(dialog->Events(), (std::vector<std::string>{"timer 1", "timer 1"}));

    dialog->DestroyWindow();
    EXPECT_TRUE(headless::RunningTimers(WindowHandle{dialog->Handle()}).empty());
    EXPECT_EQ(dialog->SetTimer(1, 100), 0u) << "no window, no timer";
}

TEST(Timers, AHandlerMayKillItsOwnTimerAndDestroyedWindowsHaveNone) {
    ManualClock clock;
    auto dialog = ShownProbe();
    std::atomic<int> fired{0};
    std::atomic<bool> killed{false};
    class Once : public Probe {
      public:
        ~Once() override { DestroyWindow(); }
        std::atomic<int>* fired = nullptr;
        std::atomic<bool>* killed = nullptr;

      protected:
        void OnTimer(unsigned id) override {
            ++*fired;
            *killed = KillTimer(id);
        }
    } once;
    once.fired = &fired;
    once.killed = &killed;
    ASSERT_TRUE(once.Create());
    once.SetTimer(1, 3000);
    dialog->SetTimer(7, 1000);
    WindowHandle handle = dialog->Handle();
    ASSERT_TRUE(headless::AdvanceClock(9000));
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(killed);
    dialog.reset();
    EXPECT_TRUE(headless::RunningTimers(handle).empty());
    ASSERT_TRUE(headless::AdvanceClock(3000));
}

TEST(Timers, RunOnRealTimeUnlessTheClockIsManual) {
    class Signalling : public Probe {
      public:
        ~Signalling() override { DestroyWindow(); }  // before `fired` goes
        platform::Event fired;

      protected:
        void OnTimer(unsigned id) override {
            KillTimer(id);
            fired.Set();
        }
    } dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.SetTimer(5, 10);
    EXPECT_TRUE(dialog.fired.Wait(5000));
    EXPECT_TRUE(Driver(dialog.Handle()).Timers().empty());
}

TEST(Modal, ARunDrivenFromTheTestThreadEndsWithTheButtonsResult) {
    Probe dialog;
    std::atomic<int> result{0};
    std::thread runner([&] { result = dialog.DoModal(); });
    WindowHandle window = headless::WaitForWindow(probe::kTemplateId);
    ASSERT_TRUE(window);
    Driver user(window);
    EXPECT_TRUE(user.WindowVisible());
    EXPECT_TRUE(user.Type(probe::kEdit, L"typed in a modal run"));
    EXPECT_TRUE(user.Click(kIdOk));
    runner.join();
    EXPECT_EQ(result, kIdOk);
    EXPECT_FALSE(dialog.HasWindow());
    EXPECT_EQ(dialog.Events(), (std::vector<std::string>{"create", "init", "destroy"}));

    dialog.Clear();
    std::thread closer([&] { result = dialog.DoModal(); });
    ASSERT_TRUE(Driver(headless::WaitForWindow(probe::kTemplateId)).Close());
    closer.join();
    EXPECT_EQ(result, kIdCancel) << "closing a modal dialog cancels it";
}

TEST(Modal, EndingDuringInitialisationNeverRunsTheLoop) {
    class Quick : public Probe {
      protected:
        bool OnInitDialog() override {
            EndDialog(3);
            return true;
        }
    } dialog;
    EXPECT_EQ(dialog.DoModal(), 3);
    EXPECT_FALSE(dialog.HasWindow());
}

TEST(Modal, ANestedRunFromAHandlerDisablesItsOwnerUntilItEnds) {
    auto owner = ShownProbe();
    Probe child;
    std::atomic<int> childResult{0};
    child.OnClicked(probe::kButton, [&] { child.EndDialog(11); });
    owner->OnClicked(probe::kButton, [&] { childResult = child.DoModal(owner->Handle()); });
    Driver ownerUser(owner->Handle());
    ASSERT_TRUE(ownerUser.Click(probe::kButton));  // returns once the nested run is idle
    WindowHandle childWindow = headless::WaitForWindow(probe::kTemplateId);
    ASSERT_NE(childWindow, owner->Handle());
    EXPECT_EQ(child.Owner(), owner->Handle());
    EXPECT_FALSE(child.Parent());
    EXPECT_FALSE(ownerUser.WindowEnabled());
    EXPECT_FALSE(ownerUser.Click(probe::kButton)) << "the owner takes no input meanwhile";
    EXPECT_TRUE(Driver(childWindow).Click(probe::kButton));
    EXPECT_EQ(childResult, 11);
    EXPECT_TRUE(ownerUser.WindowEnabled());
    EXPECT_TRUE(ownerUser.Click(probe::kDisabled) == false);
}

TEST(Power, BroadcastsReachTopLevelWindowsOnTheWindowThread) {
    auto top = ShownProbe();
    auto child = ShownProbe();
    Probe owned;
    ASSERT_TRUE(owned.Create(top->Handle()));
    owned.Clear();
    ASSERT_TRUE(child->SetParent(top->Handle()));
    BroadcastPower(kPowerSuspend);
    BroadcastPower(kPowerResumeAutomatic);
    EXPECT_EQ(top->Events(), (std::vector<std::string>{"power 4", "power 18"}));
    EXPECT_EQ(owned.Events(), top->Events()) << "an owned window is a top-level window";
    EXPECT_EQ(top->Threads().front(), WindowThreadId());
    EXPECT_TRUE(child->Events().empty()) << "a re-parented window is no top-level window";
}
