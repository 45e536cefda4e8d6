// Opening the current position in a map site. The handler answers on a thread of its own;
// its answer reaches the window as a message, and only while the dialog exists.
#include <mutex>
#include <vector>

#include "orbitpane/win32/gpsuidlg.h"
#include "orbitpane/win32/map_link.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

namespace {

// Posted to the dialog when a map link's handler has answered.
constexpr unsigned kMapLinkAnswered = 20702;

}  // namespace

struct CGPSUIDlg::MapLinkAnswers {
    std::mutex mutex;
    CGPSUIDlg* dialog = nullptr;  // null once the dialog goes
    std::vector<platform::ProgramOutcome> answers;
};

void CGPSUIDlg::WireMapLink() {
    mapLinkAnswers_ = std::make_shared<MapLinkAnswers>();
    mapLinkAnswers_->dialog = this;
    OnMessage(kMapLinkAnswered, [this](ui::WParam, ui::LParam) {
        OnMapLinkAnswered();
        return ui::LResult{0};
    });
}

void CGPSUIDlg::ForgetMapLinkAnswers() {
    // A handler answering now finishes its post first; later ones find no dialog.
    std::lock_guard<std::mutex> lock(mapLinkAnswers_->mutex);
    mapLinkAnswers_->dialog = nullptr;
}

void CGPSUIDlg::OnOpenMapLink() {
    // No record has brought a position yet: there is nothing to show on a map.
    if (rawLatitude_.empty() || rawLongitude_.empty()) {
        ShowStatus(L"IDS_STATIC_NO_POSITION");
        return;
    }
    const std::string latitudeText = platform::WideToUtf8(rawLatitude_);
    const double latitude = orbitpane::ReadCoordinate(latitudeText);
    Trace("The Latitude is: = ");
    Trace(latitudeText.c_str());
    const std::string longitudeText = platform::WideToUtf8(rawLongitude_);
    const double longitude = orbitpane::ReadCoordinate(longitudeText);
    Trace("The Longitude is: = ");
    Trace(longitudeText.c_str());

    const wchar_t* key = orbitpane::LinkTemplateKey(Combo(ids::kMapSite).CurrentText());
    const std::string linkTemplate = platform::WideToUtf8(Text(key));
    std::string why;
    std::optional<std::string> link =
        orbitpane::BuildMapLink(linkTemplate, latitude, longitude, why);
    if (!link) {
        Trace(("The map link was not opened: " + why).c_str());
        return;
    }
    if (link->empty()) return;
    std::weak_ptr<MapLinkAnswers> answers = mapLinkAnswers_;
    bool started = context_.OpenLink(*link, [answers](const platform::ProgramOutcome& outcome) {
        std::shared_ptr<MapLinkAnswers> mailbox = answers.lock();
        if (!mailbox) return;
        std::lock_guard<std::mutex> lock(mailbox->mutex);
        if (!mailbox->dialog) return;
        mailbox->answers.push_back(outcome);
        mailbox->dialog->Post(kMapLinkAnswered);
    });
    if (!started) {
        Trace("The map link handler xdg-open could not be started.");
        ShowStatus(L"IDS_STATIC_ERROR_OPENMAP");
    }
}

void CGPSUIDlg::OnMapLinkAnswered() {
    std::vector<platform::ProgramOutcome> answers;
    {
        std::lock_guard<std::mutex> lock(mapLinkAnswers_->mutex);
        answers.swap(mapLinkAnswers_->answers);
    }
    for (const platform::ProgramOutcome& answer : answers) {
        // What the handler said goes to the log, never to the screen.
        const std::string ending = answer.exitStatus < 0
                                       ? "was ended by a signal"
                                       : "ended with status " + std::to_string(answer.exitStatus);
        Trace(("The map link handler " + ending + ".").c_str());
        if (!answer.output.empty()) Trace(("The map link handler said: " + answer.output).c_str());
        if (answer.exitStatus != 0) ShowStatus(L"IDS_STATIC_ERROR_OPENMAP");
    }
}
