// CSkyDlg: the satellites view. A window of its own beside the GPS dialog, which hands it
// each view of the sky of the running session and the session's first fix; it shows the
// satellites seen and used per system, the dilutions, the error estimate, the first fix and
// every satellite, as a table or as a sky plot with signal bars, as its template has it.
#pragma once

#include <chrono>
#include <optional>

#include "framework/contracts/gps_sky.h"
#include "platform/ui/dialog.h"

namespace orbitpane {
class PluginContext;
}

// What the view shows: the last view of the sky (none before the first of the session) and
// the session's state.
struct SkyState {
    std::optional<framework::GpsSkyRecord> sky;
    bool running = false;
    std::optional<std::chrono::milliseconds> firstFix;
};

class CSkyDlg : public ui::Dialog {
  public:
    CSkyDlg(orbitpane::PluginContext& context, const ui::DialogTemplate& dialogTemplate);
    ~CSkyDlg() override;

    // Window thread. Shows the window (made when there is none) beside `owner`.
    void Open(ui::WindowHandle owner);
    // Window thread. What it shows now; drawn at once while the window is there.
    void Show(const SkyState& state);
    // Window thread. Every text again, in the language chosen now.
    void ApplyLanguage();

    // Columns of the table: system, number, elevation, azimuth, signal (the bar's cells and
    // the value), used.
    static constexpr int kBarCells = 20;

  protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    void OnClose() override;

  private:
    void Draw();
    void DrawTable();
    void DrawCharts();
    std::wstring Text(const wchar_t* key) const;

    orbitpane::PluginContext& context_;
    SkyState state_;
};
