#include "htmlui/browser_control.h"

#include <windows.h>
#include <exdispid.h>
#include <mshtml.h>
#include <mshtmdid.h>

#include <comdef.h>

#include <cstdio>
#include <stdexcept>

#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"
#include "htmlui/browser_external.h"
#include "htmlui/com_ptrs.h"
#include "htmlui/browser_window.h"
#include "htmlui/window_handler.h"

namespace ui {

using namespace com;

namespace {

constexpr DWORD kCreateContexts =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr LCID kScriptLcid = LOCALE_SYSTEM_DEFAULT;
// {8856F961-340A-11D0-A96B-00C04FD705A2}
constexpr CLSID kClsidWebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

std::string wideToAcp(const wchar_t* text, int length) {
    if (text == nullptr || length <= 0)
        return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], size, nullptr, nullptr);
    return result;
}

std::string bstrToAcp(BSTR text) {
    return text ? wideToAcp(text, static_cast<int>(SysStringLen(text))) : std::string();
}

// The VARIANT an event argument stands for: a VT_VARIANT reference is
// followed once; null when the reference is null.
const VARIANT* targetOf(const VARIANT& argument) {
    if (argument.vt == (VT_VARIANT | VT_BYREF))
        return argument.pvarVal;
    return &argument;
}

// The text of a URL argument: a BSTR, a BSTR reference or a VT_VARIANT
// reference to either. False for anything else.
bool urlArgument(const VARIANT& argument, std::string& text) {
    const VARIANT* value = targetOf(argument);
    if (value == nullptr)
        return false;
    if (value->vt == VT_BSTR) {
        text = bstrToAcp(value->bstrVal);
        return true;
    }
    if (value->vt == (VT_BSTR | VT_BYREF) && value->pbstrVal != nullptr) {
        text = bstrToAcp(*value->pbstrVal);
        return true;
    }
    return false;
}

// The Cancel argument, a VARIANT_BOOL reference, or null when it is not one.
VARIANT_BOOL* cancelArgument(const VARIANT& argument) {
    const VARIANT* value = targetOf(argument);
    if (value == nullptr || value->vt != (VT_BOOL | VT_BYREF))
        return nullptr;
    return value->pboolVal;
}

const char* eventName(DISPID id) {
    switch (id) {
    case DISPID_WINDOWRESIZE: return "DISPID_WINDOWRESIZE";
    case DISPID_WINDOWACTIVATE: return "DISPID_WINDOWACTIVATE";
    case DISPID_FRAMEBEFORENAVIGATE: return "DISPID_FRAMEBEFORENAVIGATE";
    case DISPID_FRAMENAVIGATECOMPLETE: return "DISPID_FRAMENAVIGATECOMPLETE";
    case DISPID_FRAMENEWWINDOW: return "DISPID_FRAMENEWWINDOW";
    case DISPID_BEFORENAVIGATE2: return "DISPID_BEFORENAVIGATE2";
    case DISPID_NAVIGATECOMPLETE2: return "DISPID_NAVIGATECOMPLETE2";
    case DISPID_ONVISIBLE: return "DISPID_ONVISIBLE";
    case DISPID_DOCUMENTCOMPLETE: return "DISPID_DOCUMENTCOMPLETE";
    case DISPID_WINDOWCLOSING: return "DISPID_WINDOWCLOSING";
    case DISPID_CLIENTTOHOSTWINDOW: return "DISPID_CLIENTTOHOSTWINDOW";
    case DISPID_NAVIGATEERROR: return "DISPID_NAVIGATEERROR";
    case DISPID_NEWWINDOW3: return "DISPID_NEWWINDOW3";
    case DISPID_HTMLWINDOWEVENTS_ONERROR: return "DISPID_HTMLWINDOWEVENTS_ONERROR";
    case DISPID_HTMLDOCUMENTEVENTS_ONREADYSTATECHANGE: return "DISPID_HTMLDOCUMENTEVENTS_ONREADYSTATECHANGE";
    default: return nullptr;
    }
}

class ExecJScriptAction : public ipc::Runnable {
public:
    ExecJScriptAction(BrowserControl& control, const std::string& script) : control_(control), script_(script) {}
    void run() override { result = control_.execJScriptUnsafe(script_); }
    _variant_t result;

private:
    BrowserControl& control_;
    const std::string& script_;
};

}  // namespace

