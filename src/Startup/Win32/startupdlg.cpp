#include "Startup/Win32/startupdlg.h"

#include "platform/ui/templates/launcher.h"

namespace startup = ui::templates::startup;

CAboutDlg::CAboutDlg() : Dialog(ui::templates::AboutDialog()) {}

CStartupDlg::CStartupDlg()
    : Dialog(ui::templates::StartupDialog()), icon_{ui::templates::kAppIcon} {}

bool CStartupDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    if (HasSystemMenu()) {
        std::wstring about = startup::kAboutMenuText;
        if (!about.empty()) {
            AppendSystemMenuSeparator();
            AppendSystemMenuItem(startup::kAboutCommand, about);
        }
    }
    SetIcon(icon_, true);
    SetIcon(icon_, false);
    SetForeground();
    CenterWindow();
    return true;
}

void CStartupDlg::OnSysCommand(unsigned command) {
    if ((command & 0xFFF0u) == startup::kAboutCommand) {
        CAboutDlg about;
        about.DoModal(Handle());
    }
}

void CStartupDlg::SetMessageText(const std::wstring& text) {
    SetItemText(startup::kMessage, text);
    Invalidate();
}
