#include "framework/mainframe/main_frame_windows.h"

namespace mainframe {
namespace {

using K = ui::ControlKind;
constexpr unsigned kSplashTimer = 1;

const ui::DialogTemplate& FrameTemplate() {
    static const ui::DialogTemplate dialog{
        kFrameDialogId,
        L"Satview",
        220,
        62,
        L"MS Shell Dlg",
        9,
        ui::kDialogPopup | ui::kDialogCaption | ui::kDialogSysMenu | ui::kDialogMinimizeBox,
        {
            {kFrameMessage, K::Static, L"", {10, 10, 200, 20}, 0},
            {ui::kIdOk, K::PushButton, L"OK", {160, 38, 50, 16}, ui::kStyleDefault},
        },
    };
    return dialog;
}

const ui::DialogTemplate& SplashTemplate() {
    static const ui::DialogTemplate dialog{
        kSplashDialogId,
        L"Satview",
        160,
        44,
        L"MS Shell Dlg",
        9,
        ui::kDialogPopup | ui::kDialogVisible,
        {
            {ui::kIdStatic, K::Static, L"Satview", {10, 8, 140, 10}, ui::kStyleCentre},
            {kSplashMessage, K::Static, L"", {10, 24, 140, 10}, ui::kStyleCentre},
        },
    };
    return dialog;
}

}  // namespace

FrameWindow::FrameWindow(std::function<void()> onInit, std::function<void(unsigned)> onTimer)
    : Dialog(FrameTemplate()), onInit_(std::move(onInit)), onTimer_(std::move(onTimer)) {}

bool FrameWindow::OnInitDialog() {
    CenterWindow();
    onInit_();
    return true;
}

SplashWindow::SplashWindow(std::wstring text) : Dialog(SplashTemplate()), text_(std::move(text)) {}

bool SplashWindow::OnInitDialog() {
    SetItemText(kSplashMessage, text_);
    CenterWindow();
    SetTimer(kSplashTimer, kSplashMilliseconds);
    return false;
}

void SplashWindow::OnTimer(unsigned id) {
    if (id == kSplashTimer) DestroyWindow();
}

}  // namespace mainframe