namespace {

const char* baseTypeName(VARTYPE base) {
    switch (base) {
    case VT_EMPTY: return "VT_EMPTY";
    case VT_NULL: return "VT_NULL";
    case VT_I2: return "VT_I2";
    case VT_I4: return "VT_I4";
    case VT_R4: return "VT_R4";
    case VT_R8: return "VT_R8";
    case VT_CY: return "VT_CY";
    case VT_DATE: return "VT_DATE";
    case VT_BSTR: return "VT_BSTR";
    case VT_DISPATCH: return "VT_DISPATCH";
    case VT_ERROR: return "VT_ERROR";
    case VT_BOOL: return "VT_BOOL";
    case VT_VARIANT: return "VT_VARIANT";
    case VT_UNKNOWN: return "VT_UNKNOWN";
    case VT_DECIMAL: return "VT_DECIMAL";
    case VT_I1: return "VT_I1";
    case VT_UI1: return "VT_UI1";
    case VT_UI2: return "VT_UI2";
    case VT_UI4: return "VT_UI4";
    case VT_I8: return "VT_I8";
    case VT_UI8: return "VT_UI8";
    case VT_INT: return "VT_INT";
    case VT_UINT: return "VT_UINT";
    case VT_RECORD: return "VT_RECORD";
    default: return nullptr;
    }
}

// "VT_BYREF|VT_ARRAY|VT_BSTR" and the like: the flags, then the base type
// (by number when it has no name).
std::string typeName(VARTYPE vt) {
    std::string text;
    if (vt & VT_RESERVED)
        text += "VT_RESERVED|";
    if (vt & VT_BYREF)
        text += "VT_BYREF|";
    if (vt & VT_ARRAY)
        text += "VT_ARRAY|";
    if (vt & VT_VECTOR)
        text += "VT_VECTOR|";
    const VARTYPE base = vt & VT_TYPEMASK;
    if (const char* name = baseTypeName(base)) {
        text += name;
    } else {
        char number[16];
        snprintf(number, sizeof number, "VT_0x%03X", static_cast<unsigned>(base));
        text += number;
    }
    return text;
}

// A value that is not a VT_VARIANT reference.
std::string valueToString(const VARIANT& value) {
    // Arrays, vectors and references hold a pointer of another layout than
    // the scalar they would be read as (an array of texts is a SAFEARRAY, not
    // a BSTR), and a trace line must never read through it.
    if (value.vt & (VT_ARRAY | VT_BYREF | VT_VECTOR | VT_RESERVED))
        return typeName(value.vt);
    switch (value.vt) {
    case VT_EMPTY:
        return "EMPTY";
    case VT_NULL:
        return "NULL";
    case VT_BSTR:
        return "\"" + bstrToAcp(value.bstrVal) + "\"";
    case VT_VARIANT:
        // Only a reference can hold a VARIANT.
        _com_issue_error(DISP_E_BADVARTYPE);
        return std::string();
    default: {
        VARIANT text;
        VariantInit(&text);
        const HRESULT hr = VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR);
        if (FAILED(hr))
            _com_issue_error(hr);
        const std::string result = bstrToAcp(text.bstrVal);
        VariantClear(&text);
        return result;
    }
    }
}

}  // namespace

std::string variantToString(const VARIANT& value) {
    if (value.vt != (VT_VARIANT | VT_BYREF))
        return valueToString(value);
    if (value.pvarVal == nullptr)
        _com_issue_error(DISP_E_BADVARTYPE);
    // Followed once: a VARIANT reference may not lead to another one, and a
    // broken one that does (or points at itself) is shown by its type.
    const VARIANT& target = *value.pvarVal;
    if (target.vt == (VT_VARIANT | VT_BYREF))
        return typeName(target.vt);
    return valueToString(target);
}

std::string getParamString(const DISPPARAMS* params) {
    std::string text;
    if (params == nullptr || params->rgvarg == nullptr)
        return text;
    for (UINT i = 0; i < params->cArgs; ++i) {
        if (i > 0)
            text += ",";
        try {
            text += variantToString(params->rgvarg[i]);
        } catch (const _com_error& e) {
            TDS_LOG_TRACE("ui::getParamString", "(extractParam[%d]) COM Error:%08x %s", static_cast<int>(i),
                          static_cast<unsigned>(e.Error()), formatComError(e.Error()).c_str());
            text += "<unknown>";
        }
    }
    return text;
}

BrowserControl::BrowserControl() {
    TDS_LOG_TRACE("ui::BrowserControl::BrowserControl", "BrowserControl::ctor()");
    external_ = new BrowserExternal(*this);
}

BrowserControl::~BrowserControl() {
    TDS_LOG_TRACE("ui::BrowserControl::~BrowserControl", "~BrowserControl, ref=%ld",
                  static_cast<long>(refCount_.load()));
    delete external_;
    if (browser_ != nullptr)
        browser_->Release();
}

