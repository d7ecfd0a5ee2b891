// Test hooks of the stand-in web browser control (browser_standin.dll).
// Link the dll's import library, or use the loader in standin_registration.h.
// Every hook may be called from any thread: the ones that take a control
// window run on the control's own thread (a registered message sent to that
// window) and return when done.
#pragma once

#include <windows.h>
#include <oleauto.h>

#ifdef __cplusplus
extern "C" {
#endif

// A click on the element with that id: a check box toggles `checked`, then
// the click handlers run (the element's own first, then its ancestors').
// S_OK; E_INVALIDARG when the page has no such element or the window is not a
// stand-in control; E_UNEXPECTED without a page.
HRESULT StandinClickElement(HWND controlWindow, const wchar_t* id);

// Evaluates the text in the page's global scope. S_OK and *result = the value
// as JavaScript's String() gives it ("3", "true", "undefined"); a throwing
// script answers DISP_E_EXCEPTION and *result = the error message. *result is
// null when the call did not reach a page. The caller frees *result.
HRESULT StandinEval(HWND controlWindow, const wchar_t* script, BSTR* result);

// While set (non-zero), the class factory's CreateInstance answers E_FAIL.
void StandinSetFailCreate(int fail);

// While set, a control keeps one extra reference on its client site when it
// lets the site go (SetClientSite(NULL), another site, or its own end);
// StandinReleaseHeldSites releases every such reference.
void StandinSetHoldClientSite(int hold);
void StandinReleaseHeldSites(void);

// Number of stand-in controls alive in this process.
LONG StandinLiveObjects(void);

// The child window of the most recently created control (null before any).
HWND StandinLastControlWindow(void);

#ifdef __cplusplus
}
#endif
