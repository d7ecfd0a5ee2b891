#include "launcher/install_wizard.h"

#include "foundation/logger.h"
#include "foundation/tstrings.h"

namespace {

// The welcome page's answer as the wizard's end, or Install to go on. Only
// Cancel is a decline: a page that never showed accepted nothing, and the
// licence it carries was never offered.
WizardOutcome welcomeOutcome(ui::PageResult answer) {
    if (answer == ui::PageResult::Next)
        return WizardOutcome::Install;
    if (answer == ui::PageResult::Failed) {
        TDS_LOG_ERROR("RunInstallWizard", "The welcome page could not be shown");
        return WizardOutcome::Failed;
    }
    return WizardOutcome::Declined;
}

}  // namespace

WizardOutcome RunInstallWizard(ui::SetupPages& pages, HWND parent, bool launchedFromVindel, char* installDir,
                               size_t capacity) {
    using ui::PageResult;
    bool changeFolder = false;
    if (!launchedFromVindel) {
        const WizardOutcome welcome = welcomeOutcome(pages.welcome(parent, changeFolder));
        if (welcome != WizardOutcome::Install)
            return welcome;
    }
    for (;;) {
        if (!changeFolder && !launchedFromVindel)
            return WizardOutcome::Install;
        const PageResult answer = pages.changeFolder(parent, launchedFromVindel, installDir, capacity);
        if (answer == PageResult::Cancel)
            return WizardOutcome::FolderCancelled;
        if (answer != PageResult::Back) {
            if (answer == PageResult::Failed)
                TDS_LOG_ERROR("RunInstallWizard", "The destination folder page could not be shown");
            return WizardOutcome::Install;
        }
        changeFolder = true;
        const WizardOutcome welcome = welcomeOutcome(pages.welcome(parent, changeFolder));
        if (welcome != WizardOutcome::Install)
            return welcome;
    }
}
