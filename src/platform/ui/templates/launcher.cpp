#include "platform/ui/templates/launcher.h"

namespace ui::templates {

namespace {
using K = ControlKind;
}  // namespace

const DialogTemplate& StartupDialog() {
    static const DialogTemplate dialog{
        kStartupDialogId,
        L"",
        159,
        41,
        L"MS Shell Dlg",
        9,
        kDialogPopup | kDialogVisible | kDialogCaption | kDialogSysMenu | kDialogModalFrame,
        {
            {startup::kMessage, K::Static, L"", {13, 14, 134, 8}, 0},
        },
    };
    return dialog;
}

const DialogTemplate& AboutDialog() {
    static const DialogTemplate dialog{
        kAboutDialogId,
        L"\u5173\u4e8e Startup",  // "About Startup"
        235,
        55,
        L"MS Shell Dlg",
        9,
        kDialogPopup | kDialogCaption | kDialogSysMenu | kDialogModalFrame,
        {
            {kIdStatic, K::Icon, L"", {11, 17, 20, 20}, 0, kAppIcon},
            {kIdStatic, K::Static, L"Startup Version 1.0", {40, 10, 119, 8}, 0},
            {kIdStatic, K::Static, L"Satview", {40, 25, 119, 8}, 0},
            {kIdOk, K::PushButton, L"\u786e\u5b9a", {178, 7, 50, 16}, kStyleDefault | kStyleGroup},
        },
    };
    return dialog;
}

}  // namespace ui::templates
