// The stand-in web browser control, driven the way the HTML engine drives
// it: registered as CLSID_WebBrowser in the prefix, created with
// CoCreateInstance, hosted by a small OLE container on a real window of this
// (single-threaded apartment) thread, serving this program's RT_HTML pages.
#include <gtest/gtest.h>

#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>
#include <mshtml.h>
#include <ole2.h>
#include <olectl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/files.h"
#include "common/program_folder.h"
#include "common/scoped_environment.h"
#include "common/text_conversion.h"
#include "support/browser_standin/browser_standin.h"
#include "support/browser_standin/standin_registration.h"

namespace {

const CLSID kClsidWebBrowser = {0x8856f961, 0x340a, 0x11d0, {0xa9, 0x6b, 0x00, 0xc0, 0x4f, 0xd7, 0x05, 0xa2}};
const IID kDiidWebBrowserEvents2 = {0x34a715a0, 0x6587, 0x11d0, {0x92, 0x4a, 0x00, 0x20, 0xaf, 0xc7, 0xac, 0x4d}};
const LONG kResourceNotFound = static_cast<LONG>(0x800C0005);

// ---- helpers ------------------------------------------------------------

[[nodiscard]] bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// Dispatches for ms: a time in which something that must not happen would.
void pumpFor(DWORD ms) {
  DWORD start = GetTickCount();
  (void)pumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

// res:// base of a module path, encoded as the engine builds it.
std::wstring resBase(const std::wstring& module) {
  std::wstring out = L"res://";
  for (wchar_t c : module) {
    if (c == L'\\')
      out += L"%5C";
    else if (c == L' ')
      out += L"%20";
    else
      out += c;
  }
  return out + L"/";
}

std::wstring variantText(const VARIANT& value) {
  VARIANT text;
  VariantInit(&text);
  std::wstring out;
  if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR)))
    out.assign(text.bstrVal, SysStringLen(text.bstrVal));
  VariantClear(&text);
  return out;
}

std::wstring tempPath(const std::wstring& name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + name + L"_" + std::to_wstring(GetCurrentProcessId());
}

// ---- the page's external object -----------------------------------------

struct ExternalCall {
  std::wstring name;
  std::vector<VARTYPE> types;        // in call order
  std::vector<std::wstring> values;  // in call order
};

class External final : public IDispatch {
 public:
  std::vector<ExternalCall> calls;
  std::function<void(const ExternalCall&)> onCall;  // runs inside the page's call

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // owned by the test
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_FAIL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (DISPID id = 0; id < 4; ++id)
        if (wcscmp(names[i], kNames[id]) == 0) ids[i] = id + 1;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if (!(flags & DISPATCH_METHOD)) return E_FAIL;
    if (id < 1 || id > 4) return DISP_E_MEMBERNOTFOUND;
    ExternalCall call;
    call.name = kNames[id - 1];
    for (UINT i = params->cArgs; i-- > 0;) {
      call.types.push_back(params->rgvarg[i].vt);
      call.values.push_back(variantText(params->rgvarg[i]));
    }
    calls.push_back(call);
    if (onCall) onCall(call);
    if (result) {
      VariantInit(result);
      if (id == 3) {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(L"de");
      }
    }
    return S_OK;
  }

  LONG refs = 1;

 private:
  static constexpr const wchar_t* kNames[4] = {L"notify", L"log", L"getLocale", L"setWindowProp"};
};
constexpr const wchar_t* External::kNames[4];

// ---- the container --------------------------------------------------------

struct Event {
  DISPID id;
  std::vector<VARTYPE> types;  // in call order
  std::wstring url;            // the URL argument, when it is a BYREF VARIANT holding a BSTR
  LONG status = 0;             // NavigateError's status code
  DWORD thread = 0;
  DWORD tick = 0;
};

class Host final : public IOleClientSite, public IOleInPlaceSite, public IDocHostUIHandler, public IDispatch {
 public:
  HWND window = nullptr;
  IUnknown* control = nullptr;
  IWebBrowser2* browser = nullptr;
  IOleObject* ole = nullptr;
  DWORD cookie = 0;
  std::vector<Event> events;
  External* external = nullptr;  // what GetExternal answers (may be null)
  bool cancelHashUrls = true;    // as the engine does: a URL ending in "#" is cancelled
  bool cancelAll = false;
  bool clearSiteOnDestroy = true;  // SetClientSite(NULL) after Close
  int hostInfoCalls = 0;
  int uiActivations = 0;
  std::function<void(DISPID)> onEvent;  // runs inside the event, before it is recorded
  LONG refs = 1;

  explicit Host(HWND hostWindow) : window(hostWindow) {}

  ~Host() { destroyControl(); }

  HRESULT createControl() {
    HRESULT hr = CoCreateInstance(kClsidWebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&control));
    if (FAILED(hr)) return hr;
    if (FAILED(hr = control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) return hr;
    if (FAILED(hr = control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)))) return hr;
    if (FAILED(hr = ole->SetClientSite(this))) return hr;
    RECT client;
    GetClientRect(window, &client);
    if (FAILED(hr = ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, window, &client))) return hr;
    IConnectionPointContainer* container = nullptr;
    if (FAILED(hr = control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))))
      return hr;
    IConnectionPoint* point = nullptr;
    hr = container->FindConnectionPoint(kDiidWebBrowserEvents2, &point);
    container->Release();
    if (FAILED(hr)) return hr;
    hr = point->Advise(static_cast<IDispatch*>(this), &cookie);
    point->Release();
    return hr;
  }

  void destroyControl() {
    if (!control) return;
    IConnectionPointContainer* container = nullptr;
    if (cookie && SUCCEEDED(control->QueryInterface(IID_IConnectionPointContainer,
                                                    reinterpret_cast<void**>(&container)))) {
      IConnectionPoint* point = nullptr;
      if (SUCCEEDED(container->FindConnectionPoint(kDiidWebBrowserEvents2, &point))) {
        point->Unadvise(cookie);
        point->Release();
      }
      container->Release();
    }
    cookie = 0;
    if (ole) {
      ole->Close(OLECLOSE_NOSAVE);
      if (clearSiteOnDestroy) ole->SetClientSite(nullptr);
      ole->Release();
      ole = nullptr;
    }
    if (browser) browser->Release();
    browser = nullptr;
    control->Release();
    control = nullptr;
  }

  HWND controlWindow() {
    HWND child = nullptr;
    IOleWindow* oleWindow = nullptr;
    if (control && SUCCEEDED(control->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&oleWindow)))) {
      oleWindow->GetWindow(&child);
      oleWindow->Release();
    }
    return child;
  }

  HRESULT navigate(const std::wstring& url) {
    BSTR address = SysAllocString(url.c_str());
    VARIANT flags, empty;
    VariantInit(&flags);
    VariantInit(&empty);
    flags.vt = VT_I4;
    flags.lVal = navNoHistory;
    HRESULT hr = browser->Navigate(address, &flags, &empty, &empty, &empty);
    SysFreeString(address);
    return hr;
  }

  bool has(DISPID id) const {
    for (const Event& e : events)
      if (e.id == id) return true;
    return false;
  }

  const Event* find(DISPID id) const {
    for (const Event& e : events)
      if (e.id == id) return &e;
    return nullptr;
  }

  // Navigates and waits for DocumentComplete or NavigateError.
  bool load(const std::wstring& url) {
    events.clear();
    if (FAILED(navigate(url))) return false;
    return pumpUntil([&] { return has(DISPID_DOCUMENTCOMPLETE) || has(DISPID_NAVIGATEERROR); });
  }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
      *out = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IDocHostUIHandler)
      *out = static_cast<IDocHostUIHandler*>(this);
    else if (riid == IID_IDispatch || riid == kDiidWebBrowserEvents2)
      *out = static_cast<IDispatch*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // owned by the test

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP GetWindow(HWND* out) override {
    *out = window;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override {
    ++uiActivations;
    return S_OK;
  }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT position, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
    *frame = nullptr;
    *doc = nullptr;
    GetClientRect(window, position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = window;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return E_NOTIMPL; }

  // IDocHostUIHandler
  STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_OK; }
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override {
    ++hostInfoCalls;
    info->dwFlags = 0x40005;
    info->dwDoubleClick = 0;
    return S_OK;
  }
  STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                      IOleInPlaceUIWindow*) override {
    return S_OK;
  }
  STDMETHODIMP HideUI() override { return S_OK; }
  STDMETHODIMP UpdateUI() override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
  STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD) override {
    *key = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget** target) override {
    *target = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetExternal(IDispatch** out) override {
    *out = external;
    if (external) external->AddRef();
    return S_OK;
  }
  STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }

  // DWebBrowserEvents2
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_FAIL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    Event event;
    event.id = id;
    event.thread = GetCurrentThreadId();
    event.tick = GetTickCount();
    for (UINT i = params->cArgs; i-- > 0;) event.types.push_back(params->rgvarg[i].vt);
    // The URL is the second argument of every navigation event.
    if (params->cArgs >= 2) {
      const VARIANT& url = params->rgvarg[params->cArgs - 2];
      if (url.vt == (VT_VARIANT | VT_BYREF) && url.pvarVal && url.pvarVal->vt == VT_BSTR)
        event.url.assign(url.pvarVal->bstrVal, SysStringLen(url.pvarVal->bstrVal));
    }
    if (id == DISPID_NAVIGATEERROR && params->cArgs == 5) {
      const VARIANT& status = params->rgvarg[1];
      if (status.vt == (VT_VARIANT | VT_BYREF) && status.pvarVal->vt == VT_I4) event.status = status.pvarVal->lVal;
    }
    if (id == DISPID_BEFORENAVIGATE2 && params->cArgs == 7 && params->rgvarg[0].vt == (VT_BOOL | VT_BYREF)) {
      bool hash = !event.url.empty() && event.url.back() == L'#';
      if (cancelAll || (cancelHashUrls && hash)) *params->rgvarg[0].pboolVal = VARIANT_TRUE;
    }
    if (id == DISPID_NAVIGATEERROR && params->cArgs == 5 && params->rgvarg[0].vt == (VT_BOOL | VT_BYREF))
      *params->rgvarg[0].pboolVal = VARIANT_TRUE;
    if (onEvent) onEvent(id);
    events.push_back(event);
    return S_OK;
  }
};

