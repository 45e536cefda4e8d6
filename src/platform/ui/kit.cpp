#include "platform/ui/kit.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/ui/detail/access.h"
#include "platform/ui/detail/backend.h"
#include "platform/ui/detail/wx_module.h"
#include "platform/ui/kit_entries.h"

namespace ui {

namespace detail {

std::unique_ptr<Backend> MakeHeadlessBackend(KitState& kit);
std::unique_ptr<Backend> MakeTerminalBackend(KitState& kit);

namespace {
// Null when the back end's module cannot be loaded, with the reason in `*why`.
std::unique_ptr<Backend> MakeBackend(BackendKind kind, KitState& kit, std::string* why) {
    switch (kind) {
        case BackendKind::Wx: {
            const WxModule* module = LoadWxModule(why);
            return module ? module->create(kit) : nullptr;
        }
        case BackendKind::Terminal:
            return MakeTerminalBackend(kit);
        default:
            return MakeHeadlessBackend(kit);
    }
}
}  // namespace

namespace {
std::atomic<KitState*> runningKit{nullptr};
std::mutex lifeMutex;

std::mutex ownTextsMutex;
OwnTexts& OwnTextsLocked() {
    static OwnTexts texts;
    return texts;
}
}  // namespace

KitState* Kit() {
    return runningKit.load(std::memory_order_acquire);
}

}  // namespace detail

using detail::DialogAccess;
using detail::Kit;
using detail::KitState;

BackendKind ChooseBackend(int argc, const char* const* argv, const char* uiVariable,
                          const char* display, const char* waylandDisplay) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] != nullptr && std::strcmp(argv[i], "--headless") == 0) {
            return BackendKind::Headless;
        }
        if (argv[i] != nullptr && std::strcmp(argv[i], "--terminal") == 0) {
            return BackendKind::Terminal;
        }
    }
    if (uiVariable != nullptr && std::strcmp(uiVariable, "headless") == 0) {
        return BackendKind::Headless;
    }
    if (uiVariable != nullptr && std::strcmp(uiVariable, "terminal") == 0) {
        return BackendKind::Terminal;
    }
    bool hasDisplay = (display != nullptr && *display != '\0') ||
                      (waylandDisplay != nullptr && *waylandDisplay != '\0');
    return hasDisplay ? BackendKind::Wx : BackendKind::Terminal;
}

BackendKind ChooseBackend(int argc, const char* const* argv) {
    return ChooseBackend(argc, argv, std::getenv("SATVIEW_UI"), std::getenv("DISPLAY"),
                         std::getenv("WAYLAND_DISPLAY"));
}

namespace {

bool Start(BackendKind kind, int argc, char** argv, std::string* why) {
    std::lock_guard<std::mutex> lock(detail::lifeMutex);
    if (KitState* kit = Kit()) return kit->kind == kind;
    auto kit = std::make_unique<KitState>();
    kit->kind = kind;
    kit->backend = detail::MakeBackend(kind, *kit, why);
    if (!kit->backend) return false;
    if (!kit->backend->Start(argc, argv)) {
        if (why != nullptr) *why = kit->backend->StartFailure();
        return false;
    }
    detail::runningKit.store(kit.release(), std::memory_order_release);
    return true;
}

std::string ProgramName(int argc, char** argv) {
    if (argc < 1 || argv == nullptr || argv[0] == nullptr) return "satview";
    std::string name = argv[0];
    return name.substr(name.find_last_of('/') + 1);
}

}  // namespace

bool Initialize(BackendKind kind, int argc, char** argv) {
    return Start(kind, argc, argv, nullptr);
}

bool Initialize(int argc, char** argv, std::string* note) {
    BackendKind kind = ChooseBackend(argc, argv);
    std::string why;
    if (Start(kind, argc, argv, &why)) return true;
    if (kind == BackendKind::Wx) {
        // Windows wanted but not possible: the terminal, when the user sits at one.
        if (why.empty()) why = "the windows cannot be shown";
        if (note != nullptr) *note = why;
        if (!isatty(STDIN_FILENO)) return false;
        why += "; using the terminal";
        if (note != nullptr) *note = why;
        std::fprintf(stderr, "%s: %s\n", ProgramName(argc, argv).c_str(), why.c_str());
        return Start(BackendKind::Terminal, argc, argv, nullptr);
    }
    // Asked for when it is still the choice with a display there.
    bool asked = ChooseBackend(argc, argv, std::getenv("SATVIEW_UI"), ":asked", nullptr) == kind;
    return kind == BackendKind::Terminal && !asked && Initialize(BackendKind::Headless, argc, argv);
}

void Shutdown() {
    std::lock_guard<std::mutex> lock(detail::lifeMutex);
    KitState* kit = Kit();
    if (kit == nullptr) return;
    RunOnWindowThread([kit] {
        for (WindowHandle handle : kit->registry.Handles()) {
            if (Dialog* dialog = kit->registry.Find(handle)) dialog->DestroyWindow();
        }
    });
    kit->backend->Stop();
    kit->queue.Close();
    detail::runningKit.store(nullptr, std::memory_order_release);
    delete kit;
}

std::optional<BackendKind> CurrentBackend() {
    KitState* kit = Kit();
    if (kit == nullptr) return std::nullopt;
    return kit->kind;
}

bool IsWindowThread() {
    KitState* kit = Kit();
    return kit != nullptr && kit->backend->IsWindowThread();
}

