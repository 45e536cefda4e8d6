// What the parts of the GPS plug-in share, owned by the plug-in object and handed to its
// dialog: the container and its services, the language file in use, the texts last shown in
// the value rows, the one GPS dialog, the clocks and the map link's opener. What a test puts
// in place of the real thing (the dialog, the link opener, the clocks) comes in through the
// constructor.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "framework/contracts/container.h"
#include "orbitpane/session/gps_session.h"
#include "orbitpane/win32/container_lookup.h"
#include "orbitpane/win32/last_position.h"
#include "orbitpane/win32/map_link.h"

namespace orbitpane {

class IGpsDialog;
class PluginContext;

using GpsDialogFactory = std::function<std::unique_ptr<IGpsDialog>(PluginContext&)>;

struct PluginSeams {
    GpsDialogFactory dialogFactory;  // empty: the real GPS dialog
    LinkOpener linkOpener;           // empty: the desktop's handler
    session::Clock clock;            // an empty clock: the system's
};

class PluginContext {
  public:
    explicit PluginContext(PluginSeams seams = {});
    ~PluginContext();
    PluginContext(const PluginContext&) = delete;
    PluginContext& operator=(const PluginContext&) = delete;

    // The container handed to the plug-in object; null until then. Any thread.
    void SetContainer(framework::IPluginContainer* container) { container_ = container; }
    framework::IPluginContainer* Container() const { return container_.load(); }
    template <typename T>
    T* LookUp(const char* id, uint32_t flag) const {
        return orbitpane::LookUp<T>(Container(), id, flag);
    }
    void Trace(int level, const char* module, const char* file, int line,
               const char* message) const noexcept {
        orbitpane::Trace(Container(), level, module, file, line, message);
    }

    // The language file every text is looked up in, and a text of it ("" when the container,
    // its locale service, the file or the key is missing).
    std::wstring LanguageFile() const;
    void SetLanguageFile(const std::wstring& path);
    std::wstring Text(const std::wstring& key) const;

    // The texts last shown in the value rows (port, longitude, latitude, satellites, time).
    LastPositionTexts LastPosition() const;
    void SetLastPositionText(int row, const std::wstring& text);
    void ClearLastPosition();

    // Opens a web link with the desktop's handler (or the test's opener).
    bool OpenLink(const std::string& link,
                  std::function<void(const platform::ProgramOutcome&)> answered) const;

    const session::Clock& Clock() const { return clock_; }

    // The GPS dialog: made on first use; an exception while making it is traced and leaves
    // it as it was.
    IGpsDialog* Dialog();
    // Deletes the dialog, if any.
    void DestroyDialog();

  private:
    std::atomic<framework::IPluginContainer*> container_{nullptr};
    GpsDialogFactory dialogFactory_;
    LinkOpener linkOpener_;
    session::Clock clock_;

    mutable std::mutex mutex_;  // the language file and the texts below
    std::wstring languageFile_;
    LastPositionTexts lastPosition_;

    std::mutex dialogMutex_;
    std::unique_ptr<IGpsDialog> dialog_;
};

}  // namespace orbitpane