// ---- the fixture ----------------------------------------------------------

class BrowserStandinTest : public ::testing::Test {
 protected:
  // One visible host window for the whole suite: Wine waits up to two
  // seconds for the X server to unmap a top-level window when there is no
  // window manager, so every window destroyed costs that much.
  static void SetUpTestSuite() {
    OleInitialize(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"StandinTestHost";
    RegisterClassW(&wc);
    hostWindow_ = CreateWindowExW(0, L"StandinTestHost", L"stand-in host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                  50, 50, 480, 360, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(hostWindow_, SW_SHOW);
    ASSERT_TRUE(RegisterBrowserStandin(BrowserStandinPath()));
  }
  static void TearDownTestSuite() {
    // Every page's script engine is closed while COM is still up here.
    EXPECT_EQ(canUnloadNow(), S_OK) << "a stand-in object outlived the suite";
    UnregisterBrowserStandin();
    DestroyWindow(hostWindow_);
    hostWindow_ = nullptr;
    UnregisterClassW(L"StandinTestHost", GetModuleHandleW(nullptr));
    OleUninitialize();
  }

  // The dll's own answer to whether anything of it is alive: controls,
  // pages (with the documents that hold them), held sites, factory locks.
  static HRESULT canUnloadNow() {
    using CanUnloadNow = HRESULT(__stdcall*)();
    auto canUnload = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"browser_standin.dll"), "DllCanUnloadNow")));
    return canUnload ? canUnload() : E_NOTIMPL;
  }

  void SetUp() override {
    liveBefore_ = StandinLiveObjects();
    host_ = new Host(hostWindow_);
    host_->external = &external_;
  }

  void TearDown() override {
    // A test that stopped half-way may leave its control alive and sites
    // held. Holding ends before the control does (or it would hold one more),
    // and held sites are released while the host they point into still
    // exists.
    StandinSetFailCreate(0);
    StandinSetHoldClientSite(0);
    host_->destroyControl();
    StandinReleaseHeldSites();
    delete host_;
    host_ = nullptr;
    EXPECT_EQ(StandinLiveObjects(), liveBefore_) << "a control outlived its host";
    EXPECT_EQ(canUnloadNow(), S_OK) << "a page, held site or factory lock outlived its test";
  }

  std::wstring page(const std::wstring& name) { return resBase(testutil::selfPathWide()) + name; }

  void loadPage(const std::wstring& name) {
    ASSERT_HRESULT_SUCCEEDED(host_->createControl());
    ASSERT_TRUE(host_->load(page(name))) << "no DocumentComplete for " << testutil::toUtf8(name);
    ASSERT_TRUE(host_->has(DISPID_DOCUMENTCOMPLETE)) << testutil::toUtf8(name) << " failed to load";
  }

  // The text of a script evaluated through the test hook.
  std::wstring eval(const std::wstring& script) {
    BSTR result = nullptr;
    HRESULT hr = StandinEval(host_->controlWindow(), script.c_str(), &result);
    std::wstring text = result ? std::wstring(result, SysStringLen(result)) : std::wstring();
    SysFreeString(result);
    EXPECT_HRESULT_SUCCEEDED(hr) << testutil::toUtf8(script) << ": " << testutil::toUtf8(text);
    return text;
  }

  // Through the document the way the engine goes: get_Document,
  // IHTMLDocument2::get_Script, "eval".
  HRESULT evalThroughDocument(const wchar_t* script, VARIANT* result, EXCEPINFO* error) {
    IDispatch* documentDispatch = nullptr;
    HRESULT hr = host_->browser->get_Document(&documentDispatch);
    if (hr != S_OK || !documentDispatch) return hr == S_OK ? E_POINTER : hr;
    IHTMLDocument2* document = nullptr;
    hr = documentDispatch->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document));
    documentDispatch->Release();
    if (FAILED(hr)) return hr;
    IDispatch* scriptObject = nullptr;
    hr = document->get_Script(&scriptObject);
    document->Release();
    if (FAILED(hr)) return hr;
    LPOLESTR name = const_cast<LPOLESTR>(L"eval");
    DISPID id = DISPID_UNKNOWN;
    hr = scriptObject->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, &id);
    if (SUCCEEDED(hr)) {
      VARIANT arg;
      arg.vt = VT_BSTR;
      arg.bstrVal = SysAllocString(script);
      DISPPARAMS params = {&arg, nullptr, 1, 0};
      hr = scriptObject->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, result, error,
                                nullptr);
      VariantClear(&arg);
    }
    scriptObject->Release();
    return hr;
  }

  static HWND hostWindow_;
  Host* host_ = nullptr;
  External external_;
  LONG liveBefore_ = 0;
  // The stand-in's log for the tests that read it; unset again after TearDown.
  testutil::ScopedEnvironment standinLog_{L"BROWSER_STANDIN_LOG"};
};