BrowserControl* BrowserControl::create(BrowserWindow* owner, const RECT& rect) {
    BrowserControl* control = new BrowserControl();
    if (!control->createControl(owner, rect)) {
        TDS_LOG_ERROR("ui::BrowserControl::create", "BrowserControl::createControl failed");
        control->destroy();
        throw std::runtime_error("BrowserControl::createControl failed");
    }
    return control;
}

HWND BrowserControl::ownerWindow() const { return owner_ ? owner_->getHandle() : nullptr; }

bool BrowserControl::createControl(BrowserWindow* owner, const RECT& rect) {
    const char* fn = "ui::BrowserControl::createControl";
    // Interface queries and calls may raise COM errors; a control that
    // cannot be made is a failed creation, never an escaping error.
    try {
        owner_ = owner;
        rect_ = rect;
        if (browser_ != nullptr) {
            browser_->Release();
            browser_ = nullptr;
        }
        IUnknownPtr unknown;
        HRESULT hr = CoCreateInstance(kClsidWebBrowser, nullptr, kCreateContexts, IID_IUnknown,
                                      reinterpret_cast<void**>(&unknown));
        // A class object that answers success without an object would have
        // OleRun read through a null pointer.
        if (SUCCEEDED(hr) && !unknown)
            hr = E_POINTER;
        if (SUCCEEDED(hr))
            hr = OleRun(unknown);
        if (SUCCEEDED(hr))
            hr = unknown->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_));
        if (FAILED(hr) || browser_ == nullptr) {
            if (browser_ != nullptr)
                browser_->Release();
            browser_ = nullptr;
            TDS_LOG_ERROR(fn, "CreateInstance failed with %s", formatComError(FAILED(hr) ? hr : E_POINTER).c_str());
            return false;
        }
        unknown = nullptr;

        IOleObjectPtr ole;
        if (FAILED(browser_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole))) || !ole) {
            TDS_LOG_ERROR(fn, "webBrowser -> OleObject");
            return false;
        }
        hr = ole->SetClientSite(static_cast<IOleClientSite*>(this));
        if (FAILED(hr)) {
            TDS_LOG_ERROR(fn, "OleObject->SetClientSite failed with %s", formatComError(hr).c_str());
            return false;
        }
        hr = ole->SetHostNames(L"containerApp", L"containerObj");
        if (FAILED(hr)) {
            TDS_LOG_ERROR(fn, "OleObject->SetHostNames failed with %s", formatComError(hr).c_str());
            return false;
        }
        hr = OleSetContainedObject(browser_, TRUE);
        if (FAILED(hr)) {
            TDS_LOG_ERROR(fn, "OleSetContainedObject failed with %s", formatComError(hr).c_str());
            return false;
        }
        IViewObjectPtr view;
        hr = browser_->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view));
        if (SUCCEEDED(hr) && view)
            hr = view->SetAdvise(DVASPECT_CONTENT, 0, static_cast<IAdviseSink*>(this));
        else if (SUCCEEDED(hr))
            hr = E_NOINTERFACE;
        if (FAILED(hr)) {
            TDS_LOG_ERROR(fn, "viewObject->SetAdvise failed with %s", formatComError(hr).c_str());
            return false;
        }
        hr = ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, ownerWindow(),
                         &rect_);
        if (FAILED(hr)) {
            TDS_LOG_ERROR(fn, "DoVerb(OLEIVERB_INPLACEACTIVATE) failed with %s", formatComError(hr).c_str());
            return false;
        }
        if (FAILED(adviseBrowser(true)))
            return false;
        browser_->put_MenuBar(VARIANT_FALSE);
        browser_->put_AddressBar(VARIANT_FALSE);
        browser_->put_StatusBar(VARIANT_FALSE);
        browser_->put_ToolBar(FALSE);
        browser_->put_RegisterAsBrowser(VARIANT_FALSE);
        browser_->put_RegisterAsDropTarget(VARIANT_FALSE);
        browser_->put_Visible(VARIANT_TRUE);
        return true;
    } catch (const _com_error& e) {
        TDS_LOG_ERROR(fn, "createControl failed with %s", formatComError(e.Error()).c_str());
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION(fn, e);
    }
    return false;
}

