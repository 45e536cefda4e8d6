// A list of event sinks that keeps the removal promise: Remove returns only when no call into
// that sink runs on another thread (from inside the sink's own call it returns at once), and
// after it returns the sink is never called again, not even by a delivery already under way.
// On the window thread the wait serves sent messages (through the ServingWait given), since the
// running call may be sending to that very thread.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/serving_wait.h"

namespace devicemgr {

template <typename Sink>
class SinkList {
  public:
    // `wait`: how Remove waits for a call under way. `thrown` is given what a sink threw (it
    // must not throw itself); the others are called all the same.
    explicit SinkList(platform::ServingWait wait = {},
                      std::function<void(std::exception_ptr)> thrown = {})
        : wait_(std::move(wait)), thrown_(std::move(thrown)) {}

    bool Add(Sink* sink) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!sink || std::find(sinks_.begin(), sinks_.end(), sink) != sinks_.end()) return false;
        sinks_.push_back(sink);
        return true;
    }

    bool Remove(Sink* sink) {
        std::unique_lock<std::mutex> lock(mutex_);
        auto found = std::find(sinks_.begin(), sinks_.end(), sink);
        if (found == sinks_.end()) return false;
        sinks_.erase(found);
        auto self = std::this_thread::get_id();
        auto insideOwnCall = [&] {
            return std::any_of(calls_.begin(), calls_.end(),
                               [&](const Call& c) { return c.sink == sink && c.thread == self; });
        };
        if (insideOwnCall()) return true;
        auto ended = [&] {
            return std::none_of(calls_.begin(), calls_.end(),
                                [&](const Call& c) { return c.sink == sink; });
        };
        wait_.Wait(lock, done_, ended);
        return true;
    }

    bool Empty() {
        std::lock_guard<std::mutex> lock(mutex_);
        return sinks_.empty();
    }

    // Calls `call(sink)` for every sink present now, each only if it is still present when
    // its turn comes. Returns how many were called.
    template <typename Fn>
    int ForEach(Fn&& call) {
        std::vector<Sink*> snapshot;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            snapshot = sinks_;
        }
        int called = 0;
        for (Sink* sink : snapshot) {
            if (CallOne(sink, call)) ++called;
        }
        return called;
    }

    // Calls `call(sink)` if `sink` is present; false when it is not.
    template <typename Fn>
    bool CallOne(Sink* sink, Fn&& call) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (std::find(sinks_.begin(), sinks_.end(), sink) == sinks_.end()) return false;
            calls_.push_back({sink, std::this_thread::get_id()});
        }
        struct Finish {
            SinkList* list;
            Sink* sink;
            ~Finish() { list->EndCall(sink); }
        } finish{this, sink};
        try {
            call(sink);
        } catch (...) {
            // A sink that throws does not stop the others.
            if (thrown_) thrown_(std::current_exception());
        }
        return true;
    }

  private:
    struct Call {
        Sink* sink;
        std::thread::id thread;
    };

    void EndCall(Sink* sink) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto self = std::this_thread::get_id();
        auto found = std::find_if(calls_.begin(), calls_.end(), [&](const Call& c) {
            return c.sink == sink && c.thread == self;
        });
        if (found != calls_.end()) calls_.erase(found);
        done_.notify_all();
    }

    const platform::ServingWait wait_;
    std::mutex mutex_;
    std::condition_variable done_;
    std::vector<Sink*> sinks_;
    std::vector<Call> calls_;
    const std::function<void(std::exception_ptr)> thrown_;
};

}  // namespace devicemgr
