// The external program of the GPS dialog: run the path typed into 6005 (or the one saved
// before), or choose one with the file dialog. A program is started directly, without a
// shell, and is not waited for.
#include "orbitpane/win32/gpsuidlg.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/ui/kit.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

bool CGPSUIDlg::IsExecutablePath(const std::wstring& path) {
    return platform::IsExecutableFile(platform::WideToUtf8(path));
}

bool CGPSUIDlg::LaunchProgram(const std::wstring& path) {
    return platform::StartProgram(platform::WideToUtf8(path));
}

void CGPSUIDlg::OnRunProgram() {
    const std::wstring typed = ItemText(ids::kPath);
    if (IsExecutablePath(typed)) {
        if (!LaunchProgram(typed)) {
            ShowStatus(L"IDS_STATIC_ERROR_RUNAPP");
            return;
        }
        ShowStatus(L"IDS_STATIC_SUCCE_RUNAPP");
        ShowStatus(SaveProgramPath(typed) ? L"IDS_STATIC_SUCCE_SAVEDATA"
                                          : L"IDS_STATIC_ERROR_SAVEDATA");
        return;
    }
    ShowStatus(L"IDS_STATIC_ERROR_InvalidPath");
    const std::wstring saved = GetSavedProgramPath();
    if (IsExecutablePath(saved)) {
        ShowStatus(L"IDS_STATIC_ValidPathFile");
        if (LaunchProgram(saved)) {
            // The saved path is not stored again.
            SetItemText(ids::kPath, saved);
            ShowStatus(L"IDS_STATIC_SUCCE_RUNAPP");
        } else {
            ShowStatus(L"IDS_STATIC_ERROR_RUNAPP");
        }
        return;
    }
    ShowStatus(L"IDS_STATIC_ERROR_InvalidPathFile");
    OnBrowseProgram();
}

void CGPSUIDlg::OnBrowseProgram() {
    ui::FileDialogRequest request;
    request.filter = L"Programs|*||";
    request.flags = ui::kFileHideReadOnly | ui::kFileOverwritePrompt | ui::kFileExecutables;
    std::optional<std::wstring> chosen = ui::OpenFileDialog(request);
    if (!chosen) return;
    ShowStatus(L"IDS_STATIC_SUCCE_SELECTFILE");
    SetItemText(ids::kPath, *chosen);
    SetFocus(ids::kPath);
    ShowStatus(SaveProgramPath(*chosen) ? L"IDS_STATIC_SUCCE_SAVEFILE"
                                        : L"IDS_STATIC_FAILED_SAVEFILE");
}
