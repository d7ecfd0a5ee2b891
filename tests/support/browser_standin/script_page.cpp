#include "script_page.h"

#include <oleauto.h>

#include <cstdio>
#include <cwchar>

#include "com_slots.h"
#include "res_url.h"
#include "standin_globals.h"
#include "standin_log.h"
#include "xml_document.h"

namespace standin {
namespace {

// Wine's JScript; the two interfaces MinGW's uuid library lacks.
const CLSID kClsidJScript = {0xf414c260, 0x6ac0, 0x11cf, {0xb6, 0xd1, 0x00, 0xaa, 0x00, 0xbb, 0xbb, 0x58}};
const IID kIidActiveScriptParse64 = {0xc7ef7658, 0xe1ee, 0x480e, {0x97, 0xea, 0xd5, 0x2c, 0xb4, 0xd7, 0x6d, 0x17}};
const IID kIidActiveScriptProperty = {0x4954e0d0, 0xfbc7, 0x11d1, {0x84, 0x10, 0x00, 0x60, 0x08, 0xc3, 0xfb, 0xfc}};
const IID kIidHtmlDocument = {0x626fc520, 0xa41e, 0x11cf, {0xa7, 0x31, 0x00, 0xa0, 0xc9, 0x08, 0x26, 0x37}};
const IID kIidHtmlDocument2 = {0x332c4425, 0x26cb, 0x11d0, {0xb4, 0x83, 0x00, 0xc0, 0x4f, 0xd9, 0x01, 0x19}};

// The DOM library uses ES5 accessors (innerHTML, textContent and friends);
// Wine's JScript offers them only in its HTML-hosted ES5 mode.
const DWORD kInvokeVersioning = 0x4000;  // SCRIPTPROP_INVOKEVERSIONING
const LONG kVersionHtmlEs5 = 0x400 | 0x102;

const wchar_t kNativeName[] = L"standinNative";

std::wstring argText(DISPPARAMS* params, UINT index) {
  // COM passes arguments last-first.
  if (!params || index >= params->cArgs) return std::wstring();
  VARIANT* arg = &params->rgvarg[params->cArgs - 1 - index];
  VARIANT text;
  VariantInit(&text);
  std::wstring out;
  if (SUCCEEDED(VariantChangeType(&text, arg, VARIANT_ALPHABOOL, VT_BSTR)) && text.bstrVal)
    out.assign(text.bstrVal, SysStringLen(text.bstrVal));
  VariantClear(&text);
  return out;
}

LONG argInt(DISPPARAMS* params, UINT index) {
  if (!params || index >= params->cArgs) return 0;
  VARIANT value;
  VariantInit(&value);
  LONG out = 0;
  if (SUCCEEDED(VariantChangeType(&value, &params->rgvarg[params->cArgs - 1 - index], 0, VT_I4)))
    out = value.lVal;
  VariantClear(&value);
  return out;
}

void setText(VARIANT* result, const std::wstring& text) {
  if (!result) return;
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

bool libraryText(std::wstring* text) {
  HMODULE module = dllModule();
  HRSRC found = FindResourceW(module, L"STANDIN_DOM", MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module, found);
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!bytes) return false;
  *text = fromUtf8(std::string(bytes, SizeofResource(module, found)));
  return true;
}

}  // namespace

std::wstring jsString(const std::wstring& text) {
  std::wstring out = L"'";
  for (wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F && c != L'\\' && c != L'\'') {
      out += c;
    } else {
      wchar_t escape[8];
      swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
      out += escape;
    }
  }
  return out + L"'";
}

// The object the DOM library reaches the control through (`standinNative`).
// An IDispatch that lives inside its page: it counts on the page's
// references and has no type information.
class PageDispatch : public IDispatch {
 public:
  explicit PageDispatch(ScriptPage* page) : page_(page) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return page_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return page_->Release(); }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

 protected:
  ScriptPage* page_;
};

