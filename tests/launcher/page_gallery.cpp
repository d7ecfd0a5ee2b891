// Shows one of kessa-setup's pages with sample data until told to close it,
// for screenshots (scripts/screenshots.sh). A GUI program: no console.
//
//   page-gallery.exe <page> <ready-file>
//
// page: welcome, folder, folder-long, progress, error, plugin, restore,
// complete, complete-restart. Once the page is up and painted, the program
// writes ready-file; when ready-file is deleted (or after two minutes) it
// ends the page with its forward or closing button and exits with 0. An
// unknown page name exits with 2.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <thread>

#include "common/test_util.h"
#include "common/window_finder.h"
#include "common/window_paint.h"
#include "launcher/security_prompts.h"
#include "launcher/ui/change_folder.h"
#include "launcher/ui/post_install_panes.h"
#include "launcher/ui/setup_complete_error.h"
#include "launcher/ui/setup_progress_dialog.h"
#include "launcher/ui/welcome_dialog.h"

namespace {

// Waits for the page, moves the progress bar on, announces the page through
// the ready file and, once that file is gone, presses endButton.
void drive(const std::string& readyFile, int endButton) {
    HWND page = testutil::waitForWindow(testutil::dialogsOf(), 30000);
    if (!page)
        return;
    HWND bar = GetDlgItem(page, CSetupProgressDialog::kBarControl);
    if (bar)
        PostMessageA(bar, PBM_SETPOS, 420, 0);
    // Announced once the page shows what the picture is to show: the bar
    // moved on and everything drawn.
    (void)testutil::waitFor([&] {
        return (!bar || SendMessageA(bar, PBM_GETPOS, 0, 0) == 420) && testutil::nothingLeftToPaint(page);
    }, 10000);
    HANDLE file = CreateFileA(readyFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    for (int i = 0; i < 1200 && GetFileAttributesA(readyFile.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(endButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, endButton)));
}

int show(const std::string& name, const std::string& readyFile) {
    const bool forward = name == "welcome" || name == "folder" || name == "folder-long" || name == "plugin" ||
                         name == "restore";
    std::thread driver(drive, readyFile, forward ? IDOK : IDCANCEL);
    if (name == "welcome") {
        ui::CWelcomeDialog page;
        page.DoModal(nullptr);
    } else if (name == "folder" || name == "folder-long") {
        ui::CChangeFolder page;
        if (name == "folder-long")
            lstrcpynA(page.folder,
                      "C:\\Program Files\\Example Corporation\\Shared Components\\Runtime Environments\\"
                      "Tolva\\kessa9.1.4_12\\",
                      sizeof page.folder);
        page.DoModal(nullptr);
    } else if (name == "progress") {
        CSetupProgressDialog page(0);
        page.DoModal(nullptr);
    } else if (name == "error") {
        ui::CSetupCompleteError page;
        page.errorCode = 1603;
        page.DoModal(nullptr);
    } else if (name == "plugin") {
        CTolvaPluginDialog page;
        page.ShowModal();
    } else if (name == "restore") {
        RestoreSecurityChoice choice;
        choice.restoreShowBack = true;
        CRestoreSecurityDialog page(&choice);
        page.ShowModal();
    } else if (name == "complete" || name == "complete-restart") {
        SetupCompleteData record;
        record.showBack = true;
        record.showSecurityLevelText = name == "complete";
        record.restartBrowser = name == "complete-restart";
        record.ieRestart = record.restartBrowser;
        CSetupComplete page(&record);
        page.ShowModal();
    } else {
        driver.detach();
        return 2;
    }
    driver.join();
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 3)
        return 2;
    return show(__argv[1], __argv[2]);
}
