#pragma once
// The welcome and destination-folder pages as an interactive install walks
// through them.

#include <windows.h>

#include <cstddef>

#include "launcher/ui/setup_pages.h"

// How the pages ended.
enum class WizardOutcome {
    Install,          // go on with the install
    Declined,         // the welcome page was not accepted: exit 0, no ping
    FolderCancelled,  // cancel on the folder page: ping -20/-99, then exit 0
    Failed,           // a welcome page could not be shown (logged at ERROR):
                      // nothing was accepted or installed, exit -1
};

// Shows the welcome page (skipped, as if accepted, when launchedFromVindel),
// then the folder page when the user asked for it or launchedFromVindel
// (then without Back); Back returns to a welcome page with the box checked.
// installDir (capacity bytes) gets the folder of a folder page that ended
// with Next and is untouched otherwise. A folder page that cannot be created
// leaves the folder to the installer's default; a welcome page that cannot be
// created ends the wizard with Failed.
WizardOutcome RunInstallWizard(ui::SetupPages& pages, HWND parent, bool launchedFromVindel, char* installDir,
                               size_t capacity);