class ScriptPage::Native final : public PageDispatch {
 public:
  explicit Native(ScriptPage* page) : PageDispatch(page) {}

  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (DISPID id = 1; kNames[id - 1]; ++id)
        if (wcscmp(names[i], kNames[id - 1]) == 0) ids[i] = id;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT*) override {
    VARIANT ignored;
    VariantInit(&ignored);
    if (!result) result = &ignored;
    VariantInit(result);
    ScriptPage* page = page_;
    switch (id) {
      case 1:  // external
        if (page->external_) {
          result->vt = VT_DISPATCH;
          result->pdispVal = page->external_;
          page->external_->AddRef();
        } else {
          result->vt = VT_NULL;
        }
        break;
      case 2:  // pageUrl
        setText(result, page->url_);
        break;
      case 3:  // pageText
        setText(result, page->html_);
        break;
      case 4: {  // load(url): text of the resource, null when missing
        std::wstring text;
        if (loadResText(resolveUrl(page->url_, argText(params, 0)), &text))
          setText(result, text);
        else
          result->vt = VT_NULL;
        break;
      }
      case 5: {  // runScript(text): runs in the global scope
        HRESULT hr = page->run(argText(params, 0), false, nullptr);
        result->vt = VT_BOOL;
        result->boolVal = SUCCEEDED(hr) ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      }
      case 6:  // setTimer(id, ms)
        if (page->owner_) page->owner_->pageSetTimer(argInt(params, 0), argInt(params, 1));
        break;
      case 7:  // clearTimer(id)
        if (page->owner_) page->owner_->pageClearTimer(argInt(params, 0));
        break;
      case 8:  // alert(text)
        logLine(L"alert " + argText(params, 0));
        break;
      case 9:  // scriptError(message)
        page->reportError(argText(params, 0));
        break;
      case 10:  // navigate(url)
        if (page->owner_) page->owner_->pageNavigate(resolveUrl(page->url_, argText(params, 0)));
        break;
      case 11:  // pageName
        setText(result, page->name_);
        break;
      case 12:  // resolve(url): the address against the page's
        setText(result, resolveUrl(page->url_, argText(params, 0)));
        break;
      case 13:  // createXmlDocument(progId): the XML component's document, null when none
        if (IDispatch* document = createXmlDocument(argText(params, 0), page->url_)) {
          result->vt = VT_DISPATCH;
          result->pdispVal = document;
        } else {
          result->vt = VT_NULL;
        }
        break;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
    VariantClear(&ignored);
    return S_OK;
  }

 private:
  static constexpr const wchar_t* kNames[] = {
      L"external", L"pageUrl", L"pageText", L"load", L"runScript", L"setTimer",
      L"clearTimer", L"alert", L"scriptError", L"navigate", L"pageName", L"resolve",
      L"createXmlDocument", nullptr};
};

constexpr const wchar_t* ScriptPage::Native::kNames[];

// What IHTMLDocument2::get_Script answers: "eval" evaluates its one text
// argument in the page.
class ScriptPage::EvalDispatch final : public PageDispatch {
 public:
  explicit EvalDispatch(ScriptPage* page) : PageDispatch(page) {}

  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = (names[i] && wcscmp(names[i], L"eval") == 0) ? kEvalId : DISPID_UNKNOWN;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excepinfo, UINT* argErr) override {
    if (id != kEvalId) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs) return DISP_E_NONAMEDARGS;
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR))) {
      if (argErr) *argErr = 0;
      return DISP_E_TYPEMISMATCH;
    }
    VARIANT ignored;
    VariantInit(&ignored);
    if (result) VariantInit(result);
    HRESULT hr = page_->eval(std::wstring(text.bstrVal, SysStringLen(text.bstrVal)),
                             result ? result : &ignored, excepinfo);
    VariantClear(&ignored);
    VariantClear(&text);
    return hr;
  }

 private:
  static const DISPID kEvalId = 1;
};

ScriptPage::ScriptPage(PageOwner* owner, std::wstring url, std::wstring name, std::wstring html,
                       IDispatch* external)
    : owner_(owner),
      url_(std::move(url)),
      name_(std::move(name)),
      html_(std::move(html)),
      external_(external),
      native_(new Native(this)),
      evalDispatch_(new EvalDispatch(this)) {
  if (external_) external_->AddRef();
  pageCreated();
}

