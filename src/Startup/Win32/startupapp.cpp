#include "Startup/Win32/startupapp.h"

#include <filesystem>
#include <sstream>

#include "Startup/Win32/launcher_trace.h"
#include "Startup/Win32/termination_signals.h"
#include "Startup/Win32/text_case.h"
#include "framework/container/program_directory.h"
#include "framework/contracts/ids.h"
#include "framework/contracts/services.h"
#include "framework/skin/skin.h"
#include "framework/trace/zeltotrace.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/ui/kit.h"
#include "platform/ui/templates/launcher.h"
#include "platform/user_files.h"

namespace {

using launcher::kStartupSource;

void Trace(int level, int line, const std::string& message) {
    launcher::Trace(level, kStartupSource, line, message);
}

// A command line split at white space: the program and its arguments.
std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::istringstream in(commandLine);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// Asks the main frame to end its run; called on the signal watcher's thread.
void EndMainFrame(framework::IPluginContainer* container, const std::string& mainFrameId) {
    framework::IBaseInterface* object = nullptr;
    if (!container->QueryService(mainFrameId.c_str(), framework::kUiPluginInterface, &object) ||
        !object) {
        return;
    }
    if (auto* frame = dynamic_cast<framework::IUIPlugin*>(object)) frame->OnDestroyEvent();
}

}  // namespace

CStartupApp::CStartupApp() = default;

CStartupApp::~CStartupApp() {
    CleanUp();
}

void CStartupApp::SetWaits(int deviceWaitMilliseconds, int unloadWaitMilliseconds) {
    deviceWaitMilliseconds_ = deviceWaitMilliseconds;
    unloadWaitMilliseconds_ = unloadWaitMilliseconds;
}

int CStartupApp::ExitInstance() {
    skin::ExitSkin();
    return failed_ ? kFailureExitCode : 0;
}

bool CStartupApp::AnotherInstanceRuns() {
    exitNote_.clear();
    if (instanceLock_) return false;  // held since an earlier start-up of this object
    platform::InstanceLock::Outcome outcome;
    instanceLock_ = platform::InstanceLock::Acquire(launcher::kInstanceName, outcome);
    if (outcome == platform::InstanceLock::Outcome::Failed) {
        // Runs on rather than letting a folder someone else planted keep Satview from starting.
        std::string why = "cannot make the lock file";
        platform::RuntimeDirectory(&why);
        Trace(framework::kTraceWarning, __LINE__, "one instance is not ensured: " + why);
    }
    if (outcome != platform::InstanceLock::Outcome::HeldElsewhere) return false;
    // The running instance restores and raises its window; nobody listening means there is
    // nothing to bring forward. Either way this instance ends, saying which.
    exitNote_ = platform::AskToRaise(launcher::kRaiseWindowName)
                    ? "Satview already runs for this user: its window was brought forward."
                    : "Satview already runs for this user (it did not answer: nothing was "
                      "brought forward).";
    return true;
}

std::string CStartupApp::ProgramDirectory() {
    std::optional<std::string> path = modulePath_;
    if (!modulePathSet_) {
        std::error_code ec;
        std::string exe = std::filesystem::read_symlink("/proc/self/exe", ec).string();
        path = ec ? std::nullopt : std::optional<std::string>(exe);
    }
    if (!path || path->empty() || path->size() > launcher::kMaxPath) {
        Trace(framework::kTraceWarning, __LINE__, "Get module path fail!");
        throw FailureExit{};
    }
    size_t cut = path->find_last_of('/');
    if (cut == std::string::npos) {
        Trace(framework::kTraceWarning, __LINE__, "the \"\\\" can not find in the module path !");
        throw FailureExit{};
    }
    return path->substr(0, cut);
}