HWND BrowserStandinTest::hostWindow_ = nullptr;

// ---- registration and creation ---------------------------------------------

TEST_F(BrowserStandinTest, Registration_ServesWebBrowserClassAndRestoresPreviousServer) {
  // The suite registered the stand-in; the previous server is what it found.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, browser_standin_detail::serverKeyPath(), 0,
                          KEY_READ | KEY_WOW64_64KEY, &key),
            ERROR_SUCCESS);
  std::wstring path, model;
  ASSERT_TRUE(browser_standin_detail::readText(key, nullptr, &path, nullptr));
  ASSERT_TRUE(browser_standin_detail::readText(key, L"ThreadingModel", &model, nullptr));
  RegCloseKey(key);
  EXPECT_EQ(path, BrowserStandinPath());
  EXPECT_EQ(model, L"Apartment");

  const browser_standin_detail::SavedServer before = browser_standin_detail::savedServer();
  UnregisterBrowserStandin();
  std::wstring restored;
  bool hasValue = false;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, browser_standin_detail::serverKeyPath(), 0, KEY_READ | KEY_WOW64_64KEY,
                    &key) == ERROR_SUCCESS) {
    hasValue = browser_standin_detail::readText(key, nullptr, &restored, nullptr);
    RegCloseKey(key);
  }
  EXPECT_EQ(hasValue, before.hadPath);
  if (before.hadPath) {
    EXPECT_EQ(restored, before.path);
  }
  EXPECT_NE(restored, BrowserStandinPath());
  ASSERT_TRUE(RegisterBrowserStandin(BrowserStandinPath()));
}

TEST_F(BrowserStandinTest, CoCreateInstance_GivesControlWithEveryHostInterface) {
  ASSERT_HRESULT_SUCCEEDED(host_->createControl());
  EXPECT_EQ(StandinLiveObjects(), liveBefore_ + 1);
  const IID* interfaces[] = {&IID_IWebBrowser2, &IID_IWebBrowserApp, &IID_IWebBrowser, &IID_IDispatch,
                             &IID_IOleObject, &IID_IOleInPlaceObject, &IID_IOleInPlaceActiveObject,
                             &IID_IOleWindow, &IID_IViewObject, &IID_IConnectionPointContainer};
  for (const IID* iid : interfaces) {
    IUnknown* face = nullptr;
    EXPECT_HRESULT_SUCCEEDED(host_->control->QueryInterface(*iid, reinterpret_cast<void**>(&face)));
    if (face) face->Release();
  }
  IUnknown* none = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(host_->control->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&none)), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(host_->hostInfoCalls, 1);

  // Its window is a child of the host's window, where the site put it.
  HWND child = host_->controlWindow();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetParent(child), host_->window);
  EXPECT_TRUE(IsWindowVisible(child));
  EXPECT_EQ(StandinLastControlWindow(), child);
  RECT client, placed;
  GetClientRect(host_->window, &client);
  GetClientRect(child, &placed);
  EXPECT_EQ(placed.right, client.right);
  EXPECT_EQ(placed.bottom, client.bottom);
}

TEST_F(BrowserStandinTest, CoCreateInstance_FailsWhileFailCreateIsSet) {
  StandinSetFailCreate(1);
  IUnknown* control = nullptr;
  EXPECT_EQ(CoCreateInstance(kClsidWebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&control)),
            E_FAIL);
  EXPECT_EQ(control, nullptr);
  EXPECT_EQ(StandinLiveObjects(), liveBefore_);
  StandinSetFailCreate(0);
  EXPECT_HRESULT_SUCCEEDED(host_->createControl());
}

TEST_F(BrowserStandinTest, ClassFactory_ServesRegisteredClassObject) {
  IClassFactory* factory = nullptr;
  ASSERT_HRESULT_SUCCEEDED(BrowserStandinClassFactory(&factory));
  DWORD registration = 0;
  ASSERT_HRESULT_SUCCEEDED(
      CoRegisterClassObject(kClsidWebBrowser, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &registration));
  EXPECT_HRESULT_SUCCEEDED(host_->createControl());
  EXPECT_EQ(StandinLiveObjects(), liveBefore_ + 1);
  CoRevokeClassObject(registration);
  factory->Release();
}

TEST_F(BrowserStandinTest, Release_WithHeldSiteKeepsSiteUntilReleased) {
  for (bool clearSite : {true, false}) {
    SCOPED_TRACE(clearSite ? "SetClientSite(NULL) after Close" : "Close only");
    StandinSetHoldClientSite(1);
    host_->clearSiteOnDestroy = clearSite;
    LONG siteRefs = host_->refs;
    ASSERT_HRESULT_SUCCEEDED(host_->createControl());
    host_->destroyControl();
    EXPECT_EQ(StandinLiveObjects(), liveBefore_);
    EXPECT_EQ(host_->refs, siteRefs + 1) << "the held reference on the client site";
    StandinReleaseHeldSites();
    EXPECT_EQ(host_->refs, siteRefs);
  }
}

TEST_F(BrowserStandinTest, Release_DropsEveryReferenceOnHostAndExternal) {
  LONG siteRefs = host_->refs, externalRefs = external_.refs;
  loadPage(L"EXTERNAL.HTML");
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "a control is alive";
  host_->destroyControl();
  EXPECT_EQ(host_->refs, siteRefs);
  EXPECT_EQ(external_.refs, externalRefs);
  EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(BrowserStandinTest, Release_DocumentKeptByHostHoldsClosedPageUntilReleased) {
  LONG externalRefs = external_.refs;
  loadPage(L"EXTERNAL.HTML");
  IDispatch* document = nullptr;
  ASSERT_EQ(host_->browser->get_Document(&document), S_OK);
  ASSERT_NE(document, nullptr);
  host_->destroyControl();
  EXPECT_EQ(StandinLiveObjects(), liveBefore_);
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "the page lives on in the document the host keeps";
  // Its engine closed with the control: the page's script answers no more
  // and the host's external object is let go.
  EXPECT_EQ(external_.refs, externalRefs);
  IHTMLDocument2* html = nullptr;
  ASSERT_HRESULT_SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html)));
  IDispatch* script = nullptr;
  ASSERT_HRESULT_SUCCEEDED(html->get_Script(&script));
  LPOLESTR name = const_cast<LPOLESTR>(L"eval");
  DISPID id = DISPID_UNKNOWN;
  ASSERT_HRESULT_SUCCEEDED(script->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, &id));
  VARIANT arg, result;
  arg.vt = VT_BSTR;
  arg.bstrVal = SysAllocString(L"1+2");
  VariantInit(&result);
  DISPPARAMS params = {&arg, nullptr, 1, 0};
  EXPECT_EQ(script->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
            E_UNEXPECTED);
  VariantClear(&arg);
  VariantClear(&result);
  script->Release();
  html->Release();
  document->Release();
  EXPECT_EQ(canUnloadNow(), S_OK);
}

// ---- navigation -----------------------------------------------------------

struct NavigationCase {
  const char* label;
  std::wstring url;  // after the module's base, or a whole URL when it has "://"
  std::vector<DISPID> events;
  bool complete;
};

class NavigationTest : public BrowserStandinTest, public ::testing::WithParamInterface<NavigationCase> {};

