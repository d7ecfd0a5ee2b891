#include "standin_control.h"

#include <exdisp.h>
#include <olectl.h>
#include <mshtmhst.h>
#include <oleauto.h>

#include <algorithm>

#include "com_slots.h"
#include "res_url.h"
#include "standin_globals.h"
#include "standin_log.h"

namespace standin {
namespace {

const CLSID kClsidWebBrowser = {0x8856f961, 0x340a, 0x11d0, {0xa9, 0x6b, 0x00, 0xc0, 0x4f, 0xd7, 0x05, 0xa2}};
const IID kDiidWebBrowserEvents2 = {0x34a715a0, 0x6587, 0x11d0, {0x92, 0x4a, 0x00, 0x20, 0xaf, 0xc7, 0xac, 0x4d}};
const IID kIidWebBrowser = {0xeab22ac1, 0x30c1, 0x11cf, {0xa7, 0xeb, 0x00, 0x00, 0xc0, 0x5b, 0xae, 0x0b}};
const IID kIidWebBrowserApp = {0x0002df05, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidWebBrowser2 = {0xd30c1661, 0xcdaf, 0x11d0, {0x8a, 0x3e, 0x00, 0xc0, 0x4f, 0xc9, 0xe2, 0x6e}};

const wchar_t kWindowClass[] = L"BrowserStandinWindow";
const UINT_PTR kScriptStepTimer = 1;
const UINT_PTR kPageTimerBase = 0x10000;
const UINT kScriptStepDelayMs = 300;
const LONG kResourceNotFound = static_cast<LONG>(0x800C0005);  // INET_E_RESOURCE_NOT_FOUND

const DISPID kBeforeNavigate2 = 250;
const DISPID kNavigateComplete2 = 252;
const DISPID kDocumentComplete = 259;
const DISPID kNavigateError = 271;

void registerWindowClass() {
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(dllModule(), kWindowClass, &existing)) return;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = DefWindowProcW;  // replaced per window right after creation
  wc.hInstance = dllModule();
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = kWindowClass;
  RegisterClassExW(&wc);
}

VARIANT byRef(VARIANT* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_VARIANT | VT_BYREF;
  v.pvarVal = target;
  return v;
}

VARIANT bstrVariant(const std::wstring& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}

// ---- the IWebBrowser2 face ----------------------------------------------
// IWebBrowser2 has some seventy methods of which a host uses a handful; the
// face is a plain vtable whose unused slots share one stub. On x64 one
// calling convention serves every slot and the caller owns the argument
// area, so a stub that ignores its arguments is safe in any slot.
struct Face {
  void* const* vtbl;
  Control* owner;
};

HRESULT STDMETHODCALLTYPE faceNotImplemented() { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE faceOk() { return S_OK; }

HRESULT STDMETHODCALLTYPE faceQueryInterface(Face* self, REFIID riid, void** out) {
  return self->owner->QueryInterface(riid, out);
}
ULONG STDMETHODCALLTYPE faceAddRef(Face* self) { return self->owner->AddRef(); }
ULONG STDMETHODCALLTYPE faceRelease(Face* self) { return self->owner->Release(); }
HRESULT STDMETHODCALLTYPE faceGetTypeInfoCount(Face*, UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE faceNavigate(Face* self, BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
  return self->owner->navigate(url ? std::wstring(url, SysStringLen(url)) : std::wstring());
}
HRESULT STDMETHODCALLTYPE faceNavigate2(Face* self, VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
  if (!url) return E_INVALIDARG;
  VARIANT text;
  VariantInit(&text);
  HRESULT hr = VariantChangeType(&text, url, 0, VT_BSTR);
  if (FAILED(hr)) return E_INVALIDARG;
  hr = self->owner->navigate(std::wstring(text.bstrVal, SysStringLen(text.bstrVal)));
  VariantClear(&text);
  return hr;
}
HRESULT STDMETHODCALLTYPE faceGetDocument(Face* self, IDispatch** document) {
  return self->owner->getDocument(document);
}
HRESULT STDMETHODCALLTYPE faceGetLocationUrl(Face* self, BSTR* url) { return self->owner->getLocationUrl(url); }
HRESULT STDMETHODCALLTYPE faceGetBusy(Face* self, VARIANT_BOOL* busy) { return self->owner->getBusy(busy); }
HRESULT STDMETHODCALLTYPE faceGetReadyState(Face* self, LONG* state) { return self->owner->getReadyState(state); }
HRESULT STDMETHODCALLTYPE faceStop(Face* self) { return self->owner->stop(); }

void* const* browserVtable() {
  static void** table = [] {
    void** t = new void*[kWebBrowser2SlotCount];
    for (unsigned i = 0; i < kWebBrowser2SlotCount; ++i) t[i] = reinterpret_cast<void*>(&faceNotImplemented);
    for (const unsigned* slot = kWebBrowser2PropertyPuts; *slot; ++slot) t[*slot] = reinterpret_cast<void*>(&faceOk);
    t[0] = reinterpret_cast<void*>(&faceQueryInterface);
    t[1] = reinterpret_cast<void*>(&faceAddRef);
    t[2] = reinterpret_cast<void*>(&faceRelease);
    t[3] = reinterpret_cast<void*>(&faceGetTypeInfoCount);
    t[kWebBrowser2Navigate] = reinterpret_cast<void*>(&faceNavigate);
    t[kWebBrowser2Navigate2] = reinterpret_cast<void*>(&faceNavigate2);
    t[kWebBrowser2GetDocument] = reinterpret_cast<void*>(&faceGetDocument);
    t[kWebBrowser2GetLocationUrl] = reinterpret_cast<void*>(&faceGetLocationUrl);
    t[kWebBrowser2GetBusy] = reinterpret_cast<void*>(&faceGetBusy);
    t[kWebBrowser2GetReadyState] = reinterpret_cast<void*>(&faceGetReadyState);
    t[kWebBrowser2Stop] = reinterpret_cast<void*>(&faceStop);
    return t;
  }();
  return table;
}

}  // namespace

Control::Control() : browser_{browserVtable(), this} {
  objectCreated();
  readAutomationEnvironment();
  registerWindowClass();
  // The window exists from the start, so navigation, timers and the test
  // hooks have a window on this thread before the host activates us; DoVerb
  // makes it a child of the host's window.
  window_ = CreateWindowExW(0, kWindowClass, L"", WS_POPUP | WS_CLIPSIBLINGS, 0, 0, 0, 0, nullptr,
                            nullptr, dllModule(), nullptr);
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Control::windowProc));
    setLastControlWindow(window_);
  }
}

