#include "launcher/install_wizard.h"

#include "foundation/logger.h"
#include "foundation/tstrings.h"

WizardOutcome RunInstallWizard(ui::SetupPages& pages, HWND parent, bool launchedFromVindel, char* installDir,
                               size_t capacity) {
    using ui::PageResult;
    bool changeFolder = false;
    if (!launchedFromVindel && pages.welcome(parent, changeFolder) != PageResult::Next)
        return WizardOutcome::Declined;
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
        if (pages.welcome(parent, changeFolder) != PageResult::Next)
            return WizardOutcome::Declined;
    }
}
