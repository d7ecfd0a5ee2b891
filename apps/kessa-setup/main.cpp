// kessa-setup: installs the runtime it carries (resource 103) through
// msiexec, then the auto-update package (resource 105), and reports the run.
// One pass from top to bottom on the main thread; the exit code is the last
// msiexec run's, or one of ours (-80 configuration, -1 lock, refused
// reinstall or a welcome page that cannot be shown, -3 no msiexec, 1 no
// package).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "config/config_error.h"
#include "config/config_keys.h"
#include "config/install_config_data.h"
#include "foundation/http_connection.h"
#include "foundation/logger.h"
#include "foundation/registry_view.h"
#include "foundation/tds_error.h"
#include "launcher/auto_update_install.h"
#include "launcher/install_command_lines.h"
#include "launcher/install_ping.h"
#include "launcher/install_wizard.h"
#include "launcher/installation_lock.h"
#include "launcher/launcher_run.h"
#include "launcher/kessa_metrics.h"
#include "launcher/msi_package.h"
#include "launcher/online_options.h"
#include "launcher/policy_registry.h"
#include "launcher/product_identity.h"
#include "launcher/product_version.h"
#include "launcher/reinstall_check.h"
#include "launcher/runtime_registry.h"
#include "launcher/security_prompts.h"
#include "launcher/ui/setup_pages.h"
#include "launcher/ui/setup_progress_dialog.h"
#include "launcher/vendor_registry.h"
#include "scrub_ui/tolva_scrub_sequence.h"

