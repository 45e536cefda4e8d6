#include "platform/ui/wx/backend.h"

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/msgdlg.h>
#include <wx/timer.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/ui/detail/access.h"
#include "platform/ui/detail/open_boxes.h"
#include "platform/ui/detail/wx_module.h"
#include "platform/ui/kit.h"
#include "platform/ui/wx/display_check.h"
#include "platform/ui/wx/gtk_native.h"
#include "platform/ui/wx/screen_text.h"
#include "platform/ui/wx/view.h"
#include "platform/ui/wx_native.h"

namespace ui::wxkit {

using detail::DialogAccess;

namespace {

// Long enough for a display forwarded over a slow link to answer.
constexpr std::chrono::milliseconds kDisplayTimeout{3000};

class KitApp : public wxApp {
  public:
    bool OnInit() override { return true; }
};

// Runs the kit's queue from the wx event loop; one wake-up runs a bounded batch so that a
// flood of posts cannot starve the window's own events.
class Pump : public wxEvtHandler {
  public:
    explicit Pump(WxBackend& backend) : backend_(backend) {
        Bind(wxEVT_THREAD, [this](wxThreadEvent&) { Run(); });
    }

  private:
    void Run() {
        backend_.BuryTimers();
        for (int i = 0; i < 64; ++i) {
            if (!backend_.kit().queue.RunOne(false)) return;
        }
        if (backend_.kit().queue.HasWork(false)) QueueEvent(new wxThreadEvent());
    }
    WxBackend& backend_;
};

class KitTimer : public wxTimer {
  public:
    KitTimer(WxBackend& backend, WindowHandle window, unsigned id)
        : backend_(backend), window_(window), id_(id) {}
    void Notify() override {
        backend_.EnterTimer();
        if (Dialog* dialog = backend_.kit().registry.Find(window_)) {
            DialogAccess::Timer(*dialog, id_);
        }
        backend_.LeaveTimer();
    }

