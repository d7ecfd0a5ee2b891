#pragma once
// Hosts the system's web browser control in a BrowserWindow: a hand-written
// OLE container that is at once the control's client site, in-place site and
// frame, view advise sink, navigation event sink and document host UI
// handler. Every COM call runs on the UI thread; script calls from other
// threads are handed to it.

#include <windows.h>
#include <ole2.h>
#include <exdisp.h>
#include <mshtmhst.h>

#include <comdef.h>

#include <atomic>
#include <string>

#include "htmlui/ui_thread.h"

namespace ui {

class BrowserWindow;
class WindowHandler;

class BrowserControl : public IOleClientSite,
                       public IOleInPlaceSite,
                       public IOleInPlaceFrame,
                       public IAdviseSink,
                       public DWebBrowserEvents2,
                       public IDocHostUIHandler {
public:
    class BrowserExternal;

    // A new control in owner's window at rect, carrying its creation
    // reference. Throws std::runtime_error "BrowserControl::createControl
    // failed" after releasing what was built. UI thread only.
    static BrowserControl* create(BrowserWindow* owner, const RECT& rect);

    // Creates the browser and makes it in-place active; false (logged) on
    // any failure, COM errors included.
    bool createControl(BrowserWindow* owner, const RECT& rect);
    // Disconnects and releases the browser, then drops the creation
    // reference: the object goes with its last reference.
    void destroy();
    // Makes handler the page's handler, then navigates to url. Throws
    // std::runtime_error "webBrowser->Navigate failed" (handler cleared).
    void openUrl(BSTR url, WindowHandler* handler);
    void setRect(const RECT& rect);
    // UI-activates the browser (once) and puts the focus into it unless it
    // is there already.
    void setFocus();
    // True when the browser consumed the keyboard or mouse message.
    bool translateAccelerator(MSG* message);
    // The browser's own window, or null.
    HWND getObjectWnd();
    // Connects (true) or disconnects the navigation event sink.
    HRESULT adviseBrowser(bool advise);

    // Evaluates script (ANSI) in the page on the UI thread and returns its
    // value (VT_EMPTY for a statement). Throws std::runtime_error "JScript
    // execution error" when the page cannot run it, std::logic_error "object
    // is not created" without a browser or when the owner's window ended with
    // an earlier UI thread (nothing is called then); from another thread
    // these arrive as "action failed".
    _variant_t execJScript(const std::string& script);
    // The same on the calling thread, which must be the UI thread.
    _variant_t execJScriptUnsafe(const std::string& script);

    WindowHandler* getHandler() const { return handler_; }
    BrowserExternal* getExternal() const { return external_; }
    IWebBrowser2* getBrowser() const { return browser_; }
    LONG getRefCount() const { return refCount_.load(); }

    // IUnknown, shared by every face.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOleClientSite
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD whichMoniker, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL show) override;
    STDMETHODIMP RequestNewObjectLayout() override;

    // IOleWindow (both the in-place site's and the frame's)
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                  LPRECT posRect, LPRECT clipRect,
                                  LPOLEINPLACEFRAMEINFO frameInfo) override;
    STDMETHODIMP Scroll(SIZE extent) override;
    STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override;
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(LPCRECT posRect) override;

    // IOleInPlaceUIWindow, IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT border) override;
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS widths) override;
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* activeObject, LPCOLESTR name) override;
    STDMETHODIMP InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
    STDMETHODIMP SetMenu(HMENU shared, HOLEMENU oleMenu, HWND activeObject) override;
    STDMETHODIMP RemoveMenus(HMENU shared) override;
    STDMETHODIMP SetStatusText(LPCOLESTR text) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;
    STDMETHODIMP TranslateAccelerator(LPMSG message, WORD id) override;

    // IAdviseSink
    STDMETHODIMP_(void) OnDataChange(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP_(void) OnViewChange(DWORD aspect, LONG index) override;
    STDMETHODIMP_(void) OnRename(IMoniker* moniker) override;
    STDMETHODIMP_(void) OnSave() override;
    STDMETHODIMP_(void) OnClose() override;

    // IDispatch of the event sink
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IDocHostUIHandler
    STDMETHODIMP ShowContextMenu(DWORD id, POINT* point, IUnknown* target,
                                 IDispatch* object) override;
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
    STDMETHODIMP ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject,
                        IOleCommandTarget* commandTarget, IOleInPlaceFrame* frame,
                        IOleInPlaceUIWindow* document) override;
    STDMETHODIMP HideUI() override;
    STDMETHODIMP UpdateUI() override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                              BOOL frameWindow) override;
    STDMETHODIMP TranslateAccelerator(LPMSG message, const GUID* group, DWORD id) override;
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
    STDMETHODIMP GetDropTarget(IDropTarget* dropTarget, IDropTarget** replacement) override;
    STDMETHODIMP GetExternal(IDispatch** dispatch) override;
    STDMETHODIMP TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* translated) override;
    STDMETHODIMP FilterDataObject(IDataObject* object, IDataObject** filtered) override;

private:
    BrowserControl();
    virtual ~BrowserControl();
    BrowserControl(const BrowserControl&) = delete;
    BrowserControl& operator=(const BrowserControl&) = delete;

    HRESULT onEvent(DISPID id, DISPPARAMS* params);
    void onBeforeNavigate2(DISPPARAMS* params);
    void onNavigateError(DISPPARAMS* params);
    void onTitleChange(DISPPARAMS* params);
    HWND ownerWindow() const;

    BrowserWindow* owner_ = nullptr;
    RECT rect_ = {0, 0, 0, 0};
    std::atomic<DWORD> eventThreadId_{0};
    IWebBrowser2* browser_ = nullptr;
    DWORD adviseCookie_ = 0;
    bool isUIActivated_ = false;
    BrowserExternal* external_ = nullptr;
    WindowHandler* handler_ = nullptr;
    std::atomic<LONG> refCount_{1};
    UIThread uiThread_;
};

// "<v1>,<v2>,..." of an event's parameters in stored order, each by
// variantToString; a value that cannot be shown reads "<unknown>".
std::string getParamString(const DISPPARAMS* params);
// A VARIANT as text: "EMPTY", "NULL", a BSTR in double quotes, a VT_VARIANT
// reference as its target (followed once), an array, vector or any other
// reference by its type alone ("VT_ARRAY|VT_BSTR", "VT_BYREF|VT_BOOL"; never
// read through), any other scalar as its VT_BSTR conversion. Throws
// _com_error when the conversion fails or a VT_VARIANT is not a reference.
std::string variantToString(const VARIANT& value);

}  // namespace ui