ScriptPage::~ScriptPage() {
  shutdown();
  delete native_;
  delete evalDispatch_;
  pageDestroyed();
}

void ScriptPage::close() {
  if (closed_) return;
  owner_ = nullptr;
  // Closed from inside its own script (a host that ends the control from an
  // external call, or pumps messages there): the engine closes when the
  // script returns, not under its own feet.
  if (running_ > 0) {
    closePending_ = true;
    return;
  }
  AddRef();  // the engine's Close releases its references to our own objects
  shutdown();
  Release();
}

void ScriptPage::shutdown() {
  closed_ = true;
  owner_ = nullptr;
  if (parse_) parse_->Release();
  parse_ = nullptr;
  if (script_) {
    script_->Close();
    script_->Release();
    script_ = nullptr;
  }
  if (external_) external_->Release();
  external_ = nullptr;
}

IDispatch* ScriptPage::evalDispatch() { return evalDispatch_; }

HRESULT ScriptPage::start() {
  HRESULT hr = CoCreateInstance(kClsidJScript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                reinterpret_cast<void**>(&script_));
  if (FAILED(hr)) return hr;
  IActiveScriptProperty* property = nullptr;
  if (SUCCEEDED(script_->QueryInterface(kIidActiveScriptProperty, reinterpret_cast<void**>(&property)))) {
    VARIANT version;
    version.vt = VT_I4;
    version.lVal = kVersionHtmlEs5;
    property->SetProperty(kInvokeVersioning, nullptr, &version);
    property->Release();
  }
  if (FAILED(hr = script_->SetScriptSite(this))) return hr;
  if (FAILED(hr = script_->QueryInterface(kIidActiveScriptParse64, reinterpret_cast<void**>(&parse_))))
    return hr;
  if (FAILED(hr = parse_->InitNew())) return hr;
  if (FAILED(hr = script_->AddNamedItem(kNativeName, SCRIPTITEM_ISVISIBLE))) return hr;
  if (FAILED(hr = script_->SetScriptState(SCRIPTSTATE_STARTED))) return hr;
  std::wstring library;
  if (!libraryText(&library)) return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
  return run(library, false, nullptr);
}

HRESULT ScriptPage::load() {
  AddRef();  // the load handlers may close us (a navigation does not, but be safe)
  HRESULT hr = run(L"standin.loadPage();", false, nullptr);
  Release();
  return hr;
}

HRESULT ScriptPage::run(const std::wstring& text, bool expression, VARIANT* result) {
  if (closed_ || closePending_ || !parse_) return E_UNEXPECTED;
  AddRef();
  ++running_;
  EXCEPINFO excepinfo = {};
  HRESULT hr = parse_->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                       expression ? SCRIPTTEXT_ISEXPRESSION : 0,
                                       expression ? result : nullptr, &excepinfo);
  SysFreeString(excepinfo.bstrSource);
  SysFreeString(excepinfo.bstrDescription);
  SysFreeString(excepinfo.bstrHelpFile);
  if (--running_ == 0 && closePending_) {
    closePending_ = false;
    shutdown();
  }
  Release();
  return hr;
}

HRESULT ScriptPage::eval(const std::wstring& text, VARIANT* result, EXCEPINFO* excepinfo) {
  if (closed_ || closePending_) return E_UNEXPECTED;
  AddRef();
  errorSeen_ = false;
  lastError_.clear();
  HRESULT hr = run(text, true, result);
  if (FAILED(hr) && hr != E_UNEXPECTED) {
    if (excepinfo) {
      *excepinfo = EXCEPINFO();
      excepinfo->bstrSource = SysAllocString(L"BrowserStandin");
      std::wstring message = errorSeen_ ? lastError_ : L"script error";
      excepinfo->bstrDescription = SysAllocString(message.c_str());
      excepinfo->scode = hr;
    }
    hr = DISP_E_EXCEPTION;
  }
  Release();
  return hr;
}