bool CStartupApp::InitInstance() {
    failed_ = false;
    if (AnotherInstanceRuns()) return false;

    // The log folder below the program directory; failures are ignored.
    std::string early = platform::ProgramDirectory();
    if (modulePathSet_) {
        size_t cut = modulePath_ ? modulePath_->find_last_of('/') : std::string::npos;
        early = cut == std::string::npos ? std::string() : modulePath_->substr(0, cut);
    }
    if (!early.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(platform::UserFilePath(early, "Log"), ignored);
        // Traces go below the program directory whatever the current directory is.
        framework::SetProgramDirectory(early);
    }
    skin::InitSkin(L"PLXA");

    runResults_.clear();
    try {
        std::string directory = ProgramDirectory();
        std::string version = platform::IniReadString(
            platform::ResolveNoCase(directory, "RunInfo.ini"), "version", "version", "");
        if (!version.empty()) Trace(framework::kTraceInfo, __LINE__, version);

        // An installed program keeps the list it writes per user; the version above is the
        // installed program's own.
        std::string listPath = platform::UserFilePath(directory, launcher::kPluginListName);
        if (listPath.size() > launcher::kMaxPath) {
            Trace(framework::kTraceWarning, __LINE__,
                  "the configure path is to long, more than MAX_PATH !");
            throw FailureExit{};
        }
        // This instance alone writes these files now: what a killed write left goes.
        if (instanceLock_) platform::RemoveLeftoverSaves(directory);
        RunContainerLoop(listPath);
        // The container could not run the main frame (its library missing, say).
        if (!runResults_.empty() && runResults_.back() < 0) failed_ = true;
    } catch (...) {
        Trace(framework::kTraceWarning, __LINE__, "InitInstance exception!");
        CleanUp();
        failed_ = true;
    }
    CZeltoTrace::destroy();
    return false;
}

void CStartupApp::Fail(int line, const char* message, bool messageBox) {
    if (messageBox) ui::ShowMessageBox({}, L"Init fail !", L"Startup", ui::kMbOk);
    Trace(framework::kTraceWarning, line, message);
    throw FailureExit{};
}

void CStartupApp::CleanUp() {
    if (property_) {
        property_->Release();
        property_ = nullptr;
    }
    if (configMgr_) {
        configMgr_->SetDeviceEventSink(false);
        configMgr_->SetContainer(nullptr);
    }
    if (container_) {
        framework::CContainerFactory::DestroyPluginContainer(container_);
        container_ = nullptr;
    }
    configMgr_.reset();
    startupDlg_.reset();
}

void CStartupApp::RunContainerLoop(const std::string& listPath) {
    while (RunOnce(listPath) == framework::kMainFrameReinitialize) {
    }
}