Control::~Control() {
  dropPage();
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  for (auto& sink : sinks_) sink.second->Release();
  if (viewSink_) viewSink_->Release();
  if (inPlaceSite_) inPlaceSite_->Release();
  if (site_) {
    if (holdClientSite())
      holdSite(site_);
    else
      site_->Release();
  }
  objectDestroyed();
}

Control* Control::fromWindow(HWND window) {
  wchar_t name[64];
  if (!window || !GetClassNameW(window, name, 64) || wcscmp(name, kWindowClass) != 0) return nullptr;
  return reinterpret_cast<Control*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK Control::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* control = reinterpret_cast<Control*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!control) return DefWindowProcW(window, message, wParam, lParam);
  control->AddRef();
  LRESULT result = control->onMessage(message, wParam, lParam);
  control->Release();
  return result;
}

LRESULT Control::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = window_;
  if (message == loadMessage()) {
    if (wParam == navigation_ && navigating_) loadPending();
    return 0;
  }
  if (message == clickMessage()) {
    auto* request = reinterpret_cast<ClickRequest*>(lParam);
    request->hr = clickElement(request->id ? request->id : L"");
    return 1;
  }
  if (message == evalMessage()) {
    auto* request = reinterpret_cast<EvalRequest*>(lParam);
    request->hr = evalText(request->script ? request->script : L"", &request->result);
    return 1;
  }
  switch (message) {
    case WM_TIMER:
      KillTimer(window, wParam);
      if (wParam == kScriptStepTimer) {
        runScriptStep();
      } else if (wParam >= kPageTimerBase && page_) {
        timers_.erase(static_cast<UINT>(wParam - kPageTimerBase));
        ScriptPage* page = page_;
        page->AddRef();
        page->fireTimer(static_cast<UINT>(wParam - kPageTimerBase));
        page->Release();
      }
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      if (!title_.empty()) {
        SetBkMode(dc, TRANSPARENT);
        RECT text = client;
        InflateRect(&text, -8, -8);
        DrawTextW(dc, title_.c_str(), -1, &text, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN:
      // As the real control, a click makes it UI-active.
      if (inPlace_)
        activateUi();
      else
        SetFocus(window);
      return 0;
    case WM_DESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// ---- navigation ---------------------------------------------------------

std::wstring Control::pageName(const std::wstring& url) const {
  ResUrl res;
  return parseResUrl(url, &res) ? res.name : url;
}

HRESULT Control::navigate(const std::wstring& url) {
  if (closed_ || !window_) return E_UNEXPECTED;
  AddRef();
  bool cancelled = fireBeforeNavigate(url);
  if (!cancelled && !closed_ && window_) {
    logLine(L"navigate " + pageName(url));
    pendingUrl_ = url;
    navigating_ = true;
    // As the real control does, the page loads later, from this thread's
    // message loop.
    PostMessageW(window_, loadMessage(), ++navigation_, 0);
  }
  Release();
  return S_OK;
}

void Control::pageNavigate(const std::wstring& url) {
  // A followed link. One that only changes the fragment of this page stays
  // in the page once the host lets it go.
  if (page_ && url.find(L'#') != std::wstring::npos && stripFragment(url) == stripFragment(page_->url())) {
    if (!fireBeforeNavigate(url)) locationUrl_ = url;
    return;
  }
  navigate(url);
}

void Control::loadPending() {
  AddRef();
  navigating_ = false;
  std::wstring url = pendingUrl_;
  std::wstring name = pageName(url);
  dropPage();
  std::wstring html;
  if (!loadResText(url, &html)) {
    wchar_t status[16];
    swprintf(status, 16, L"0x%08lX", static_cast<unsigned long>(kResourceNotFound));
    logLine(L"error " + name + L" " + status);
    fireNavigateError(url, kResourceNotFound);
    Release();
    return;
  }
  locationUrl_ = url;
  IDispatch* external = nullptr;
  IDocHostUIHandler* handler = nullptr;
  if (site_ && SUCCEEDED(site_->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler))) &&
      handler) {
    if (FAILED(handler->GetExternal(&external))) external = nullptr;
    handler->Release();
  }
  ScriptPage* page = new ScriptPage(this, url, name, std::move(html), external);
  if (external) external->Release();
  page_ = page;
  // As in the system's control, NavigateComplete2 comes once the document
  // exists and before any of its scripts run; DocumentComplete after its
  // load handlers.
  HRESULT hr = page->start();
  documentOpen_ = true;
  fireUrlEvent(kNavigateComplete2, url);
  if (SUCCEEDED(hr) && page_ == page && !closed_) hr = page->load();
  if (FAILED(hr) && page_ == page && !closed_) {
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    logLine(L"script-error " + name + L" page could not be started: " + code);
  }
  if (page_ == page && !closed_) {
    VARIANT title;
    VariantInit(&title);
    if (SUCCEEDED(page->eval(L"document.title", &title, nullptr)) && title.vt == VT_BSTR)
      title_.assign(title.bstrVal, SysStringLen(title.bstrVal));
    VariantClear(&title);
    complete_ = true;
    if (window_) InvalidateRect(window_, nullptr, TRUE);
    fireUrlEvent(kDocumentComplete, url);
    logLine(L"complete " + name);
    if (page_ == page && !closed_) scheduleScriptStep();
  }
  Release();
}

void Control::dropPage() {
  if (window_) {
    for (UINT id : timers_) KillTimer(window_, kPageTimerBase + id);
    KillTimer(window_, kScriptStepTimer);
  }
  timers_.clear();
  complete_ = false;
  documentOpen_ = false;
  title_.clear();
  if (page_) {
    ScriptPage* page = page_;
    page_ = nullptr;
    page->close();
    page->Release();
  }
}

HRESULT Control::stop() {
  navigating_ = false;
  ++navigation_;
  return S_OK;
}

HRESULT Control::getDocument(IDispatch** document) {
  if (!document) return E_POINTER;
  *document = nullptr;
  if (!page_ || !documentOpen_) return S_FALSE;
  *document = createDocument(page_);
  return S_OK;
}

HRESULT Control::getLocationUrl(BSTR* url) {
  if (!url) return E_POINTER;
  *url = SysAllocStringLen(locationUrl_.data(), static_cast<UINT>(locationUrl_.size()));
  return S_OK;
}

HRESULT Control::getBusy(VARIANT_BOOL* busy) {
  if (!busy) return E_POINTER;
  *busy = navigating_ ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT Control::getReadyState(LONG* state) {
  if (!state) return E_POINTER;
  if (complete_)
    *state = READYSTATE_COMPLETE;
  else if (page_ && documentOpen_)
    *state = READYSTATE_INTERACTIVE;
  else
    *state = navigating_ ? READYSTATE_LOADING : READYSTATE_UNINITIALIZED;
  return S_OK;
}

void Control::pageSetTimer(UINT id, UINT ms) {
  if (!window_) return;
  timers_.insert(id);
  SetTimer(window_, kPageTimerBase + id, ms < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : ms, nullptr);
}

void Control::pageClearTimer(UINT id) {
  if (window_) KillTimer(window_, kPageTimerBase + id);
  timers_.erase(id);
}

// ---- events -------------------------------------------------------------

void Control::fire(DISPID id, DISPPARAMS* params) {
  std::vector<IDispatch*> sinks;
  for (auto& sink : sinks_) {
    sink.second->AddRef();
    sinks.push_back(sink.second);
  }
  for (IDispatch* sink : sinks) {
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr, nullptr, nullptr);
    sink->Release();
  }
}

bool Control::fireBeforeNavigate(const std::wstring& url) {
  VARIANT urlValue = bstrVariant(url), flags, target = bstrVariant(L""), postData, headers = bstrVariant(L"");
  VariantInit(&flags);
  flags.vt = VT_I4;
  flags.lVal = 0;
  VariantInit(&postData);
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[7];
  // COM passes arguments last-first.
  args[6].vt = VT_DISPATCH;
  args[6].pdispVal = browserDispatch();
  args[5] = byRef(&urlValue);
  args[4] = byRef(&flags);
  args[3] = byRef(&target);
  args[2] = byRef(&postData);
  args[1] = byRef(&headers);
  VariantInit(&args[0]);
  args[0].vt = VT_BOOL | VT_BYREF;
  args[0].pboolVal = &cancel;
  DISPPARAMS params = {args, nullptr, 7, 0};
  fire(kBeforeNavigate2, &params);
  VariantClear(&urlValue);
  VariantClear(&target);
  VariantClear(&headers);
  VariantClear(&postData);
  return cancel != VARIANT_FALSE;
}

void Control::fireUrlEvent(DISPID id, const std::wstring& url) {
  VARIANT urlValue = bstrVariant(url);
  VARIANT args[2];
  args[1].vt = VT_DISPATCH;
  args[1].pdispVal = browserDispatch();
  args[0] = byRef(&urlValue);
  DISPPARAMS params = {args, nullptr, 2, 0};
  fire(id, &params);
  VariantClear(&urlValue);
}

bool Control::fireNavigateError(const std::wstring& url, LONG status) {
  VARIANT urlValue = bstrVariant(url), target = bstrVariant(L""), code;
  VariantInit(&code);
  code.vt = VT_I4;
  code.lVal = status;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[5];
  args[4].vt = VT_DISPATCH;
  args[4].pdispVal = browserDispatch();
  args[3] = byRef(&urlValue);
  args[2] = byRef(&target);
  args[1] = byRef(&code);
  VariantInit(&args[0]);
  args[0].vt = VT_BOOL | VT_BYREF;
  args[0].pboolVal = &cancel;
  DISPPARAMS params = {args, nullptr, 5, 0};
  fire(kNavigateError, &params);
  VariantClear(&urlValue);
  VariantClear(&target);
  return cancel != VARIANT_FALSE;
}

// ---- test hooks and the scripted run -------------------------------------

HRESULT Control::clickElement(const std::wstring& id) {
  if (!page_ || !complete_) return E_UNEXPECTED;
  logLine(L"click " + page_->name() + L" " + id);
  ScriptPage* page = page_;
  page->AddRef();
  HRESULT hr = page->click(id);
  page->Release();
  return hr;
}

HRESULT Control::evalText(const std::wstring& script, BSTR* result) {
  if (result) *result = nullptr;
  if (!page_) return E_UNEXPECTED;
  ScriptPage* page = page_;
  page->AddRef();
  VARIANT value;
  VariantInit(&value);
  EXCEPINFO error = {};
  HRESULT hr = page->eval(script, &value, &error);
  std::wstring text;
  if (SUCCEEDED(hr))
    text = page->toText(value);
  else if (error.bstrDescription)
    text = error.bstrDescription;
  if (result && (SUCCEEDED(hr) || hr == DISP_E_EXCEPTION))
    *result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  SysFreeString(error.bstrSource);
  SysFreeString(error.bstrDescription);
  SysFreeString(error.bstrHelpFile);
  VariantClear(&value);
  page->Release();
  return hr;
}

void Control::scheduleScriptStep() {
  if (!page_ || !complete_ || navigating_ || !window_) return;
  ScriptStep step;
  if (!peekStep(page_->name(), &step)) return;
  UINT delay = kScriptStepDelayMs;
  if (step.command == L"wait") delay += static_cast<UINT>(std::max(0, _wtoi(step.arg.c_str())));
  SetTimer(window_, kScriptStepTimer, delay, nullptr);
}

void Control::runScriptStep() {
  if (!page_ || !complete_) return;
  ScriptStep step;
  if (!peekStep(page_->name(), &step)) return;
  finishStep();
  std::wstring name = page_->name();
  if (step.command == L"click") {
    if (clickElement(step.arg) == E_INVALIDARG) logLine(L"script-error " + name + L" no element with id " + step.arg);
  } else if (step.command == L"eval") {
    BSTR ignored = nullptr;
    evalText(step.arg, &ignored);
    SysFreeString(ignored);
  } else if (step.command != L"wait") {
    logLine(L"script-error " + name + L" unknown script command " + step.command);
  }
  scheduleScriptStep();
}

// ---- IUnknown -----------------------------------------------------------

STDMETHODIMP Control::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (riid == IID_IUnknown || riid == IID_IOleObject)
    *out = static_cast<IOleObject*>(this);
  else if (riid == IID_IDispatch || riid == kIidWebBrowser || riid == kIidWebBrowserApp || riid == kIidWebBrowser2)
    *out = browserDispatch();
  else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
    *out = static_cast<IOleInPlaceObject*>(this);
  else if (riid == IID_IOleInPlaceActiveObject)
    *out = static_cast<IOleInPlaceActiveObject*>(this);
  else if (riid == IID_IViewObject)
    *out = static_cast<IViewObject*>(this);
  else if (riid == IID_IConnectionPointContainer)
    *out = static_cast<IConnectionPointContainer*>(this);
  if (!*out) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) Control::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) Control::Release() {
  LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

// ---- IOleObject ---------------------------------------------------------

STDMETHODIMP Control::SetClientSite(IOleClientSite* site) {
  if (site == site_) return S_OK;
  if (site) site->AddRef();
  if (site_) {
    if (holdClientSite())
      holdSite(site_);
    else
      site_->Release();
  }
  site_ = site;
  if (site_) {
    IDocHostUIHandler* handler = nullptr;
    if (SUCCEEDED(site_->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler))) && handler) {
      DOCHOSTUIINFO info = {};
      info.cbSize = sizeof info;
      handler->GetHostInfo(&info);
      CoTaskMemFree(info.pchHostCss);
      CoTaskMemFree(info.pchHostNS);
      handler->Release();
    }
  }
  return S_OK;
}

