#pragma once
// Seams of the HTTP client for tests.

#include <windows.h>
#include <wininet.h>

namespace http_internal {

// Shows WinINet's dialog for error on request and returns its answer; the
// real one is InternetErrorDlg on the desktop window.
using ErrorDialogFn = DWORD (*)(HINTERNET request, DWORD error);

// Replaces the dialog; null restores the real one. Returns the previous one.
ErrorDialogFn setErrorDialogForTesting(ErrorDialogFn dialog);

}  // namespace http_internal
