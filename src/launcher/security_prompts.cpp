#include "launcher/security_prompts.h"

#include <exception>
#include <stdexcept>

#include "foundation/browsers.h"
#include "foundation/deploy_lib_loader.h"
#include "foundation/logger.h"
#include "foundation/net_utils.h"
#include "foundation/registry_view.h"
#include "foundation/runtime_home.h"
#include "foundation/tstrings.h"
#include "launcher/browser_launch.h"
#include "launcher/current_runtime.h"
#include "launcher/runtime_registry.h"
#include "launcher/security_prompts_internal.h"
#include "launcher/vendor_registry.h"

namespace security_prompts_internal {
namespace {

PaneFactory g_paneFactory = nullptr;

BrowserActions realBrowserActions() {
    return BrowserActions{&BrowserRestart, &LaunchChrome, &LaunchFirefox, &LaunchIE, &browsers::launchDefault};
}

BrowserActions& browserActions() {
    static BrowserActions actions = realBrowserActions();
    return actions;
}

PostInstallPanes createPanes(RestoreSecurityChoice& choice, SetupCompleteData& record) {
    return g_paneFactory ? g_paneFactory(choice, record) : CreatePostInstallPanes(choice, record);
}

const char kDeployLibError[] = "DeployLibLoaderError in DeployLibLoader constructor ";

// The vendor value as the package leaves it: a REG_SZ in either view.
bool vendorValuePresent(const char* name) {
    char value[2048] = {};
    // One byte is kept back: the value may be stored without its NUL.
    DWORD size = sizeof value - 1;
    return GetRegValueOfStringType(name, value, kTolvaSoftKey, &size) == 1;
}

}  // namespace

PaneFactory setPaneFactoryForTesting(PaneFactory factory) {
    const PaneFactory previous = g_paneFactory;
    g_paneFactory = factory;
    return previous;
}

void setBrowserActionsForTesting(const BrowserActions& actions) {
    const BrowserActions real = realBrowserActions();
    BrowserActions& current = browserActions();
    current.restart = actions.restart ? actions.restart : real.restart;
    current.chrome = actions.chrome ? actions.chrome : real.chrome;
    current.firefox = actions.firefox ? actions.firefox : real.firefox;
    current.ie = actions.ie ? actions.ie : real.ie;
    current.launchDefault = actions.launchDefault ? actions.launchDefault : real.launchDefault;
}

SecurityFacts AskSecurityFacts(const std::string& home) {
    SecurityFacts facts;
    try {
        DeployLibLoader loader(home);
        facts.pluginDisabled = loader.isTolvaPluginDisabled();
        facts.previousDecisions = loader.isPreviousSecurityDecisionsExist();
    } catch (const std::exception& e) {
        TDS_LOG_ERROR("FinishUIInstallationWithSecurityPrompts", "%s%s", kDeployLibError, e.what());
        facts = SecurityFacts();
    }
    return facts;
}

void RunPostInstallPanes(const std::string& home, const SecurityFacts& facts, bool showVerifyPage,
                         bool showSecurityLevelText, const std::string& method, int sponsors) {
    const char* fn = "FinishUIInstallationWithSecurityPrompts";
    RestoreSecurityChoice choice;
    choice.restoreChecked = true;
    choice.restoreShowBack = facts.pluginDisabled;

    SetupCompleteData record;
    InitSetupCompleteData(record, facts.pluginDisabled || facts.previousDecisions,
                          facts.pluginDisabled ? false : showVerifyPage, showSecurityLevelText, sponsors);

    PostInstallPanes panes = createPanes(choice, record);
    std::vector<IDialog*> list;
    if (facts.pluginDisabled) {
        TDS_LOG_INFO(fn, "%s", "Adding TolvaPlugin pane. It will be shown.");
        list.push_back(panes.plugin.get());
    }
    if (facts.previousDecisions) {
        TDS_LOG_INFO(fn, "%s", "Adding  RestoreSecurity pane. It will be shown.");
        list.push_back(panes.restore.get());
    }
    TDS_LOG_INFO(fn, "%s", "The installer will display the Setup Complete dialog");
    list.push_back(panes.complete.get());

    const bool ranToItsEnd = ShowDialogs(list);
    TDS_LOG_INFO(fn, "%s", "The Setup Complete dialog is closed");

    // The restore choice starts ticked: after a sequence that broke off, it
    // is no answer of the user's, and earlier security decisions are never
    // cleared on a question nobody may have seen.
    if (facts.previousDecisions) {
        if (ranToItsEnd)
            ProcessRestoreSecurityData(home, choice.restoreChecked);
        else
            TDS_LOG_WARNING(fn, "%s", "The panes ended early: the earlier security decisions are left as they are");
    }
    ProcessSetupCompleteData(record, method);
}

}  // namespace security_prompts_internal

