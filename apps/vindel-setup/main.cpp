// vindel-setup: installs the development kit it carries (resource 101)
// through msiexec, with the kit's four cabinets written beside the package
// on a second thread; in silent runs then the runtime installer that the kit
// places, and after a successful install the auto-update package (105).
// The exit code is the last msiexec run's, or one of ours (-80
// configuration, -1 lock or same-version removal, -3 no msiexec, 1 no
// package).
#include <windows.h>

#include <cstring>
#include <exception>
#include <optional>
#include <string>

#include "config/config_keys.h"
#include "config/install_config_data.h"
#include "foundation/executor.h"
#include "foundation/logger.h"
#include "foundation/registry_view.h"
#include "foundation/tds_error.h"
#include "kit/cab_extraction.h"
#include "kit/kit_command_line.h"
#include "kit/kit_registry.h"
#include "kit/kit_runtime_installer.h"
#include "kit/same_version_removal.h"
#include "launcher/auto_update_install.h"
#include "launcher/install_command_lines.h"
#include "launcher/installation_lock.h"
#include "launcher/launcher_run.h"
#include "launcher/msi_package.h"
#include "launcher/product_identity.h"
#include "launcher/vendor_registry.h"

namespace {

const char kFunction[] = "WinMain";
const int kKitPackageId = 101;
const char kPackageType[] = "TOLVA_INSTALLER";
const size_t kLineCapacity = 2048;

struct RunValues {
    bool silent = false;
    uint16_t langId = 1033;
    char publicKessaDir[kLineCapacity] = "";
    char installDir[kLineCapacity] = "";
    char msiOptions[kLineCapacity] = "";
    bool appendReboot = false;
    bool noStartMenu = false;
    bool addLocalGiven = false;
    char msiPath[MAX_PATH] = "";
    char msiexecPath[MAX_PATH] = "";
    char commandLine[kLineCapacity] = "";
    int result = 1;
};

void chooseLanguage(RunValues& v) { v.langId = ChooseUiLanguage(); }

// ADDLOCAL and REBOOT given on the command line are passed on to msiexec as
// they stand and never become keys of their own: they are found again in the
// passed-on options, where msiexec reads them. False when the passed-on
// options do not fit the options buffer.
bool readOptions(RunValues& v) {
    if (IsStringValueSet(kStringInstallDirPubKessa))
        lstrcpynA(v.publicKessaDir, GetStringValue(kStringInstallDirPubKessa).c_str(), sizeof v.publicKessaDir);
    if (IsStringValueSet(kStringInstallDir))
        lstrcpynA(v.installDir, GetStringValue(kStringInstallDir).c_str(), sizeof v.installDir);
    std::string passed;
    if (IsStringValueSet(kStringMsiCmdline)) {
        passed = GetStringValue(kStringMsiCmdline);
        if (!AppendBounded(v.msiOptions, sizeof v.msiOptions, passed.c_str()) ||
            !AppendBounded(v.msiOptions, sizeof v.msiOptions, " ")) {
            TDS_LOG_ERROR(kFunction, "The msiexec options do not fit %d characters. Exiting installer.",
                          static_cast<int>(sizeof v.msiOptions));
            return false;
        }
    }
    std::string reboot;
    if (FindPassedProperty(passed.c_str(), "REBOOT", &reboot))
        v.appendReboot = reboot == "ReallySuppress";
    else
        v.appendReboot = IsStringValueSet(kStringReboot) && GetStringValue(kStringReboot) == "ReallySuppress";
    v.addLocalGiven = IsStringValueSet(kStringAddLocal) || FindPassedProperty(passed.c_str(), "ADDLOCAL", nullptr);
    v.noStartMenu = IsSwitchEnabled(kSwitchNoStartMenu);
    return true;
}

// The one install command line.
bool buildCommandLine(RunValues& v) {
    if (v.silent && !AppendSilentKitOptions(v.msiOptions, sizeof v.msiOptions, v.addLocalGiven))
        return false;
    if (!BuildKitCommandLine(v.msiexecPath, v.msiPath, v.langId, v.msiOptions, v.commandLine, sizeof v.commandLine))
        return false;
    if (v.installDir[0] != '\0' && !AppendInstallDirProperty(v.commandLine, sizeof v.commandLine, v.installDir))
        return false;
    return !v.noStartMenu || AppendBounded(v.commandLine, sizeof v.commandLine, " NOSTARTMENU=1");
}

// The cabinets are written while msiexec runs; the package waits for the
// event, this program waits for neither.
void startCabinetThread(HINSTANCE instance) {
    // Kept open to the end, so the event outlives the thread's own handle.
    if (!CreateEventA(nullptr, TRUE, FALSE, kCabExtractEventName))
        TDS_LOG_ERROR(kFunction, "CreateEvent(%s) failed: %d", kCabExtractEventName, static_cast<int>(GetLastError()));
    HANDLE thread = CreateThread(nullptr, 0, ExtractCabsThreadProc, instance, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return;
    }
    // Without the thread the package would wait for cabinets that never come.
    TDS_LOG_ERROR(kFunction, "CreateThread failed: %d; writing the cabinets first",
                  static_cast<int>(GetLastError()));
    ExtractCabsThreadProc(instance);
}

// Loads the configuration and reads the run's values from it. Answers the
// exit code when the run ends here: -80 for a configuration that cannot be
// loaded or read, -1 for msiexec options that do not fit.
std::optional<int> loadConfiguration(HINSTANCE instance, RunValues& v) {
    const wchar_t* commandLine = GetCommandLineW();
    if (InstallConfigData::LoadConfigSettings(instance, commandLine ? commandLine : L"") != 0) {
        TDS_LOG_INFO(kFunction, "Error occurred while loading configuration settings. Exiting installer.");
        return -80;
    }
    // The accessors throw only when the configuration itself is broken,
    // which is a configuration failure like any other.
    try {
        v.silent = IsSilentInstall();
        chooseLanguage(v);
        if (!readOptions(v))
            return -1;
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION(kFunction, e);
        TDS_LOG_INFO(kFunction, "Error occurred while loading configuration settings. Exiting installer.");
        return -80;
    }
    return std::nullopt;
}

// msiexec with the kit's command line, once more when the package asks for
// a rerun; a failed install puts the runtime settings file back. Answers
// whether the kit is installed.
bool installKit(HINSTANCE instance, RunValues& v) {
    v.result = static_cast<int>(Executor::ExecProcessWithAtlMessageLoop(v.msiexecPath, v.commandLine, 0, nullptr));
    char status[512];
    if (GetTolvaSoftRegValue("InstallStatus", status, sizeof status) && strcmp(status, "reinstall") == 0) {
        SetInstallStatus(nullptr);
        v.result = static_cast<int>(Executor::ExecProcessWithAtlMessageLoop(v.msiexecPath, v.commandLine, 0, nullptr));
    }
    if (IsInstallSuccess(v.result))
        return true;
    TDS_LOG_INFO(kFunction, "VINDEL installation failed.  Return Code: %d, ErrorCode: %d", v.result,
                 static_cast<int>(GetLastError()));
    RestoreInstallConfig(instance);
    return false;
}

int run(HINSTANCE instance) {
    RunValues v;
    SetDllDirectoryA("");
    const bool is64BitSystem = !IsRunning32Bit();
    if (const std::optional<int> exitCode = loadConfiguration(instance, v))
        return *exitCode;
    if (IsAnotherInstallationInProgress()) {
        ShowInstallationInProgressBox(instance, v.silent);
        TDS_LOG_INFO(kFunction, "VINDEL wrapper: Another Tolva installation is in progress. You must complete that "
                                "installation before you can run this installer.");
        return -1;
    }
    WarnIfUnsupportedWindows(instance, v.silent);

    // Once the lock is ours, a request for a rerun left by an earlier run
    // that ended early must not make this install run twice.
    if (!SetInstallationFlag())
        return -1;
    SetInstallStatus(nullptr);
    if (!UninstallKessaOrVindelIfSameVersionExists(v.silent))
        return -1;

    // Without its package the run has installed nothing, so there is no
    // runtime installer to follow it either.
    if (!GetMsiFilePath(v.msiPath, is64BitSystem))
        return -1;
    if (!ExtractResourceToFile(instance, kKitPackageId, kPackageType, v.msiPath))
        return 1;
    if (!GetMsiexecPath(v.msiexecPath, sizeof v.msiexecPath))
        return -3;
    if (!buildCommandLine(v)) {
        TDS_LOG_ERROR(kFunction, "The kit's command line does not fit %d characters. Exiting installer.",
                      static_cast<int>(kLineCapacity));
        return -1;
    }
    TDS_LOG_INFO(kFunction, "szVINDELExeCommand = %s\n", v.commandLine);

    // Nothing has been installed: a failure here is no success.
    if (ExportInstallConfig(instance) != 0) {
        TDS_LOG_INFO(kFunction, "Error occurred while exporting configuration settings. Exiting installer.");
        return -80;
    }

    startCabinetThread(instance);
    const bool installed = installKit(instance, v);
    if (v.silent && KitOptionsSelectRuntime(v.msiOptions))
        RunKitRuntimeInstaller(v.noStartMenu, v.publicKessaDir, v.appendReboot);
    if (installed && IsKessaVersionKeyPresent()) {
        bool autoUpdate = true;
        try {
            autoUpdate = GetSwitchValue(kSwitchAutoUpdate);
        } catch (const std::exception& e) {
            TDS_LOG_EXCEPTION(kFunction, e);
        }
        ExtractAndInstallAutoUpdate(instance, false, autoUpdate);
    }
    return v.result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    SetProductKind("vindel");
    int result = -1;
    try {
        result = run(instance);
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION(kFunction, e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION(kFunction);
    }
    // Nothing may escape: an unexpected failure reports a failure, never
    // success. The lock goes with the process.
    CloseInstallationFlag();
    return result;
}
