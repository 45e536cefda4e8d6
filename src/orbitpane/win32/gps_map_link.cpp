// Opening the current position in a map site, and the tracks folder. The handler answers on a
// thread of its own; its answer reaches the window as a message, and only while the dialog
// exists. A handler that fails is told on the status line with what it was to open.
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
    struct Answer {
        platform::ProgramOutcome outcome;
        std::string target;  // the link or the folder
        bool folder = false;
    };
    std::mutex mutex;
    CGPSUIDlg* dialog = nullptr;  // null once the dialog goes
    std::vector<Answer> answers;
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
        ShowPassingStatus(L"IDS_STATIC_NO_POSITION");
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
    if (!OpenWithHandler(*link, false)) {
        Trace("The map link handler xdg-open could not be started.");
        MapNotOpened(*link);
    }
}

bool CGPSUIDlg::OpenWithHandler(const std::string& target, bool folder) {
    std::weak_ptr<MapLinkAnswers> answers = mapLinkAnswers_;
    return context_.OpenLink(target,
                             [answers, target, folder](const platform::ProgramOutcome& outcome) {
                                 std::shared_ptr<MapLinkAnswers> mailbox = answers.lock();
                                 if (!mailbox) return;
                                 std::lock_guard<std::mutex> lock(mailbox->mutex);
                                 if (!mailbox->dialog) return;
                                 mailbox->answers.push_back({outcome, target, folder});
                                 mailbox->dialog->Post(kMapLinkAnswered);
                             });
}

// The status line says so until positions have come for a while; the link itself, too long
// for that line, is given in a box to copy it from.
void CGPSUIDlg::MapNotOpened(const std::string& link) {
    ShowPassingStatus(L"IDS_STATIC_ERROR_OPENMAP");
    ShowMessageBox(Text(L"IDS_STATIC_MAP_LINK") + L"\n\n" + platform::Utf8ToWide(link),
                   Text(L"IDS_Message"), ui::kMbOk | ui::kMbIconInformation);
}

void CGPSUIDlg::OnMapLinkAnswered() {
    std::vector<MapLinkAnswers::Answer> answers;
    {
        std::lock_guard<std::mutex> lock(mapLinkAnswers_->mutex);
        answers.swap(mapLinkAnswers_->answers);
    }
    for (const MapLinkAnswers::Answer& answer : answers) {
        // What the handler said goes to the log, never to the screen.
        const std::string handler =
            answer.folder ? "The tracks folder's handler " : "The map link handler ";
        const platform::ProgramOutcome& outcome = answer.outcome;
        const std::string ending = outcome.exitStatus < 0
                                       ? "was ended by a signal"
                                       : "ended with status " + std::to_string(outcome.exitStatus);
        Trace((handler + ending + ".").c_str());
        if (!outcome.output.empty()) Trace((handler + "said: " + outcome.output).c_str());
        if (outcome.exitStatus == 0) continue;
        if (answer.folder) {
            TracksFolderNotOpened(answer.target);
        } else {
            MapNotOpened(answer.target);
        }
    }
}