using namespace security_prompts_internal;

void FinishUIInstallationWithSecurityPrompts(const std::string& home, bool showVerifyPage,
                                             bool showSecurityLevelText, const std::string& method,
                                             int sponsors) {
    const char* fn = "FinishUIInstallationWithSecurityPrompts";
    FunctionTracer trace(Logger::getInstance(), Logger::TRACE, __FILE__, __LINE__, fn, fn);
    // The launcher goes on to its exit code whatever happens here, so
    // nothing may escape: an unexpected error ends only the prompts.
    try {
        const std::string runtimeHome = home.empty() ? GetDefaultKessaInstallLocation() : home;
        const SecurityFacts facts = AskSecurityFacts(runtimeHome);
        RunPostInstallPanes(runtimeHome, facts, showVerifyPage, showSecurityLevelText, method, sponsors);
    } catch (const std::exception& e) {
        TDS_LOG_ERROR(fn, "Exception with message '%s' caught", e.what());
    } catch (...) {
        TDS_LOG_ERROR(fn, "%s", "Unknown exception caught");
    }
}

std::string GetDefaultKessaInstallLocation() {
    char home[MAX_PATH] = {};
    if (!FindTolvaHome(kCurrentRuntimeVersion, home, static_cast<DWORD>(sizeof home), false)) {
        TDS_LOG_ERROR("GetDefaultKessaInstallLocation", "%s", "Cannot determine TolvaHome");
        return std::string();
    }
    return std::string(home);
}

void InitSetupCompleteData(SetupCompleteData& record, bool showBack, bool showVerifyPage,
                           bool showSecurityLevelText, int sponsors) {
    const char* fn = "InitSetupCompleteData";
    record = SetupCompleteData();
    record.restartNow = true;
    record.showBack = showBack;
    record.showSecurityLevelText = showSecurityLevelText;

    if (vendorValuePresent("FIREFOXRESTART")) {
        record.firefoxRestart = true;
        TDS_LOG_INFO(fn, "%s", "The Firefox browser restart flag is set");
    }
    if (vendorValuePresent("IERESTART")) {
        record.ieRestart = true;
        TDS_LOG_INFO(fn, "%s", "The IE browser restart flag is set");
    }
    if (record.firefoxRestart || record.ieRestart) {
        record.restartBrowser = true;
        TDS_LOG_INFO(fn, "%s", "The browser restart flag is set for the final dialog");
        showVerifyPage = false;
    }
    if (!IsRunning32Bit()) {
        TDS_LOG_INFO(fn, "%s", "The installer is 64 bit online, set bShowVerifyPage = FALSE");
        showVerifyPage = false;
    }
    if (!NetUtils::isConnected()) {
        TDS_LOG_INFO(fn, "%s", "Internet Connection not available");
    } else if (showVerifyPage) {
        TDS_LOG_INFO(fn, "%s", "Verify page will be displayed, so show text");
        record.showVerifyText = true;
    }
    if (sponsors > 0) {
        TDS_LOG_INFO(fn, "%s", "The sponsors install flag is set");
        record.sponsorCode = tstrings::format("SP%d", sponsors);
        record.hasSponsor = true;
    }
}

