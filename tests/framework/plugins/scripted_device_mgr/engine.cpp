#include "engine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/ui/kit.h"

namespace scripted {
namespace {

// The command part of a sent line: the line without its final CR/LF characters.
std::string CommandOf(const std::string& line) {
    size_t end = line.find_last_not_of("\r\n");
    return end == std::string::npos ? std::string() : line.substr(0, end + 1);
}

template <typename T>
bool AddUnique(std::vector<T*>& list, T* item) {
    if (!item || std::find(list.begin(), list.end(), item) != list.end()) return false;
    list.push_back(item);
    return true;
}

template <typename T>
bool RemoveItem(std::vector<T*>& list, T* item) {
    auto found = std::find(list.begin(), list.end(), item);
    if (found == list.end()) return false;
    list.erase(found);
    return true;
}

// How long a removal waits for a running call before it calls the wait a deadlock.
constexpr int kStalledCallMs = 10000;

template <typename T>
bool Contains(const std::vector<T*>& list, T* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The device information object of a device-changed notification.
class DeviceInfo final : public framework::IDeviceInfo {
  public:
    DeviceInfo(const std::string& name, const std::string& customize)
        : name_(name), customize_(customize) {}
    const char* GetDeviceName() override { return name_.c_str(); }
    const char* GetCustomizeText() override { return customize_.c_str(); }

  private:
    const std::string& name_;
    const std::string& customize_;
};

// The device list object of a device-initialised notification; the cursor starts on the first
// device.
class DeviceList final : public framework::IDeviceList {
  public:
    explicit DeviceList(const std::vector<ListedDevice>& devices) : devices_(devices) {}
    int GetCount() override { return static_cast<int>(devices_.size()); }
    const char* GetCurrentId() override {
        return cursor_ < devices_.size() ? devices_[cursor_].id.c_str() : "";
    }
    int GetCurrentPort() override {
        return cursor_ < devices_.size() ? devices_[cursor_].port : -1;
    }
    bool MoveFirst() override {
        cursor_ = 0;
        return !devices_.empty();
    }
    bool MoveNext() override {
        if (cursor_ < devices_.size()) ++cursor_;
        return cursor_ < devices_.size();
    }

  private:
    const std::vector<ListedDevice>& devices_;
    size_t cursor_ = 0;
};

}  // namespace

Engine& Engine::Instance() {
    static Engine engine;
    return engine;
}

Engine::~Engine() {
    std::thread leftover;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++generation_;
        leftover.swap(thread_);
    }
    wake_.notify_all();
    if (leftover.joinable()) leftover.join();
}

void Engine::Acquire() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (references_++ == 0 && !thread_.joinable()) {
        uint64_t generation = ++generation_;
        thread_ = std::thread([this, generation] { Run(generation); });
    }
}

void Engine::Drop() {
    std::thread finished;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (references_ == 0 || --references_ > 0) return;
        ++generation_;
        finished.swap(thread_);
    }
    wake_.notify_all();
    if (!finished.joinable()) return;
    // The last reference may go from a callback on the manager's own thread.
    if (finished.get_id() == std::this_thread::get_id()) {
        finished.detach();
    } else {
        finished.join();
    }
}

void Engine::Schedule(Job job, int delayMs) {
    auto due = Clock::now() + std::chrono::milliseconds(std::max(delayMs, 0));
    jobs_.emplace(std::make_pair(due, nextSequence_++), std::move(job));
    wake_.notify_all();
}

void Engine::Run(uint64_t generation) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (generation_ == generation) {
        if (jobs_.empty()) {
            wake_.wait(lock);
            continue;
        }
        auto next = jobs_.begin();
        if (next->first.first > Clock::now()) {
            wake_.wait_until(lock, next->first.first);
            continue;
        }
        Job job = std::move(next->second);
        jobs_.erase(next);
        busy_ = true;
        lock.unlock();
        Deliver(job);
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
}