TEST_P(NavigationTest, Navigate_FiresEventsInOrderWithRealLayouts) {
  const NavigationCase& c = GetParam();
  ASSERT_HRESULT_SUCCEEDED(host_->createControl());
  std::wstring url = c.url.find(L"://") != std::wstring::npos ? c.url : page(c.url);
  host_->events.clear();
  ASSERT_HRESULT_SUCCEEDED(host_->navigate(url));
  EXPECT_TRUE(pumpUntil([&] { return host_->has(c.events.back()); }, 5000));
  pumpFor(200);  // nothing may follow

  std::vector<DISPID> seen;
  for (const Event& e : host_->events) seen.push_back(e.id);
  EXPECT_EQ(seen, c.events);
  for (const Event& e : host_->events) {
    EXPECT_EQ(e.thread, GetCurrentThreadId()) << "events fire on the control's thread";
    EXPECT_EQ(e.url, url) << "event " << e.id << " carries the URL as a BYREF VARIANT BSTR";
    std::vector<VARTYPE> expected;
    switch (e.id) {
      case DISPID_BEFORENAVIGATE2:
        expected = {VT_DISPATCH, VT_VARIANT | VT_BYREF, VT_VARIANT | VT_BYREF, VT_VARIANT | VT_BYREF,
                    VT_VARIANT | VT_BYREF, VT_VARIANT | VT_BYREF, VT_BOOL | VT_BYREF};
        break;
      case DISPID_NAVIGATECOMPLETE2:
      case DISPID_DOCUMENTCOMPLETE:
        expected = {VT_DISPATCH, VT_VARIANT | VT_BYREF};
        break;
      case DISPID_NAVIGATEERROR:
        expected = {VT_DISPATCH, VT_VARIANT | VT_BYREF, VT_VARIANT | VT_BYREF, VT_VARIANT | VT_BYREF,
                    VT_BOOL | VT_BYREF};
        EXPECT_EQ(e.status, kResourceNotFound);
        break;
    }
    EXPECT_EQ(e.types, expected) << "argument layout of event " << e.id;
  }

  IDispatch* document = reinterpret_cast<IDispatch*>(1);
  HRESULT hr = host_->browser->get_Document(&document);
  if (c.complete) {
    EXPECT_EQ(hr, S_OK);
    EXPECT_NE(document, nullptr);
  } else {
    EXPECT_EQ(document, nullptr);
  }
  if (document) document->Release();
}

INSTANTIATE_TEST_SUITE_P(
    Pages, NavigationTest,
    ::testing::Values(
        NavigationCase{"page", L"MAIN.HTML",
                       {DISPID_BEFORENAVIGATE2, DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE}, true},
        NavigationCase{"lower case name", L"second.html",
                       {DISPID_BEFORENAVIGATE2, DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE}, true},
        NavigationCase{"fragment", L"MAIN.HTML#part",
                       {DISPID_BEFORENAVIGATE2, DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE}, true},
        NavigationCase{"missing page", L"MISSING.HTML", {DISPID_BEFORENAVIGATE2, DISPID_NAVIGATEERROR}, false},
        NavigationCase{"missing module", L"res://C:%5Cno%20such%20dir%5Cnone.exe/MAIN.HTML",
                       {DISPID_BEFORENAVIGATE2, DISPID_NAVIGATEERROR}, false},
        NavigationCase{"cancelled by the host", L"MAIN.HTML#", {DISPID_BEFORENAVIGATE2}, false}),
    [](const ::testing::TestParamInfo<NavigationCase>& info) {
      std::string name;
      for (const char* p = info.param.label; *p; ++p)
        if (isalnum(static_cast<unsigned char>(*p))) name += *p;
      return name;
    });

TEST_F(BrowserStandinTest, Navigate_ServesPagesOfAnotherModuleByEncodedPath) {
  // A copy of this program in a folder with a blank: its path reaches the
  // stand-in percent-encoded, and its resources are read as a data file.
  std::wstring dir = tempPath(L"standin pages");
  CreateDirectoryW(dir.c_str(), nullptr);
  std::wstring copy = dir + L"\\page carrier.exe";
  ASSERT_TRUE(CopyFileW(testutil::selfPathWide().c_str(), copy.c_str(), FALSE));
  ASSERT_HRESULT_SUCCEEDED(host_->createControl());
  std::wstring url = resBase(copy) + L"PLAIN.HTML";
  EXPECT_NE(url.find(L"%20"), std::wstring::npos);
  EXPECT_TRUE(host_->load(url));
  EXPECT_TRUE(host_->has(DISPID_DOCUMENTCOMPLETE));
  EXPECT_EQ(eval(L"document.getElementById('text').innerText"), L"Only text here.");
  host_->destroyControl();
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(dir.c_str());
}

TEST_F(BrowserStandinTest, Navigate2_LoadsPageFromVariantUrl) {
  ASSERT_HRESULT_SUCCEEDED(host_->createControl());
  VARIANT url, empty;
  VariantInit(&url);
  VariantInit(&empty);
  url.vt = VT_BSTR;
  url.bstrVal = SysAllocString(page(L"SECOND.HTML").c_str());
  ASSERT_HRESULT_SUCCEEDED(host_->browser->Navigate2(&url, &empty, &empty, &empty, &empty));
  VariantClear(&url);
  ASSERT_TRUE(pumpUntil([&] { return host_->has(DISPID_DOCUMENTCOMPLETE); }));
  BSTR location = nullptr;
  EXPECT_HRESULT_SUCCEEDED(host_->browser->get_LocationURL(&location));
  EXPECT_EQ(std::wstring(location ? location : L""), page(L"SECOND.HTML"));
  SysFreeString(location);
  READYSTATE state = READYSTATE_UNINITIALIZED;
  EXPECT_HRESULT_SUCCEEDED(host_->browser->get_ReadyState(&state));
  EXPECT_EQ(state, READYSTATE_COMPLETE);
}

TEST_F(BrowserStandinTest, Navigate_CancelledKeepsPreviousPage) {
  loadPage(L"MAIN.HTML");
  host_->cancelAll = true;
  host_->events.clear();
  ASSERT_HRESULT_SUCCEEDED(host_->navigate(page(L"SECOND.HTML")));
  pumpFor(300);
  EXPECT_FALSE(host_->has(DISPID_DOCUMENTCOMPLETE));
  EXPECT_EQ(eval(L"document.title"), L"Stand-in main page");
}

TEST_F(BrowserStandinTest, Navigate_NavigateCompleteComesBeforeThePageScripts) {
  // As in the system's control: the document exists (still loading) at
  // NavigateComplete2, the page's scripts and load handler run after it, and
  // DocumentComplete follows them.
  ASSERT_HRESULT_SUCCEEDED(host_->createControl());
  std::vector<std::wstring> seen;
  host_->onEvent = [&](DISPID id) {
    if (id != DISPID_NAVIGATECOMPLETE2) return;
    VARIANT state;
    VariantInit(&state);
    EXCEPINFO error = {};
    HRESULT hr = evalThroughDocument(L"document.readyState + ' ' + typeof external", &state, &error);
    seen.push_back(L"navigated " + (SUCCEEDED(hr) ? variantText(state) : std::wstring(L"no document")));
    VariantClear(&state);
  };
  external_.onCall = [&](const ExternalCall& call) {
    std::wstring at = call.values.empty() ? L"?" : call.values[0];
    if (host_->has(DISPID_DOCUMENTCOMPLETE)) at += L" after DocumentComplete";
    seen.push_back(at);
  };
  ASSERT_TRUE(host_->load(page(L"ORDER.HTML")));
  host_->onEvent = nullptr;
  external_.onCall = nullptr;
  seen.push_back(L"complete");
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"navigated loading object", L"script", L"onload", L"complete"}));
  std::vector<DISPID> events;
  for (const Event& e : host_->events) events.push_back(e.id);
  EXPECT_EQ(events, (std::vector<DISPID>{DISPID_BEFORENAVIGATE2, DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE}));
  EXPECT_EQ(eval(L"document.readyState"), L"complete");
}

