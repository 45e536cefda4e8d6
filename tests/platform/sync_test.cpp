#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using platform::Event;

TEST(Event, TimesOutWhenNotSignalledAndResetsAfterAWait) {
    Event event;
    EXPECT_FALSE(event.Wait(0));
    EXPECT_FALSE(event.Wait(20));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0)) << "an auto-reset event resets after releasing one waiter";
    event.Set();
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(Event, ReleasesAWaiterOnAnotherThread) {
    Event event;
    std::atomic<bool> woke{false};
    std::thread waiter([&] { woke = event.Wait(5000); });
    event.Set();
    waiter.join();
    EXPECT_TRUE(woke);
}

TEST(Event, OneSetReleasesExactlyOneOfTwoWaiters) {
    Event event;
    std::atomic<int> released{0};
    std::thread a([&] { released += event.Wait(300) ? 1 : 0; });
    std::thread b([&] { released += event.Wait(300) ? 1 : 0; });
    event.Set();
    a.join();
    b.join();
    EXPECT_EQ(released, 1);
}

TEST(CriticalSection, IsReentrantAndExcludesOtherThreads) {
    platform::CriticalSection cs;
    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 10000; ++i) {
            platform::CriticalSectionLock outer(cs);
            platform::CriticalSectionLock inner(cs);
            ++counter;
        }
    };
    std::thread t1(work), t2(work);
    t1.join();
    t2.join();
    EXPECT_EQ(counter, 20000);
}

TEST(StartThread, RunsTheBody) {
    std::thread thread;
    std::atomic<bool> ran{false};
    ASSERT_TRUE(platform::StartThread(thread, [&] { ran = true; }));
    thread.join();
    EXPECT_TRUE(ran);
}
