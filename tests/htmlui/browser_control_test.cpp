// The browser control host and the page bridge, called the way the browser
// calls them: navigation events with their real argument layouts (and broken
// ones), the document host UI handler, the faces of the container and the
// external object's dispatch. They run on the UI thread against a control
// hosted in a real browser window.

#include <windows.h>
#include <exdispid.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "htmlui/browser_control.h"
#include "htmlui/browser_external.h"
#include "htmlui/browser_window.h"
#include "htmlui/engine_test_support.h"
#include "htmlui/standin_environment.h"

namespace {

using enginetest::onUIThread;
using enginetest::pageUrl;
using enginetest::RecordingHandler;

// A browser window with a control, its handler's calls cleared.
class HostedControl : public ::testing::Test {
protected:
    void SetUp() override {
        window_.load(pageUrl("BASIC.HTML"), &handler_);
        ASSERT_NE(window_.getHandle(), nullptr);
        onUIThread([&] { control_ = window_.getControl(); });
        ASSERT_NE(control_, nullptr);
        // The first navigation has ended (its document complete is the last
        // thing it tells the handler) before the test drives events.
        ASSERT_TRUE(handler_.waitFor("loaded"))
            << "BASIC.HTML did not load: " << ::testing::PrintToString(handler_.calls());
        handler_.clear();
    }

    ui::BrowserWindow window_;
    RecordingHandler handler_;
    ui::BrowserControl* control_ = nullptr;
};

struct BstrHolder {
    explicit BstrHolder(const wchar_t* text) : value(SysAllocString(text)) {}
    ~BstrHolder() { SysFreeString(value); }
    BSTR value;
};

VARIANT variantOf(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    return v;
}

TEST_F(HostedControl, BeforeNavigate2_CancelsUrlsEndingInHashOnlyAndChecksItsArguments) {
    enum UrlForm { RefToBstr, BstrRef, PlainBstr, WrongType, NullRef };
    const struct Case {
        const char* what;
        UrlForm form;
        const wchar_t* url;
        UINT count;
        bool cancelByRef;
        bool cancelled;
    } cases[] = {
        {"link to #", RefToBstr, L"res://C:%5Cx.exe/BASIC.HTML#", 7, true, true},
        {"page itself", RefToBstr, L"res://C:%5Cx.exe/BASIC.HTML", 7, true, false},
        {"BSTR reference", BstrRef, L"res://C:%5Cx.exe/BASIC.HTML#", 7, true, true},
        {"plain BSTR", PlainBstr, L"#", 7, true, true},
        {"empty URL", RefToBstr, L"", 7, true, false},
        {"URL of no text type", WrongType, L"#", 7, true, false},
        {"null URL reference", NullRef, L"#", 7, true, false},
        {"too few arguments", RefToBstr, L"#", 6, true, false},
        {"Cancel by value", RefToBstr, L"#", 7, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BstrHolder url(c.url);
        BSTR urlRef = url.value;
        VARIANT urlValue = variantOf(VT_BSTR);
        urlValue.bstrVal = url.value;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANT args[7];
        for (VARIANT& a : args)
            VariantInit(&a);
        args[6] = variantOf(VT_DISPATCH);
        switch (c.form) {
        case RefToBstr: args[5] = variantOf(VT_VARIANT | VT_BYREF); args[5].pvarVal = &urlValue; break;
        case BstrRef: args[5] = variantOf(VT_BSTR | VT_BYREF); args[5].pbstrVal = &urlRef; break;
        case PlainBstr: args[5] = urlValue; break;
        case WrongType: args[5] = variantOf(VT_I4); args[5].lVal = 35; break;
        case NullRef: args[5] = variantOf(VT_VARIANT | VT_BYREF); args[5].pvarVal = nullptr; break;
        }
        if (c.cancelByRef) {
            args[0] = variantOf(VT_BOOL | VT_BYREF);
            args[0].pboolVal = &cancel;
        } else {
            args[0] = variantOf(VT_BOOL);
            args[0].boolVal = VARIANT_FALSE;
        }
        // Fewer arguments: the same layout cut at the front (pDisp side).
        DISPPARAMS params = {args, nullptr, c.count, 0};
        HRESULT hr = E_FAIL;
        onUIThread([&] { hr = control_->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &params,
                                               nullptr, nullptr, nullptr); });
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(cancel, c.cancelled ? VARIANT_TRUE : VARIANT_FALSE);
    }
    HRESULT hr = E_FAIL;
    onUIThread([&] { hr = control_->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr,
                                           nullptr, nullptr); });
    EXPECT_EQ(hr, S_OK);
}