// ---- the script object ------------------------------------------------------

struct EvalCase {
  std::wstring script;
  VARTYPE type;
  std::wstring text;  // VariantChangeType text of the value
};

TEST_F(BrowserStandinTest, GetScriptEval_AnswersValueOfTextInPage) {
  loadPage(L"MAIN.HTML");
  const EvalCase cases[] = {
      {L"1+2", VT_I4, L"3"},
      {L"'a' + 'b'", VT_BSTR, L"ab"},
      {L"clicks === 0", VT_BOOL, L"True"},
      {L"var fresh = 4;", VT_EMPTY, L""},
      {L"fresh * 2", VT_I4, L"8"},
      {L"fromScriptFile()", VT_BSTR, L"yes"},
      {L"document.getElementById('heading').innerText", VT_BSTR, L"Hello & welcome"},
  };
  for (const EvalCase& c : cases) {
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO error = {};
    EXPECT_EQ(evalThroughDocument(c.script.c_str(), &result, &error), S_OK) << testutil::toUtf8(c.script);
    EXPECT_EQ(result.vt, c.type) << testutil::toUtf8(c.script);
    EXPECT_EQ(variantText(result), c.text) << testutil::toUtf8(c.script);
    VariantClear(&result);
  }
}

TEST_F(BrowserStandinTest, GetScriptEval_ThrowingTextAnswersException) {
  loadPage(L"MAIN.HTML");
  const wchar_t* throwing[] = {L"throw new Error('boom')", L"noSuchFunction()", L"1 +"};
  for (const wchar_t* script : throwing) {
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO error = {};
    EXPECT_EQ(evalThroughDocument(script, &result, &error), DISP_E_EXCEPTION) << testutil::toUtf8(script);
    EXPECT_NE(error.bstrDescription, nullptr) << testutil::toUtf8(script);
    SysFreeString(error.bstrSource);
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrHelpFile);
    VariantClear(&result);
  }
  BSTR message = nullptr;
  EXPECT_EQ(StandinEval(host_->controlWindow(), L"throw new Error('boom')", &message), DISP_E_EXCEPTION);
  ASSERT_NE(message, nullptr);
  EXPECT_NE(std::wstring(message).find(L"boom"), std::wstring::npos);
  SysFreeString(message);
  // The page goes on after the failure.
  EXPECT_EQ(eval(L"1+1"), L"2");
}

TEST_F(BrowserStandinTest, GetScript_AnswersOnlyEval) {
  loadPage(L"MAIN.HTML");
  IDispatch* documentDispatch = nullptr;
  ASSERT_EQ(host_->browser->get_Document(&documentDispatch), S_OK);
  IHTMLDocument2* document = nullptr;
  ASSERT_HRESULT_SUCCEEDED(documentDispatch->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document)));
  IDispatch* script = nullptr;
  ASSERT_HRESULT_SUCCEEDED(document->get_Script(&script));
  LPOLESTR name = const_cast<LPOLESTR>(L"notThere");
  DISPID id = 0;
  EXPECT_EQ(script->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  BSTR title = nullptr;
  EXPECT_HRESULT_SUCCEEDED(document->get_title(&title));
  EXPECT_EQ(std::wstring(title ? title : L""), L"Stand-in main page");
  SysFreeString(title);
  script->Release();
  document->Release();
  documentDispatch->Release();
}

TEST_F(BrowserStandinTest, StandinEval_WorksFromAnotherThread) {
  loadPage(L"MAIN.HTML");
  HWND window = host_->controlWindow();
  std::atomic<bool> done(false);
  HRESULT hr = E_FAIL;
  std::wstring text;
  std::thread worker([&] {
    BSTR result = nullptr;
    hr = StandinEval(window, L"1+2", &result);
    if (result) text.assign(result, SysStringLen(result));
    SysFreeString(result);
    done = true;
  });
  EXPECT_TRUE(pumpUntil([&] { return done.load(); })) << "StandinEval from another thread did not return";
  worker.join();
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(text, L"3");
}

// ---- the page's external object ---------------------------------------------

// Runs `body` (statements that return a value) in the page and answers the
// value, or "threw <message> <number>" when it throws.
std::wstring guarded(const std::wstring& body) {
  return L"(function () { try { " + body + L" } catch (e) { return 'threw ' + e.message + ' ' + e.number; } })()";
}


TEST_F(BrowserStandinTest, External_ReceivesPageCallsWithArguments) {
  loadPage(L"EXTERNAL.HTML");
  std::vector<ExternalCall>& calls = external_.calls;
  ASSERT_EQ(calls.size(), 6u);
  struct Expected {
    std::wstring name;
    std::vector<VARTYPE> types;
    std::vector<std::wstring> values;
  };
  const Expected expected[] = {
      {L"notify", {VT_BSTR}, {L"next"}},
      {L"notify",
       {VT_BSTR, VT_I4, VT_BOOL, VT_BSTR, VT_R8},
       {L"values", L"5", L"True", L"\u00e4\u00f6\u00fc \u4e2d\u6587", variantText([] {
          VARIANT v;
          v.vt = VT_R8;
          v.dblVal = 2.5;
          return v;
        }())}},
      {L"log", {VT_BSTR, VT_BSTR, VT_I4}, {L"a", L"b", L"1"}},
      {L"getLocale", {}, {}},
      {L"notify", {VT_BSTR, VT_BSTR}, {L"locale", L"de"}},
      {L"notify", {VT_BSTR, VT_BOOL, VT_BOOL}, {L"members", L"True", L"False"}},
  };
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].name, expected[i].name) << "call " << i;
    EXPECT_EQ(calls[i].types, expected[i].types) << "call " << i;
    EXPECT_EQ(calls[i].values, expected[i].values) << "call " << i;
  }
  EXPECT_EQ(eval(L"window.external === external"), L"true");
}

TEST_F(BrowserStandinTest, External_MembersAreFoundWithInAndOnlyCalled) {
  // The host's object is the script's own: "in" asks the host for the name,
  // a call is a method call, and reading a member as a value goes to the
  // host, which refuses it (as the engine's bridge does).
  loadPage(L"EXTERNAL.HTML");
  external_.calls.clear();
  const struct {
    const wchar_t* script;
    const wchar_t* expected;
  } cases[] = {
      {L"return ('notify' in external) + ' ' + ('Notify' in external) + ' ' + ('nothing' in external);",
       L"true false false"},
      {L"var f = external.notify; return 'read ' + typeof f;", L"threw  -2147467259"},  // E_FAIL
      // As in the system's script engines: a member that cannot be read.
      {L"return typeof external.notify;", L"unknown"},
      {L"return external.getLocale();", L"de"},
  };
  for (const auto& c : cases) EXPECT_EQ(eval(guarded(c.script)), c.expected) << testutil::toUtf8(c.script);
  ASSERT_EQ(external_.calls.size(), 1u) << "only the call reached the host as one";
}

TEST_F(BrowserStandinTest, External_HostMayDestroyControlInsidePageCall) {
  loadPage(L"EXTERNAL.HTML");
  HWND window = host_->controlWindow();
  external_.onCall = [&](const ExternalCall& call) {
    if (call.values.size() == 1 && call.values[0] == L"close") {
      host_->destroyControl();
      pumpFor(50);  // a host that runs a message loop in there
    }
  };
  EXPECT_EQ(StandinClickElement(window, L"closer"), S_OK);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(StandinLiveObjects(), liveBefore_);
  EXPECT_EQ(StandinClickElement(window, L"closer"), E_INVALIDARG) << "the window is gone";
}