void Engine::Deliver(Job& job) {
    switch (job.kind) {
        case Kind::Answer:
            DeliverAnswer(job.text);
            break;
        case Kind::DeviceEvent:
            DeliverEvent(job);
            break;
        case Kind::DeviceChanged:
            DeliverDeviceChanged(job);
            break;
        case Kind::Initialize:
            DeliverInitialize(job);
            break;
    }
}

void Engine::DeliverAnswer(const std::string& answer) {
    framework::AnswerHandler handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handler = handler_;
        if (!handler) {
            ++counters_.answersDropped;
            return;
        }
        ++counters_.answersDelivered;
        delivered_.push_back(answer);
    }
    handler(answer.c_str());
}

void Engine::DeliverEvent(const Job& job) {
    std::vector<framework::IDeviceMgrEvent*> sinks;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sinks = sinks_;
    }
    for (framework::IDeviceMgrEvent* sink : sinks) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // Removed meanwhile (by an earlier sink of this round, or by another thread).
            if (!BeginCallLocked(sinks_, sink)) continue;
        }
        // A fresh copy for each sink: what one sink does to the data does not reach the next.
        std::vector<unsigned char> data = job.data;
        bool result = sink->OnDeviceEvent(job.code, job.hasData ? data.data() : nullptr);
        EndCall();
        std::lock_guard<std::mutex> lock(mutex_);
        eventResults_.push_back(result);
    }
}

void Engine::DeliverDeviceChanged(const Job& job) {
    bool rebuild = false;
    std::vector<framework::IMultiDeviceMgrEvent*> sinks;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sinks = multiSinks_;
    }
    for (framework::IMultiDeviceMgrEvent* sink : sinks) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!BeginCallLocked(multiSinks_, sink)) continue;
        }
        DeviceInfo info(job.text, job.customize);
        int result = sink->OnDeviceChanged(nullptr, &info);
        EndCall();
        std::lock_guard<std::mutex> lock(mutex_);
        changedResults_.push_back(result);
        if (result == -2) rebuild = true;
    }
    // A sink that needs another plug-in set: the main frame is told to end its run.
    if (!rebuild) return;
    std::vector<framework::IPluginSetChangedSink*> told;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        told = pluginSetSinks_;
    }
    for (framework::IPluginSetChangedSink* sink : told) sink->OnPluginSetChanged();
}

bool Engine::AddPluginSetSink(framework::IPluginSetChangedSink* sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    return AddUnique(pluginSetSinks_, sink);
}

bool Engine::RemovePluginSetSink(framework::IPluginSetChangedSink* sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    return RemoveItem(pluginSetSinks_, sink);
}

void Engine::DeliverInitialize(const Job& job) {
    std::vector<framework::IDeviceInitializeEvent*> sinks;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sinks = initializeSinks_;
    }
    for (framework::IDeviceInitializeEvent* sink : sinks) {
        if (job.only && sink != job.only) continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!BeginCallLocked(initializeSinks_, sink)) continue;
        }
        DeviceList list(job.devices);
        bool result = sink->OnDeviceInitialize(static_cast<int>(job.code), &list);
        EndCall();
        std::lock_guard<std::mutex> lock(mutex_);
        initializeResults_.push_back(result);
    }
}

template <typename T>
bool Engine::BeginCallLocked(const std::vector<T*>& list, T* sink) {
    if (!Contains(list, sink)) return false;
    calling_ = sink;
    callingThread_ = std::this_thread::get_id();
    return true;
}

void Engine::EndCall() {
    std::lock_guard<std::mutex> lock(mutex_);
    calling_ = nullptr;
    idle_.notify_all();
}

void Engine::WaitForCallToEnd(const void* sink) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Not being called, or removed from inside its own call: nothing to wait for.
        if (calling_ != sink || callingThread_ == std::this_thread::get_id()) return;
    }
    auto ended = [this, sink] {
        std::lock_guard<std::mutex> lock(mutex_);
        return calling_ != sink;
    };
    // The running call may be sending to the window thread, which may be the one waiting here.
    if (!ui::WaitServingSends(ended, kStalledCallMs)) {
        std::fprintf(stderr,
                     "scripted device manager: a sink still runs %d ms after its removal; it "
                     "waits for the thread that removes it\n",
                     kStalledCallMs);
        std::abort();
    }
}

