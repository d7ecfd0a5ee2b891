// The dll's entry points: the class factory for CLSID_WebBrowser, the
// unload test and the test hooks.
#include <windows.h>
#include <ole2.h>

#include <mutex>
#include <vector>

#include "browser_standin.h"
#include "standin_control.h"
#include "standin_globals.h"

namespace standin {
namespace {

const CLSID kClsidWebBrowser = {0x8856f961, 0x340a, 0x11d0, {0xa9, 0x6b, 0x00, 0xc0, 0x4f, 0xd7, 0x05, 0xa2}};

HMODULE g_module = nullptr;
LONG g_liveControls = 0;
LONG g_livePages = 0;
LONG g_serverLocks = 0;
LONG g_failCreate = 0;
LONG g_holdSites = 0;
HWND g_lastWindow = nullptr;
std::mutex g_heldLock;
std::vector<IUnknown*>& heldSites() {
  static std::vector<IUnknown*> sites;
  return sites;
}

// Long enough for any page handler, short enough that a test whose control
// thread hangs fails instead of hanging too.
const UINT kHookTimeoutMs = 60000;

class ClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // One static factory: its count only keeps the dll loaded.
  STDMETHODIMP_(ULONG) AddRef() override {
    lockServer(true);
    return 2;
  }
  STDMETHODIMP_(ULONG) Release() override {
    lockServer(false);
    return 1;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (failCreate()) return E_FAIL;
    auto* control = new Control();
    HRESULT hr = control->QueryInterface(riid, out);
    control->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    lockServer(lock != FALSE);
    return S_OK;
  }
};

ClassFactory g_factory;

UINT registered(const wchar_t* name) {
  return RegisterWindowMessageW(name);
}

}  // namespace

HMODULE dllModule() { return g_module; }
void objectCreated() { InterlockedIncrement(&g_liveControls); }
void objectDestroyed() { InterlockedDecrement(&g_liveControls); }
void pageCreated() { InterlockedIncrement(&g_livePages); }
void pageDestroyed() { InterlockedDecrement(&g_livePages); }
void lockServer(bool lock) {
  if (lock)
    InterlockedIncrement(&g_serverLocks);
  else
    InterlockedDecrement(&g_serverLocks);
}
bool failCreate() { return InterlockedCompareExchange(&g_failCreate, 0, 0) != 0; }
bool holdClientSite() { return InterlockedCompareExchange(&g_holdSites, 0, 0) != 0; }
void holdSite(IUnknown* site) {
  std::lock_guard<std::mutex> guard(g_heldLock);
  heldSites().push_back(site);
}
void setLastControlWindow(HWND window) { g_lastWindow = window; }
UINT loadMessage() {
  static UINT id = registered(L"BrowserStandin.Load");
  return id;
}
UINT clickMessage() {
  static UINT id = registered(L"BrowserStandin.Click");
  return id;
}
UINT evalMessage() {
  static UINT id = registered(L"BrowserStandin.Eval");
  return id;
}

}  // namespace standin

using namespace standin;

// Nothing but bookkeeping under the loader lock. The window class stays
// registered for the process: the dll is pinned before its first control
// exists (DllGetClassObject), so the class never outlives its window
// procedure, and at process exit user32 work here could wait for a lock held
// by a thread that exit has already ended.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != kClsidWebBrowser) return CLASS_E_CLASSNOTAVAILABLE;
  // COM frees a server dll with the apartment that loaded it: a program whose
  // UI thread ends between two dialogs would load us afresh and lose the
  // scripted run's position. Once served, the dll stays for the process.
  static const bool pinned = [] {
    HMODULE self = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&g_factory), &self) != FALSE;
  }();
  (void)pinned;
  return g_factory.QueryInterface(riid, out);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() {
  std::lock_guard<std::mutex> guard(g_heldLock);
  bool busy = InterlockedCompareExchange(&g_liveControls, 0, 0) != 0 ||
              InterlockedCompareExchange(&g_livePages, 0, 0) != 0 ||
              InterlockedCompareExchange(&g_serverLocks, 0, 0) != 0 || !heldSites().empty();
  return busy ? S_FALSE : S_OK;
}

extern "C" HRESULT StandinClickElement(HWND controlWindow, const wchar_t* id) {
  if (!Control::fromWindow(controlWindow)) return E_INVALIDARG;
  ClickRequest request = {id, E_INVALIDARG};
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(controlWindow, clickMessage(), 0, reinterpret_cast<LPARAM>(&request),
                           SMTO_NORMAL, kHookTimeoutMs, &answer))
    return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
  return answer ? request.hr : E_INVALIDARG;
}

extern "C" HRESULT StandinEval(HWND controlWindow, const wchar_t* script, BSTR* result) {
  if (result) *result = nullptr;
  if (!Control::fromWindow(controlWindow)) return E_INVALIDARG;
  EvalRequest request = {script, nullptr, E_INVALIDARG};
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(controlWindow, evalMessage(), 0, reinterpret_cast<LPARAM>(&request),
                           SMTO_NORMAL, kHookTimeoutMs, &answer))
    return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
  if (result)
    *result = request.result;
  else
    SysFreeString(request.result);
  return answer ? request.hr : E_INVALIDARG;
}

extern "C" void StandinSetFailCreate(int fail) { InterlockedExchange(&g_failCreate, fail ? 1 : 0); }

extern "C" void StandinSetHoldClientSite(int hold) { InterlockedExchange(&g_holdSites, hold ? 1 : 0); }

extern "C" void StandinReleaseHeldSites(void) {
  std::vector<IUnknown*> sites;
  {
    std::lock_guard<std::mutex> guard(g_heldLock);
    sites.swap(heldSites());
  }
  for (IUnknown* site : sites) site->Release();
}

extern "C" LONG StandinLiveObjects(void) { return InterlockedCompareExchange(&g_liveControls, 0, 0); }

extern "C" HWND StandinLastControlWindow(void) { return g_lastWindow; }
