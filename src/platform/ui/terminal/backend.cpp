#include "platform/ui/terminal/backend.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <langinfo.h>
#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "platform/ui/detail/access.h"
#include "platform/ui/terminal/boxes.h"
#include "platform/ui/terminal/terminal.h"
#include "platform/ui/terminal/view.h"

namespace ui::terminal {

using detail::DialogAccess;

namespace {

std::atomic<int> chosenIn{0};
std::atomic<int> chosenOut{1};

// The resize signal reaches the watcher through the wake pipe.
std::atomic<int> resizeFd{-1};
std::atomic<bool> resizePending{false};
struct sigaction previousWinch;
bool winchInstalled = false;

void OnResizeSignal(int) {
    int saved = errno;
    resizePending = true;
    int fd = resizeFd.load();
    if (fd >= 0) {
        char byte = 'r';
        [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

// Wide characters need a UTF-8 character type; numbers and messages keep the program's
// locale, so only LC_CTYPE changes.
void UseUtf8CharacterType() {
    if (std::setlocale(LC_CTYPE, "") != nullptr &&
        std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0) {
        return;
    }
    std::setlocale(LC_CTYPE, "C.UTF-8");
}

}  // namespace

void UseTerminal(int inFd, int outFd) {
    chosenIn = inFd;
    chosenOut = outFd;
}

TerminalBackend::~TerminalBackend() {
    Stop();
}

bool TerminalBackend::Start(int, char**) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    inFd_ = chosenIn;
    outFd_ = chosenOut;
    UseUtf8CharacterType();
    // Ours before the screen opens, so that ncurses leaves the resize signal to us.
    resizeFd = wakeWrite_;
    struct sigaction action {};
    action.sa_handler = OnResizeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    winchInstalled = ::sigaction(SIGWINCH, &action, &previousWinch) == 0;

    std::promise<bool> opened;
    auto ready = opened.get_future();
    thread_ = std::thread([this, &opened] { WindowThread(opened); });
    if (!ready.get()) {
        thread_.join();
        Stop();
        return false;
    }
    watcher_ = std::thread([this] { Watch(); });
    return true;
}

void TerminalBackend::WindowThread(std::promise<bool>& opened) {
    windowThread_ = std::this_thread::get_id();
    if (!screen_.Open(inFd_, outFd_)) {
        opened.set_value(false);
        return;
    }
    opened.set_value(true);
    RunUntil([] { return false; });
    screen_.Close();
}

void TerminalBackend::Stop() {
    if (IsWindowThread()) {
        std::fprintf(stderr, "window kit: the terminal back end cannot stop from its own thread\n");
        return;
    }
    stop_ = true;
    Wake();
    kit_.queue.Kick();
    if (thread_.joinable()) thread_.join();
    if (watcher_.joinable()) watcher_.join();
    if (winchInstalled) {
        ::sigaction(SIGWINCH, &previousWinch, nullptr);
        winchInstalled = false;
    }
    resizeFd = -1;
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
    wakeRead_ = wakeWrite_ = -1;
}

bool TerminalBackend::IsWindowThread() const {
    return std::this_thread::get_id() == windowThread_.load();
}

std::unique_ptr<detail::View> TerminalBackend::CreateView(Dialog& dialog) {
    MarkDirty();
    return std::make_unique<TerminalView>(*this, dialog);
}

void TerminalBackend::Wake() {
    if (wakeWrite_ < 0) return;
    char byte = 'w';
    [[maybe_unused]] ssize_t n = ::write(wakeWrite_, &byte, 1);
}

// ---- the watcher: tells the window thread when there is input or a new size ----

void TerminalBackend::Watch() {
    bool inputOpen = true;
    while (!stop_) {
        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {inFd_, POLLIN, 0}};
        bool watchInput = inputOpen && !inputPending_;
        int count = ::poll(fds, watchInput ? 2 : 1, -1);
        if (count < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            char buffer[64];
            while (::read(wakeRead_, buffer, sizeof buffer) > 0) {
            }
        }
        if (stop_) break;
        if (resizePending.exchange(false)) kit_.queue.Post([this] { Resized(); });
        if (watchInput && fds[1].revents != 0) {
            if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                inputOpen = false;  // the terminal went away; nothing more to read
                continue;
            }
            inputPending_ = true;
            kit_.queue.Post([this] { ReadInput(); });
        }
    }
}

// ---- the window thread ----

void TerminalBackend::RunUntil(const std::function<bool()>& done) {
    while (!stop_ && !done()) {
        if (kit_.queue.RunOne(false)) continue;
        if (FireDueTimer()) continue;
        if (dirty_) Draw();
        if (stop_ || done()) break;
        kit_.queue.Wait(NextDeadline());
    }
}

void TerminalBackend::ProcessPending() {
    while (kit_.queue.RunOne(false) || FireDueTimer()) {
    }
    if (dirty_) Draw();
}

void TerminalBackend::ReadInput() {
    for (Input input = screen_.Read(); input.kind != Input::Kind::None; input = screen_.Read()) {
        unread_.push_back(input);
    }
    // Watch again before handling: a handler may run a modal loop that needs the next keys.
    inputPending_ = false;
    Wake();
    while (!unread_.empty()) {
        Input input = unread_.front();
        unread_.pop_front();
        MarkDirty();
        if (input.kind == Input::Kind::Resize) {
            Resized();
            continue;
        }
        TerminalView* view = InputView();
        if (view == nullptr) continue;
        if (input.kind == Input::Kind::Mouse) {
            view->Click(screen_, input.row, input.col);
        } else {
            view->Key(input);
        }
    }
}

void TerminalBackend::Resized() {
    screen_.Resize();
    MarkDirty();
}

void TerminalBackend::Raise(WindowHandle window) {
    std::erase(order_, window.value);
    order_.push_back(window.value);
    MarkDirty();
}

void TerminalBackend::Forget(WindowHandle window) {
    std::erase(order_, window.value);
    MarkDirty();
}

TerminalView* TerminalBackend::ViewOf(WindowHandle window) const {
    Dialog* dialog = kit_.registry.Find(window);
    return dialog ? static_cast<TerminalView*>(DialogAccess::ViewOf(*dialog)) : nullptr;
}

std::vector<TerminalView*> TerminalBackend::Children(WindowHandle parent) const {
    std::vector<TerminalView*> children;
    for (std::uint64_t value : order_) {
        TerminalView* view = ViewOf(WindowHandle{value});
        if (view == nullptr) continue;
        detail::WindowState state = DialogAccess::Window(view->dialog());
        if (state.visible && state.parent == parent) children.push_back(view);
    }
    return children;
}

TerminalView* TerminalBackend::InputView() const {
    for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
        TerminalView* view = ViewOf(WindowHandle{*it});
        if (view == nullptr) continue;
        detail::WindowState state = DialogAccess::Window(view->dialog());
        if (!state.visible || state.parent) continue;
        if (!state.enabled) continue;
        // A window shown inside it takes the keys when it can.
        std::vector<TerminalView*> children = Children(view->handle());
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            if (DialogAccess::WindowTakesInput((*child)->dialog())) return *child;
        }
        return view;
    }
    return nullptr;
}