STDMETHODIMP Control::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = site_;
  if (site_) site_->AddRef();
  return S_OK;
}

STDMETHODIMP Control::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP Control::Close(DWORD) {
  if (closed_) return S_OK;
  AddRef();
  InPlaceDeactivate();
  dropPage();
  closed_ = true;
  navigating_ = false;
  if (window_) {
    HWND window = window_;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    window_ = nullptr;
    DestroyWindow(window);
  }
  if (viewSink_) viewSink_->Release();
  viewSink_ = nullptr;
  Release();
  return S_OK;
}

STDMETHODIMP Control::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
STDMETHODIMP Control::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP Control::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
STDMETHODIMP Control::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP Control::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT rect) {
  if (closed_ || !window_) return E_UNEXPECTED;
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE: {
      HRESULT hr = activateInPlace(parent, rect);
      if (FAILED(hr)) return hr;
      if (verb == OLEIVERB_UIACTIVATE || verb == OLEIVERB_PRIMARY) activateUi();
      return S_OK;
    }
    case OLEIVERB_HIDE:
      ShowWindow(window_, SW_HIDE);
      return S_OK;
    default:
      return OLEOBJ_S_INVALIDVERB;
  }
}

HRESULT Control::activateInPlace(HWND parentHint, LPCRECT rectHint) {
  if (inPlace_) {
    ShowWindow(window_, SW_SHOWNA);  // after OLEIVERB_HIDE
    return S_OK;
  }
  if (!site_) return E_UNEXPECTED;
  IOleInPlaceSite* site = nullptr;
  HRESULT hr = site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site));
  if (FAILED(hr) || !site) return FAILED(hr) ? hr : E_NOINTERFACE;
  if (site->CanInPlaceActivate() != S_OK) {
    site->Release();
    return E_FAIL;
  }
  site->OnInPlaceActivate();
  HWND parent = nullptr;
  if (FAILED(site->GetWindow(&parent)) || !parent) parent = parentHint;
  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* document = nullptr;
  RECT position = {}, clip = {};
  OLEINPLACEFRAMEINFO frameInfo = {};
  frameInfo.cb = sizeof frameInfo;
  if (SUCCEEDED(site->GetWindowContext(&frame, &document, &position, &clip, &frameInfo)))
    rect_ = position;
  else if (rectHint)
    rect_ = *rectHint;
  if (frame) frame->Release();
  if (document) document->Release();
  inPlaceSite_ = site;
  inPlace_ = true;
  // A child of the host's window from now on (the style first, so SetParent
  // does not treat it as an owned pop-up).
  SetWindowLongPtrW(window_, GWL_STYLE, WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP);
  SetParent(window_, parent);
  SetWindowPos(window_, nullptr, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  return S_OK;
}

