// The plug-in object's view of the real GPS dialog.
#include <memory>

#include "orbitpane/win32/gps_dialog_instance.h"
#include "orbitpane/win32/gpsuidlg.h"

namespace orbitpane {
namespace {

ui::WindowHandle ToUi(framework::WindowHandle handle) {
    return ui::WindowHandle{static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle))};
}

// The plug-in object's view of the real GPS dialog.
class GpsDialogHost final : public IGpsDialog {
  public:
    explicit GpsDialogHost(PluginContext& context) : dialog_(context) {}
    bool HasWindow() override { return dialog_.HasWindow(); }
    void Reparent(framework::WindowHandle parent) override { dialog_.SetParent(ToUi(parent)); }
    void MoveWindow(int x, int y, int width, int height) override {
        dialog_.MoveWindow(ui::Rect{x, y, width, height}, true);
    }
    void ShowWindow() override { dialog_.ShowWindow(ui::ShowCommand::Normal); }
    void HideWindow() override { dialog_.ShowWindow(ui::ShowCommand::Hide); }
    void DestroyWindow() override { dialog_.DestroyWindow(); }
    void SetPluginObject(COrbitpaneImpl* plugin) override { dialog_.SetPluginObject(plugin); }
    int RunModal() override { return dialog_.DoModal(); }
    void SendGpsData(void* record) override {
        dialog_.Send(WM_GPS_DATA, reinterpret_cast<ui::WParam>(record), 0);
    }
    void SendGpsSky(void* record) override {
        dialog_.Send(WM_GPS_SKY, reinterpret_cast<ui::WParam>(record), 0);
    }

  private:
    CGPSUIDlg dialog_;
};

}  // namespace

std::unique_ptr<IGpsDialog> MakeGpsDialog(PluginContext& context) {
    return std::make_unique<GpsDialogHost>(context);
}

}  // namespace orbitpane
