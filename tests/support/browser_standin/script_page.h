// One loaded page: its own JScript engine (Wine's, through IActiveScript),
// the DOM library that plays the document, and the few native objects the
// script reaches (the host's `external`, res:// loading, timers, links).
#pragma once

#include <windows.h>
#include <activscp.h>

#include <string>

namespace standin {

// What a page asks of the control that shows it. All calls arrive on the
// control's thread.
class PageOwner {
 public:
  virtual void pageNavigate(const std::wstring& url) = 0;  // a followed link
  virtual void pageSetTimer(UINT id, UINT ms) = 0;
  virtual void pageClearTimer(UINT id) = 0;

 protected:
  ~PageOwner() = default;
};

class ScriptPage final : public IActiveScriptSite {
 public:
  // A page for `url` whose resource `name` holds `html`. `external` (may be
  // null) becomes window.external. The page starts with one reference.
  ScriptPage(PageOwner* owner, std::wstring url, std::wstring name, std::wstring html,
             IDispatch* external);

  // Starts the engine with the document library: an empty document, still
  // loading, in which eval works. A failure answers the HRESULT of the
  // engine call that failed.
  HRESULT start();

  // After start: builds the document from the markup, runs the page's
  // scripts in order and then its load handlers. Script errors are logged
  // and do not stop the load; E_UNEXPECTED when not started or closed.
  HRESULT load();

  // Evaluates `text` in the global scope. DISP_E_EXCEPTION (and `excepinfo`
  // filled when given) when it throws; E_UNEXPECTED after close.
  HRESULT eval(const std::wstring& text, VARIANT* result, EXCEPINFO* excepinfo);

  // The value as JavaScript's String() gives it.
  std::wstring toText(const VARIANT& value);

  // A click on the element with the id: S_OK, E_INVALIDARG when none.
  HRESULT click(const std::wstring& id);

  // Tab: focus to the next (or previous) focusable element; false when the
  // page has none. Enter or space: clicks the focused element when it is a
  // control or link; false otherwise.
  bool moveFocus(bool backwards);
  bool activateFocused();

  void fireTimer(UINT id);

  // Detaches from the owner and closes the engine (drops every reference the
  // script holds, `external` included). Later calls answer E_UNEXPECTED.
  void close();

  const std::wstring& url() const { return url_; }
  const std::wstring& name() const { return name_; }
  IDispatch* evalDispatch();  // the object IHTMLDocument2::get_Script answers

  // IUnknown / IActiveScriptSite
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetLCID(LCID* lcid) override;
  STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override;
  STDMETHODIMP GetDocVersionString(BSTR* version) override;
  STDMETHODIMP OnScriptTerminate(const VARIANT* result, const EXCEPINFO* excepinfo) override;
  STDMETHODIMP OnStateChange(SCRIPTSTATE state) override;
  STDMETHODIMP OnScriptError(IActiveScriptError* error) override;
  STDMETHODIMP OnEnterScript() override;
  STDMETHODIMP OnLeaveScript() override;

 private:
  class Native;
  class EvalDispatch;
  friend class Native;
  friend class EvalDispatch;

  ~ScriptPage();
  void shutdown();
  HRESULT run(const std::wstring& text, bool expression, VARIANT* result);
  void reportError(const std::wstring& message);

  LONG refs_ = 1;
  PageOwner* owner_;
  std::wstring url_, name_, html_;
  IDispatch* external_;
  IActiveScript* script_ = nullptr;
  IActiveScriptParse64* parse_ = nullptr;
  Native* native_;
  EvalDispatch* evalDispatch_;
  std::wstring lastError_;
  bool errorSeen_ = false;
  bool closed_ = false;
  int running_ = 0;  // script runs on the stack
  bool closePending_ = false;
};

// A document object (IHTMLDocument2, of which only get_Script, get_title,
// get_URL and get_readyState answer) over the page. Starts with one
// reference and keeps one on the page.
IDispatch* createDocument(ScriptPage* page);

// JavaScript string literal (single quotes) of the text.
std::wstring jsString(const std::wstring& text);

}  // namespace standin