TEST_F(HostedControl, NavigateError_IsLoggedCancelledAndReachesTheHandlerWhateverItsArguments) {
    const struct Case {
        const char* what;
        UINT count;
        bool statusByRef;
        bool cancelByRef;
        const char* handlerCall;
        bool cancelled;
    } cases[] = {
        {"real layout", 5, true, true, "navigate error 0x800C0005", true},
        {"status by value", 5, false, true, "navigate error 0x800C0005", true},
        {"Cancel by value", 5, true, false, "navigate error 0x800C0005", false},
        {"too few arguments", 4, true, true, "navigate error vt 0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        handler_.clear();
        testutil::LogCapture log;
        VARIANT status = variantOf(VT_I4);
        status.lVal = static_cast<LONG>(0x800C0005);
        VARIANT_BOOL cancel = VARIANT_FALSE;
        BstrHolder url(L"res://C:%5Cx.exe/MISSING.HTML");
        VARIANT args[5];
        args[4] = variantOf(VT_DISPATCH);
        args[3] = variantOf(VT_BSTR);
        args[3].bstrVal = url.value;
        args[2] = variantOf(VT_EMPTY);
        if (c.statusByRef) {
            args[1] = variantOf(VT_VARIANT | VT_BYREF);
            args[1].pvarVal = &status;
        } else {
            args[1] = status;
        }
        if (c.cancelByRef) {
            args[0] = variantOf(VT_BOOL | VT_BYREF);
            args[0].pboolVal = &cancel;
        } else {
            args[0] = variantOf(VT_BOOL);
        }
        DISPPARAMS params = {args + (5 - c.count), nullptr, c.count, 0};
        if (c.count < 5)
            params.rgvarg = args;
        HRESULT hr = E_FAIL;
        onUIThread([&] { hr = control_->Invoke(DISPID_NAVIGATEERROR, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                                               nullptr, nullptr); });
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(cancel, c.cancelled ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(handler_.calls(), std::vector<std::string>{c.handlerCall});
        EXPECT_NE(log.text().find("ERROR: DISPID_NAVIGATEERROR: "), std::string::npos) << log.text();
    }
}

TEST_F(HostedControl, Invoke_DocumentCompleteTellsTheHandlerAndUnknownEventsAreRefused) {
    VARIANT args[2] = {variantOf(VT_EMPTY), variantOf(VT_DISPATCH)};
    DISPPARAMS params = {args, nullptr, 2, 0};
    HRESULT complete = E_FAIL, unknown = S_OK, title = E_FAIL;
    BstrHolder text(L"Seite");
    VARIANT titleArg = variantOf(VT_BSTR);
    titleArg.bstrVal = text.value;
    DISPPARAMS titleParams = {&titleArg, nullptr, 1, 0};
    onUIThread([&] {
        complete = control_->Invoke(DISPID_DOCUMENTCOMPLETE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                                    nullptr);
        unknown = control_->Invoke(12345, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        title = control_->Invoke(DISPID_TITLECHANGE, IID_NULL, 0, DISPATCH_METHOD, &titleParams, nullptr, nullptr,
                                 nullptr);
    });
    EXPECT_EQ(complete, S_OK);
    EXPECT_EQ(unknown, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(title, S_OK);
    EXPECT_EQ(handler_.calls(), std::vector<std::string>{"loaded"});
    wchar_t windowTitle[32] = {};
    GetWindowTextW(window_.getHandle(), windowTitle, 32);
    EXPECT_STREQ(windowTitle, L"");  // the page title does not touch the window
}

TEST(BrowserControlText, VariantToStringAndGetParamString_ShowEachTypeAndSkipWhatCannotBeShown) {
    BstrHolder text(L"abc");
    VARIANT bstr = variantOf(VT_BSTR);
    bstr.bstrVal = text.value;
    VARIANT ref = variantOf(VT_VARIANT | VT_BYREF);
    ref.pvarVal = &bstr;
    VARIANT number = variantOf(VT_I4);
    number.lVal = 42;
    VARIANT broken = variantOf(VT_VARIANT);  // a VT_VARIANT must be a reference
    EXPECT_EQ(ui::variantToString(variantOf(VT_EMPTY)), "EMPTY");
    EXPECT_EQ(ui::variantToString(variantOf(VT_NULL)), "NULL");
    EXPECT_EQ(ui::variantToString(bstr), "\"abc\"");
    EXPECT_EQ(ui::variantToString(ref), "\"abc\"");
    EXPECT_EQ(ui::variantToString(number), "42");
    VARIANT params[4] = {number, broken, ref, variantOf(VT_EMPTY)};
    DISPPARAMS dp = {params, nullptr, 4, 0};
    EXPECT_EQ(ui::getParamString(&dp), "42,<unknown>,\"abc\",EMPTY");
    EXPECT_EQ(ui::getParamString(nullptr), "");
}

// Arrays, vectors and references hold pointers of another layout than the
// value they would be read as (an array of texts is a SAFEARRAY, not a
// BSTR): they are shown by their type alone, never read.
TEST(BrowserControlText, VariantToString_ArraysVectorsAndReferencesShowOnlyTheirType) {
    SAFEARRAY* texts = SafeArrayCreateVector(VT_BSTR, 0, 2);
    ASSERT_NE(texts, nullptr);
    LONG index = 0;
    BstrHolder first(L"first");
    ASSERT_EQ(SafeArrayPutElement(texts, &index, first.value), S_OK);
    SAFEARRAY* numbers = SafeArrayCreateVector(VT_I4, 0, 1);
    ASSERT_NE(numbers, nullptr);
    BstrHolder text(L"abc");
    BSTR textRef = text.value;
    LONG number = 7;

    VARIANT textArray = variantOf(VT_ARRAY | VT_BSTR);
    textArray.parray = texts;
    VARIANT numberArray = variantOf(VT_ARRAY | VT_I4);
    numberArray.parray = numbers;
    VARIANT textArrayRef = variantOf(VT_BYREF | VT_ARRAY | VT_BSTR);
    textArrayRef.pparray = &texts;
    VARIANT variantArrayRef = variantOf(VT_BYREF | VT_ARRAY | VT_VARIANT);
    variantArrayRef.pparray = &texts;
    VARIANT bstrRef = variantOf(VT_BYREF | VT_BSTR);
    bstrRef.pbstrVal = &textRef;
    VARIANT numberRef = variantOf(VT_BYREF | VT_I4);
    numberRef.plVal = &number;
    VARIANT vector = variantOf(VT_VECTOR | VT_BSTR);
    vector.bstrVal = reinterpret_cast<BSTR>(&number);  // a vector is a count and a pointer, not a text
    VARIANT refToArray = variantOf(VT_BYREF | VT_VARIANT);
    refToArray.pvarVal = &textArray;
    VARIANT refToRef = variantOf(VT_BYREF | VT_VARIANT);
    refToRef.pvarVal = &refToRef;  // a reference may not lead to another: it is not followed
    VARIANT unknownKind = variantOf(static_cast<VARTYPE>(VT_ARRAY | 0x0FFF));

    const struct {
        const char* what;
        const VARIANT* value;
        const char* text;
    } cases[] = {
        {"array of texts", &textArray, "VT_ARRAY|VT_BSTR"},
        {"array of numbers", &numberArray, "VT_ARRAY|VT_I4"},
        {"reference to an array of texts", &textArrayRef, "VT_BYREF|VT_ARRAY|VT_BSTR"},
        {"reference to an array of VARIANTs", &variantArrayRef, "VT_BYREF|VT_ARRAY|VT_VARIANT"},
        {"text reference", &bstrRef, "VT_BYREF|VT_BSTR"},
        {"number reference", &numberRef, "VT_BYREF|VT_I4"},
        {"vector of texts", &vector, "VT_VECTOR|VT_BSTR"},
        {"VARIANT reference to an array", &refToArray, "VT_ARRAY|VT_BSTR"},
        {"VARIANT reference to a VARIANT reference", &refToRef, "VT_BYREF|VT_VARIANT"},
        {"array of an unknown type", &unknownKind, "VT_ARRAY|VT_0xFFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string shown;
        EXPECT_NO_THROW(shown = ui::variantToString(*c.value));
        EXPECT_EQ(shown, c.text);
    }
    VARIANT event[2] = {textArray, refToArray};
    DISPPARAMS params = {event, nullptr, 2, 0};
    EXPECT_EQ(ui::getParamString(&params), "VT_ARRAY|VT_BSTR,VT_ARRAY|VT_BSTR");
    SafeArrayDestroy(numbers);
    SafeArrayDestroy(texts);
}

TEST_F(HostedControl, DocHostUIHandler_AnswersAsADialogHostAndWritesEveryOutPointer) {
    onUIThread([&] {
        EXPECT_EQ(control_->GetHostInfo(nullptr), E_INVALIDARG);
        DOCHOSTUIINFO info = {};
        wchar_t css[] = L"keep";
        info.pchHostCss = css;
        EXPECT_EQ(control_->GetHostInfo(&info), S_OK);
        EXPECT_EQ(info.cbSize, 32u);
        EXPECT_EQ(info.dwFlags, 0x40005u);
        EXPECT_EQ(info.dwDoubleClick, 0u);
        EXPECT_EQ(info.pchHostCss, css);

        EXPECT_EQ(control_->ShowContextMenu(0, nullptr, nullptr, nullptr), S_OK);
        IOleContainer* container = reinterpret_cast<IOleContainer*>(0x1234);
        EXPECT_EQ(control_->GetContainer(&container), E_NOINTERFACE);
        EXPECT_EQ(container, nullptr);
        IDropTarget* drop = reinterpret_cast<IDropTarget*>(0x1234);
        EXPECT_EQ(control_->GetDropTarget(nullptr, &drop), E_NOTIMPL);
        EXPECT_EQ(drop, nullptr);
        EXPECT_EQ(control_->GetExternal(nullptr), E_INVALIDARG);
        IDispatch* external = nullptr;
        EXPECT_EQ(control_->GetExternal(&external), S_OK);
        EXPECT_EQ(external, static_cast<IDispatch*>(control_->getExternal()));
        if (external)
            external->Release();
        LPOLESTR key = reinterpret_cast<LPOLESTR>(0x1234);
        EXPECT_EQ(control_->GetOptionKeyPath(&key, 0), S_FALSE);
        EXPECT_EQ(key, nullptr);
        LPWSTR translated = reinterpret_cast<LPWSTR>(0x1234);
        EXPECT_EQ(control_->TranslateUrl(0, nullptr, &translated), E_NOTIMPL);
        EXPECT_EQ(translated, nullptr);
        EXPECT_EQ(control_->TranslateAccelerator(static_cast<LPMSG>(nullptr), static_cast<const GUID*>(nullptr), 0),
                  S_FALSE);
    });
}

TEST_F(HostedControl, QueryInterface_GivesEachFaceAndOneIdentity) {
    onUIThread([&] {
        const struct {
            const IID* iid;
            void* face;
        } cases[] = {
            {&IID_IUnknown, static_cast<IOleClientSite*>(control_)},
            {&IID_IOleClientSite, static_cast<IOleClientSite*>(control_)},
            {&IID_IOleWindow, static_cast<IOleInPlaceSite*>(control_)},
            {&IID_IOleInPlaceSite, static_cast<IOleInPlaceSite*>(control_)},
            {&IID_IOleInPlaceUIWindow, static_cast<IOleInPlaceFrame*>(control_)},
            {&IID_IOleInPlaceFrame, static_cast<IOleInPlaceFrame*>(control_)},
            {&IID_IAdviseSink, static_cast<IAdviseSink*>(control_)},
            {&IID_IDispatch, static_cast<DWebBrowserEvents2*>(control_)},
            {&DIID_DWebBrowserEvents2, static_cast<DWebBrowserEvents2*>(control_)},
            {&IID_IDocHostUIHandler, static_cast<IDocHostUIHandler*>(control_)},
        };
        const LONG before = control_->getRefCount();
        for (const auto& c : cases) {
            void* face = nullptr;
            EXPECT_EQ(static_cast<IDocHostUIHandler*>(control_)->QueryInterface(*c.iid, &face), S_OK);
            EXPECT_EQ(face, c.face);
            if (face)
                static_cast<IUnknown*>(face)->Release();
        }
        void* none = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(control_->QueryInterface(IID_IOleContainer, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(control_->getRefCount(), before);
    });
}

TEST_F(HostedControl, AdviseBrowser_DisconnectingTwiceNeverUnadvisesCookieZero) {
    testutil::LogCapture log;
    HRESULT first = E_FAIL, second = E_FAIL, again = E_FAIL;
    onUIThread([&] {
        first = control_->adviseBrowser(false);
        second = control_->adviseBrowser(false);
        again = control_->adviseBrowser(true);
    });
    EXPECT_EQ(first, S_OK);
    EXPECT_EQ(second, S_OK);
    EXPECT_EQ(again, S_OK);
    EXPECT_EQ(log.text().find("Unadvise failed"), std::string::npos) << log.text();
}

// The external object's dispatch, called as a script engine calls it.
class Bridge : public HostedControl {
protected:
    HRESULT invoke(DISPID id, std::vector<VARIANT> argsInCallOrder, VARIANT* result = nullptr,
                   WORD flags = DISPATCH_METHOD, UINT* argError = nullptr, bool named = false) {
        std::vector<VARIANT> stored(argsInCallOrder.rbegin(), argsInCallOrder.rend());
        DISPID namedId = DISPID_PROPERTYPUT;
        DISPPARAMS params = {stored.empty() ? nullptr : stored.data(), named ? &namedId : nullptr,
                             static_cast<UINT>(stored.size()), named ? 1u : 0u};
        HRESULT hr = E_UNEXPECTED;
        onUIThread([&] {
            hr = control_->getExternal()->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, argError);
        });
        return hr;
    }
    static VARIANT text(BstrHolder& holder) {
        VARIANT v = variantOf(VT_BSTR);
        v.bstrVal = holder.value;
        return v;
    }
    static VARIANT number(LONG n) {
        VARIANT v = variantOf(VT_I4);
        v.lVal = n;
        return v;
    }
    static VARIANT boolean(bool b) {
        VARIANT v = variantOf(VT_BOOL);
        v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
};

TEST_F(Bridge, GetIDsOfNames_ExactNamesOnly) {
    const struct {
        std::vector<const wchar_t*> names;
        std::vector<DISPID> ids;
        HRESULT hr;
    } cases[] = {
        {{L"getLocale"}, {1}, S_OK},
        {{L"notify"}, {2}, S_OK},
        {{L"log"}, {3}, S_OK},
        {{L"setWindowProp"}, {4}, S_OK},
        {{L"Notify"}, {DISPID_UNKNOWN}, DISP_E_UNKNOWNNAME},
        {{L"bogus", L"log"}, {DISPID_UNKNOWN, 3}, DISP_E_UNKNOWNNAME},
    };
    for (const auto& c : cases) {
        std::vector<LPOLESTR> names;
        for (const wchar_t* n : c.names)
            names.push_back(const_cast<LPOLESTR>(n));
        std::vector<DISPID> ids(names.size(), 99);
        HRESULT hr = E_UNEXPECTED;
        onUIThread([&] {
            hr = control_->getExternal()->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), 0,
                                                        ids.data());
        });
        EXPECT_EQ(hr, c.hr);
        EXPECT_EQ(ids, c.ids);
    }
}

TEST_F(Bridge, Invoke_RefusesWhatIsNotAPlainMethodCallWithoutRunningAnything) {
    BstrHolder next(L"next");
    UINT argError = 99;
    EXPECT_EQ(invoke(2, {text(next)}, nullptr, DISPATCH_PROPERTYGET), E_FAIL);
    EXPECT_EQ(invoke(0, {text(next)}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invoke(5, {text(next)}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invoke(2, {text(next)}, nullptr, DISPATCH_METHOD, nullptr, true), DISP_E_NONAMEDARGS);
    // A value without a text form: its storage index comes back (0 is the last).
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
    VARIANT list = variantOf(VT_ARRAY | VT_I4);
    list.parray = array;
    EXPECT_EQ(invoke(2, {text(next), list, number(1)}, nullptr, DISPATCH_METHOD, &argError), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 1u);
    SafeArrayDestroy(array);
    // No parameter block at all.
    HRESULT hr = E_UNEXPECTED;
    onUIThread([&] { hr = control_->getExternal()->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr,
                                                          nullptr, nullptr); });
    EXPECT_EQ(hr, DISP_E_PARAMNOTOPTIONAL);
    EXPECT_TRUE(handler_.calls().empty());
}

TEST_F(Bridge, Invoke_DeliversArgumentsAsUtf8TextInCallOrder) {
    BstrHolder next(L"next"), checkbox(L"checkbox_clicked"), ticks(L"0110"), a(L"a"), b(L"b"),
        close(L"closeButton"), umlaut(L"\u00e4lter \u20ac"), title(L"title");
    const struct Case {
        const char* what;
        DISPID id;
        std::vector<VARIANT> args;
        const char* handlerCall;  // null: none
        const char* logged;       // null: nothing particular
    } cases[] = {
        {"notify with one name", 2, {text(next)}, "event next", nullptr},
        {"notify with a tick string", 2, {text(checkbox), text(ticks)}, "event checkbox_clicked|0110", nullptr},
        {"notify with a number and a boolean", 2, {text(a), number(5), boolean(true)}, "event a|5|True", nullptr},
        {"setWindowProp with a number", 4, {text(close), number(0)}, "prop closeButton|0", nullptr},
        {"non-ASCII text", 4, {text(title), text(umlaut)}, "prop title|\xC3\xA4lter \xE2\x82\xAC", nullptr},
        {"log joins without separator", 3, {text(a), text(b), number(1)}, nullptr, "INFO: ab1"},
        {"notify without arguments", 2, {}, nullptr, "external.notify: no parameters specified"},
        {"setWindowProp without arguments", 4, {}, nullptr, "external.setWindowProp: no parameters specified"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        handler_.clear();
        testutil::LogCapture log;
        VARIANT result = variantOf(VT_I4);
        EXPECT_EQ(invoke(c.id, c.args, &result), S_OK);
        EXPECT_EQ(result.vt, VT_EMPTY);
        if (c.handlerCall) {
            EXPECT_EQ(handler_.calls(), std::vector<std::string>{c.handlerCall});
        } else {
            EXPECT_TRUE(handler_.calls().empty());
        }
        if (c.logged) {
            EXPECT_NE(log.text().find(c.logged), std::string::npos) << log.text();
        }
    }
}

TEST_F(Bridge, GetLocale_HandlersLocaleOrEnWithoutHandlerExtraArgumentsIgnored) {
    RecordingHandler german("de");
    window_.load(pageUrl("BASIC.HTML"), &german);
    BstrHolder extra(L"ignored");
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(invoke(1, {text(extra)}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_STREQ(result.bstrVal, L"de");
    VariantClear(&result);
    window_.load(pageUrl("BASIC.HTML"), nullptr);
    EXPECT_EQ(invoke(1, {}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_STREQ(result.bstrVal, L"en");
    VariantClear(&result);
    // Without a handler a notify does nothing at all, not even an error line.
    testutil::LogCapture log;
    EXPECT_EQ(invoke(2, {}), S_OK);
    EXPECT_EQ(log.text().find("no parameters specified"), std::string::npos);
}

TEST(GetParam, PastTheEndThrows) {
    const ui::EventValues values = {"a", "b"};
    EXPECT_EQ(ui::getParam(values, 1), "b");
    try {
        ui::getParam(ui::EventValues(), 0);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "no parameter at the given position");
    }
}

}  // namespace