bool ShowDialogs(const std::vector<IDialog*>& panes) {
    const char* fn = "ShowDialogs";
    size_t index = 0;
    while (index < panes.size()) {
        TDS_LOG_INFO(fn, "ShowDialogs: pane index is %d", static_cast<int>(index));
        IDialog* pane = panes[index];
        const INT_PTR result = pane ? pane->ShowModal() : kPaneCannotShow;
        if (result == kPaneNext) {
            ++index;
        } else if (result == kPaneBack) {
            // From the first pane this wraps and ends the run.
            --index;
        } else if (result == kPaneCancel) {
            TDS_LOG_INFO(fn, "%s", "Cancel is pushed, exit ShowDialogs");
            return true;
        } else if (result <= 0) {
            // -1 (the dialog cannot be created) or 0 (no valid owner) would
            // come back on every try: showing it again would never end.
            TDS_LOG_ERROR(fn, "The pane %d could not be shown (result %d), exit ShowDialogs",
                          static_cast<int>(index), static_cast<int>(result));
            return false;
        }
    }
    return true;
}

void ProcessRestoreSecurityData(const std::string& home, bool restoreChecked) {
    const char* fn = "ProcessRestoreSecurityData";
    FunctionTracer trace(Logger::getInstance(), Logger::TRACE, __FILE__, __LINE__, fn, fn);
    try {
        DeployLibLoader loader(home);
        if (restoreChecked) {
            TDS_LOG_INFO(fn, "%s",
                         "Checkbox for restoreSecurityPrompts is selected. Calling deploy to "
                         "doClearUserPreviousDecisions...");
            loader.doClearUserPreviousDecisions();
        } else {
            TDS_LOG_INFO(fn, "%s",
                         "Checkbox for restoreSecurityPrompts is NOT selected. Calling deploy to "
                         "doResetUserPreviousDecisions...");
            loader.doResetUserPreviousDecisions();
        }
    } catch (const std::exception& e) {
        TDS_LOG_ERROR(fn, "%s%s", kDeployLibError, e.what());
    }
}

void ProcessSetupCompleteData(const SetupCompleteData& record, const std::string& method) {
    const char* fn = "ProcessSetupCompleteData";
    FunctionTracer trace(Logger::getInstance(), Logger::TRACE, __FILE__, __LINE__, fn, fn);
    const BrowserActions& actions = browserActions();
    if (record.restartBrowser && record.restartNow) {
        TDS_LOG_INFO(fn, "%s", "The installer will restart browser");
        actions.restart();
    } else {
        if (record.ieRestart)
            DeleteRegValueOfStringType("IERESTART", kTolvaSoftKey);
        if (record.firefoxRestart)
            DeleteRegValueOfStringType("FIREFOXRESTART", kTolvaSoftKey);
    }
    if (!record.showVerifyText)
        return;
    if (tstrings::equals(method, "tchrome", 1))
        actions.chrome();
    else if (tstrings::equals(method, "txpi", 1))
        actions.firefox();
    else if (tstrings::equals(method, "tcab", 1))
        actions.ie();
    else
        actions.launchDefault(kVerifyPageUrl);
}

void ShowFinalDialogForTest(bool showVerifyPage, bool showSecurityLevelText) {
    const char* fn = "ShowFinalDialogForTest";
    try {
        SetupCompleteData record;
        InitSetupCompleteData(record, true, showVerifyPage, showSecurityLevelText, 0);
        RestoreSecurityChoice choice;
        PostInstallPanes panes = createPanes(choice, record);
        if (panes.complete)
            panes.complete->ShowModal();
        ProcessSetupCompleteData(record, std::string());
    } catch (const std::exception& e) {
        TDS_LOG_ERROR(fn, "Exception with message '%s' caught", e.what());
    }
}