TEST_F(BrowserStandinTest, External_IsNullWhenHostGivesNone) {
  host_->external = nullptr;
  loadPage(L"MAIN.HTML");
  EXPECT_EQ(eval(L"window.external === null && external === null"), L"true");
}

// ---- the document -------------------------------------------------------------

struct DomCase {
  std::wstring script;
  std::wstring expected;
};

TEST_F(BrowserStandinTest, Dom_AnswersWhatPagesUse) {
  loadPage(L"MAIN.HTML");
  const DomCase cases[] = {
      {L"order.join()", L"inline,file,onload"},
      {L"document.title", L"Stand-in main page"},
      {L"document.getElementById('nothing')", L"null"},
      {L"document.getElementById('heading').tagName", L"H1"},
      {L"document.getElementById('heading').className", L"big title"},
      {L"document.getElementById('para').innerHTML", L"Some <b>bold</b> text"},
      {L"document.getElementById('para').innerText", L"Some bold text"},
      {L"document.getElementById('para').textContent", L"Some bold text"},
      {L"document.getElementById('panel').style.display", L"none"},
      {L"document.getElementById('panel').style.color", L"red"},
      {L"document.getElementById('checkedBox').checked", L"true"},
      {L"document.getElementById('box').checked", L"false"},
      {L"document.getElementById('btnOff').disabled", L"true"},
      {L"document.getElementById('link').getAttribute('shadow_href')", L"http://example.invalid/more"},
      {L"document.getElementById('link').getAttribute('href')", L"#"},
      {L"document.getElementById('link').getAttribute('nothing')", L"null"},
      {L"document.getElementsByTagName('li').length", L"2"},
      {L"document.getElementsByTagName('LI').item(1).id", L"item2"},
      {L"document.getElementsByClassName('title')[0].id", L"heading"},
      {L"document.getElementById('list').getElementsByTagName('input')[0].id", L"box"},
      {L"document.getElementById('item1').parentNode.id", L"list"},
      {L"document.getElementById('item1').firstChild.nodeValue", L"one"},
      {L"document.body.tagName", L"BODY"},
      {L"typeof document.createTextNode", L"function"},
      {L"var root = document.documentElement; root.lang = 'zh-TW'; root.getAttribute('lang') + ' ' + root.tagName",
       L"zh-TW HTML"},
      {L"typeof document.body.attachEvent + ' ' + typeof window.attachEvent + ' ' + typeof window.addEventListener",
       L"undefined undefined function"},
      // Written by the load handler: a string file read next to the page.
      {L"document.getElementById('strings').innerText", L"Remove older versions \u2013 \u00fcn\u00efcode"},
      {L"stringsStatus + ' ' + missingStatus", L"200 not found"},
  };
  for (const DomCase& c : cases) EXPECT_EQ(eval(c.script), c.expected) << testutil::toUtf8(c.script);
}

TEST_F(BrowserStandinTest, Dom_ChangesAreSeenByLaterScripts) {
  loadPage(L"MAIN.HTML");
  const DomCase steps[] = {
      {L"var li = document.createElement('li'); li.id = 'item3'; li.appendChild(document.createTextNode('three'));"
       L"document.getElementById('list').appendChild(li).id",
       L"item3"},
      {L"document.getElementsByTagName('li').length", L"3"},
      {L"document.getElementById('item3').innerText", L"three"},
      {L"document.getElementById('list').removeChild(document.getElementById('item1')).id", L"item1"},
      {L"document.getElementById('item1')", L"null"},
      {L"var first = document.createElement('li'); first.id = 'item0';"
       L"var list = document.getElementById('list'); list.insertBefore(first, list.firstChild); "
       L"list.getElementsByTagName('li')[0].id",
       L"item0"},
      {L"document.getElementById('para').innerHTML = '<span id=\"inner\" class=\"c\">a &lt; b</span> tail';"
       L"document.getElementById('inner').className + '|' + document.getElementById('inner').innerText",
       L"c|a < b"},
      {L"document.getElementById('para').childNodes.length", L"2"},
      {L"document.getElementById('para').innerText = '<b>plain</b>'; document.getElementById('para').innerHTML",
       L"&lt;b&gt;plain&lt;/b&gt;"},
      {L"document.getElementById('panel').style.display = 'block'; document.getElementById('panel').style.display",
       L"block"},
      {L"var p = document.getElementById('panel'); p.className = 'shown'; p.getAttribute('class')", L"shown"},
      {L"p.setAttribute('data-x', '7'); p.getAttribute('data-x')", L"7"},
      {L"p.removeAttribute('data-x'); p.getAttribute('data-x')", L"null"},
      {L"document.title = 'Renamed'; document.title", L"Renamed"},
      {L"document.getElementById('btnGo').focus(); document.activeElement.id", L"btnGo"},
      {L"var box = document.getElementById('checkedBox'); box.value = 'v1'; box.disabled = true;"
       L"box.value + ' ' + box.getAttribute('value') + ' ' + box.getAttribute('disabled')",
       L"v1 v1 "},
      {L"box.removeAttribute('disabled'); String(box.disabled)", L"false"},
      {L"document.getElementById('panel').outerHTML",
       L"<div id=\"panel\" class=\"shown\" style=\"display: block; color: red\">hidden</div>"},
      // Ids and texts built with + in functions (Wine's JScript compares two
      // such strings wrongly unless the document keeps them whole).
      {L"function addRow(i) { var row = document.createElement('div'); row.id = 'generatedRow' + i;"
       L" row.innerText = 'generated text ' + i; document.body.appendChild(row); }"
       L"function rowText(i) { return document.getElementById('generatedRow' + i).innerText; }"
       L"addRow(0); addRow(1); rowText(1) + '|' + rowText(0)",
       L"generated text 1|generated text 0"},
      {L"function same(i) { return document.getElementById('generatedRow' + i).innerText === 'generated text ' + i; }"
       L"same(1) && same(0)",
       L"true"},
  };
  for (const DomCase& c : steps) EXPECT_EQ(eval(c.script), c.expected) << testutil::toUtf8(c.script);
}

// ---- files beside the page: the browser's request object and the XML component ----

TEST_F(BrowserStandinTest, XmlHttpRequest_RefusesEveryAddressButHttp) {
  // The system's control: open throws "Access is denied" for res:// (the
  // page's own scheme, so relative names too) and file://.
  loadPage(L"MAIN.HTML");
  const DomCase cases[] = {
      {L"var r = new XMLHttpRequest(); r.open('GET', 'strings_en.wxl', false); return 'opened';",
       L"threw Access is denied. -2147024891"},
      {L"var r = new XMLHttpRequest(); r.open('GET', location.href, false); return 'opened';",
       L"threw Access is denied. -2147024891"},
      {L"var r = new XMLHttpRequest(); r.open('GET', 'file:///C:/windows/win.ini', false); return 'opened';",
       L"threw Access is denied. -2147024891"},
      {L"var r = new XMLHttpRequest(); r.open('GET', 'HTTP://127.0.0.1/x', false); return 'opened ' + r.readyState;",
       L"opened 1"},
      {L"var r = new XMLHttpRequest(); r.open('GET', 'https://localhost/x', false); return 'opened';", L"opened"},
  };
  for (const DomCase& c : cases) EXPECT_EQ(eval(guarded(c.script)), c.expected) << testutil::toUtf8(c.script);
}