std::wstring ScriptPage::toText(const VARIANT& value) {
  std::wstring out;
  IDispatch* global = nullptr;
  if (!closed_ && script_ && SUCCEEDED(script_->GetScriptDispatch(nullptr, &global)) && global) {
    LPOLESTR name = const_cast<LPOLESTR>(L"String");
    DISPID id = DISPID_UNKNOWN;
    VARIANT arg = value, text;
    VariantInit(&text);
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    if (SUCCEEDED(global->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, &id)) &&
        SUCCEEDED(global->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, &text,
                                 nullptr, nullptr)) &&
        text.vt == VT_BSTR && text.bstrVal) {
      global->Release();
      out.assign(text.bstrVal, SysStringLen(text.bstrVal));
      VariantClear(&text);
      return out;
    }
    VariantClear(&text);
    global->Release();
  }
  VARIANT text;
  VariantInit(&text);
  if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR)))
    out.assign(text.bstrVal, SysStringLen(text.bstrVal));
  VariantClear(&text);
  return out;
}

HRESULT ScriptPage::click(const std::wstring& id) {
  VARIANT found;
  VariantInit(&found);
  HRESULT hr = eval(L"standin.clickById(" + jsString(id) + L")", &found, nullptr);
  bool clicked = SUCCEEDED(hr) && found.vt == VT_BOOL && found.boolVal;
  VariantClear(&found);
  if (FAILED(hr)) return hr;
  return clicked ? S_OK : E_INVALIDARG;
}

bool ScriptPage::moveFocus(bool backwards) {
  VARIANT moved;
  VariantInit(&moved);
  HRESULT hr = eval(backwards ? L"standin.moveFocus(true)" : L"standin.moveFocus(false)", &moved, nullptr);
  bool ok = SUCCEEDED(hr) && moved.vt == VT_BOOL && moved.boolVal;
  VariantClear(&moved);
  return ok;
}

bool ScriptPage::activateFocused() {
  VARIANT done;
  VariantInit(&done);
  HRESULT hr = eval(L"standin.activateFocused()", &done, nullptr);
  bool ok = SUCCEEDED(hr) && done.vt == VT_BOOL && done.boolVal;
  VariantClear(&done);
  return ok;
}

void ScriptPage::fireTimer(UINT id) {
  VARIANT ignored;
  VariantInit(&ignored);
  eval(L"standin.fireTimer(" + std::to_wstring(id) + L")", &ignored, nullptr);
  VariantClear(&ignored);
}

void ScriptPage::reportError(const std::wstring& message) {
  errorSeen_ = true;
  lastError_ = message;
  logLine(L"script-error " + name_ + L" " + message);
}

STDMETHODIMP ScriptPage::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IActiveScriptSite) {
    *out = static_cast<IActiveScriptSite*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ScriptPage::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) ScriptPage::Release() {
  LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP ScriptPage::GetLCID(LCID*) { return E_NOTIMPL; }

STDMETHODIMP ScriptPage::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) {
  if (item) *item = nullptr;
  if (info) *info = nullptr;
  if (!name || wcscmp(name, kNativeName) != 0) return TYPE_E_ELEMENTNOTFOUND;
  if (mask & SCRIPTINFO_ITYPEINFO) return TYPE_E_ELEMENTNOTFOUND;
  if ((mask & SCRIPTINFO_IUNKNOWN) && item) {
    *item = static_cast<IDispatch*>(native_);
    native_->AddRef();
  }
  return S_OK;
}