  private:
    WxBackend& backend_;
    WindowHandle window_;
    unsigned id_;
};

// A failed wx assertion is reported on stderr; a dialog about it would block a program that
// may have no one in front of it.
void ReportAssertion(const wxString& file, int line, const wxString& function,
                     const wxString& condition, const wxString& message) {
    std::fprintf(stderr, "wx assertion failed: %s:%d %s: %s %s\n", file.utf8_str().data(), line,
                 function.utf8_str().data(), condition.utf8_str().data(),
                 message.utf8_str().data());
}

wxWindow* TopLevelOf(WxView* view) {
    return view == nullptr ? nullptr : wxGetTopLevelParent(view->Outer());
}

}  // namespace

// Other threads wake the pump through this, which outlives the pump safely.
struct WxBackend::Waker {
    std::mutex mutex;
    wxEvtHandler* target = nullptr;
    void Wake() {
        std::lock_guard<std::mutex> lock(mutex);
        if (target != nullptr) target->QueueEvent(new wxThreadEvent());
    }
};

WxBackend::WxBackend(detail::KitState& kit) : kit_(kit), waker_(std::make_shared<Waker>()) {}

WxBackend::~WxBackend() {
    Stop();
}

bool WxBackend::Start(int argc, char** argv) {
    static char name[] = "satview";
    static char* defaultArgv[] = {name, nullptr};
    int count = argc > 0 && argv != nullptr ? argc : 1;
    char** given = argc > 0 && argv != nullptr ? argv : defaultArgv;
    // GTK names the windows' class after the program (WM_CLASS "satview", "Satview", as the
    // desktop entry's StartupWMClass says), not after the launcher's file name. wx keeps the
    // arguments for the program's life.
    static std::vector<char*> args;
    args.assign(given, given + count);
    args[0] = name;
    args.push_back(nullptr);
    const char* display = std::getenv("DISPLAY");
    if (!DisplayAnswers(display, std::getenv("WAYLAND_DISPLAY"), std::getenv("GDK_BACKEND"),
                        kDisplayTimeout, &failure_)) {
        return false;
    }
    wxSetAssertHandler(ReportAssertion);
    if (wxTheApp == nullptr) wxApp::SetInstance(new KitApp);
    if (!wxEntryStart(count, args.data())) {
        failure_ = "the window system cannot be started on the display \"" +
                   std::string(display ? display : "") + "\"";
        return false;
    }
    if (!wxTheApp->CallOnInit()) {
        wxEntryCleanup();
        return false;
    }
    started_ = true;
    mainThread_ = std::this_thread::get_id();
    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
    pump_ = std::make_unique<Pump>(*this);
    {
        std::lock_guard<std::mutex> lock(waker_->mutex);
        waker_->target = pump_.get();
    }
    kit_.queue.SetWakeHandler([waker = waker_] { waker->Wake(); });
    screenText_ = StartScreenText();
    return true;
}

void WxBackend::Stop() {
    if (!started_) return;
    started_ = false;
    kit_.queue.SetWakeHandler(nullptr);
    {
        std::lock_guard<std::mutex> lock(waker_->mutex);
        waker_->target = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        timers_.clear();
        killed_.clear();
    }
    screenText_.reset();
    pump_.reset();
    wxEntryCleanup();
}

bool WxBackend::IsWindowThread() const {
    return std::this_thread::get_id() == mainThread_;
}

std::unique_ptr<detail::View> WxBackend::CreateView(Dialog& dialog) {
    return std::make_unique<WxView>(*this, dialog);
}

WxView* WxBackend::ViewOf(WindowHandle window) const {
    Dialog* dialog = kit_.registry.Find(window);
    return dialog ? static_cast<WxView*>(DialogAccess::ViewOf(*dialog)) : nullptr;
}

unsigned WxBackend::SetTimer(WindowHandle window, unsigned id, unsigned milliseconds) {
    std::lock_guard<std::mutex> lock(timerMutex_);
    auto& timer = timers_[{window.value, id}];
    if (timer) {
        timer->Stop();
        killed_.push_back(std::move(timer));
    }
    timer = std::make_unique<KitTimer>(*this, window, id);
    timer->Start(static_cast<int>(std::max(milliseconds, 10u)));
    return id;
}

bool WxBackend::KillTimer(WindowHandle window, unsigned id) {
    std::lock_guard<std::mutex> lock(timerMutex_);
    auto it = timers_.find({window.value, id});
    if (it == timers_.end()) return false;
    // The timer may be the one whose Notify is running; delete it later.
    it->second->Stop();
    killed_.push_back(std::move(it->second));
    timers_.erase(it);
    return true;
}

void WxBackend::KillTimers(WindowHandle window) {
    std::lock_guard<std::mutex> lock(timerMutex_);
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->first.first == window.value) {
            it->second->Stop();
            killed_.push_back(std::move(it->second));
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

void WxBackend::BuryTimers() {
    if (timersNotifying_ > 0) return;  // one of them may be on the stack
    std::lock_guard<std::mutex> lock(timerMutex_);
    killed_.clear();
}

std::vector<unsigned> WxBackend::Timers(WindowHandle window) const {
    std::lock_guard<std::mutex> lock(timerMutex_);
    std::vector<unsigned> ids;
    for (const auto& entry : timers_) {
        if (entry.first.first == window.value) ids.push_back(entry.first.second);
    }
    return ids;
}

int WxBackend::MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                          unsigned style) {
    long flags = wxCENTRE;
    switch (style & 0xF) {
        case kMbOkCancel:
            flags |= wxOK | wxCANCEL;
            break;
        case kMbYesNo:
            flags |= wxYES_NO;
            break;
        default:
            flags |= wxOK;
    }
    switch (style & 0xF0) {
        case kMbIconError:
            flags |= wxICON_ERROR;
            break;
        case kMbIconWarning:
            flags |= wxICON_WARNING;
            break;
        case kMbIconInformation:
            flags |= wxICON_INFORMATION;
            break;
    }
    wxMessageDialog box(TopLevelOf(ViewOf(owner)), ToWx(text), ToWx(caption), flags);
    // The buttons in the program's language, not in the toolkit's.
    const OwnTexts own = CurrentOwnTexts();
    box.SetYesNoLabels(ToWx(own.yes), ToWx(own.no));
    box.SetOKCancelLabels(ToWx(own.ok), ToWx(own.cancel));
    detail::OpenBoxes<wxMessageDialog>::Listed listed(openBoxes_, owner, &box);
    switch (box.ShowModal()) {
        case wxID_YES:
            return kIdYes;
        case wxID_NO:
            return kIdNo;
        case wxID_CANCEL:
            return kIdCancel;
        default:
            return kIdOk;
    }
}

bool WxBackend::EndMessageBox(WindowHandle owner, int answer) {
    wxMessageDialog* box = openBoxes_.Newest(owner);
    if (box == nullptr) return false;
    // GTK runs its message box natively: it ends on a response, not on EndModal.
    if (!AnswerNativeBox(box, answer)) {
        box->EndModal(answer == kIdYes      ? wxID_YES
                      : answer == kIdNo     ? wxID_NO
                      : answer == kIdCancel ? wxID_CANCEL
                                            : wxID_OK);
    }
    return true;
}

std::optional<std::wstring> WxBackend::OpenFile(const FileDialogRequest& request) {
    // "EXE File|*.exe||" lists description|pattern pairs; wx wants them without the end mark.
    std::wstring wildcard = request.filter;
    while (!wildcard.empty() && wildcard.back() == L'|') wildcard.pop_back();
    long style = wxFD_OPEN;
    if (request.flags & kFileMustExist) style |= wxFD_FILE_MUST_EXIST;
    // Executables only: the filter's description names the kit's own filter instead.
    std::wstring executables;
    if (request.flags & kFileExecutables) {
        executables = wildcard.substr(0, wildcard.find(L'|'));
        wildcard.clear();
    }
    wxFileDialog dialog(TopLevelOf(ViewOf(request.owner)), wxFileSelectorPromptStr, wxEmptyString,
                        ToWx(request.initialName), ToWx(wildcard), style);
    if (request.flags & kFileExecutables) {
        OfferExecutablesOnly(&dialog, ToWx(executables).utf8_str());
    }
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    wxFileName chosen(dialog.GetPath());
    std::wstring extension = request.defaultExtension;
    if (extension.rfind(L"*.", 0) == 0) extension.erase(0, 2);
    if (!chosen.HasExt() && !extension.empty()) chosen.SetExt(ToWx(extension));
    return FromWx(chosen.GetFullPath());
}

void WxBackend::ProcessPending() {
    BuryTimers();
    if (wxTheApp != nullptr) wxTheApp->Yield(true);
}

WxBackend* Running() {
    detail::KitState* kit = detail::Kit();
    if (kit == nullptr || kit->kind != BackendKind::Wx) return nullptr;
    return static_cast<WxBackend*>(kit->backend.get());
}

// ---- native access ----

wxWindow* OuterWindowOf(WindowHandle window) {
    WxBackend* backend = Running();
    WxView* view = backend ? backend->ViewOf(window) : nullptr;
    return view ? view->Outer() : nullptr;
}

wxWindow* ControlOf(WindowHandle window, int id) {
    WxBackend* backend = Running();
    WxView* view = backend ? backend->ViewOf(window) : nullptr;
    return view ? view->Control(id) : nullptr;
}

}  // namespace ui::wxkit

// The module's one export: what the kit asks of it.
extern "C" __attribute__((visibility("default"))) const ui::detail::WxModule* SatviewWxModule() {
    static const ui::detail::WxModule module{
        [](ui::detail::KitState& kit) -> std::unique_ptr<ui::detail::Backend> {
            return std::make_unique<ui::wxkit::WxBackend>(kit);
        },
        ui::wxkit::OuterWindowOf, ui::wxkit::ControlOf, ui::wxkit::ScreenshotOf};
    return &module;
}