HRESULT BrowserControl::adviseBrowser(bool advise) {
    const char* fn = "ui::BrowserControl::adviseBrowser";
    if (browser_ == nullptr)
        return E_FAIL;
    if (!advise && adviseCookie_ == 0)
        return S_OK;  // never connected: nothing to undo, and 0 is no cookie
    IConnectionPointContainerPtr container;
    if (FAILED(browser_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) ||
        !container) {
        TDS_LOG_ERROR(fn, "cannot get CP container");
        return E_FAIL;
    }
    IConnectionPointPtr point;
    HRESULT hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point);
    if (SUCCEEDED(hr) && !point)
        hr = E_POINTER;
    if (FAILED(hr)) {
        TDS_LOG_ERROR(fn, "FindConnectionPoint failed with %s", formatComError(hr).c_str());
        return hr;
    }
    if (advise) {
        hr = point->Advise(static_cast<IOleClientSite*>(this), &adviseCookie_);
        if (FAILED(hr)) {
            adviseCookie_ = 0;
            TDS_LOG_ERROR(fn, "Advise failed with %s", formatComError(hr).c_str());
            return hr;
        }
    } else {
        hr = point->Unadvise(adviseCookie_);
        adviseCookie_ = 0;
        if (FAILED(hr)) {
            TDS_LOG_ERROR(fn, "Unadvise failed with %s", formatComError(hr).c_str());
            return hr;
        }
    }
    return S_OK;
}

void BrowserControl::destroy() {
    const char* fn = "ui::BrowserControl::destroy";
    handler_ = nullptr;
    owner_ = nullptr;
    TDS_LOG_TRACE(fn, ">>BrowserControl::destroy, ref=%ld", static_cast<long>(refCount_.load()));
    if (browser_ != nullptr) {
        try {
            IOleObjectPtr ole;
            if (SUCCEEDED(browser_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole))) && ole) {
                ole->Close(OLECLOSE_NOSAVE);
                ole->SetClientSite(nullptr);
            }
        } catch (const _com_error& e) {
            TDS_LOG_ERROR(fn, "Close failed with %s", formatComError(e.Error()).c_str());
        }
        adviseBrowser(false);
        browser_->Release();
        browser_ = nullptr;
    }
    TDS_LOG_TRACE(fn, "<<BrowserControl::destroy, ref=%ld", static_cast<long>(refCount_.load()));
    Release();
}

void BrowserControl::openUrl(BSTR url, WindowHandler* handler) {
    handler_ = handler;
    if (browser_ == nullptr) {
        handler_ = nullptr;
        throw std::logic_error("object is not created");
    }
    VARIANT flags;
    VariantInit(&flags);
    flags.vt = VT_INT;
    flags.intVal = navNoHistory;
    VARIANT empty;
    VariantInit(&empty);
    const HRESULT hr = browser_->Navigate(url, &flags, &empty, &empty, &empty);
    if (FAILED(hr)) {
        handler_ = nullptr;
        TDS_LOG_ERROR("ui::BrowserControl::openUrl", "Navigate failed with %s", formatComError(hr).c_str());
        throw std::runtime_error("webBrowser->Navigate failed");
    }
}

void BrowserControl::setRect(const RECT& rect) {
    rect_ = rect;
    if (browser_ == nullptr)
        return;
    IOleInPlaceObjectPtr inPlace;
    HRESULT hr = browser_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace));
    if (SUCCEEDED(hr) && inPlace)
        hr = inPlace->SetObjectRects(&rect_, &rect_);
    else if (SUCCEEDED(hr))
        hr = E_NOINTERFACE;
    if (FAILED(hr))
        TDS_LOG_ERROR("ui::BrowserControl::setRect", "SetObjectRects failed with %s", formatComError(hr).c_str());
}

void BrowserControl::setFocus() {
    const char* fn = "ui::BrowserControl::setFocus";
    TDS_LOG_TRACE(fn, "setFocus, isUIActivated=%d", isUIActivated_ ? 1 : 0);
    if (browser_ == nullptr)
        return;
    if (!isUIActivated_) {
        IOleObjectPtr ole;
        if (FAILED(browser_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole))) || !ole) {
            TDS_LOG_ERROR(fn, "cannot get OleObject");
        } else {
            const HRESULT hr = ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                                           ownerWindow(), &rect_);
            if (FAILED(hr))
                TDS_LOG_ERROR(fn, "DoVerb(OLEIVERB_UIACTIVATE) failed with %s", formatComError(hr).c_str());
        }
    }
    if (browser_ == nullptr)
        return;
    IOleInPlaceActiveObjectPtr active;
    if (SUCCEEDED(browser_->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active))) &&
        active)
        active->OnFrameWindowActivate(TRUE);
    const HWND objectWnd = getObjectWnd();
    const HWND focused = GetFocus();
    TDS_LOG_TRACE(fn, "parent: %p, objectWnd: %p, focusedWnd: %p", static_cast<void*>(ownerWindow()),
                  static_cast<void*>(objectWnd), static_cast<void*>(focused));
    // Without a browser window there is nothing to focus: SetFocus(NULL)
    // would take the focus away from the whole thread.
    if (objectWnd == nullptr)
        return;
    if (focused != nullptr && (focused == objectWnd || IsChild(objectWnd, focused)))
        return;
    SetFocus(objectWnd);
}

