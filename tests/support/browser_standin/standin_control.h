// The stand-in web browser control: an in-place OLE object with a child
// window of its own, serving res:// pages through ScriptPage and telling its
// event sinks about navigation as the system's control does.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "script_page.h"

namespace standin {

class Control final : public IOleObject,
                      public IOleInPlaceObject,
                      public IOleInPlaceActiveObject,
                      public IViewObject,
                      public IConnectionPointContainer,
                      public IConnectionPoint,
                      public PageOwner {
 public:
  // A control with its (hidden, parentless) window; one reference.
  Control();

  // The control that owns a stand-in window, or null.
  static Control* fromWindow(HWND window);

  // Test hooks, on the control's thread (see browser_standin.h).
  HRESULT clickElement(const std::wstring& id);
  HRESULT evalText(const std::wstring& script, BSTR* result);

  // What the IWebBrowser2 face answers. navigate fires BeforeNavigate2 at
  // once and, unless a sink cancels, loads the page later from this thread's
  // message loop; S_OK either way, E_UNEXPECTED after Close.
  HRESULT navigate(const std::wstring& url);
  // S_OK and a new document object over the page from NavigateComplete2 on
  // (while its scripts run too), until the next page starts loading; S_FALSE
  // and null when there is none (before the first page, after a failed
  // load).
  HRESULT getDocument(IDispatch** document);
  HRESULT getLocationUrl(BSTR* url);
  HRESULT getBusy(VARIANT_BOOL* busy);
  HRESULT getReadyState(LONG* state);
  HRESULT stop();  // forgets a load that has not started yet

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override;
  STDMETHODIMP Close(DWORD saveOption) override;
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override;
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override;
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override;
  STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT rect) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override;
  STDMETHODIMP SetExtent(DWORD, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink*, DWORD*) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override;
  STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override;

  // IOleWindow / IOleInPlaceObject / IOleInPlaceActiveObject
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override;
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;
  STDMETHODIMP TranslateAccelerator(LPMSG message) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL) override;
  STDMETHODIMP OnDocWindowActivate(BOOL) override;
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override;
  STDMETHODIMP EnableModeless(BOOL) override;

  // IViewObject
  STDMETHODIMP Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC, LPCRECTL, LPCRECTL,
                    BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override;
  STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override;
  STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override;
  STDMETHODIMP Unfreeze(DWORD) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;

  // IConnectionPointContainer (DWebBrowserEvents2 only) and its one point
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override;
  STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;
  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections**) override;

  // PageOwner
  void pageNavigate(const std::wstring& url) override;
  void pageSetTimer(UINT id, UINT ms) override;
  void pageClearTimer(UINT id) override;

 private:
  struct BrowserFace {
    void* const* vtbl;
    Control* owner;
  };

  ~Control();
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  IDispatch* browserDispatch() { return reinterpret_cast<IDispatch*>(&browser_); }

  HRESULT activateInPlace(HWND parentHint, LPCRECT rectHint);
  void activateUi();
  void loadPending();
  void dropPage();
  void scheduleScriptStep();
  void runScriptStep();
  std::wstring pageName(const std::wstring& url) const;

  bool fireBeforeNavigate(const std::wstring& url);
  void fireUrlEvent(DISPID id, const std::wstring& url);
  bool fireNavigateError(const std::wstring& url, LONG status);
  void fire(DISPID id, DISPPARAMS* params);

  BrowserFace browser_;
  LONG refs_ = 1;
  HWND window_ = nullptr;
  bool closed_ = false;
  IOleClientSite* site_ = nullptr;
  IOleInPlaceSite* inPlaceSite_ = nullptr;
  IAdviseSink* viewSink_ = nullptr;
  std::vector<std::pair<DWORD, IDispatch*>> sinks_;
  DWORD nextCookie_ = 1;
  bool inPlace_ = false;
  bool uiActive_ = false;
  RECT rect_ = {};
  SIZEL extent_ = {};
  ScriptPage* page_ = nullptr;
  bool complete_ = false;
  bool documentOpen_ = false;  // NavigateComplete2 has fired for page_
  std::wstring title_;
  std::wstring locationUrl_;
  std::wstring pendingUrl_;
  UINT navigation_ = 0;
  bool navigating_ = false;
  std::set<UINT> timers_;
};

}  // namespace standin