void TerminalBackend::Draw() {
    dirty_ = false;
    screen_.ClipToScreen();
    screen_.Erase();
    int row = -1, col = -1;
    TerminalView* input = InputView();
    std::function<void(TerminalView*, const Cells&)> draw = [&](TerminalView* view,
                                                                const Cells& outer) {
        view->Draw(screen_, outer, view == input, &row, &col);
        for (TerminalView* child : Children(view->handle())) {
            child->Relayout(screen_);
            Rect rect = DialogAccess::Window(child->dialog()).rect;
            Cells at = child->Size();
            at.row = outer.row + 1 + PixelsToRows(rect.y);
            at.col = outer.col + 1 + PixelsToCols(rect.x);
            draw(child, at);
        }
    };
    for (std::uint64_t value : std::vector<std::uint64_t>(order_)) {
        TerminalView* view = ViewOf(WindowHandle{value});
        if (view == nullptr) continue;
        detail::WindowState state = DialogAccess::Window(view->dialog());
        if (!state.visible || state.parent) continue;
        view->Relayout(screen_);
        draw(view, view->Outer(screen_));
    }
    cursorRow_ = row;
    cursorCol_ = col;
    if (row >= 0 && col >= 0) {
        screen_.Cursor(row, col);
    } else {
        screen_.HideCursor();
    }
    screen_.Present();
}