void Control::activateUi() {
  if (!inPlace_) return;
  if (!uiActive_) {
    uiActive_ = true;
    if (inPlaceSite_) inPlaceSite_->OnUIActivate();
  }
  if (window_ && GetFocus() != window_) SetFocus(window_);
}

STDMETHODIMP Control::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs) *verbs = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP Control::Update() { return S_OK; }
STDMETHODIMP Control::IsUpToDate() { return S_OK; }
STDMETHODIMP Control::GetUserClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = kClsidWebBrowser;
  return S_OK;
}
STDMETHODIMP Control::GetUserType(DWORD, LPOLESTR* type) {
  if (type) *type = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP Control::SetExtent(DWORD, SIZEL* size) {
  if (!size) return E_INVALIDARG;
  extent_ = *size;
  return S_OK;
}
STDMETHODIMP Control::GetExtent(DWORD, SIZEL* size) {
  if (!size) return E_POINTER;
  *size = extent_;
  return S_OK;
}
STDMETHODIMP Control::Advise(IAdviseSink*, DWORD* cookie) {
  if (cookie) *cookie = 0;
  return E_NOTIMPL;
}
STDMETHODIMP Control::EnumAdvise(IEnumSTATDATA** advise) {
  if (advise) *advise = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP Control::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
            OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
  return S_OK;
}
STDMETHODIMP Control::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject ---------------

STDMETHODIMP Control::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return window_ ? S_OK : E_FAIL;
}
STDMETHODIMP Control::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP Control::InPlaceDeactivate() {
  UIDeactivate();
  if (!inPlace_) return S_OK;
  inPlace_ = false;
  if (window_) ShowWindow(window_, SW_HIDE);
  if (inPlaceSite_) {
    IOleInPlaceSite* site = inPlaceSite_;
    inPlaceSite_ = nullptr;
    site->OnInPlaceDeactivate();
    site->Release();
  }
  return S_OK;
}

