#include "htmlui/browser_external.h"

#include <stdexcept>

#include "foundation/logger.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"
#include "htmlui/bstr_text.h"

namespace ui {

BrowserControl::BrowserExternal::BrowserExternal(BrowserControl& owner)
    : owner_(owner), names_{L"getLocale", L"notify", L"log", L"setWindowProp"} {}

STDMETHODIMP BrowserControl::BrowserExternal::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) BrowserControl::BrowserExternal::AddRef() { return owner_.AddRef(); }

STDMETHODIMP_(ULONG) BrowserControl::BrowserExternal::Release() { return owner_.Release(); }

STDMETHODIMP BrowserControl::BrowserExternal::GetTypeInfoCount(UINT* count) {
    if (count == nullptr)
        return E_INVALIDARG;
    *count = 0;
    return S_OK;
}

STDMETHODIMP BrowserControl::BrowserExternal::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr)
        *info = nullptr;
    return E_FAIL;
}

STDMETHODIMP BrowserControl::BrowserExternal::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                                            DISPID* ids) {
    if (count > 0 && (names == nullptr || ids == nullptr))
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        for (size_t n = 0; names[i] != nullptr && n < names_.size(); ++n) {
            if (names_[n] == names[i]) {
                ids[i] = static_cast<DISPID>(n + 1);
                break;
            }
        }
        if (ids[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP BrowserControl::BrowserExternal::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                                     VARIANT* result, EXCEPINFO*, UINT* argError) {
    if ((flags & DISPATCH_METHOD) == 0)
        return E_FAIL;
    if (id < 1 || id > static_cast<DISPID>(names_.size()))
        return DISP_E_MEMBERNOTFOUND;
    // A call always carries a parameter block, if an empty one; none at all
    // is a caller's fault, not something to read through.
    if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr))
        return DISP_E_PARAMNOTOPTIONAL;
    if (params->cNamedArgs > 0)
        return DISP_E_NONAMEDARGS;
    // The page sees no value unless getLocale gives one, also when the host
    // side fails.
    if (result != nullptr)
        VariantInit(result);
    try {
        const UINT count = params->cArgs;
        EventValues values(count);
        for (UINT i = 0; i < count; ++i) {
            VARIANT text;
            VariantInit(&text);
            const HRESULT hr = VariantChangeType(&text, &params->rgvarg[i], VARIANT_ALPHABOOL, VT_BSTR);
            if (FAILED(hr) || text.vt != VT_BSTR) {
                VariantClear(&text);
                if (argError != nullptr)
                    *argError = i;
                return DISP_E_TYPEMISMATCH;
            }
            const std::wstring wide = text.bstrVal ? std::wstring(text.bstrVal, SysStringLen(text.bstrVal))
                                                   : std::wstring();
            VariantClear(&text);
            // COM stores the arguments last first.
            values[count - 1 - i] = tstrings::toUtf8(wide);
        }
        switch (id) {
        case kGetLocale: {
            WindowHandler* handler = owner_.getHandler();
            const std::string locale = handler ? handler->getLocale() : std::string("en");
            if (result != nullptr) {
                result->bstrVal = acpToBstr(locale);
                result->vt = VT_BSTR;
            }
            break;
        }
        case kNotify:
            notify(values);
            break;
        case kLog:
            log(values);
            break;
        case kSetWindowProp:
            setWindowProp(values);
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("ui::BrowserControl::BrowserExternal::Invoke", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("ui::BrowserControl::BrowserExternal::Invoke");
    }
    return S_OK;
}

void BrowserControl::BrowserExternal::notify(const EventValues& values) {
    WindowHandler* handler = owner_.getHandler();
    if (handler == nullptr)
        return;
    if (values.empty())
        throw std::runtime_error("external.notify: no parameters specified");
    handler->onEvent(values.front(), EventValues(values.begin() + 1, values.end()));
}

void BrowserControl::BrowserExternal::setWindowProp(const EventValues& values) {
    WindowHandler* handler = owner_.getHandler();
    if (handler == nullptr)
        return;
    if (values.empty())
        throw std::runtime_error("external.setWindowProp: no parameters specified");
    handler->setWindowProp(values.front(), EventValues(values.begin() + 1, values.end()));
}

void BrowserControl::BrowserExternal::log(const EventValues& values) {
    std::string text;
    for (const std::string& value : values)
        text += value;
    TDS_LOG_INFO("ui::BrowserControl::BrowserExternal::log", "%s", text.c_str());
}

}  // namespace ui
