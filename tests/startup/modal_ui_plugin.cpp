// A user-interface plug-in whose DoModal runs a window modally until the user closes it or
// the container takes the window away (OnDestroyEvent), as the GPS plug-in does.
#include <atomic>
#include <new>

#include "framework/contracts/ids.h"
#include "framework/contracts/plugin_object.h"
#include "platform/ui/dialog.h"

namespace {

class ModalWindow final : public ui::Dialog {
  public:
    ModalWindow()
        : Dialog(ui::DialogTemplate{7100,
                                    L"Modal plug-in",
                                    120,
                                    40,
                                    L"MS Shell Dlg",
                                    9,
                                    ui::kDialogPopup | ui::kDialogCaption | ui::kDialogSysMenu,
                                    {}}) {}
    ~ModalWindow() override { DestroyWindow(); }
};

class ModalUiPlugin final : public framework::PluginObject<framework::IUIPlugin> {
  public:
    ModalUiPlugin() : PluginObject("0A7E57A1-0000-4000-8000-0000000000B2", "ModalUi") {}
    void OnDestroyEvent() override { window_.DestroyWindow(); }
    bool QueryInterface(uint32_t number, framework::IBaseInterface** object) override {
        return Answer(number == framework::kUiPluginInterface
                          ? static_cast<framework::IUIPlugin*>(this)
                          : nullptr,
                      object);
    }
    bool ShowWindow(framework::WindowHandle, int, int, int, int) override { return true; }
    int DoModal() override { return window_.DoModal(); }
    void HideWindow() override {}
    void FitSize(int, int, int, int) override {}
    bool GetStateFlag() override { return window_.HasWindow(); }

  private:
    ModalWindow window_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) framework::IBasePlugin* CreatePlugin() {
    return new (std::nothrow) ModalUiPlugin;
}
