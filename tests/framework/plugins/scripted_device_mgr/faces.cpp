#include "faces.h"

namespace scripted {

CurrentDevice& CurrentDevice::Instance() {
    static CurrentDevice device;
    return device;
}

bool CurrentDevice::OpenGps(uint32_t* status) {
    return Engine::Instance().OpenGps(status);
}
bool CurrentDevice::CloseGps(uint32_t* /*status*/) {
    return Engine::Instance().CloseGps();
}

framework::IDeviceChannel* ManagerFace::GetCurrentDevice() {
    return Engine::Instance().DevicePresent() ? &CurrentDevice::Instance() : nullptr;
}

namespace {

class Control final : public IScriptedDevice {
  public:
    Control() { Engine::Instance().Acquire(); }
    ~Control() { Engine::Instance().Drop(); }

    void Release() override { delete this; }
    int GetLastErrorCode() override { return 0; }

    void QueueAnswer(const std::string& command, const std::string& answer, int delayMs) override {
        E().QueueAnswer(command, answer, delayMs);
    }
    void QueueNoAnswer(const std::string& command) override {
        E().QueueAnswer(command, std::nullopt, 0);
    }
    void SetStandingAnswer(const std::string& command, const std::string& answer,
                           int delayMs) override {
        E().SetStandingAnswer(command, answer, delayMs);
    }
    void SetFallbackAnswer(const std::string& answer, int delayMs) override {
        E().SetFallbackAnswer(answer, delayMs);
    }
    void PushAnswer(const std::string& answer, int delayMs) override {
        E().PushAnswer(answer, delayMs);
    }
    void SetDevicePresent(bool present) override { E().SetDevicePresent(present); }
    void SetSendResult(bool result) override { E().SetSendResult(result); }
    void SetGpsResults(bool openResult, bool closeResult) override {
        E().SetGpsResults(openResult, closeResult);
    }
    void SetGpsOpenStatus(uint32_t status) override { E().SetGpsOpenStatus(status); }
    void SetCustomizeText(const std::string& text) override { E().SetCustomizeText(text); }
    void RaiseEvent(uint32_t code, const void* data, size_t size, int delayMs) override {
        E().RaiseEvent(code, data, size, delayMs);
    }
    void RaiseDeviceChanged(const std::string& name, const std::string& customize,
                            int delayMs) override {
        E().RaiseDeviceChanged(name, customize, delayMs);
    }
    void RaiseDevicesInitialized(const std::vector<ListedDevice>& devices, int code,
                                 int delayMs) override {
        E().RaiseDevicesInitialized(devices, code, delayMs);
    }
    void AnnounceDevicesOnRegister(const std::vector<ListedDevice>& devices, int delayMs) override {
        E().AnnounceDevicesOnRegister(devices, delayMs);
    }
    std::vector<std::string> SentLines() override { return E().SentLines(); }
    std::vector<std::string> DeliveredAnswers() override { return E().DeliveredAnswers(); }
    Counters GetCounters() override { return E().GetCounters(); }
    std::vector<bool> DeviceEventResults() override { return E().DeviceEventResults(); }
    std::vector<int> DeviceChangedResults() override { return E().DeviceChangedResults(); }
    std::vector<bool> InitializeResults() override { return E().InitializeResults(); }
    int EventSinkCount() override { return E().EventSinkCount(); }
    int MultiSinkCount() override { return E().MultiSinkCount(); }
    int InitializeSinkCount() override { return E().InitializeSinkCount(); }
    bool HandlerRegistered() override { return E().HandlerRegistered(); }
    bool WaitIdle(int timeoutMs) override { return E().WaitIdle(timeoutMs); }
    bool WaitForSent(size_t count, int timeoutMs) override {
        return E().WaitForSent(count, timeoutMs);
    }
    void Reset() override { E().Reset(); }

  private:
    static Engine& E() { return Engine::Instance(); }
};

}  // namespace

IScriptedDevice* NewControl() {
    return new Control;
}

}  // namespace scripted
