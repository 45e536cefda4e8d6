#include "orbitpane/win32/plugin_context.h"

#include "framework/contracts/ids.h"
#include "orbitpane/win32/gps_dialog_instance.h"
#include "orbitpane/win32/localisation.h"

namespace orbitpane {

PluginContext::PluginContext(PluginSeams seams)
    : dialogFactory_(std::move(seams.dialogFactory)),
      linkOpener_(std::move(seams.linkOpener)),
      clock_(std::move(seams.clock)) {
    session::Clock system = session::Clock::System();
    if (!clock_.steady) clock_.steady = system.steady;
    if (!clock_.wall) clock_.wall = system.wall;
}

PluginContext::~PluginContext() {
    DestroyDialog();
}

std::wstring PluginContext::LanguageFile() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return languageFile_;
}

void PluginContext::SetLanguageFile(const std::wstring& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    languageFile_ = path;
}

std::wstring PluginContext::Text(const std::wstring& key) const {
    return LoadLanguageText(Container(), LanguageFile(), key);
}

LastPositionTexts PluginContext::LastPosition() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastPosition_;
}

void PluginContext::SetLastPositionText(int row, const std::wstring& text) {
    if (row < 0 || row >= kLastPositionRows) return;
    std::lock_guard<std::mutex> lock(mutex_);
    lastPosition_[row] = text;
}

void PluginContext::ClearLastPosition() {
    std::lock_guard<std::mutex> lock(mutex_);
    lastPosition_ = LastPositionTexts{};
}

bool PluginContext::OpenLink(const std::string& link,
                             std::function<void(const platform::ProgramOutcome&)> answered) const {
    if (linkOpener_) return linkOpener_(link, std::move(answered));
    return OpenWithDesktop(link, std::move(answered));
}

IGpsDialog* PluginContext::Dialog() {
    std::lock_guard<std::mutex> lock(dialogMutex_);
    try {
        if (!dialog_) dialog_ = dialogFactory_ ? dialogFactory_(*this) : MakeGpsDialog(*this);
    } catch (...) {
        Trace(framework::kTraceWarning, "Orbitpane", __FILE__, __LINE__,
              "Get CGPSUIDlg Instance Error!");
    }
    return dialog_.get();
}

void PluginContext::DestroyDialog() {
    // Destroyed outside the lock: the dialog's teardown may call back into the plug-in.
    std::unique_ptr<IGpsDialog> doomed;
    {
        std::lock_guard<std::mutex> lock(dialogMutex_);
        doomed = std::move(dialog_);
    }
    try {
        doomed.reset();
    } catch (...) {
        Trace(framework::kTraceWarning, "Orbitpane", __FILE__, __LINE__,
              "Destroy GPSUIMainDlg Instance Error!");
    }
}

}  // namespace orbitpane