bool IsWindow(WindowHandle window) {
    KitState* kit = Kit();
    return kit != nullptr && kit->registry.Contains(window);
}

bool Post(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    KitState* kit = Kit();
    if (kit == nullptr || !kit->registry.Contains(window)) return false;
    return kit->queue.Post([kit, window, message, wParam, lParam] {
        if (Dialog* dialog = kit->registry.Find(window)) {
            DialogAccess::Message(*dialog, message, wParam, lParam);
        }
    });
}

LResult Send(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    KitState* kit = Kit();
    if (kit == nullptr) return 0;
    LResult result = 0;
    auto deliver = [&] {
        if (Dialog* dialog = kit->registry.Find(window)) {
            result = DialogAccess::Message(*dialog, message, wParam, lParam);
        }
    };
    if (kit->backend->IsWindowThread()) {
        deliver();
    } else if (kit->registry.Contains(window)) {
        kit->queue.Send(deliver);
    }
    return result;
}

bool RunOnWindowThread(const std::function<void()>& work) {
    KitState* kit = Kit();
    if (kit == nullptr) return false;
    if (kit->backend->IsWindowThread()) {
        work();
        return true;
    }
    return kit->queue.Send(work);
}

std::vector<WindowHandle> VisibleTopLevelWindows() {
    std::vector<WindowHandle> windows;
    KitState* kit = Kit();
    if (kit == nullptr) return windows;
    for (WindowHandle handle : kit->registry.Handles()) {
        kit->registry.With(handle, [&](Dialog& dialog) {
            if (!dialog.Parent() && dialog.IsVisible()) windows.push_back(handle);
        });
    }
    return windows;
}

bool BringToFront(WindowHandle window) {
    KitState* kit = Kit();
    if (kit == nullptr) return false;
    bool found = false;
    RunOnWindowThread([&] {
        Dialog* dialog = kit->registry.Find(window);
        if (dialog == nullptr) return;
        found = true;
        if (!dialog->IsVisible()) dialog->ShowWindow(ShowCommand::Restore);
        dialog->SetForeground();
    });
    return found;
}

void BroadcastPower(unsigned event, LParam data) {
    KitState* kit = Kit();
    if (kit == nullptr) return;
    RunOnWindowThread([&] {
        for (WindowHandle handle : kit->registry.Handles()) {
            Dialog* dialog = kit->registry.Find(handle);
            if (dialog != nullptr && !dialog->Parent()) DialogAccess::Power(*dialog, event, data);
        }
    });
}

int ShowMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                   unsigned style) {
    KitState* kit = Kit();
    if (kit == nullptr) return 0;
    int answer = 0;
    RunOnWindowThread([&] { answer = kit->backend->MessageBox(owner, text, caption, style); });
    return answer;
}

bool EndMessageBox(WindowHandle owner, int answer) {
    KitState* kit = Kit();
    return kit != nullptr && kit->backend->EndMessageBox(owner, answer);
}

std::optional<std::wstring> OpenFileDialog(const FileDialogRequest& request) {
    KitState* kit = Kit();
    if (kit == nullptr) return std::nullopt;
    std::optional<std::wstring> chosen;
    RunOnWindowThread([&] { chosen = kit->backend->OpenFile(request); });
    return chosen;
}

bool WaitServingSends(const std::function<bool()>& done, int timeoutMilliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto slice = std::chrono::milliseconds(2);
    std::optional<Clock::time_point> deadline;
    if (timeoutMilliseconds >= 0) {
        deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    }
    KitState* kit = Kit();
    bool serve = kit != nullptr && kit->backend->IsWindowThread();
    while (!done()) {
        if (serve && kit->queue.RunOne(true)) continue;
        auto now = Clock::now();
        if (deadline && now >= *deadline) return false;
        auto until = deadline ? std::min(*deadline, now + slice) : now + slice;
        if (serve) {
            kit->queue.WaitForSend(until);
        } else {
            std::this_thread::sleep_until(until);
        }
    }
    return true;
}

bool SetWindowTheme(WindowHandle window, const Theme& theme) {
    KitState* kit = Kit();
    if (kit == nullptr) return false;
    bool applied = false;
    RunOnWindowThread([&] {
        if (Dialog* dialog = kit->registry.Find(window)) applied = dialog->SetTheme(theme);
    });
    return applied;
}

void ProcessPendingWork() {
    KitState* kit = Kit();
    if (kit == nullptr || !kit->backend->IsWindowThread()) return;
    while (kit->queue.RunOne(false)) {
    }
    kit->backend->ProcessPending();
}

void SetOwnTexts(const OwnTexts& texts) {
    std::lock_guard<std::mutex> lock(detail::ownTextsMutex);
    detail::OwnTextsLocked() = texts;
}

OwnTexts CurrentOwnTexts() {
    std::lock_guard<std::mutex> lock(detail::ownTextsMutex);
    return detail::OwnTextsLocked();
}

}  // namespace ui

extern "C" int satview_ui_is_window_thread(void) {
    return ui::IsWindowThread() ? 1 : 0;
}

extern "C" int satview_ui_wait_serving_sends(int (*done)(void* context), void* context,
                                             int timeoutMilliseconds) {
    return ui::WaitServingSends([&] { return done(context) != 0; }, timeoutMilliseconds) ? 1 : 0;
}