STDMETHODIMP ScriptPage::GetDocVersionString(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP ScriptPage::OnScriptTerminate(const VARIANT*, const EXCEPINFO*) { return S_OK; }
STDMETHODIMP ScriptPage::OnStateChange(SCRIPTSTATE) { return S_OK; }
STDMETHODIMP ScriptPage::OnEnterScript() { return S_OK; }
STDMETHODIMP ScriptPage::OnLeaveScript() { return S_OK; }

STDMETHODIMP ScriptPage::OnScriptError(IActiveScriptError* error) {
  EXCEPINFO info = {};
  std::wstring message;
  if (error && SUCCEEDED(error->GetExceptionInfo(&info))) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    if (info.bstrDescription && *info.bstrDescription) {
      message = info.bstrDescription;
    } else {
      wchar_t code[32];
      swprintf(code, 32, L"error 0x%08lX", static_cast<unsigned long>(info.scode));
      message = code;
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
  DWORD context = 0;
  ULONG line = 0;
  LONG column = 0;
  if (error && SUCCEEDED(error->GetSourcePosition(&context, &line, &column)))
    message += L" (line " + std::to_wstring(line + 1) + L")";
  reportError(message);
  return S_OK;
}

// ---- the document object ------------------------------------------------
namespace {

struct DocumentFace {
  void* const* vtbl;
  LONG refs;
  ScriptPage* page;
};

HRESULT STDMETHODCALLTYPE docNotImplemented() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE docQueryInterface(DocumentFace* self, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidHtmlDocument ||
      riid == kIidHtmlDocument2) {
    *out = self;
    InterlockedIncrement(&self->refs);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE docAddRef(DocumentFace* self) { return InterlockedIncrement(&self->refs); }

ULONG STDMETHODCALLTYPE docRelease(DocumentFace* self) {
  LONG left = InterlockedDecrement(&self->refs);
  if (left == 0) {
    self->page->Release();
    delete self;
  }
  return left;
}

HRESULT STDMETHODCALLTYPE docGetTypeInfoCount(DocumentFace*, UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE docGetScript(DocumentFace* self, IDispatch** script) {
  if (!script) return E_POINTER;
  *script = self->page->evalDispatch();
  (*script)->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE docGetTitle(DocumentFace* self, BSTR* title) {
  if (!title) return E_POINTER;
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = self->page->eval(L"document.title", &value, nullptr);
  *title = (SUCCEEDED(hr) && value.vt == VT_BSTR) ? SysAllocString(value.bstrVal) : SysAllocString(L"");
  VariantClear(&value);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE docGetUrl(DocumentFace* self, BSTR* url) {
  if (!url) return E_POINTER;
  *url = SysAllocString(self->page->url().c_str());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE docGetReadyState(DocumentFace* self, BSTR* state) {
  if (!state) return E_POINTER;
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = self->page->eval(L"document.readyState", &value, nullptr);
  *state = (SUCCEEDED(hr) && value.vt == VT_BSTR) ? SysAllocString(value.bstrVal) : SysAllocString(L"loading");
  VariantClear(&value);
  return S_OK;
}

// One vtable for every document. On x64 a function that ignores its
// arguments can stand in any slot (the caller owns the argument area), so
// the ~120 slots the host never calls share one E_NOTIMPL stub.
void* const* documentVtable() {
  static void** table = [] {
    void** t = new void*[kHtmlDocument2SlotCount];
    for (unsigned i = 0; i < kHtmlDocument2SlotCount; ++i) t[i] = reinterpret_cast<void*>(&docNotImplemented);
    t[0] = reinterpret_cast<void*>(&docQueryInterface);
    t[1] = reinterpret_cast<void*>(&docAddRef);
    t[2] = reinterpret_cast<void*>(&docRelease);
    t[3] = reinterpret_cast<void*>(&docGetTypeInfoCount);
    t[kHtmlDocument2GetScript] = reinterpret_cast<void*>(&docGetScript);
    t[kHtmlDocument2GetTitle] = reinterpret_cast<void*>(&docGetTitle);
    t[kHtmlDocument2GetUrl] = reinterpret_cast<void*>(&docGetUrl);
    t[kHtmlDocument2GetReadyState] = reinterpret_cast<void*>(&docGetReadyState);
    return t;
  }();
  return table;
}

}  // namespace

IDispatch* createDocument(ScriptPage* page) {
  auto* face = new DocumentFace{documentVtable(), 1, page};
  page->AddRef();
  return reinterpret_cast<IDispatch*>(face);
}

}  // namespace standin
