#include "xml_document.h"

#include <objbase.h>
#include <oleauto.h>

#include <utility>

#include "res_url.h"
#include "standin_globals.h"

namespace standin {
namespace {

const IID kIidDispatchEx = {0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};

DISPID memberId(IDispatch* object, const wchar_t* name) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return DISPID_UNKNOWN;
  return id;
}

// A stream over a copy of the bytes, at its start; null when out of memory.
IStream* streamOver(const std::string& bytes) {
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) || !stream) return nullptr;
  ULONG written = 0;
  LARGE_INTEGER start = {};
  if ((!bytes.empty() && FAILED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written))) ||
      FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) {
    stream->Release();
    return nullptr;
  }
  return stream;
}

class XmlDocument final : public IDispatch {
 public:
  XmlDocument(IDispatch* real, std::wstring pageUrl)
      : real_(real),
        pageUrl_(std::move(pageUrl)),
        loadId_(memberId(real, L"load")),
        loadXmlId_(memberId(real, L"loadXML")),
        asyncId_(memberId(real, L"async")) {
    lockServer(true);
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    // Without IDispatchEx the script engine calls through Invoke, where
    // load() is served. The document's own interfaces come from Wine's
    // object, so the XML component's other methods take this document as
    // an argument.
    if (riid == kIidDispatchEx) return E_NOINTERFACE;
    return real_->QueryInterface(riid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override { return real_->GetTypeInfoCount(count); }
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return real_->GetTypeInfo(index, lcid, info);
  }
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return real_->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excepinfo, UINT* argErr) override {
    if (id != DISPID_UNKNOWN && id == loadId_ && (flags & DISPATCH_METHOD) && params && params->cArgs == 1 &&
        params->cNamedArgs == 0) {
      const VARIANT* source = &params->rgvarg[0];
      if (source->vt == (VT_VARIANT | VT_BYREF) && source->pvarVal) source = source->pvarVal;
      if (source->vt == VT_BSTR)
        return load(std::wstring(source->bstrVal ? source->bstrVal : L"", SysStringLen(source->bstrVal)), lcid,
                    result, excepinfo, argErr);
    }
    return real_->Invoke(id, riid, lcid, flags, params, result, excepinfo, argErr);
  }

 private:
  ~XmlDocument() {
    real_->Release();
    lockServer(false);
  }

  HRESULT load(const std::wstring& address, LCID lcid, VARIANT* result, EXCEPINFO* excepinfo, UINT* argErr) {
    const std::wstring url = resolveUrl(pageUrl_, address);
    ResUrl res;
    VARIANT source;
    VariantInit(&source);
    if (!parseResUrl(url, &res)) {
      // file:// and the network are Wine's, with the address made absolute
      // as the system's component does for a page's document.
      source.vt = VT_BSTR;
      source.bstrVal = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    } else {
      if (isAsync()) return fail(excepinfo, L"The stand-in control loads res:// documents only with async = false");
      std::string bytes;
      if (!loadResBytes(url, &bytes)) bytes.clear();  // an empty stream: false and an empty document
      IStream* stream = streamOver(bytes);
      if (!stream) return E_OUTOFMEMORY;
      source.vt = VT_UNKNOWN;
      source.punkVal = stream;
    }
    DISPPARAMS params = {&source, nullptr, 1, 0};
    HRESULT hr = real_->Invoke(loadId_, IID_NULL, lcid, DISPATCH_METHOD, &params, result, excepinfo, argErr);
    const bool fromResource = source.vt == VT_UNKNOWN;
    VariantClear(&source);
    if (SUCCEEDED(hr) || !fromResource) return hr;
    // Wine fails the call for a stream it cannot parse (an empty one too),
    // where the system's component answers false and leaves an empty
    // document: loadXML of nothing does just that.
    if (result) VariantClear(result);
    if (excepinfo && hr == DISP_E_EXCEPTION) {
      SysFreeString(excepinfo->bstrSource);
      SysFreeString(excepinfo->bstrDescription);
      SysFreeString(excepinfo->bstrHelpFile);
      *excepinfo = EXCEPINFO();
    }
    VARIANT empty;
    VariantInit(&empty);
    empty.vt = VT_BSTR;
    empty.bstrVal = SysAllocString(L"");
    DISPPARAMS reset = {&empty, nullptr, 1, 0};
    VARIANT ignored;
    VariantInit(&ignored);
    real_->Invoke(loadXmlId_, IID_NULL, lcid, DISPATCH_METHOD, &reset, &ignored, nullptr, nullptr);
    VariantClear(&ignored);
    VariantClear(&empty);
    if (result) {
      result->vt = VT_BOOL;
      result->boolVal = VARIANT_FALSE;
    }
    return S_OK;
  }

  bool isAsync() {
    if (asyncId_ == DISPID_UNKNOWN) return false;
    VARIANT value;
    VariantInit(&value);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    bool async = SUCCEEDED(real_->Invoke(asyncId_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                         &value, nullptr, nullptr)) &&
                 value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE;
    VariantClear(&value);
    return async;
  }

  static HRESULT fail(EXCEPINFO* excepinfo, const wchar_t* message) {
    if (excepinfo) {
      *excepinfo = EXCEPINFO();
      excepinfo->bstrSource = SysAllocString(L"BrowserStandin");
      excepinfo->bstrDescription = SysAllocString(message);
      excepinfo->scode = E_PENDING;
    }
    return DISP_E_EXCEPTION;
  }

  LONG refs_ = 1;
  IDispatch* real_;
  std::wstring pageUrl_;
  DISPID loadId_;
  DISPID loadXmlId_;
  DISPID asyncId_;
};

}  // namespace

IDispatch* createXmlDocument(const std::wstring& progId, const std::wstring& pageUrl) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) return nullptr;
  IDispatch* real = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&real))) ||
      !real)
    return nullptr;
  return new XmlDocument(real, pageUrl);
}

}  // namespace standin
