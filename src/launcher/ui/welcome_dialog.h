#pragma once
// The welcome page (dialog 110): licence and data-collection links, and the
// choice to pick another destination folder.

#include "launcher/ui/dialog_impl.h"
#include "launcher/ui/page_look.h"

namespace ui {

class CWelcomeDialog : public DialogImpl<CWelcomeDialog> {
public:
    enum { IDD = 110 };

    CWelcomeDialog() = default;

    // In: shows the "Change destination folder" box checked. Out (after
    // Install): whether the box was checked when Install was pressed.
    bool changeFolder = false;
    // Hides the check box.
    bool hideChangeFolderOption = false;

    // DoModal answers 1 (Install), 2 (cancel confirmed; InstallStatus is
    // then "decline") or -1 (the page could not be created).

protected:
    BOOL onInitDialog(HWND defaultFocus, LPARAM initParam) override;
    bool onCommand(WORD id, WORD code, HWND control) override;
    bool onNotify(int id, NMHDR* header, LRESULT& result) override;
    HBRUSH onCtlColor(UINT message, HDC dc, HWND control) override;
    void onDestroy() override;

private:
    HMODULE module() const;

    PageLook look_;
};

}  // namespace ui
