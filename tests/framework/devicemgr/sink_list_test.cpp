#include "framework/devicemgr/sink_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/serving_wait.h"
#include "platform/ui/kit.h"

namespace {

using devicemgr::SinkList;
using namespace std::chrono_literals;

struct Sink {
    std::atomic<int> calls{0};
    std::atomic<bool> removed{false};  // set once Remove returned
    std::atomic<bool> calledAfterRemoval{false};
    void Called() {
        if (removed) calledAfterRemoval = true;
        ++calls;
    }
};

TEST(SinkList, RemoveWaitsForACallOnAnotherThread) {
    SinkList<Sink> list;
    Sink sink;
    list.Add(&sink);
    std::atomic<bool> inside{false}, release{false}, finished{false};
    std::thread deliverer([&] {
        list.ForEach([&](Sink* s) {
            inside = true;
            while (!release) std::this_thread::sleep_for(1ms);
            s->Called();
            finished = true;
        });
    });
    while (!inside) std::this_thread::sleep_for(1ms);
    std::thread remover([&] {
        EXPECT_TRUE(list.Remove(&sink));
        EXPECT_TRUE(finished);  // not before the call ended
    });
    std::this_thread::sleep_for(30ms);
    release = true;
    remover.join();
    deliverer.join();
    EXPECT_FALSE(list.Remove(&sink));
}

TEST(SinkList, RemoveFromInsideItsOwnCallDoesNotWait) {
    SinkList<Sink> list;
    Sink first, second;
    list.Add(&first);
    list.Add(&second);
    int called = list.ForEach([&](Sink* s) {
        s->Called();
        if (s == &first) {
            EXPECT_TRUE(list.Remove(&first));
            EXPECT_TRUE(list.Remove(&second));  // not in a call: nothing to wait for
        }
    });
    EXPECT_EQ(called, 1);
    EXPECT_EQ(second.calls, 0);
}

TEST(SinkList, NeverCalledOnceRemovedWhileEventsFly) {
    SinkList<Sink> list;
    std::atomic<bool> stop{false};
    Sink sinks[4];
    std::vector<std::thread> deliverers;
    for (int t = 0; t < 2; ++t) {
        deliverers.emplace_back([&] {
            while (!stop) list.ForEach([](Sink* s) { s->Called(); });
        });
    }
    for (int round = 0; round < 100; ++round) {
        Sink& s = sinks[round % 4];
        s.removed = false;
        list.Add(&s);
        std::this_thread::yield();
        list.Remove(&s);
        s.removed = true;
    }
    stop = true;
    for (auto& d : deliverers) d.join();
    for (Sink& s : sinks) EXPECT_FALSE(s.calledAfterRemoval);
}

// A delivery that sends to the window thread while the window thread removes its sink: the
// removal serves the send instead of waiting for ever.
TEST(SinkList, RemoveOnTheWindowThreadServesTheRunningCallsSend) {
    ASSERT_TRUE(ui::Initialize(ui::BackendKind::Headless));
    SinkList<Sink> list{platform::WindowKitWait()};
    Sink sink;
    list.Add(&sink);
    std::atomic<bool> removing{false}, inside{false};
    std::thread deliverer([&] {
        list.ForEach([&](Sink* s) {
            inside = true;
            while (!removing) std::this_thread::sleep_for(1ms);
            ui::RunOnWindowThread([&] { s->Called(); });
        });
    });
    bool removed = false;
    ui::RunOnWindowThread([&] {
        removing = true;
        while (!inside) std::this_thread::sleep_for(1ms);
        removed = list.Remove(&sink);
    });
    deliverer.join();
    EXPECT_TRUE(removed);
    EXPECT_EQ(sink.calls, 1);
    ui::Shutdown();
}

}  // namespace
