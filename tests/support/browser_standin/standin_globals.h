// Process-wide state of the stand-in dll, shared by its parts.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace standin {

HMODULE dllModule();

// Counted by every live control and outstanding class-factory lock.
void objectCreated();
void objectDestroyed();
void lockServer(bool lock);
// Counted by every live page: a page (its script engine, and the document
// and script objects that hold it) can outlive its control.
void pageCreated();
void pageDestroyed();

bool failCreate();
bool holdClientSite();
void holdSite(IUnknown* site);  // takes over one reference
void setLastControlWindow(HWND window);

// Registered messages of the control window (never WM_USER+1/+2, which the
// host uses): the deferred load, and the test hooks marshalled to the
// control's thread.
UINT loadMessage();
UINT clickMessage();
UINT evalMessage();

// What the hook messages carry (lParam), answered in place.
struct ClickRequest {
  const wchar_t* id;
  HRESULT hr;
};
struct EvalRequest {
  const wchar_t* script;
  BSTR result;
  HRESULT hr;
};

}  // namespace standin
