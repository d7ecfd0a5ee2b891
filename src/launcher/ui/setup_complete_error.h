#pragma once
// The error page (dialog 118) shown when the Windows Installer run of an
// interactive install ends with a nonzero exit code.

#include <windows.h>

#include "launcher/ui/dialog_impl.h"
#include "launcher/ui/page_look.h"

namespace ui {

class CSetupCompleteError : public DialogImpl<CSetupCompleteError> {
public:
    enum { IDD = 118 };

    CSetupCompleteError() = default;

    // The installer's exit code the page shows; set before DoModal.
    int32_t errorCode = 0;
    // The help page's address, loaded when the link is used.
    char helpUrl[256] = "";

    // DoModal answers 2 (Close, Escape or the close box) or -1 (the page
    // could not be created).

protected:
    BOOL onInitDialog(HWND defaultFocus, LPARAM initParam) override;
    bool onCommand(WORD id, WORD code, HWND control) override;
    HBRUSH onCtlColor(UINT message, HDC dc, HWND control) override;
    bool onSetCursor(HWND window, UINT hitTest, UINT mouseMessage) override;
    void onDestroy() override;

private:
    void releaseDrawing();
    HMODULE module() const;

    PageLook look_;
    MemoryBitmap icon_;
};

}  // namespace ui
