#pragma once
// The page's window.external object: the page-to-host bridge. Each call is
// routed to the owning control's current page handler, on the UI thread.

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "htmlui/browser_control.h"
#include "htmlui/window_handler.h"

namespace ui {

class BrowserControl::BrowserExternal : public IDispatch {
public:
    enum : DISPID { kGetLocale = 1, kNotify = 2, kLog = 3, kSetWindowProp = 4 };

    // Lives exactly as long as owner, whose count it shares.
    explicit BrowserExternal(BrowserControl& owner);
    virtual ~BrowserExternal() = default;
    BrowserExternal(const BrowserExternal&) = delete;
    BrowserExternal& operator=(const BrowserExternal&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    // "getLocale", "notify", "log", "setWindowProp" (exact case) give DISPIDs
    // 1 to 4; an unknown name gives DISPID_UNKNOWN and DISP_E_UNKNOWNNAME.
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    // Methods only, positional arguments only, each turned into UTF-8 text.
    // A host-side failure is logged and still answers S_OK.
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // The operations behind notify, setWindowProp and log, with the call's
    // whole argument list in call order.
    void notify(const EventValues& values);
    void setWindowProp(const EventValues& values);
    void log(const EventValues& values);

private:
    BrowserControl& owner_;
    std::vector<std::wstring> names_;
};

}  // namespace ui