bool BrowserControl::translateAccelerator(MSG* message) {
    if (browser_ == nullptr || message == nullptr)
        return false;
    IOleInPlaceActiveObjectPtr active;
    if (FAILED(browser_->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active))) ||
        !active)
        return false;
    return active->TranslateAccelerator(message) == S_OK;
}

HWND BrowserControl::getObjectWnd() {
    if (browser_ == nullptr)
        return nullptr;
    IOleWindowPtr window;
    HWND hwnd = nullptr;
    HRESULT hr = browser_->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window));
    if (SUCCEEDED(hr) && window)
        hr = window->GetWindow(&hwnd);
    else if (SUCCEEDED(hr))
        hr = E_NOINTERFACE;
    if (FAILED(hr)) {
        TDS_LOG_ERROR("ui::BrowserControl::getObjectWnd", "OleWindow(GetWindow) failed with %s",
                      formatComError(hr).c_str());
        return nullptr;
    }
    return hwnd;
}

_variant_t BrowserControl::execJScript(const std::string& script) {
    const DWORD caller = GetCurrentThreadId();
    const HWND window = ownerWindow();
    const DWORD windowThread = window ? GetWindowThreadProcessId(window, nullptr) : 0;
    if (caller != windowThread && caller != eventThreadId_.load() && !uiThread_.isUIThread()) {
        ExecJScriptAction action(*this, script);
        uiThread_.runAction(&action);
        return action.result;
    }
    return execJScriptUnsafe(script);
}

_variant_t BrowserControl::execJScriptUnsafe(const std::string& script) {
    const char* fn = "ui::BrowserControl::execJScriptUnsafe";
    if (browser_ == nullptr)
        throw std::logic_error("object is not created");
    if (GetWindowThreadProcessId(ownerWindow(), nullptr) != GetCurrentThreadId()) {
        // The owner's window ended with an earlier UI thread, and the browser
        // lived in that thread's apartment: it must not be called from this one.
        TDS_LOG_ERROR(fn, "the control's window has gone with its UI thread");
        throw std::logic_error("object is not created");
    }
    _variant_t result;
    bool ok = false;
    try {
        do {
            IDispatchPtr document;
            HRESULT hr = browser_->get_Document(&document);
            // A browser without a finished document answers S_FALSE or a
            // null document: nothing to run the script in.
            if (hr != S_OK || !document) {
                TDS_LOG_ERROR(fn, "webBrowser->getDocument(Disp) failed with %s",
                              formatComError(FAILED(hr) ? hr : E_POINTER).c_str());
                break;
            }
            IHTMLDocument2Ptr html;
            hr = document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html));
            if (FAILED(hr) || !html) {
                TDS_LOG_ERROR(fn, "webBrowser->getDocument(HTMLDoc) failed with %s",
                              formatComError(FAILED(hr) ? hr : E_POINTER).c_str());
                break;
            }
            IDispatchPtr engine;
            hr = html->get_Script(&engine);
            if (FAILED(hr) || !engine) {
                TDS_LOG_ERROR(fn, "doc->getScript() failed with %s", formatComError(FAILED(hr) ? hr : E_POINTER).c_str());
                break;
            }
            wchar_t evalName[] = L"eval";
            LPOLESTR names[] = {evalName};
            DISPID evalId = DISPID_UNKNOWN;
            hr = engine->GetIDsOfNames(IID_NULL, names, 1, kScriptLcid, &evalId);
            if (FAILED(hr)) {
                TDS_LOG_ERROR(fn, "script->getIDsOfNames failed with %s", formatComError(hr).c_str());
                break;
            }
            const std::wstring wide = tstrings::acpToUtf16(script);
            VARIANT argument;
            VariantInit(&argument);
            argument.vt = VT_BSTR;
            argument.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
            if (argument.bstrVal == nullptr)
                throw std::bad_alloc();
            DISPPARAMS params = {&argument, nullptr, 1, 0};
            VARIANT value;
            VariantInit(&value);
            hr = engine->Invoke(evalId, IID_NULL, kScriptLcid, DISPATCH_METHOD, &params, &value, nullptr, nullptr);
            VariantClear(&argument);
            if (FAILED(hr)) {
                VariantClear(&value);
                TDS_LOG_ERROR(fn, "script->Invoke failed with %s", formatComError(hr).c_str());
                break;
            }
            result.Attach(value);
            ok = true;
        } while (false);
    } catch (const _com_error& e) {
        TDS_LOG_ERROR(fn, "script call failed with %s", formatComError(e.Error()).c_str());
        ok = false;
    }
    if (!ok)
        throw std::runtime_error("JScript execution error");
    return result;
}