STDMETHODIMP Control::UIDeactivate() {
  if (!uiActive_) return S_OK;
  uiActive_ = false;
  if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
  return S_OK;
}

STDMETHODIMP Control::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_INVALIDARG;
  rect_ = *position;
  if (window_)
    SetWindowPos(window_, nullptr, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  return S_OK;
}

STDMETHODIMP Control::ReactivateAndUndo() { return E_NOTIMPL; }

STDMETHODIMP Control::TranslateAccelerator(LPMSG message) {
  if (!message) return E_INVALIDARG;
  if (message->message != WM_KEYDOWN || !page_ || !complete_ || !window_) return S_FALSE;
  if (message->hwnd != window_ && !IsChild(window_, message->hwnd)) return S_FALSE;
  ScriptPage* page = page_;
  page->AddRef();
  bool consumed = false;
  if (message->wParam == VK_TAB)
    consumed = page->moveFocus(GetKeyState(VK_SHIFT) < 0);
  else if (message->wParam == VK_RETURN || message->wParam == VK_SPACE)
    consumed = page->activateFocused();
  page->Release();
  return consumed ? S_OK : S_FALSE;
}

STDMETHODIMP Control::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP Control::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP Control::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP Control::EnableModeless(BOOL) { return S_OK; }

// ---- IViewObject --------------------------------------------------------