std::wstring TerminalBackend::ScreenText() {
    std::wstring text = screen_.Text();
    if (cursorRow_ >= 0 && cursorCol_ >= 0) screen_.Cursor(cursorRow_, cursorCol_);
    return text;
}

bool TerminalBackend::Cursor(int* row, int* col) const {
    *row = cursorRow_;
    *col = cursorCol_;
    return cursorRow_ >= 0 && cursorCol_ >= 0;
}

bool TerminalBackend::WaitIdle(int timeoutMilliseconds) {
    if (IsWindowThread()) return false;
    return kit_.queue.WaitIdle([this] { return TimerDue() || dirty_ || inputPending_; },
                               std::chrono::milliseconds(timeoutMilliseconds));
}

// ---- timers ----

unsigned TerminalBackend::SetTimer(WindowHandle window, unsigned id, unsigned milliseconds) {
    auto period = std::chrono::milliseconds(std::max(milliseconds, 10u));
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        timers_.Set(window, id, period, Clock::now());
    }
    kit_.queue.Kick();
    return id;
}

bool TerminalBackend::KillTimer(WindowHandle window, unsigned id) {
    std::lock_guard<std::mutex> lock(timerMutex_);
    return timers_.Kill(window, id);
}

void TerminalBackend::KillTimers(WindowHandle window) {
    std::lock_guard<std::mutex> lock(timerMutex_);
    timers_.KillAll(window);
}

std::vector<unsigned> TerminalBackend::Timers(WindowHandle window) const {
    std::lock_guard<std::mutex> lock(timerMutex_);
    return timers_.Ids(window);
}

bool TerminalBackend::FireDueTimer() {
    WindowHandle window;
    unsigned id = 0;
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        // Missed firings are not queued up.
        if (!timers_.TakeDue(Clock::now(), false, &window, &id)) return false;
    }
    if (Dialog* dialog = kit_.registry.Find(window)) DialogAccess::Timer(*dialog, id);
    return true;
}

bool TerminalBackend::TimerDue() const {
    std::lock_guard<std::mutex> lock(timerMutex_);
    return timers_.AnyDue(Clock::now());
}

std::optional<TerminalBackend::Clock::time_point> TerminalBackend::NextDeadline() const {
    std::lock_guard<std::mutex> lock(timerMutex_);
    return timers_.NextDue();
}

// ---- message boxes and the file-open dialog ----

int TerminalBackend::MessageBox(WindowHandle owner, const std::wstring& text,
                                const std::wstring& caption, unsigned style) {
    return RunMessageBox(owner, text, caption, style, screen_.Cols());
}

bool TerminalBackend::EndMessageBox(WindowHandle owner, int answer) {
    return EndOpenMessageBox(owner, answer);
}

std::optional<std::wstring> TerminalBackend::OpenFile(const FileDialogRequest& request) {
    return RunFileDialog(request, screen_.Cols());
}

TerminalBackend* Running() {
    detail::KitState* kit = detail::Kit();
    if (kit == nullptr || kit->kind != BackendKind::Terminal) return nullptr;
    return static_cast<TerminalBackend*>(kit->backend.get());
}

// ---- tools and tests ----

bool WaitIdle(int timeoutMilliseconds) {
    TerminalBackend* backend = Running();
    return backend != nullptr && backend->WaitIdle(timeoutMilliseconds);
}

std::wstring ScreenText() {
    TerminalBackend* backend = Running();
    std::wstring text;
    if (backend != nullptr) RunOnWindowThread([&] { text = backend->ScreenText(); });
    return text;
}

bool CursorPosition(int* row, int* col) {
    TerminalBackend* backend = Running();
    bool shown = false;
    if (backend != nullptr) RunOnWindowThread([&] { shown = backend->Cursor(row, col); });
    return shown;
}

}  // namespace ui::terminal

namespace ui::detail {
std::unique_ptr<Backend> MakeTerminalBackend(KitState& kit) {
    return std::make_unique<terminal::TerminalBackend>(kit);
}
}  // namespace ui::detail