// IUnknown

STDMETHODIMP BrowserControl::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        *object = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
        *object = static_cast<IOleInPlaceFrame*>(this);
    else if (riid == IID_IAdviseSink)
        *object = static_cast<IAdviseSink*>(this);
    else if (riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2)
        *object = static_cast<DWebBrowserEvents2*>(this);
    else if (riid == IID_IDocHostUIHandler)
        *object = static_cast<IDocHostUIHandler*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) BrowserControl::AddRef() { return static_cast<ULONG>(++refCount_); }

STDMETHODIMP_(ULONG) BrowserControl::Release() {
    const LONG count = --refCount_;
    if (count == 0) {
        TDS_LOG_TRACE("ui::BrowserControl::Release", "refCounter is 0, deleting this");
        delete this;
    }
    return static_cast<ULONG>(count);
}

// IOleClientSite

STDMETHODIMP BrowserControl::SaveObject() {
    TDS_LOG_TRACE("ui::BrowserControl::SaveObject", "NOT_IMPLEMENTED");
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    TDS_LOG_TRACE("ui::BrowserControl::GetMoniker", "NOT_IMPLEMENTED");
    if (moniker != nullptr)
        *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::GetContainer(IOleContainer** container) {
    if (container != nullptr)
        *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP BrowserControl::ShowObject() { return S_OK; }
STDMETHODIMP BrowserControl::OnShowWindow(BOOL) { return S_OK; }

STDMETHODIMP BrowserControl::RequestNewObjectLayout() {
    TDS_LOG_TRACE("ui::BrowserControl::RequestNewObjectLayout", "NOT_IMPLEMENTED");
    return E_NOTIMPL;
}

// IOleWindow

STDMETHODIMP BrowserControl::GetWindow(HWND* window) {
    if (window == nullptr)
        return E_INVALIDARG;
    *window = ownerWindow();
    return S_OK;
}

STDMETHODIMP BrowserControl::ContextSensitiveHelp(BOOL) {
    TDS_LOG_TRACE("ui::BrowserControl::ContextSensitiveHelp", "NOT_IMPLEMENTED");
    return E_NOTIMPL;
}

// IOleInPlaceSite

STDMETHODIMP BrowserControl::CanInPlaceActivate() {
    TDS_LOG_TRACE("ui::BrowserControl::CanInPlaceActivate", "CanInPlaceActivate");
    return S_OK;
}

STDMETHODIMP BrowserControl::OnInPlaceActivate() {
    TDS_LOG_TRACE("ui::BrowserControl::OnInPlaceActivate", "OnInPlaceActivate");
    return S_OK;
}

STDMETHODIMP BrowserControl::OnUIActivate() {
    TDS_LOG_TRACE("ui::BrowserControl::OnUIActivate", "OnUIActivate, isUIActivated was %d", isUIActivated_ ? 1 : 0);
    isUIActivated_ = true;
    return S_OK;
}

STDMETHODIMP BrowserControl::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                              LPRECT posRect, LPRECT clipRect, LPOLEINPLACEFRAMEINFO frameInfo) {
    if (frame != nullptr) {
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
    }
    if (document != nullptr)
        *document = nullptr;
    if (posRect != nullptr)
        *posRect = rect_;
    if (clipRect != nullptr)
        *clipRect = rect_;
    if (frameInfo != nullptr) {
        frameInfo->fMDIApp = FALSE;
        frameInfo->hwndFrame = ownerWindow();
        frameInfo->haccel = nullptr;
        frameInfo->cAccelEntries = 0;
    }
    return S_OK;
}

STDMETHODIMP BrowserControl::Scroll(SIZE) {
    TDS_LOG_TRACE("ui::BrowserControl::Scroll", "NOT_IMPLEMENTED");
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::OnUIDeactivate(BOOL) {
    TDS_LOG_TRACE("ui::BrowserControl::OnUIDeactivate", "OnUIDeactivate, isUIActivated was %d", isUIActivated_ ? 1 : 0);
    isUIActivated_ = false;
    return S_OK;
}

STDMETHODIMP BrowserControl::OnInPlaceDeactivate() {
    TDS_LOG_TRACE("ui::BrowserControl::OnInPlaceDeactivate", "OnInPlaceDeactivate");
    return S_OK;
}

STDMETHODIMP BrowserControl::DiscardUndoState() {
    TDS_LOG_TRACE("ui::BrowserControl::DiscardUndoState", "DiscardUndoState");
    TDS_LOG_TRACE("ui::BrowserControl::DiscardUndoState", "NOT_IMPLEMENTED");
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::DeactivateAndUndo() {
    TDS_LOG_TRACE("ui::BrowserControl::DeactivateAndUndo", "DeactivateAndUndo");
    TDS_LOG_TRACE("ui::BrowserControl::DeactivateAndUndo", "NOT_IMPLEMENTED");
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::OnPosRectChange(LPCRECT) {
    TDS_LOG_TRACE("ui::BrowserControl::OnPosRectChange", "OnPosRectChange");
    TDS_LOG_TRACE("ui::BrowserControl::OnPosRectChange", "NOT_IMPLEMENTED");
    return E_NOTIMPL;
}

// IOleInPlaceUIWindow, IOleInPlaceFrame

STDMETHODIMP BrowserControl::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP BrowserControl::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP BrowserControl::SetBorderSpace(LPCBORDERWIDTHS) { return S_OK; }

STDMETHODIMP BrowserControl::SetActiveObject(IOleInPlaceActiveObject* activeObject, LPCOLESTR) {
    TDS_LOG_TRACE("ui::BrowserControl::SetActiveObject", "ActiveObject: %s", activeObject ? "not-null" : "NULL");
    return S_OK;
}

STDMETHODIMP BrowserControl::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return S_OK; }
STDMETHODIMP BrowserControl::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
STDMETHODIMP BrowserControl::RemoveMenus(HMENU) { return S_OK; }
STDMETHODIMP BrowserControl::SetStatusText(LPCOLESTR) { return S_OK; }
STDMETHODIMP BrowserControl::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP BrowserControl::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

// IAdviseSink

STDMETHODIMP_(void) BrowserControl::OnDataChange(FORMATETC*, STGMEDIUM*) {}
STDMETHODIMP_(void) BrowserControl::OnViewChange(DWORD, LONG) {}
STDMETHODIMP_(void) BrowserControl::OnRename(IMoniker*) {}
STDMETHODIMP_(void) BrowserControl::OnSave() {}
STDMETHODIMP_(void) BrowserControl::OnClose() {}

// DWebBrowserEvents2

STDMETHODIMP BrowserControl::GetTypeInfoCount(UINT* count) {
    if (count == nullptr)
        return E_INVALIDARG;
    *count = 0;
    return S_OK;
}

STDMETHODIMP BrowserControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr)
        *info = nullptr;
    return E_FAIL;
}

STDMETHODIMP BrowserControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP BrowserControl::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    eventThreadId_.exchange(GetCurrentThreadId());
    // The event may be the last thing that keeps this object alive (a
    // handler may destroy the window): hold it for the call.
    AddRef();
    HRESULT hr = S_OK;
    try {
        hr = onEvent(id, params);
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ui::BrowserControl::Invoke", e);
    } catch (const _com_error& e) {
        TDS_LOG_ERROR("ui::BrowserControl::Invoke", "event handling failed with %s", formatComError(e.Error()).c_str());
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ui::BrowserControl::Invoke");
    }
    Release();
    return hr;
}