// ---- The device manager's side.

bool Engine::SetAnswerHandler(framework::AnswerHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!handler) return false;
    handler_ = handler;
    ++counters_.handlersSet;
    return true;
}

void Engine::RemoveAnswerHandler(framework::AnswerHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (handler && handler == handler_) {
        handler_ = nullptr;
        ++counters_.handlersRemoved;
    }
}

bool Engine::SendCommand(const char* line) {
    if (!line) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    sent_.emplace_back(line);
    idle_.notify_all();
    if (!sendResult_) return false;

    std::string command = CommandOf(sent_.back());
    Reply reply = fallback_;
    auto queued = queued_.find(command);
    if (queued != queued_.end() && !queued->second.empty()) {
        reply = std::move(queued->second.front());
        queued->second.pop_front();
    } else if (auto standing = standing_.find(command); standing != standing_.end()) {
        reply = standing->second;
    }
    if (reply.answer) {
        Job job;
        job.kind = Kind::Answer;
        job.text = *reply.answer;
        Schedule(std::move(job), reply.delayMs);
    }
    return true;
}

void Engine::EndExchange() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counters_.endExchanges;
}

bool Engine::OpenGps(uint32_t* status) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counters_.gpsOpens;
    if (!openResult_ && status) *status = openStatus_;
    return openResult_;
}

bool Engine::CloseGps() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counters_.gpsCloses;
    return closeResult_;
}

bool Engine::DevicePresent() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counters_.currentDeviceAsks;
    return present_;
}

bool Engine::AddSink(framework::IDeviceMgrEvent* sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    return AddUnique(sinks_, sink);
}

bool Engine::RemoveSink(framework::IDeviceMgrEvent* sink) {
    bool removed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        removed = RemoveItem(sinks_, sink);
    }
    WaitForCallToEnd(sink);
    return removed;
}

bool Engine::AddMultiSink(framework::IMultiDeviceMgrEvent* sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    return AddUnique(multiSinks_, sink);
}

bool Engine::RemoveMultiSink(framework::IMultiDeviceMgrEvent* sink) {
    bool removed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        removed = RemoveItem(multiSinks_, sink);
    }
    WaitForCallToEnd(sink);
    return removed;
}

bool Engine::AddInitializeSink(framework::IDeviceInitializeEvent* sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!AddUnique(initializeSinks_, sink)) return false;
    if (announce_) {
        Job job;
        job.kind = Kind::Initialize;
        job.code = static_cast<uint32_t>(framework::kEventDevicesInitialized);
        job.devices = *announce_;
        job.only = sink;
        Schedule(std::move(job), announceDelayMs_);
    }
    return true;
}

bool Engine::RemoveInitializeSink(framework::IDeviceInitializeEvent* sink) {
    bool removed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        removed = RemoveItem(initializeSinks_, sink);
    }
    WaitForCallToEnd(sink);
    return removed;
}

void Engine::CountRefresh() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counters_.refreshes;
}

void Engine::CountInterface(bool handedOut) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++(handedOut ? counters_.interfacesHandedOut : counters_.interfacesReleased);
}

const char* Engine::CustomizeText() {
    std::lock_guard<std::mutex> lock(mutex_);
    return customize_.c_str();
}

// ---- The control side.

void Engine::QueueAnswer(const std::string& command, std::optional<std::string> answer,
                         int delayMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_[CommandOf(command)].push_back(Reply{std::move(answer), delayMs});
}

void Engine::SetStandingAnswer(const std::string& command, const std::string& answer, int delayMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    standing_[CommandOf(command)] = Reply{answer, delayMs};
}

void Engine::SetFallbackAnswer(const std::string& answer, int delayMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    fallback_ = answer.empty() ? Reply{} : Reply{answer, delayMs};
}

void Engine::PushAnswer(const std::string& answer, int delayMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    Job job;
    job.kind = Kind::Answer;
    job.text = answer;
    Schedule(std::move(job), delayMs);
}

