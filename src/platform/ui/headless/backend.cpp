#include "platform/ui/headless/backend.h"

#include <algorithm>
#include <cstdio>
#include <future>

#include "platform/ui/detail/access.h"
#include "platform/ui/detail/units.h"

namespace ui::headless {

using detail::DialogAccess;

namespace {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

class HeadlessView : public detail::View {
  public:
    HeadlessView(HeadlessBackend& backend, Dialog& dialog) : backend_(backend), dialog_(dialog) {}
    Rect ToPixels(const Rect& r) const override { return detail::DialogUnitsToPixels(r); }
    bool Shows() const override { return false; }
    void SyncControl(int) override {}
    void SyncWindow() override {}
    void Focus(int) override {}
    void RunModal() override {
        backend_.RunUntil([this] { return DialogAccess::ModalDone(dialog_); });
    }
    void EndModal() override {}
    void Center() override {
        detail::WindowState window = DialogAccess::Window(dialog_);
        // On the parent's client area, else on the owner, else on the screen.
        Rect area{0, 0, kScreenWidth, kScreenHeight};
        if (detail::KitState* kit = detail::Kit()) {
            WindowHandle around = window.parent ? window.parent : window.owner;
            kit->registry.With(around, [&](Dialog& other) { area = other.WindowRect(); });
            if (window.parent) area.x = area.y = 0;
        }
        Rect r = window.rect;
        r.x = area.x + (area.width - r.width) / 2;
        r.y = area.y + (area.height - r.height) / 2;
        DialogAccess::Moved(dialog_, r);
    }
    void Raise() override {}
    void Invalidate() override {}

  private:
    HeadlessBackend& backend_;
    Dialog& dialog_;
};

}  // namespace

HeadlessBackend::~HeadlessBackend() {
    Stop();
}

bool HeadlessBackend::Start(int, char**) {
    std::promise<void> started;
    auto ready = started.get_future();
    try {
        thread_ = std::thread([this, &started] {
            windowThread_ = std::this_thread::get_id();
            started.set_value();
            RunUntil([] { return false; });
        });
    } catch (const std::system_error&) {
        return false;
    }
    ready.wait();
    return true;
}

void HeadlessBackend::Stop() {
    if (!thread_.joinable()) return;
    if (IsWindowThread()) {
        std::fprintf(stderr, "window kit: the headless back end cannot stop from its own thread\n");
        return;
    }
    stop_ = true;
    kit_.queue.Kick();
    thread_.join();
}

bool HeadlessBackend::IsWindowThread() const {
    return std::this_thread::get_id() == windowThread_.load();
}

std::unique_ptr<detail::View> HeadlessBackend::CreateView(Dialog& dialog) {
    return std::make_unique<HeadlessView>(*this, dialog);
}

void HeadlessBackend::RunUntil(const std::function<bool()>& done) {
    while (!stop_ && !done()) {
        if (kit_.queue.RunOne(false)) continue;
        if (FireDueTimer()) continue;
        if (stop_ || done()) break;
        kit_.queue.Wait(NextDeadline());
    }
}

void HeadlessBackend::ProcessPending() {
    while (kit_.queue.RunOne(false) || FireDueTimer()) {
    }
}

// ---- timers ----

HeadlessBackend::Clock::time_point HeadlessBackend::NowLocked() const {
    return manualClock_ ? manualNow_ : Clock::now();
}

unsigned HeadlessBackend::SetTimer(WindowHandle window, unsigned id, unsigned milliseconds) {
    // As with system timers, a zero period still waits a little between firings.
    auto period = std::chrono::milliseconds(std::max(milliseconds, 10u));
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        timers_.Set(window, id, period, NowLocked());
    }
    kit_.queue.Kick();
    return id;
}

bool HeadlessBackend::KillTimer(WindowHandle window, unsigned id) {
    std::lock_guard<std::mutex> lock(timerMutex_);
    return timers_.Kill(window, id);
}

void HeadlessBackend::KillTimers(WindowHandle window) {
    std::lock_guard<std::mutex> lock(timerMutex_);
    timers_.KillAll(window);
}

std::vector<unsigned> HeadlessBackend::Timers(WindowHandle window) const {
    std::lock_guard<std::mutex> lock(timerMutex_);
    return timers_.Ids(window);
}