HRESULT BrowserControl::onEvent(DISPID id, DISPPARAMS* params) {
    const char* fn = "ui::BrowserControl::Invoke";
    const char* name = eventName(id);
    if (id == DISPID_TITLECHANGE) {
        onTitleChange(params);
        return S_OK;
    }
    if (name == nullptr)
        return DISP_E_MEMBERNOTFOUND;
    const Logger& logger = Logger::getInstance();
    switch (id) {
    case DISPID_NAVIGATEERROR:
        if (logger.isEnabled(Logger::ERROR_LEVEL))
            TDS_LOG_ERROR(fn, "%s: %s", name, getParamString(params).c_str());
        onNavigateError(params);
        return S_OK;
    case DISPID_HTMLWINDOWEVENTS_ONERROR:
        TDS_LOG_ERROR(fn, "%s: %s", name, getParamString(params).c_str());
        return S_OK;
    default:
        if (logger.isEnabled(Logger::TRACE))
            TDS_LOG_TRACE(fn, "%s: %s", name, getParamString(params).c_str());
        break;
    }
    if (id == DISPID_BEFORENAVIGATE2) {
        onBeforeNavigate2(params);
    } else if (id == DISPID_DOCUMENTCOMPLETE) {
        if (handler_ != nullptr)
            handler_->onLoadComplete();
    }
    return S_OK;
}

