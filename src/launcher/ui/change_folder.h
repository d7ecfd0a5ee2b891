#pragma once
// The destination-folder page (dialog 113): shows the folder the runtime
// goes to and lets the user browse for another.

#include <windows.h>

#include "launcher/ui/dialog_impl.h"
#include "launcher/ui/page_look.h"

namespace ui {

class CChangeFolder : public DialogImpl<CChangeFolder> {
public:
    enum { IDD = 113 };

    // folder starts as the configured INSTALLDIR (cut to 259 characters), or
    // else "<ProgramFilesDir>\Tolva\kessa<version>\", or else empty.
    CChangeFolder();

    // The destination folder; read it back after Next.
    char folder[MAX_PATH] = "";
    // Hides the Back button.
    bool hideBack = false;

    // DoModal answers 1 (Next), 1029 (Back), 2 (cancel confirmed) or -1 (the
    // page could not be created).

protected:
    BOOL onInitDialog(HWND defaultFocus, LPARAM initParam) override;
    bool onCommand(WORD id, WORD code, HWND control) override;
    HBRUSH onCtlColor(UINT message, HDC dc, HWND control) override;
    void onDestroy() override;

private:
    void browse();
    void releaseDrawing();
    HMODULE module() const;

    PageLook look_;
    ScopedFont font8_;  // the folder's own text
};

// The folder suggested when nothing is configured:
// "<ProgramFilesDir>\Tolva\kessa<version>\" from HKLM
// "SOFTWARE\Microsoft\Windows\CurrentVersion" "ProgramFilesDir" (a REG_SZ or
// REG_EXPAND_SZ of at most 261 bytes ending in NUL). Empty when the value is
// missing or unusable, empty text (no data, or only NULs) included.
std::string SuggestedInstallFolder();

// The folder as the page shows it: without trailing backslashes, except
// after a drive ("C:\"). The page shows it with a path ellipsis, which keeps
// the text after the last backslash whole: with a trailing backslash that
// would be nothing, and the version folder would be what is cut.
std::string DisplayedFolder(const std::string& folder);

}  // namespace ui