bool HeadlessBackend::FireDueTimer() {
    WindowHandle window;
    unsigned id = 0;
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        // The manual clock keeps the cadence exactly; real time never queues missed firings.
        if (!timers_.TakeDue(NowLocked(), manualClock_, &window, &id)) return false;
    }
    if (Dialog* dialog = kit_.registry.Find(window)) DialogAccess::Timer(*dialog, id);
    return true;
}

bool HeadlessBackend::TimerDue() const {
    std::lock_guard<std::mutex> lock(timerMutex_);
    return timers_.AnyDue(NowLocked());
}

std::optional<HeadlessBackend::Clock::time_point> HeadlessBackend::NextDeadline() const {
    std::lock_guard<std::mutex> lock(timerMutex_);
    if (manualClock_) return std::nullopt;
    return timers_.NextDue();
}

bool HeadlessBackend::UseManualClock(bool manual) {
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        if (manual == manualClock_) return true;
        auto realNow = Clock::now();
        if (manual) {
            manualNow_ = realNow;
        } else {
            // Real time takes over where the manual clock stands.
            timers_.Shift(realNow - manualNow_);
        }
        manualClock_ = manual;
    }
    kit_.queue.Kick();
    return true;
}

bool HeadlessBackend::AdvanceClock(int milliseconds) {
    if (IsWindowThread()) return false;
    Clock::time_point target;
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        if (!manualClock_ || milliseconds < 0) return false;
        target = manualNow_ + std::chrono::milliseconds(milliseconds);
    }
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(timerMutex_);
            std::optional<Clock::time_point> next = timers_.NextDue(target);
            if (!next) {
                manualNow_ = target;
                break;
            }
            manualNow_ = std::max(manualNow_, *next);
        }
        kit_.queue.Kick();
        if (!WaitIdle(10000)) return false;
    }
    return WaitIdle(10000);
}

bool HeadlessBackend::WaitIdle(int timeoutMilliseconds) {
    if (IsWindowThread()) return false;
    return kit_.queue.WaitIdle([this] { return TimerDue(); },
                               std::chrono::milliseconds(timeoutMilliseconds));
}

// ---- message boxes and file dialogs ----

int HeadlessBackend::MessageBox(WindowHandle owner, const std::wstring& text,
                                const std::wstring& caption, unsigned style) {
    std::lock_guard<std::mutex> lock(scriptMutex_);
    int answer = (style & 0xF) == kMbYesNo ? kIdYes : kIdOk;
    if (!boxAnswers_.empty()) {
        answer = boxAnswers_.front();
        boxAnswers_.pop_front();
    }
    boxes_.push_back(MessageBoxRecord{owner, text, caption, style, answer});
    return answer;
}

std::optional<std::wstring> HeadlessBackend::OpenFile(const FileDialogRequest& request) {
    std::lock_guard<std::mutex> lock(scriptMutex_);
    fileRequests_.push_back(request);
    if (fileAnswers_.empty()) return std::nullopt;
    auto answer = fileAnswers_.front();
    fileAnswers_.pop_front();
    return answer;
}

void HeadlessBackend::ScriptMessageBoxAnswer(int answer) {
    std::lock_guard<std::mutex> lock(scriptMutex_);
    boxAnswers_.push_back(answer);
}

void HeadlessBackend::ScriptFileDialogAnswer(std::optional<std::wstring> path) {
    std::lock_guard<std::mutex> lock(scriptMutex_);
    fileAnswers_.push_back(std::move(path));
}

std::vector<MessageBoxRecord> HeadlessBackend::MessageBoxes() const {
    std::lock_guard<std::mutex> lock(scriptMutex_);
    return boxes_;
}

std::vector<FileDialogRequest> HeadlessBackend::FileDialogs() const {
    std::lock_guard<std::mutex> lock(scriptMutex_);
    return fileRequests_;
}

void HeadlessBackend::ClearRecords() {
    std::lock_guard<std::mutex> lock(scriptMutex_);
    boxAnswers_.clear();
    fileAnswers_.clear();
    boxes_.clear();
    fileRequests_.clear();
}

HeadlessBackend* Running() {
    detail::KitState* kit = detail::Kit();
    if (kit == nullptr || kit->kind != BackendKind::Headless) return nullptr;
    return static_cast<HeadlessBackend*>(kit->backend.get());
}

}  // namespace ui::headless

namespace ui::detail {
std::unique_ptr<Backend> MakeHeadlessBackend(KitState& kit) {
    return std::make_unique<headless::HeadlessBackend>(kit);
}
}  // namespace ui::detail