TEST_F(BrowserStandinTest, XmlComponent_ReadsResourcesBesideThePage) {
  loadPage(L"MAIN.HTML");
  const std::wstring title = L"Remove older versions \u2013 \u00fcn\u00efcode";
  const DomCase cases[] = {
      {L"return 'ActiveXObject' in window;", L"true"},
      // The request objects, relative and whole addresses, any ProgID case.
      {L"var r = new ActiveXObject('Msxml2.XMLHTTP'); r.open('GET', 'strings_en.wxl', false); r.send(null);"
       L"return r.readyState + ' ' + r.status + ' ' + /title\">([^<]*)</.exec(r.responseText)[1];",
       L"4 200 " + title},
      {L"var r = new ActiveXObject('microsoft.xmlhttp'); r.open('GET', location.href.substring(0, location.href.lastIndexOf('/') + 1) +"
       L" 'STRINGS_EN.WXL', false); r.send(); return r.status + ' ' + r.responseXML.documentElement.nodeName;",
       L"200 WixLocalization"},
      {L"var r = new ActiveXObject('Msxml2.XMLHTTP'); r.open('GET', 'nothere.wxl', false); r.send(); return 'sent';",
       L"threw The system cannot locate the resource specified. -2146697211"},
      {L"var r = new ActiveXObject('Msxml2.XMLHTTP'); r.open('GET', 'strings_en.wxl', false); return r.status;",
       L"threw The data necessary to complete this operation is not yet available. -2147483638"},
      // The document: Wine's own, loaded from the resource.
      {L"var d = new ActiveXObject('Msxml2.DOMDocument'); d.async = false; var ok = d.load('strings_en.wxl');"
       L"var s = d.getElementsByTagName('String'); return ok + ' ' + s.length + ' ' + s.item(0).getAttribute('Id') +"
       L" ' ' + s.item(0).text;",
       L"true 1 title " + title},
      {L"var d = new ActiveXObject('Msxml2.DOMDocument.6.0'); d.async = false;"
       L"return d.load('nothere.wxl') + ' ' + d.getElementsByTagName('String').length;",
       L"false 0"},
      {L"var d = new ActiveXObject('Microsoft.XMLDOM'); d.async = false; return d.load('MAIN.JS');", L"false"},
      // Left asynchronous, the system's component would answer before it
      // has read anything.
      {L"var d = new ActiveXObject('Msxml2.DOMDocument'); return d.load('strings_en.wxl');",
       L"threw The stand-in control loads res:// documents only with async = false -2147483638"},
      {L"var d = new ActiveXObject('Msxml2.DOMDocument'); d.async = false;"
       L"return d.loadXML('<a><b>x</b></a>') + ' ' + d.documentElement.firstChild.text;",
       L"true x"},
  };
  for (const DomCase& c : cases) EXPECT_EQ(eval(guarded(c.script)), c.expected) << testutil::toUtf8(c.script);
}

TEST_F(BrowserStandinTest, XmlComponent_AsynchronousRequestFinishesLater) {
  loadPage(L"MAIN.HTML");
  EXPECT_EQ(eval(L"var later = new ActiveXObject('Msxml2.XMLHTTP'); var changes = [];"
                 L"later.onreadystatechange = function () { changes.push(later.readyState + ':' + later.status); };"
                 L"later.open('GET', 'strings_en.wxl'); later.send(); later.readyState"),
            L"1");
  ASSERT_TRUE(pumpUntil([&] { return eval(L"later.readyState") == L"4"; }, 5000));
  EXPECT_EQ(eval(L"changes.join()"), L"4:200");
}

TEST_F(BrowserStandinTest, ActiveXObject_OffersOnlyTheXmlComponent) {
  loadPage(L"MAIN.HTML");
  for (const wchar_t* progId : {L"Scripting.FileSystemObject", L"WScript.Shell", L"No.Such.Object"}) {
    EXPECT_EQ(eval(guarded(L"new ActiveXObject('" + std::wstring(progId) + L"'); return 'created';")),
              L"threw Automation server can't create object -2146827859")
        << testutil::toUtf8(progId);
  }
}

TEST_F(BrowserStandinTest, ClickElement_TogglesCheckBoxAndRunsHandlers) {
  loadPage(L"MAIN.HTML");
  HWND window = host_->controlWindow();
  ASSERT_EQ(StandinClickElement(window, L"box"), S_OK);
  EXPECT_EQ(eval(L"document.getElementById('box').checked"), L"true");
  EXPECT_EQ(eval(L"clicks + ' ' + lastClicked"), L"1 box") << "onclick runs with this = the element";
  EXPECT_EQ(eval(L"bubbled.join()"), L"box") << "the click bubbles to the list";
  ASSERT_EQ(StandinClickElement(window, L"box"), S_OK);
  EXPECT_EQ(eval(L"document.getElementById('box').checked"), L"false");

  // A handler set as a function property.
  eval(L"document.getElementById('item1').onclick = function () { clicks = 100 + (this.id === 'item1'); }; 0");
  ASSERT_EQ(StandinClickElement(window, L"item1"), S_OK);
  EXPECT_EQ(eval(L"clicks"), L"101");

  // A disabled button takes no click; an unknown id is an error.
  ASSERT_EQ(StandinClickElement(window, L"btnOff"), S_OK);
  EXPECT_EQ(eval(L"clicks"), L"101");
  EXPECT_EQ(StandinClickElement(window, L"noSuchElement"), E_INVALIDARG);
  EXPECT_EQ(StandinClickElement(host_->window, L"box"), E_INVALIDARG) << "not a stand-in window";
}

TEST_F(BrowserStandinTest, ClickElement_LinkNavigatesToHrefWhichHostMayCancel) {
  loadPage(L"MAIN.HTML");
  HWND window = host_->controlWindow();
  host_->events.clear();
  ASSERT_EQ(StandinClickElement(window, L"link"), S_OK);
  pumpFor(200);
  ASSERT_EQ(host_->events.size(), 1u);
  EXPECT_EQ(host_->events[0].id, DISPID_BEFORENAVIGATE2);
  EXPECT_EQ(host_->events[0].url, page(L"MAIN.HTML#"));
  EXPECT_EQ(eval(L"linkClicks"), L"1") << "the page stays";

  host_->events.clear();
  ASSERT_EQ(StandinClickElement(window, L"secondLink"), S_OK);
  ASSERT_TRUE(pumpUntil([&] { return host_->has(DISPID_DOCUMENTCOMPLETE); }));
  EXPECT_EQ(host_->find(DISPID_DOCUMENTCOMPLETE)->url, page(L"second.html"));
  EXPECT_EQ(eval(L"document.title"), L"Second page");
}

TEST_F(BrowserStandinTest, SetTimeout_RunsLaterOnControlThread) {
  loadPage(L"MAIN.HTML");
  EXPECT_EQ(eval(L"document.getElementById('timer').innerText"), L"waiting") << "not yet: it runs later";
  EXPECT_TRUE(pumpUntil([&] { return eval(L"document.getElementById('timer').innerText") == L"fired"; }, 5000));
  pumpFor(100);
  EXPECT_EQ(eval(L"document.getElementById('timer').innerText"), L"fired") << "a cleared timer never runs";
}

// ---- focus and keys -------------------------------------------------------------