namespace {

const char kFunction[] = "WinMain";
const int kRuntimePackageId = 103;
const char kPackageType[] = "TOLVA_INSTALLER";
const size_t kLineCapacity = 2048;

// Process-wide values of the run that the options document and the ping share.
char gCountry[20] = "YY";
char gMethod[20] = "toff";
char gPostStatusUrl[256] = "";
char gImageBaseUrl[256] = "";

struct RunValues {
    bool silent = false;
    bool staticInstall = false;
    bool oemUpdate = false;
    bool showVerifyPage = true;
    bool launchedFromVindel = false;
    int familyUpgrade = 0;
    uint16_t langId = 1033;
    std::string transformOption;
    char msiOptions[kLineCapacity] = "";
    char installDir[kLineCapacity] = "";
    char msiPath[MAX_PATH] = "";
    char firstCommandLine[kLineCapacity] = "";
    char secondCommandLine[kLineCapacity] = "";
    char msiexecPath[MAX_PATH] = "";
    char previousVersion[128] = "";
    char installedAUVersion[128] = "";
    int result = 1;
    int auResult = -99;
    DWORD msiStatusError = 0;
    DWORD msiStatusExtendedError = 0;
    bool showMedHighText = false;
};

void sendPing(const RunValues& v, int installResult, int auResult, const char* deployStatus,
              DWORD statusError, DWORD extendedError) {
    SendInstallPing(gPostStatusUrl, gMethod, "ic", gCountry, kFullVersion, v.previousVersion, kFullVersion, nullptr,
                    installResult, auResult, v.installedAUVersion, kPackagedAUVersion, nullptr, nullptr, nullptr,
                    nullptr, nullptr, deployStatus, static_cast<int32_t>(statusError),
                    static_cast<int32_t>(extendedError));
}

// Reads the switches and values of the run from the loaded configuration.
void readTypedValues(RunValues& v) {
    v.staticInstall = GetSwitchValue(kSwitchStatic);
    v.oemUpdate = IsSwitchEnabled(kSwitchOemUpdate);
    v.silent = IsSilentInstall();
    v.showVerifyPage = !IsSwitchEnabled(kSwitchNoVerify);
    v.launchedFromVindel = IsSwitchEnabled(kSwitchLaunchedFromVindel);
}

void chooseLanguage(RunValues& v) {
    v.langId = ChooseUiLanguage();
    v.transformOption = TransformOption(v.langId);
}

// The test switches show one page and end the run with 0.
bool handleTestSwitches(HINSTANCE instance, const RunValues& v, int* exitCode) {
    if (IsSwitchEnabled(kSwitchTestFinalDialog)) {
        ShowFinalDialogForTest(v.showVerifyPage, true);
        *exitCode = 0;
        return true;
    }
    if (IsSwitchEnabled(kSwitchTestProgressDialog)) {
        try {
            CSetupProgressDialog dialog(0);
            dialog.DoModal(GetActiveWindow());
        } catch (const std::exception& e) {
            TDS_LOG_EXCEPTION(kFunction, e);
        }
        *exitCode = 0;
        return true;
    }
    if (IsSwitchEnabled(kSwitchTestWelcomeDialog)) {
        bool changeFolder = false;
        ui::GetSetupPages().welcome(GetActiveWindow(), changeFolder);
        *exitCode = 0;
        return true;
    }
    if (IsSwitchEnabled(kSwitchTestChangeDialog)) {
        char folder[MAX_PATH] = "";
        ui::GetSetupPages().changeFolder(GetActiveWindow(), false, folder, sizeof folder);
        *exitCode = 0;
        return true;
    }
    if (IsIntValueSet(kIntTestConfigFileErrors)) {
        const int32_t code = GetIntValue(kIntTestConfigFileErrors);
        TDS_LOG_INFO(kFunction, "TEST_CONFIG_FILE_ERRORS enabled.");
        TDS_LOG_INFO(kFunction, "Show error %d", code);
        ReportConfigError(instance, GetSettingsConfig(), code, "<path_to_config_file>", false);
        *exitCode = 0;
        return true;
    }
    return false;
}

void startUp() {
    TDS_LOG_INFO(kFunction, "Wrapper begin...");
    SetDllDirectoryA("");
    INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
    if (!InitCommonControlsEx(&controls))
        MessageBoxA(nullptr, "Could not initialize common controls!", "Failure", MB_ICONERROR);
}

// What is installed before this run changes anything. InstallStatus is
// cleared only once the lock is ours: a second launcher must not wipe the
// value of the install that runs.
void readInstalledVersions(RunValues& v) {
    v.familyUpgrade = IsThisAFamilyUpgrade();
    if (!GetPreviousKessaVersion(v.previousVersion))
        v.previousVersion[0] = '\0';
    if (!GetInstalledAUVersion(v.installedAUVersion, sizeof v.installedAUVersion)) {
        lstrcpynA(v.installedAUVersion, "XX", sizeof v.installedAUVersion);
        TDS_LOG_INFO(kFunction, "No Old AU Version found\n");
    }
}

// Loads the configuration and reads the run's values from it. Answers the
// exit code when the run ends here: -80 for a configuration that cannot be
// loaded or read, 0 after a test switch showed its page, -1 for msiexec
// options that do not fit.
std::optional<int> loadConfiguration(HINSTANCE instance, RunValues& v) {
    TDS_LOG_INFO(kFunction, "Wrapper Load ConfigSettings...");
    const wchar_t* commandLine = GetCommandLineW();
    if (InstallConfigData::LoadConfigSettings(instance, commandLine ? commandLine : L"") != 0) {
        TDS_LOG_INFO(kFunction, "Error occurred while loading configuration settings. Exiting installer.");
        return -80;
    }
    // The accessors throw only when the configuration itself is broken,
    // which is a configuration failure like any other.
    try {
        readTypedValues(v);
        HttpConnection::setSilent(v.silent);
        chooseLanguage(v);

        if (IsStringValueSet(kStringCountryOverride))
            SetPolicyValue(nullptr, "Country", GetStringValue(kStringCountryOverride).c_str());
        if (IsStringValueSet(kStringInstallDir))
            lstrcpynA(v.installDir, GetStringValue(kStringInstallDir).c_str(), sizeof v.installDir);
        int testExit = 0;
        if (handleTestSwitches(instance, v, &testExit))
            return testExit;
        for (int32_t key : {kStringMsiCmdline, kStringCmdline}) {
            if (!IsStringValueSet(key))
                continue;
            if (!AppendBounded(v.msiOptions, sizeof v.msiOptions, GetStringValue(key).c_str()) ||
                !AppendBounded(v.msiOptions, sizeof v.msiOptions, " ")) {
                TDS_LOG_ERROR(kFunction, "The msiexec options do not fit %d characters. Exiting installer.",
                              static_cast<int>(sizeof v.msiOptions));
                return -1;
            }
        }
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION(kFunction, e);
        TDS_LOG_INFO(kFunction, "Error occurred while loading configuration settings. Exiting installer.");
        return -80;
    }
    return std::nullopt;
}

// Another launcher holds the lock; tells the user unless silent. Asked twice:
// a launcher that is just ending may still hold the file at the first test.
bool anotherInstallationRuns(HINSTANCE instance, const RunValues& v) {
    if (v.launchedFromVindel || !IsAnotherInstallationInProgress() || !IsAnotherInstallationInProgress())
        return false;
    ShowInstallationInProgressBox(instance, v.silent);
    TDS_LOG_INFO(kFunction, "Another Tolva installation is in progress. You must complete that installation "
                            "before you can run this installer.");
    return true;
}

// The pages before the install. Answers the exit code when the run ends
// there: leaving the pages ends it with 0 and keeps the install status they
// wrote ("decline") for the package's next run; a welcome page that could
// not be shown installs nothing and ends it with -1.
std::optional<int> runWizard(RunValues& v) {
    switch (RunInstallWizard(ui::GetSetupPages(), GetActiveWindow(), v.launchedFromVindel, v.installDir,
                             sizeof v.installDir)) {
    case WizardOutcome::Declined:
        CloseInstallationFlag();
        return 0;
    case WizardOutcome::FolderCancelled:
        sendPing(v, -20, -99, nullptr, 0, 0);
        CloseInstallationFlag();
        return 0;
    case WizardOutcome::Failed:
        return CleanUpInstallRun(-1);
    case WizardOutcome::Install:
        break;
    }
    if (!AppendToBothLines(v.firstCommandLine, v.secondCommandLine, kLineCapacity, " SKIPLICENSE=1 PROG=0 ENDDIALOG=0"))
        return CleanUpInstallRun(-1);
    return std::nullopt;
}

// An upgrade shows the text on the security level change, unless the level
// is set to medium.
void chooseSecurityText(RunValues& v) {
    bool securityMedium = false;
    try {
        securityMedium = IsIntValueSet(kIntWebTolvaSecurityLevel) && GetIntValue(kIntWebTolvaSecurityLevel) == 2;
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION(kFunction, e);
    }
    if (securityMedium) {
        TDS_LOG_INFO(kFunction, "WEB_TOLVA_SECURITY_LEVEL set to MED/2");
    } else if (v.familyUpgrade != 0) {
        TDS_LOG_INFO(kFunction, "Upgrade install and Security level >2, show the Med->High Security text");
        v.showMedHighText = true;
    }
}

// The interactive install: the progress window, msiexec (once more with the
// second command line when the package asks for it), then the error page or
// the removal of out-of-date runtimes and the security prompts.
void runInteractiveInstall(RunValues& v) {
    // The progress window stays hidden until the package sets its start
    // event; the executor pumps its messages while msiexec runs.
    std::unique_ptr<CSetupProgressDialog> progress;
    try {
        progress = std::make_unique<CSetupProgressDialog>(0);
        progress->Create(GetDesktopWindow());
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION(kFunction, e);
        progress.reset();
    }
    v.result = RunMsiInstall(v.msiexecPath, v.firstCommandLine);
    char status[512];
    if (GetTolvaSoftRegValue("InstallStatus", status, sizeof status) && strcmp(status, "reinstall") == 0) {
        const LONG again = ClearMSIStatus();
        v.result = static_cast<int>(again);
        if (again != 0) {
            TDS_LOG_INFO(kFunction, "ClearMSIStatus() failed.  Return Code: %d, ErrorCode: %d",
                         static_cast<int>(again), static_cast<int>(GetLastError()));
        } else {
            v.msiStatusError = 0;
            v.msiStatusExtendedError = 0;
            SetInstallStatus(nullptr);
            v.result = RunMsiInstall(v.msiexecPath, v.secondCommandLine);
        }
    }
    if (progress)
        progress->ShowWindow(SW_HIDE);
    if (!IsInstallSuccess(v.result)) {
        ui::GetSetupPages().setupError(GetActiveWindow(), v.result);
    } else if (!v.launchedFromVindel) {
        // Offers to remove out-of-date runtimes; never changes the result.
        tscrub::ui::runSequence();
        FinishUIInstallationWithSecurityPrompts(v.installDir, v.showVerifyPage, v.showMedHighText, gMethod, 0);
    }
    if (progress) {
        progress->DestroyWindow();
        progress.reset();
    }
}

// After a failed install the runtime settings file is put back and the
// package's status read and cleared; after a successful one the auto-update
// package is installed.
void finishInstall(HINSTANCE instance, RunValues& v) {
    if (!IsInstallSuccess(v.result)) {
        RestoreInstallConfig(instance);
        const LONG got = GetMSIStatus(&v.msiStatusError, &v.msiStatusExtendedError);
        if (got != 0)
            TDS_LOG_INFO(kFunction, "GetMSIStatus() failed.  Return Code: %d, ErrorCode: %d", static_cast<int>(got),
                         static_cast<int>(GetLastError()));
        const LONG again = ClearMSIStatus();
        if (again != 0)
            TDS_LOG_INFO(kFunction, "ClearMSIStatus() after get failed.  Return Code: %d, ErrorCode: %d",
                         static_cast<int>(again), static_cast<int>(GetLastError()));
        return;
    }
    bool autoUpdate = true;
    try {
        autoUpdate = GetSwitchValue(kSwitchAutoUpdate);
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION(kFunction, e);
    }
    v.auResult = ExtractAndInstallAutoUpdate(instance, v.oemUpdate, autoUpdate);
}

void reportRun(const RunValues& v) {
    char deployStatus[100];
    if (!GetTolvaSoftRegValue("RegDeployStatus", deployStatus, sizeof deployStatus) || deployStatus[0] == '\0')
        lstrcpynA(deployStatus, "YY", sizeof deployStatus);
    sendPing(v, v.result, v.auResult, deployStatus, v.msiStatusError, v.msiStatusExtendedError);
    if (v.oemUpdate)
        RemoveKessaMetrics();
}

int run(HINSTANCE instance) {
    RunValues v;
    startUp();
    const bool is64BitSystem = !IsRunning32Bit();
    readInstalledVersions(v);
    if (const std::optional<int> exitCode = loadConfiguration(instance, v))
        return *exitCode;
    if (anotherInstallationRuns(instance, v))
        return -1;

    // Asked once; a second call would repeat its uninstalls and boxes.
    TDS_LOG_INFO(kFunction, "Wrapper, check for reinstall case..");
    const int reinstall = CheckReinstallCase(v.staticInstall, v.silent);
    if (reinstall == 0) {
        TDS_LOG_INFO(kFunction, "A newer KESSA  build already exists. Exit install");
        return 0;
    }
    if (reinstall < 0)
        return -1;
    if (is64BitSystem) {
        TDS_LOG_INFO(kFunction, "The installer is 64 bit, set bShowVerifyPage = FALSE");
        v.showVerifyPage = false;
    }

    WarnIfUnsupportedWindows(instance, v.silent);
    if (!v.launchedFromVindel && !SetInstallationFlag())
        return -1;
    ClaimInstallRun();
    SetInstallStatus(nullptr);

    if (!GetMsiFilePath(v.msiPath, is64BitSystem))
        return CleanUpInstallRun(-1);
    TDS_LOG_INFO(kFunction, "Wrapper: Extract MSI ...");
    if (!ExtractResourceToFile(instance, kRuntimePackageId, kPackageType, v.msiPath))
        return CleanUpInstallRun(1);

    char options[256] = "";
    GetOptionsFromXmlIfOnline(options, sizeof options, gPostStatusUrl, gImageBaseUrl, gCountry);
    if (!GetMsiexecPath(v.msiexecPath, sizeof v.msiexecPath)) {
        CloseInstallationFlag();
        return -3;
    }
    if ((v.silent && !AppendBounded(v.msiOptions, sizeof v.msiOptions, " /qn")) ||
        !BuildInstallCommandLines(v.msiexecPath, v.msiPath, v.msiOptions, v.transformOption.c_str(),
                                  v.firstCommandLine, v.secondCommandLine, kLineCapacity))
        return CleanUpInstallRun(-1);
    if (!v.silent) {
        if (const std::optional<int> exitCode = runWizard(v))
            return *exitCode;
    }

    // Nothing has been installed yet: a failure here is no success.
    const LONG cleared = ClearMSIStatus();
    if (cleared != 0) {
        TDS_LOG_INFO(kFunction, "initial ClearMSIStatus() failed.  Return Code: %d, ErrorCode: %d",
                     static_cast<int>(cleared), static_cast<int>(GetLastError()));
        return CleanUpInstallRun(-1);
    }
    if (v.installDir[0] != '\0' &&
        (!AppendInstallDirProperty(v.firstCommandLine, kLineCapacity, v.installDir) ||
         !AppendInstallDirProperty(v.secondCommandLine, kLineCapacity, v.installDir)))
        return CleanUpInstallRun(-1);
    TDS_LOG_INFO(kFunction, "szOnlyFirstCommandLine = %s\nszExecutableNameCommand = %s\n", v.firstCommandLine,
                 v.secondCommandLine);
    if (ExportInstallConfig(instance) != 0) {
        TDS_LOG_INFO(kFunction, "Error occurred while exporting configuration settings. Exiting installer.");
        return CleanUpInstallRun(-80);
    }

    chooseSecurityText(v);
    v.msiStatusError = 0;
    v.msiStatusExtendedError = 0;
    TDS_LOG_INFO(kFunction, "Wrapper: Execute MSI ...");
    if (v.silent) {
        CreateTolvaSoftSubkey("SilentInstall");
        v.result = RunMsiInstall(v.msiexecPath, v.firstCommandLine);
    } else {
        runInteractiveInstall(v);
    }
    finishInstall(instance, v);
    reportRun(v);
    return CleanUpInstallRun(v.result);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    SetProductKind("kessa");
    try {
        return run(instance);
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION(kFunction, e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION(kFunction);
    }
    // Nothing here may escape: an unexpected failure still releases the lock
    // and reports a failure, never success. Before the lock was taken the
    // registry values are another install's, and the clean-up leaves them.
    return CleanUpInstallRun(-1);
}
