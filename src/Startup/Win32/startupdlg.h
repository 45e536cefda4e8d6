// The launcher's windows: the initializing window shown between two runs of the plug-in
// container (one line of text, an "about" entry in its system menu) and the about box.
#pragma once

#include <string>

#include "platform/ui/dialog.h"

class CAboutDlg : public ui::Dialog {
  public:
    CAboutDlg();
    ~CAboutDlg() override { DestroyWindow(); }
};

class CStartupDlg : public ui::Dialog {
  public:
    CStartupDlg();
    ~CStartupDlg() override { DestroyWindow(); }

    // Shows `text` as the window's one line.
    void SetMessageText(const std::wstring& text);

  protected:
    bool OnInitDialog() override;
    // The about entry (commands 16 to 31) opens the about box modally.
    void OnSysCommand(unsigned command) override;

  private:
    ui::Icon icon_;
};
