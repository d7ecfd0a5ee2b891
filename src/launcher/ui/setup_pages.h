#pragma once
// The launcher's modal pages behind one small interface, so the flows that
// show them can run with scripted answers in tests.

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace ui {

// How a page ended: the id of its ending button, or Failed when it could
// not be created.
enum class PageResult : int {
    Failed = -1,
    Next = 1,     // Install, Next, OK
    Cancel = 2,   // Cancel or Close (also Escape and the close box)
    Back = 1029,  // Back
};

// A DoModal answer as a PageResult; answers that name no known button
// count as Failed.
PageResult toPageResult(INT_PTR answer);

class SetupPages {
public:
    virtual ~SetupPages() = default;

    // The welcome page. changeFolder in: shows the "Change destination
    // folder" box checked; out, after Next: whether it was checked (else
    // untouched). Cancel means the user confirmed it and "decline" was
    // written as the install status.
    virtual PageResult welcome(HWND parent, bool& changeFolder) = 0;
    // The destination-folder page, without Back when hideBack. After Next,
    // folder (capacity bytes) holds the chosen folder, cut to fit; otherwise
    // it is untouched.
    virtual PageResult changeFolder(HWND parent, bool hideBack, char* folder, size_t capacity) = 0;
    // The error page with the installer's exit code.
    virtual PageResult setupError(HWND parent, int32_t errorCode) = 0;
};

// The real pages (CWelcomeDialog, CChangeFolder, CSetupCompleteError) from
// the program's own resources.
SetupPages& GetSetupPages();

}  // namespace ui
