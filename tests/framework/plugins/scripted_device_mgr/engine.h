// The scripted device manager's state and its thread: the script of answers, the sinks, the
// records, and a queue of timed deliveries that the thread carries out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "scripted_device.h"

namespace scripted {

class Engine {
  public:
    // The one engine of the loaded library.
    static Engine& Instance();
    ~Engine();

    // References held by plug-in objects and controls; the thread runs while there are any.
    void Acquire();
    void Drop();

    // ---- Called through the device manager's interfaces.
    bool SetAnswerHandler(framework::AnswerHandler handler);
    void RemoveAnswerHandler(framework::AnswerHandler handler);
    bool SendCommand(const char* line);
    void EndExchange();
    bool OpenGps(uint32_t* status);
    bool CloseGps();
    bool DevicePresent();
    bool AddSink(framework::IDeviceMgrEvent* sink);
    bool RemoveSink(framework::IDeviceMgrEvent* sink);
    bool AddMultiSink(framework::IMultiDeviceMgrEvent* sink);
    bool RemoveMultiSink(framework::IMultiDeviceMgrEvent* sink);
    bool AddPluginSetSink(framework::IPluginSetChangedSink* sink);
    bool RemovePluginSetSink(framework::IPluginSetChangedSink* sink);
    bool AddInitializeSink(framework::IDeviceInitializeEvent* sink);
    bool RemoveInitializeSink(framework::IDeviceInitializeEvent* sink);
    void CountRefresh();
    void CountInterface(bool handedOut);
    const char* CustomizeText();

    // ---- Called through the control interface.
    void QueueAnswer(const std::string& command, std::optional<std::string> answer, int delayMs);
    void SetStandingAnswer(const std::string& command, const std::string& answer, int delayMs);
    void SetFallbackAnswer(const std::string& answer, int delayMs);
    void PushAnswer(const std::string& answer, int delayMs);
    void SetDevicePresent(bool present);
    void SetSendResult(bool result);
    void SetGpsResults(bool openResult, bool closeResult);
    void SetGpsOpenStatus(uint32_t status);
    void SetCustomizeText(const std::string& text);
    void RaiseEvent(uint32_t code, const void* data, size_t size, int delayMs);
    void RaiseDeviceChanged(const std::string& name, const std::string& customize, int delayMs);
    void RaiseDevicesInitialized(const std::vector<ListedDevice>& devices, int code, int delayMs);
    void AnnounceDevicesOnRegister(const std::vector<ListedDevice>& devices, int delayMs);
    std::vector<std::string> SentLines();
    std::vector<std::string> DeliveredAnswers();
    Counters GetCounters();
    std::vector<bool> DeviceEventResults();
    std::vector<int> DeviceChangedResults();
    std::vector<bool> InitializeResults();
    int EventSinkCount();
    int MultiSinkCount();
    int InitializeSinkCount();
    bool HandlerRegistered();
    bool WaitIdle(int timeoutMs);
    bool WaitForSent(size_t count, int timeoutMs);
    void Reset();

  private:
    using Clock = std::chrono::steady_clock;

    enum class Kind { Answer, DeviceEvent, DeviceChanged, Initialize };
    struct Job {
        Kind kind = Kind::Answer;
        std::string text;       // answer; device name
        std::string customize;  // customize text
        uint32_t code = 0;      // event code
        bool hasData = false;
        std::vector<unsigned char> data;  // event data
        std::vector<ListedDevice> devices;
        framework::IDeviceInitializeEvent* only = nullptr;  // one initialize sink, else all
    };
    struct Reply {
        std::optional<std::string> answer;  // nothing: no answer
        int delayMs = 0;
    };

    Engine() = default;
    void Schedule(Job job, int delayMs);  // with mutex_ held
    void Run(uint64_t generation);
    void Deliver(Job& job);
    void DeliverAnswer(const std::string& answer);
    void DeliverEvent(const Job& job);
    void DeliverDeviceChanged(const Job& job);
    void DeliverInitialize(const Job& job);
    void ResetScriptLocked();
    // Marks `sink` as being called on this thread; false (nothing marked) when it is no longer
    // registered in `list`. With mutex_ held.
    template <typename T>
    bool BeginCallLocked(const std::vector<T*>& list, T* sink);
    void EndCall();
    // Returns once no call into `sink` runs on another thread (serving sends meanwhile on the
    // window thread). A call that is still running long after its removal means the sink waits
    // for the thread removing it: the process stops with a message instead of hanging.
    void WaitForCallToEnd(const void* sink);

    std::mutex mutex_;
    std::condition_variable wake_;  // the thread: new job or stop
    std::condition_variable idle_;  // waiters: a job finished, or a line was sent

    int references_ = 0;
    uint64_t generation_ = 0;  // a thread runs while this is the number it was started with
    std::thread thread_;

    // Deliveries, by due time and then in the order scheduled.
    std::map<std::pair<Clock::time_point, uint64_t>, Job> jobs_;
    uint64_t nextSequence_ = 0;
    bool busy_ = false;
    const void* calling_ = nullptr;  // the sink being called now, and the thread calling it
    std::thread::id callingThread_;

    // Script.
    std::map<std::string, std::deque<Reply>> queued_;
    std::map<std::string, Reply> standing_;
    Reply fallback_;
    bool present_ = true;
    bool sendResult_ = true;
    bool openResult_ = true;
    bool closeResult_ = true;
    uint32_t openStatus_ = 0;
    std::string customize_;
    std::optional<std::vector<ListedDevice>> announce_;
    int announceDelayMs_ = 0;

    // Registrations.
    framework::AnswerHandler handler_ = nullptr;
    std::vector<framework::IDeviceMgrEvent*> sinks_;
    std::vector<framework::IMultiDeviceMgrEvent*> multiSinks_;
    std::vector<framework::IDeviceInitializeEvent*> initializeSinks_;
    std::vector<framework::IPluginSetChangedSink*> pluginSetSinks_;

    // Records.
    std::vector<std::string> sent_;
    std::vector<std::string> delivered_;
    Counters counters_;
    std::vector<bool> eventResults_;
    std::vector<int> changedResults_;
    std::vector<bool> initializeResults_;
};

}  // namespace scripted