int CStartupApp::RunOnce(const std::string& listPath) {
    try {
        if (!configMgr_) {
            configMgr_ = std::make_unique<CPluginsConfigMgr>(listPath);
            configMgr_->SetWaits(deviceWaitMilliseconds_, unloadWaitMilliseconds_);
        }
        configMgr_->PrepareConfiguration();
    } catch (...) {
        Trace(framework::kTraceWarning, __LINE__, "Customize plugins config file exception!");
    }

    container_ = framework::CContainerFactory::CreatePluginContainer(listPath.c_str());
    if (!container_) Fail(__LINE__, "Create plugin container fail !", true);
    if (configMgr_) {
        configMgr_->SetContainer(container_);
        configMgr_->SetDeviceEventSink(true);
    }

    const char* mainFrame = container_->GetMainFrameId();
    if (!mainFrame) Fail(__LINE__, "Main frame plugin do not exist !", true);
    std::string mainFrameId = mainFrame;

    framework::IBaseInterface* object = nullptr;
    if (container_->QueryService(framework::kPluginConfigPropertyId,
                                 framework::kPluginConfigPropertyFlag, &object) &&
        object) {
        property_ = dynamic_cast<framework::IQueryPluginConfigProperty*>(object);
        if (!property_) object->Release();
    }
    if (!property_) Fail(__LINE__, "Query IQueryPluginConfigProperty interface fail !", true);

    std::string url;
    while (property_->MoveNext()) {
        const char* id = property_->GetId();
        if (id && mainFrameId == id) {
            const char* found = property_->GetUrl();
            url = found ? found : "";
            break;
        }
    }
    if (url.empty()) Fail(__LINE__, "can not find main frame URL !", true);
    property_->Release();
    property_ = nullptr;

    size_t dot = url.find_last_of('.');
    if (dot == std::string::npos)
        Fail(__LINE__, "can not find \".\" in the main frame URL !", true);

    if (startupDlg_) {
        startupDlg_->ShowWindow(ui::ShowCommand::Hide);
        startupDlg_->DestroyWindow();
    }

    // A library of this platform (or one named the Windows way) runs inside the container;
    // anything else is started as a program.
    std::string extension = launcher::Lower(url.substr(dot));
    int result = 3;
    if (extension == ".dll" || extension == platform::SharedLibrarySuffix()) {
        // A signal to end the program ends the main frame's run, as closing its last window
        // would.
        launcher::TerminationSignals::SetHandler(
            [container = container_, mainFrameId] { EndMainFrame(container, mainFrameId); });
        result = container_->RunMainFrame(mainFrameId.c_str());
        launcher::TerminationSignals::SetHandler(nullptr);
    } else {
        std::vector<std::string> words = SplitCommandLine(url);
        if (!words.empty()) {
            std::string program = words.front();
            if (program.front() != '/') {
                std::string local = platform::ResolveNoCase(
                    configMgr_ ? configMgr_->ProgramDirectory() : ".", program);
                if (std::filesystem::exists(local)) program = local;
            }
            if (!platform::StartProgram(program, {words.begin() + 1, words.end()})) {
                Trace(framework::kTraceWarning, __LINE__,
                      "can not start the main frame program " + program);
                failed_ = true;
            }
        }
    }
    runResults_.push_back(result);

    if (configMgr_) {
        configMgr_->SetDeviceEventSink(false);
        configMgr_->SetContainer(nullptr);
    }

    object = nullptr;
    if (container_->QueryService(framework::kConfigPluginId, framework::kConfigServiceFlag,
                                 &object) &&
        object) {
        if (auto* config = dynamic_cast<framework::IConfigService*>(object)) {
            if (!config->WriteValue(L"xframemodule", L"nosplashscreen",
                                    result == framework::kMainFrameReinitialize ? L"1" : L"0", 1)) {
                Trace(framework::kTraceWarning, __LINE__,
                      "could not save xframemodule/nosplashscreen in the settings file");
            }
        }
        object->Release();
    }

    if (result == framework::kMainFrameReinitialize) {
        ShowInitializingDialog(container_);
    } else {
        try {
            configMgr_.reset();
            startupDlg_.reset();
        } catch (...) {
        }
    }

    framework::CContainerFactory::DestroyPluginContainer(container_);
    container_ = nullptr;
    return result;
}

void CStartupApp::ShowInitializingDialog(framework::IPluginContainer* container) {
    std::wstring text;
    framework::IBaseInterface* object = nullptr;
    if (container->QueryService(framework::kLocaleServiceId, framework::kLocaleServiceFlag,
                                &object) &&
        object) {
        if (auto* locale = dynamic_cast<framework::ILocaleMgrService*>(object)) {
            const wchar_t* found =
                locale->LoadString("IDS_MAINFRM_REINITIALIZE", "XFramePlugin", nullptr);
            text = found ? found : L"";
        }
        object->Release();
    }
    try {
        if (!startupDlg_) startupDlg_ = std::make_unique<CStartupDlg>();
        if (!startupDlg_->HasWindow() && !startupDlg_->Create()) throw FailureExit{};
        startupDlg_->ShowWindow(ui::ShowCommand::Normal);
        startupDlg_->SetMessageText(text);
    } catch (...) {
        Trace(framework::kTraceWarning, __LINE__, "Create initializing dialog fail !");
    }
}
