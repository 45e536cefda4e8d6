// Start at log-on: the check box 6026 and the autostart entry "Satview" that starts the
// launcher in the program directory.
#include "orbitpane/win32/gpsuidlg.h"
#include "platform/autostart.h"
#include "platform/text.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

namespace {
constexpr const char* kEntryName = "Satview";
constexpr const char* kLauncher = "/Startup";
}  // namespace

std::wstring CGPSUIDlg::AutoRunProgram() const {
    return platform::Utf8ToWide(orbitpane::AppDirectory() + kLauncher);
}

bool CGPSUIDlg::IsAutoRunEnabled() {
    platform::AutostartValue value;
    switch (platform::ReadAutostart(kEntryName, value)) {
        case platform::AutostartStatus::NoFolder:
            Trace("Openning run automatically key failed!");
            return false;
        case platform::AutostartStatus::NoEntry:
            Trace("Getting run automatically key failed!");
            return false;
        case platform::AutostartStatus::Ok:
            break;
    }
    // A plain string value counts whatever program it starts; any other kind of value only
    // when it starts this launcher.
    if (value.type == "REG_SZ") return true;
    return platform::Utf8ToWide(value.program) == AutoRunProgram();
}

void CGPSUIDlg::OnAutoRunClicked() {
    // The box keeps the state the user gave it, whatever the answer.
    if (IsItemChecked(ids::kAutoRun)) {
        EnableAutoRun(AutoRunProgram());
    } else {
        DisableAutoRun();
    }
}

bool CGPSUIDlg::EnableAutoRun(const std::wstring& path) {
    if (!platform::AutostartFolderWritable()) {
        if (!platform::CreateAutostartFolder()) {
            Trace("RegCreateKeyEx error!");
            return false;
        }
        if (!platform::AutostartFolderWritable()) {
            Trace("RegOpenKeyEx error!");
            return false;
        }
    }
    return platform::WriteAutostart(kEntryName, platform::WideToUtf8(path));
}

bool CGPSUIDlg::DisableAutoRun() {
    return platform::RemoveAutostart(kEntryName);
}
