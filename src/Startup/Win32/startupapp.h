// CStartupApp: the launcher. InitInstance makes sure one instance runs, prepares the plug-in
// configuration for the card in use, runs the main-frame plug-in through the plug-in
// container and, when the main frame asks for it (result 4), does all of that again.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Startup/Win32/pluginsconfigmgr.h"
#include "Startup/Win32/startupdlg.h"
#include "framework/contracts/container.h"
#include "platform/single_instance.h"

namespace launcher {

// The names the single instance goes by: the lock, and the socket of the window that a later
// instance brings forward.
inline constexpr const char* kInstanceName = "Tarvek GPS Appliction 1.00";
inline constexpr const char* kRaiseWindowName = "Tarvek Ferrolink 1.00";
inline constexpr const char* kPluginListName = "plugins.xml";
// Paths longer than this are refused (the configuration path and its terminator fit in 260).
inline constexpr size_t kMaxPath = 259;

}  // namespace launcher

class CStartupApp {
  public:
    CStartupApp();
    ~CStartupApp();
    CStartupApp(const CStartupApp&) = delete;
    CStartupApp& operator=(const CStartupApp&) = delete;

    // Does everything and answers false: the program ends when it returns.
    bool InitInstance();
    // Shuts the skin down; the program's exit code: 0 after a normal end of the main frame and
    // for a second instance that handed over to the first, kFailureExitCode after any failure.
    int ExitInstance();
    static constexpr int kFailureExitCode = 1;

    // What this start says on the way out, after the front end is gone (empty: nothing).
    const std::string& ExitNote() const { return exitNote_; }

    // ---- for tests ----
    // What the program's own path reads as (nothing: it cannot be read). By default the
    // running executable's path.
    void SetModulePath(std::optional<std::string> path) {
        modulePath_ = std::move(path);
        modulePathSet_ = true;
    }
    // Shorter waits for the configuration manager.
    void SetWaits(int deviceWaitMilliseconds, int unloadWaitMilliseconds);
    // Result codes of the container runs of the last InitInstance, in order.
    const std::vector<int>& RunResults() const { return runResults_; }

  private:
    struct FailureExit {};

    // Another instance holds the lock: asks it to bring its window forward. True then.
    bool AnotherInstanceRuns();
    std::string ProgramDirectory();
    void RunContainerLoop(const std::string& listPath);
    int RunOnce(const std::string& listPath);
    [[noreturn]] void Fail(int line, const char* message, bool messageBox);
    void ShowInitializingDialog(framework::IPluginContainer* container);
    void CleanUp();

    std::unique_ptr<CStartupDlg> startupDlg_;
    std::unique_ptr<CPluginsConfigMgr> configMgr_;
    std::unique_ptr<platform::InstanceLock> instanceLock_;
    framework::IPluginContainer* container_ = nullptr;
    framework::IQueryPluginConfigProperty* property_ = nullptr;

    std::optional<std::string> modulePath_;
    bool modulePathSet_ = false;
    int deviceWaitMilliseconds_ = CPluginsConfigMgr::kDeviceWaitMilliseconds;
    int unloadWaitMilliseconds_ = CPluginsConfigMgr::kUnloadWaitMilliseconds;
    std::vector<int> runResults_;
    std::string exitNote_;
    bool failed_ = false;
};