TEST_F(BrowserStandinTest, TranslateAccelerator_TabMovesFocusBetweenPageControls) {
  loadPage(L"MAIN.HTML");
  HWND window = host_->controlWindow();
  ASSERT_HRESULT_SUCCEEDED(host_->ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, host_, 0, host_->window, nullptr));
  EXPECT_EQ(host_->uiActivations, 1);
  EXPECT_EQ(GetFocus(), window);

  IOleInPlaceActiveObject* active = nullptr;
  ASSERT_HRESULT_SUCCEEDED(
      host_->control->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active)));
  MSG tab = {window, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_EQ(active->TranslateAccelerator(&tab), S_OK);
  EXPECT_EQ(eval(L"document.activeElement.id"), L"box");
  EXPECT_EQ(active->TranslateAccelerator(&tab), S_OK);
  EXPECT_EQ(eval(L"document.activeElement.id"), L"checkedBox");
  MSG space = {window, WM_KEYDOWN, VK_SPACE, 0, 0, {0, 0}};
  EXPECT_EQ(active->TranslateAccelerator(&space), S_OK);
  EXPECT_EQ(eval(L"document.getElementById('checkedBox').checked"), L"false");

  MSG other = {window, WM_KEYDOWN, VK_F5, 0, 0, {0, 0}};
  EXPECT_EQ(active->TranslateAccelerator(&other), S_FALSE);
  MSG elsewhere = {host_->window, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_EQ(active->TranslateAccelerator(&elsewhere), S_FALSE);
  active->Release();
}

TEST_F(BrowserStandinTest, MouseClick_MakesControlUiActiveOnce) {
  loadPage(L"PLAIN.HTML");
  HWND window = host_->controlWindow();
  SetFocus(host_->window);
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(host_->uiActivations, 1);
  EXPECT_EQ(GetFocus(), window);
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(host_->uiActivations, 1) << "already UI-active";
}

TEST_F(BrowserStandinTest, TranslateAccelerator_PageWithoutControlsLeavesTab) {
  loadPage(L"PLAIN.HTML");
  IOleInPlaceActiveObject* active = nullptr;
  ASSERT_HRESULT_SUCCEEDED(
      host_->control->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active)));
  MSG tab = {host_->controlWindow(), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_EQ(active->TranslateAccelerator(&tab), S_FALSE);
  active->Release();
}

TEST_F(BrowserStandinTest, DoVerb_HidesAndShowsChildWindow) {
  ASSERT_HRESULT_SUCCEEDED(host_->createControl());
  HWND window = host_->controlWindow();
  RECT client;
  GetClientRect(host_->window, &client);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_HRESULT_SUCCEEDED(host_->ole->DoVerb(OLEIVERB_HIDE, nullptr, host_, 0, host_->window, &client));
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_HRESULT_SUCCEEDED(host_->ole->DoVerb(OLEIVERB_SHOW, nullptr, host_, 0, host_->window, &client));
  EXPECT_TRUE(IsWindowVisible(window));

  IOleInPlaceObject* inPlace = nullptr;
  ASSERT_HRESULT_SUCCEEDED(host_->control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)));
  EXPECT_HRESULT_SUCCEEDED(inPlace->InPlaceDeactivate());
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_HRESULT_SUCCEEDED(host_->ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, host_, 0, host_->window, &client));
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetParent(window), host_->window);
  inPlace->Release();
}

TEST_F(BrowserStandinTest, SetObjectRects_MovesChildWindow) {
  ASSERT_HRESULT_SUCCEEDED(host_->createControl());
  IOleInPlaceObject* inPlace = nullptr;
  ASSERT_HRESULT_SUCCEEDED(host_->control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)));
  RECT rect = {10, 20, 110, 70};
  EXPECT_HRESULT_SUCCEEDED(inPlace->SetObjectRects(&rect, &rect));
  RECT placed;
  GetWindowRect(host_->controlWindow(), &placed);
  MapWindowPoints(nullptr, host_->window, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 10);
  EXPECT_EQ(placed.top, 20);
  EXPECT_EQ(placed.right - placed.left, 100);
  EXPECT_EQ(placed.bottom - placed.top, 50);
  inPlace->Release();
}

TEST_F(BrowserStandinTest, Unadvise_UnknownCookieAnswersNoConnection) {
  ASSERT_HRESULT_SUCCEEDED(host_->createControl());
  IConnectionPointContainer* container = nullptr;
  ASSERT_HRESULT_SUCCEEDED(
      host_->control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)));
  IConnectionPoint* point = nullptr;
  ASSERT_HRESULT_SUCCEEDED(container->FindConnectionPoint(kDiidWebBrowserEvents2, &point));
  EXPECT_EQ(point->Unadvise(host_->cookie + 1000), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
  IConnectionPoint* other = nullptr;
  EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, &other), CONNECT_E_NOCONNECTION);
  point->Release();
  container->Release();
}

// ---- the log and the scripted run -------------------------------------------------

TEST_F(BrowserStandinTest, Log_RecordsScriptErrorsAndPageGoesOn) {
  std::wstring log = tempPath(L"standin_errors.log");
  DeleteFileW(log.c_str());
  standinLog_.set(log);
  loadPage(L"THROWS.HTML");
  EXPECT_EQ(eval(L"firstRan === true && secondRan === true"), L"true");
  std::string text = testutil::readFileText(log);
  EXPECT_NE(text.find("navigate THROWS.HTML\n"), std::string::npos) << text;
  EXPECT_NE(text.find("script-error THROWS.HTML first script fails"), std::string::npos) << text;
  EXPECT_NE(text.find("script-error THROWS.HTML cannot load script missing.js"), std::string::npos) << text;
  EXPECT_NE(text.find("complete THROWS.HTML\n"), std::string::npos) << text;
  DeleteFileW(log.c_str());
}

TEST_F(BrowserStandinTest, Script_RunsStepsAfterTheirPagesComplete) {
  std::wstring log = tempPath(L"standin_run.log");
  std::wstring script = tempPath(L"standin_run.txt");
  DeleteFileW(log.c_str());
  ASSERT_TRUE(testutil::writeFileBytes(
      script,
      "MAIN.HTML click box\r\n"
      "MAIN.HTML eval document.getElementById('para').innerText = 'scripted ' + clicks\r\n"
      "MAIN.HTML wait 100\r\n"
      "MAIN.HTML click secondLink\n"
      "\n"
      "SECOND.HTML click nowhere\n"
      "second.html eval document.getElementById('back').innerText = 'done \xC3\xA4'\n"));
  standinLog_.set(log);
  {
    testutil::ScopedEnvironment scriptVar(L"BROWSER_STANDIN_SCRIPT", script);
    loadPage(L"MAIN.HTML");
  }
  DWORD completed = host_->find(DISPID_DOCUMENTCOMPLETE)->tick;
  ASSERT_TRUE(pumpUntil([&] { return eval(L"clicks") == L"1"; }, 5000)) << testutil::readFileText(log);
  EXPECT_GE(GetTickCount() - completed, 290u) << "a step waits at least 300 ms after its page completed";

  ASSERT_TRUE(pumpUntil(
      [&] { return testutil::readFileText(log).find("alert second loaded") != std::string::npos; }, 10000))
      << testutil::readFileText(log);
  ASSERT_TRUE(pumpUntil([&] { return eval(L"document.getElementById('back').innerText") == L"done \u00e4"; }, 5000));
  std::string text = testutil::readFileText(log);
  const char* order[] = {"navigate MAIN.HTML\n",        "complete MAIN.HTML\n",   "click MAIN.HTML box\n",
                         "click MAIN.HTML secondLink\n", "navigate SECOND.HTML\n", "alert second loaded\n",
                         "complete SECOND.HTML\n", "click SECOND.HTML nowhere\n",
                         "script-error SECOND.HTML no element with id nowhere\n"};
  size_t at = 0;
  for (const char* line : order) {
    size_t found = text.find(line, at);
    EXPECT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << text;
    if (found != std::string::npos) at = found;
  }
  DeleteFileW(log.c_str());
  DeleteFileW(script.c_str());
}

}  // namespace
