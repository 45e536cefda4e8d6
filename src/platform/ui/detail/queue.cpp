#include "platform/ui/detail/queue.h"

#include <cstdio>
#include <exception>

namespace ui::detail {

void MessageQueue::SetWakeHandler(std::function<void()> wake) {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_ = std::move(wake);
}

bool MessageQueue::Push(Item item, bool isSend) {
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return false;
        (isSend ? sends_ : posts_).push_back(std::move(item));
        wake = wake_;
    }
    workCv_.notify_one();
    if (wake) wake();
    return true;
}

bool MessageQueue::Post(Task task) {
    return Push(Item{std::move(task), nullptr}, false);
}

bool MessageQueue::Send(Task task) {
    auto state = std::make_shared<SendState>();
    if (!Push(Item{std::move(task), state}, true)) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    doneCv_.wait(lock, [&] { return state->done; });
    return state->ran;
}

void MessageQueue::Finish(const std::shared_ptr<SendState>& send, bool ran) {
    if (!send) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        send->done = true;
        send->ran = ran;
    }
    doneCv_.notify_all();
}

bool MessageQueue::HasWork(bool sendsOnly) {
    std::lock_guard<std::mutex> lock(mutex_);
    return !sends_.empty() || (!sendsOnly && !posts_.empty());
}

bool MessageQueue::RunOne(bool sendsOnly) {
    Item item;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::deque<Item>* from = !sends_.empty() ? &sends_ : (sendsOnly ? nullptr : &posts_);
        if (from == nullptr || from->empty()) return false;
        item = std::move(from->front());
        from->pop_front();
    }
    try {
        item.task();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "window kit: a handler threw: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "window kit: a handler threw\n");
    }
    Finish(item.send, true);
    return true;
}

void MessageQueue::Wait(std::optional<Clock::time_point> deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [this] { return kicked_ || closed_ || !sends_.empty() || !posts_.empty(); };
    if (!ready()) {
        waiting_ = true;
        idleCv_.notify_all();
        if (deadline) {
            workCv_.wait_until(lock, *deadline, ready);
        } else {
            workCv_.wait(lock, ready);
        }
        waiting_ = false;
    }
    kicked_ = false;
}

void MessageQueue::WaitForSend(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    workCv_.wait_until(lock, deadline, [this] { return closed_ || !sends_.empty(); });
}

void MessageQueue::Kick() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        kicked_ = true;
    }
    workCv_.notify_one();
}

bool MessageQueue::WaitIdle(const std::function<bool()>& busy, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return idleCv_.wait_for(lock, timeout, [&] {
        return closed_ ||
               (waiting_ && !kicked_ && sends_.empty() && posts_.empty() && !(busy && busy()));
    });
}

void MessageQueue::Close() {
    std::deque<Item> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        for (auto& item : sends_) dropped.push_back(std::move(item));
        sends_.clear();
        posts_.clear();
        wake_ = nullptr;
    }
    for (auto& item : dropped) Finish(item.send, false);
    workCv_.notify_all();
    idleCv_.notify_all();
}

}  // namespace ui::detail
