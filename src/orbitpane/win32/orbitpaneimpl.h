// COrbitpaneImpl: the GPS plug-in object. It answers the container's plug-in operations,
// forwards device events to the GPS dialog and carries the AT command exchanges with the card.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "framework/contracts/container.h"
#include "framework/contracts/device.h"
#include "orbitpane/session/card_watch.h"
#include "orbitpane/win32/plugin_context.h"
#include "platform/sync.h"

namespace orbitpane {
class IGpsDialog;
}

// GPS capability of the card as classified from its "^GPSTYPE:" answer.
enum GpsTypeResult : int {
    kGpsTypeGpsOnly = 0,  // stand-alone GPS
    kGpsTypeAgps = 1,     // network-assisted GPS too
    kGpsTypeNone = 2,     // no GPS, or no answer
};

class COrbitpaneImpl final : public framework::IUIPlugin, public framework::IDeviceMgrEvent {
  public:
    // `seams`: what a test puts in place of the real dialog, link opener and clocks.
    explicit COrbitpaneImpl(orbitpane::PluginSeams seams = {});
    ~COrbitpaneImpl();
    COrbitpaneImpl(const COrbitpaneImpl&) = delete;
    COrbitpaneImpl& operator=(const COrbitpaneImpl&) = delete;

    // IBaseInterface
    void Release() override;
    int GetLastErrorCode() override { return lastError_; }
    // IBasePlugin
    void SetContainer(framework::IPluginContainer* container) override;
    bool Initialize() override { return true; }
    bool QueryInterface(uint32_t number, framework::IBaseInterface** object) override;
    int GetState() override;
    const char* GetPluginId() override;
    int GetVersion() override;
    const char* GetName() override;
    bool Uninitialize() override { return true; }
    // IUIPlugin
    bool ShowWindow(framework::WindowHandle parent, int x, int y, int width, int height) override;
    int DoModal() override;
    void HideWindow() override;
    void FitSize(int x, int y, int width, int height) override;
    bool GetStateFlag() override { return stateFlag_; }

    // The AT command layer. Each exchange sends one line and waits up to 500 ms for the
    // card's final answer; exchanges never overlap, whichever thread asks.
    virtual framework::IDeviceChannel* GetDeviceChannel();
    virtual int QueryGpsType();
    virtual int SetApn(const std::string& apn);
    virtual int SetSuplServer(const std::string& server);
    virtual int SetPositionMode(int mode);
    virtual int SetFixInterval(int seconds);
    virtual int SetSecTime(const std::string& timeText);
    virtual int OpenGps();
    virtual int CloseGps();
    // Adds or removes this object as a device-event sink; removing an unregistered sink does
    // nothing. The window's close, OnDestroyEvent, the end of DoModal and the destructor all
    // remove it.
    virtual void RegisterDeviceEvents();
    virtual void UnregisterDeviceEvents();

    // The operations of the secondary interfaces come last: each also takes a slot in this
    // object's first table, which must not move the AT command layer's slots (15 to 25).
    // IDestroyEvent
    void OnDestroyEvent() override;
    // IDeviceMgrEvent
    bool OnDeviceEvent(uint32_t event, void* data) override;
    // True when the card acknowledged "AT^WPDGP" with "OK".
    bool ProbeCard();
    // The type query's answer as the dialog needs it: also whether the card answered at all.
    session::GpsTypeAnswer QueryGpsTypeAnswer();

    // The status word of the last OpenGps or CloseGps: 0, or the kGpsStatus... code
    // (contracts/device.h) the device gave with its failure.
    uint32_t GpsStatus() const { return gpsStatus_; }

    // The last answer of a GPS-type query that the card acknowledged.
    std::string AnswerText() const;

    // Called by the answer handlers with each answer that reaches the registered handler.
    void OnAnswer(const char* answer);

    // What the plug-in's parts share; the dialog gets it at its construction.
    orbitpane::PluginContext& Context() { return context_; }

    static constexpr int kReplyWindowMs = 500;

  private:
    enum class Outcome { kPending, kOk, kError, kTimeout };
    enum class Handler { kOk, kType };
    struct ExchangeResult {
        Outcome outcome = Outcome::kTimeout;
        std::string answer;
    };

    ExchangeResult Exchange(const std::string& line, Handler handler);
    int SetCommand(const std::string& line);
    bool SwitchGps(bool open);
    void SetDeviceEventSink(bool add);
    void TraceError(const char* message, int line);

    platform::Event replyEvent_;
    std::string answerText_;
    std::atomic<int> lastError_{0};
    std::atomic<uint32_t> gpsStatus_{0};
    bool stateFlag_ = false;
    orbitpane::PluginContext context_;
    std::atomic<orbitpane::IGpsDialog*> dialog_{nullptr};
    std::atomic<bool> sinkRegistered_{false};  // this object is a device-event sink now

    // One exchange at a time; the state below is shared with the answer handlers.
    std::mutex exchangeMutex_;
    mutable std::mutex answerMutex_;
    bool exchangeActive_ = false;
    Outcome outcome_ = Outcome::kPending;
    std::string pendingAnswer_;
};

// The plug-in singleton; null until CreatePlugin and again after its Release. It is the
// library's one process-wide reference: the export hands it out, and the AT answer handlers,
// plain functions of the device contract, reach it through it.
COrbitpaneImpl* OrbitpaneSingleton();
namespace orbitpane {
// The singleton made with `seams` (tests), or the existing one; null when it cannot be made.
COrbitpaneImpl* CreatePluginWith(PluginSeams seams);
// Clears the singleton reference when it names `plugin` (called by its destructor).
void ForgetSingleton(COrbitpaneImpl* plugin);
// The handlers of every command but the GPS-type query, and of the GPS-type query: each hands
// the answer to the singleton.
void OkAnswerHandler(const char* answer);
void TypeAnswerHandler(const char* answer);
}  // namespace orbitpane

extern "C" framework::IBasePlugin* CreatePlugin();