STDMETHODIMP Control::Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC, LPCRECTL, LPCRECTL,
                           BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  return S_OK;
}
STDMETHODIMP Control::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** palette) {
  if (palette) *palette = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP Control::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP Control::Unfreeze(DWORD) { return E_NOTIMPL; }
STDMETHODIMP Control::SetAdvise(DWORD, DWORD, IAdviseSink* sink) {
  if (sink) sink->AddRef();
  if (viewSink_) viewSink_->Release();
  viewSink_ = sink;
  return S_OK;
}
STDMETHODIMP Control::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = DVASPECT_CONTENT;
  if (flags) *flags = 0;
  if (sink) {
    *sink = viewSink_;
    if (viewSink_) viewSink_->AddRef();
  }
  return S_OK;
}

// ---- connection point ---------------------------------------------------

STDMETHODIMP Control::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points) *points = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP Control::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (riid != kDiidWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
  *point = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP Control::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = kDiidWebBrowserEvents2;
  return S_OK;
}

STDMETHODIMP Control::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  *container = static_cast<IConnectionPointContainer*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP Control::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  IDispatch* events = nullptr;
  if (FAILED(sink->QueryInterface(kDiidWebBrowserEvents2, reinterpret_cast<void**>(&events))) || !events) {
    if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&events))) || !events)
      return CONNECT_E_CANNOTCONNECT;
  }
  *cookie = nextCookie_++;
  sinks_.emplace_back(*cookie, events);
  return S_OK;
}

// Serves IConnectionPoint::Unadvise (IOleObject's Advise answers E_NOTIMPL,
// so no OLE advise cookie exists to be confused with).
STDMETHODIMP Control::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->first == cookie) {
      IDispatch* sink = it->second;
      sinks_.erase(it);
      sink->Release();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP Control::EnumConnections(IEnumConnections** connections) {
  if (connections) *connections = nullptr;
  return E_NOTIMPL;
}

}  // namespace standin