void Engine::SetDevicePresent(bool present) {
    std::lock_guard<std::mutex> lock(mutex_);
    present_ = present;
}

void Engine::SetSendResult(bool result) {
    std::lock_guard<std::mutex> lock(mutex_);
    sendResult_ = result;
}

void Engine::SetGpsResults(bool openResult, bool closeResult) {
    std::lock_guard<std::mutex> lock(mutex_);
    openResult_ = openResult;
    closeResult_ = closeResult;
}

void Engine::SetGpsOpenStatus(uint32_t status) {
    std::lock_guard<std::mutex> lock(mutex_);
    openStatus_ = status;
}

void Engine::SetCustomizeText(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    customize_ = text;
}

void Engine::RaiseEvent(uint32_t code, const void* data, size_t size, int delayMs) {
    Job job;
    job.kind = Kind::DeviceEvent;
    job.code = code;
    job.hasData = data != nullptr;
    if (data) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        job.data.assign(bytes, bytes + size);
        if (job.data.empty()) job.data.push_back(0);  // keep a valid, non-null address
    }
    std::lock_guard<std::mutex> lock(mutex_);
    Schedule(std::move(job), delayMs);
}

void Engine::RaiseDeviceChanged(const std::string& name, const std::string& customize,
                                int delayMs) {
    Job job;
    job.kind = Kind::DeviceChanged;
    job.text = name;
    job.customize = customize;
    std::lock_guard<std::mutex> lock(mutex_);
    Schedule(std::move(job), delayMs);
}

void Engine::RaiseDevicesInitialized(const std::vector<ListedDevice>& devices, int code,
                                     int delayMs) {
    Job job;
    job.kind = Kind::Initialize;
    job.code = static_cast<uint32_t>(code);
    job.devices = devices;
    std::lock_guard<std::mutex> lock(mutex_);
    Schedule(std::move(job), delayMs);
}

void Engine::AnnounceDevicesOnRegister(const std::vector<ListedDevice>& devices, int delayMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    announce_ = devices;
    announceDelayMs_ = delayMs;
}

std::vector<std::string> Engine::SentLines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}

std::vector<std::string> Engine::DeliveredAnswers() {
    std::lock_guard<std::mutex> lock(mutex_);
    return delivered_;
}

Counters Engine::GetCounters() {
    std::lock_guard<std::mutex> lock(mutex_);
    return counters_;
}

std::vector<bool> Engine::DeviceEventResults() {
    std::lock_guard<std::mutex> lock(mutex_);
    return eventResults_;
}

std::vector<int> Engine::DeviceChangedResults() {
    std::lock_guard<std::mutex> lock(mutex_);
    return changedResults_;
}

std::vector<bool> Engine::InitializeResults() {
    std::lock_guard<std::mutex> lock(mutex_);
    return initializeResults_;
}

int Engine::EventSinkCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(sinks_.size());
}

int Engine::MultiSinkCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(multiSinks_.size());
}

int Engine::InitializeSinkCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(initializeSinks_.size());
}

bool Engine::HandlerRegistered() {
    std::lock_guard<std::mutex> lock(mutex_);
    return handler_ != nullptr;
}

bool Engine::WaitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return jobs_.empty() && !busy_; });
}

bool Engine::WaitForSent(size_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this, count] { return sent_.size() >= count; });
}

void Engine::ResetScriptLocked() {
    jobs_.clear();
    queued_.clear();
    standing_.clear();
    fallback_ = Reply{};
    present_ = true;
    sendResult_ = true;
    openResult_ = true;
    closeResult_ = true;
    openStatus_ = 0;
    customize_.clear();
    announce_.reset();
    announceDelayMs_ = 0;
    sent_.clear();
    delivered_.clear();
    counters_ = Counters{};
    eventResults_.clear();
    changedResults_.clear();
    initializeResults_.clear();
}

void Engine::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    ResetScriptLocked();
    idle_.notify_all();
}

}  // namespace scripted