void BrowserControl::onBeforeNavigate2(DISPPARAMS* params) {
    const char* fn = "ui::BrowserControl::onBeforeNavigate2";
    // pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel: stored
    // last first, so the URL sits at 5 and Cancel at 0.
    if (params == nullptr || params->rgvarg == nullptr || params->cArgs != 7) {
        TDS_LOG_ERROR(fn, "unexpected BeforeNavigate2 arguments (%u)", params ? params->cArgs : 0u);
        return;
    }
    std::string url;
    if (!urlArgument(params->rgvarg[5], url)) {
        TDS_LOG_ERROR(fn, "BeforeNavigate2 without a URL text");
        return;
    }
    TDS_LOG_TRACE(fn, "OnBeforeNavigate: %s", url.c_str());
    if (!url.empty() && url.back() == '#') {
        VARIANT_BOOL* cancel = cancelArgument(params->rgvarg[0]);
        if (cancel == nullptr)
            TDS_LOG_ERROR(fn, "BeforeNavigate2 without a Cancel flag");
        else
            *cancel = VARIANT_TRUE;
    }
}

void BrowserControl::onNavigateError(DISPPARAMS* params) {
    const char* fn = "ui::BrowserControl::onNavigateError";
    // pDisp, URL, TargetFrameName, StatusCode, Cancel: StatusCode at 1,
    // Cancel at 0.
    VARIANT status;
    VariantInit(&status);
    if (params != nullptr && params->rgvarg != nullptr && params->cArgs == 5) {
        if (VARIANT_BOOL* cancel = cancelArgument(params->rgvarg[0]))
            *cancel = VARIANT_TRUE;
        else
            TDS_LOG_ERROR(fn, "NavigateError without a Cancel flag");
        if (const VARIANT* code = targetOf(params->rgvarg[1]))
            status = *code;  // a shallow view, never cleared here
    } else {
        TDS_LOG_ERROR(fn, "unexpected NavigateError arguments (%u)", params ? params->cArgs : 0u);
    }
    // The handler hears of the failure whatever the arguments were: a page
    // that never loads must not leave its dialog waiting.
    if (handler_ != nullptr)
        handler_->onNavigateError(status);
}

void BrowserControl::onTitleChange(DISPPARAMS* params) {
    std::string title;
    if (params != nullptr && params->rgvarg != nullptr && params->cArgs == 1 && params->rgvarg[0].vt == VT_BSTR &&
        params->rgvarg[0].bstrVal != nullptr) {
        try {
            title = tstrings::toUtf8(std::wstring(params->rgvarg[0].bstrVal, SysStringLen(params->rgvarg[0].bstrVal)));
        } catch (const std::exception&) {
            title = "<unknown>";
        }
    }
    TDS_LOG_TRACE("ui::BrowserControl::onTitleChange", "onTitleChange: %s", title.c_str());
}

// IDocHostUIHandler

STDMETHODIMP BrowserControl::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return S_OK; }

STDMETHODIMP BrowserControl::GetHostInfo(DOCHOSTUIINFO* info) {
    if (info == nullptr)
        return E_INVALIDARG;
    info->cbSize = 32;
    info->dwFlags = DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_THEME;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

STDMETHODIMP BrowserControl::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                    IOleInPlaceUIWindow*) {
    return S_OK;
}
STDMETHODIMP BrowserControl::HideUI() { return S_OK; }
STDMETHODIMP BrowserControl::UpdateUI() { return S_OK; }
STDMETHODIMP BrowserControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP BrowserControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP BrowserControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP BrowserControl::TranslateAccelerator(LPMSG, const GUID*, DWORD) { return S_FALSE; }

STDMETHODIMP BrowserControl::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key == nullptr)
        return E_INVALIDARG;
    *key = nullptr;
    return S_FALSE;
}

STDMETHODIMP BrowserControl::GetDropTarget(IDropTarget*, IDropTarget** replacement) {
    if (replacement != nullptr)
        *replacement = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::GetExternal(IDispatch** dispatch) {
    if (dispatch == nullptr)
        return E_INVALIDARG;
    *dispatch = external_;
    external_->AddRef();
    return S_OK;
}

STDMETHODIMP BrowserControl::TranslateUrl(DWORD, LPWSTR, LPWSTR* translated) {
    if (translated == nullptr)
        return E_INVALIDARG;
    *translated = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserControl::FilterDataObject(IDataObject*, IDataObject** filtered) {
    if (filtered == nullptr)
        return E_INVALIDARG;
    *filtered = nullptr;
    return E_NOTIMPL;
}

}  // namespace ui
