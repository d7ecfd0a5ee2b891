// The removal pages in the HTML engine under Wine, with the stand-in browser
// control (which, like the system's control, lets a res:// page read its
// string files only through the XML component): each page shows every
// string of the UI locale's file and takes that language (English for a
// locale without a string file), the host's calls land in the
// page (read back through the page's script), every button, link and check
// box sends its event, and names that hold quotes, backslashes and line
// breaks arrive as written.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <comdef.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/test_util.h"
#include "foundation/tstrings.h"
#include "htmlui/ui_context.h"
#include "scrub/tolva_scrub.h"
#include "scrub_ui/tolva_scrub_dialogs.h"
#include "support/browser_standin/standin_registration.h"

namespace {

using tscrub::SelectableVersion;
using tscrub::TolvaScrub;
using tscrub::VersionEntry;
using namespace tscrub::ui;

// A version text with a quote, a backslash, "</" and a line break after a
// tag; below minor 5 the display name holds the text itself.
const char kHostileVersion[] = "1.4.2_05-x'\\</script>\r\ny";

// The stand-in's test hooks, from the dll that COM loaded into this process.
struct Standin {
    typedef HRESULT(__cdecl* Click)(HWND, const wchar_t*);
    typedef HWND(__cdecl* LastWindow)();
    Click click = nullptr;
    LastWindow lastWindow = nullptr;

    Standin() {
        HMODULE dll = LoadLibraryW(BrowserStandinPath().c_str());
        click = reinterpret_cast<Click>(GetProcAddress(dll, "StandinClickElement"));
        lastWindow = reinterpret_cast<LastWindow>(GetProcAddress(dll, "StandinLastControlWindow"));
    }
};

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c);
    return out;
}
std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// One page shown modally on a thread of its own, as the removal flow shows
// it from the main thread while the test plays the user.
class ModalPage {
public:
    explicit ModalPage(::ui::Dialog& dialog) : dialog_(dialog) {
        thread_ = std::thread([this] {
            try {
                result_ = dialog_.showModal();
            } catch (...) {
                result_ = 99;
            }
            done_ = true;
        });
    }
    ~ModalPage() {
        if (thread_.joinable()) {
            if (!done_)
                dialog_.setResult(::ui::Dialog::Closed);
            // A loop that ignores its result would hang the join, and the
            // program with it until its CTest time-out: the run fails at once.
            if (!testutil::waitFor([&] { return done_.load(); }, 20000)) {
                ADD_FAILURE() << "showModal did not return after its result was set";
                fflush(stdout);
                TerminateProcess(GetCurrentProcess(), 3);
            }
            thread_.join();
        }
    }
    // True once the page has loaded and its window shows.
    bool waitShown() {
        return testutil::waitFor(
            [&] {
                return dialog_.getPageState() == ::ui::Dialog::Loaded && dialog_.getWindow().getHandle() &&
                       IsWindowVisible(dialog_.getWindow().getHandle());
            },
            20000);
    }
    // The result, once the page has given one (99: none in time).
    uint32_t result() {
        if (!testutil::waitFor([&] { return done_.load(); }, 20000))
            return 99;
        thread_.join();
        return result_;
    }

private:
    ::ui::Dialog& dialog_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    uint32_t result_ = 0;
};

class RemovalPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterBrowserStandin(BrowserStandinPath()));
        registered_ = true;
        ASSERT_NE(standin_.click, nullptr);
        ASSERT_NE(standin_.lastWindow, nullptr);
        context_ = ::ui::getUiContext();
        context_.localeName = "en";
    }
    void TearDown() override {
        if (registered_)
            UnregisterBrowserStandin();
    }

    // The value of script in the page of the dialog last given to watch(),
    // as text: run by the engine from this (non-UI) thread, as the removal
    // flow runs its page calls.
    void watch(::ui::Dialog& dialog) { watched_ = &dialog; }
    std::string eval(const std::string& script) {
        try {
            _variant_t value = watched_->getWindow().execJScript(script);
            if (VariantChangeType(&value, &value, VARIANT_ALPHABOOL, VT_BSTR) != S_OK || !value.bstrVal)
                return "(no text)";
            return narrow(std::wstring(value.bstrVal, SysStringLen(value.bstrVal)));
        } catch (const std::exception& e) {
            ADD_FAILURE() << script << ": " << e.what();
            return "";
        }
    }
    // The value of script as UTF-8 text.
    std::string evalUtf8(const std::string& script) {
        try {
            _variant_t value = watched_->getWindow().execJScript(script);
            if (VariantChangeType(&value, &value, VARIANT_ALPHABOOL, VT_BSTR) != S_OK || !value.bstrVal)
                return "(no text)";
            return tstrings::toUtf8(std::wstring(value.bstrVal, SysStringLen(value.bstrVal)));
        } catch (const std::exception& e) {
            ADD_FAILURE() << script << ": " << e.what();
            return "";
        }
    }
    std::string textOf(const std::string& id) {
        std::string text = eval("document.getElementById('" + id + "').innerText");
        std::string out;
        for (char c : text)
            if (c != '\r')
                out += c;
        return out;
    }
    HRESULT click(const std::string& id) { return standin_.click(standin_.lastWindow(), wide(id).c_str()); }

    static std::string windowTitle(::ui::Dialog& dialog) {
        wchar_t title[256] = {};
        GetWindowTextW(dialog.getWindow().getHandle(), title, 256);
        return narrow(title);
    }
    static bool closeBoxEnabled(::ui::Dialog& dialog) {
        HMENU menu = GetSystemMenu(dialog.getWindow().getHandle(), FALSE);
        return (GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
    }

    Standin standin_;
    ::ui::Dialog* watched_ = nullptr;
    ::ui::UiContext context_;
    bool registered_ = false;
};

VersionEntry entry(const char* version, bool is64) {
    VersionEntry e;
    e.version.init(version);
    e.is64 = is64 ? 1 : 0;
    return e;
}

// The display name as the page shows it: line breaks without CR.
std::string shown(const VersionEntry& e) {
    std::string out;
    for (char c : TolvaScrub::getDisplayName(e))
        if (c != '\r')
            out += c;
    return out;
}

// The main page with links recorded instead of opened in a browser.
class RecordingMainPage : public TolvaScrubDialog {
public:
    using TolvaScrubDialog::TolvaScrubDialog;
    std::vector<std::string> opened;

protected:
    void openLink(const std::string& address) override { opened.push_back(address); }
};

TEST_F(RemovalPagesTest, MainPage_StringsButtonsAndLinks) {
    const struct {
        const char* locale;
        const char* element;
        uint32_t result;
    } cases[] = {
        {"en", "uninstallBtnCtrl", ::ui::Dialog::Next},
        {"en", "laterBtnCtrl", ::ui::Dialog::Closed},
        {"en", "manageListLink", ::ui::Dialog::Link},
        // No Russian strings: the page speaks English rather than nothing.
        {"ru", "uninstallBtnCtrl", ::ui::Dialog::Next},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.element);
        ::ui::UiContext context = context_;
        context.localeName = c.locale;
        RecordingMainPage page(context);
        watch(page);
        ModalPage modal(page);
        ASSERT_TRUE(modal.waitShown());
        EXPECT_EQ(textOf("uninstallBtnCtrl"), "Uninstall");
        EXPECT_EQ(eval("document.title"), "Tolva Setup - Out-of-Date Versions");
        EXPECT_EQ(windowTitle(page), "Tolva Setup - Out-of-Date Versions");
        RECT frame = {};
        GetWindowRect(page.getWindow().getHandle(), &frame);
        EXPECT_EQ(frame.right - frame.left, 652);
        EXPECT_EQ(frame.bottom - frame.top, 432);
        EXPECT_EQ(eval("document.getElementById('manageListLink').getAttribute('href')"), "#");
        ASSERT_EQ(click(c.element), S_OK);
        EXPECT_EQ(modal.result(), c.result);
        EXPECT_TRUE(page.opened.empty());
    }
    // The information link goes to the browser and leaves the page open.
    RecordingMainPage page(context_);
    ModalPage modal(page);
    ASSERT_TRUE(modal.waitShown());
    ASSERT_EQ(click("moreInfo"), S_OK);
    ASSERT_TRUE(testutil::waitFor([&] { return !page.opened.empty(); }, 5000));
    EXPECT_EQ(page.opened[0], "https://www.tolva.example/olderversions");
    ASSERT_EQ(click("laterBtnCtrl"), S_OK);
    EXPECT_EQ(modal.result(), ::ui::Dialog::Closed);
}

TEST_F(RemovalPagesTest, VersionsPage_RowsTicksAndEvents) {
    TolvaScrubVersionsDialog page(context_);
    watch(page);
    const std::vector<VersionEntry> rows = {entry("1.7.0_80", false), entry(kHostileVersion, true),
                                            entry("1.8.0_40", true)};
    const auto fill = [&](const char* ticks) {
        page.list.clear();
        for (size_t i = 0; i < rows.size(); ++i)
            page.list.push_back(SelectableVersion{ticks[i] == '1', rows[i]});
    };
    {
        fill("010");
        ModalPage modal(page);
        ASSERT_TRUE(modal.waitShown());
        EXPECT_EQ(textOf("nextBtnCtrl"), "Uninstall");
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(textOf("name" + std::to_string(i)), shown(rows[i])) << i;
        // Each box sits in the element "checkbox<i>" and has the row index as id.
        EXPECT_EQ(eval("document.getElementById('checkbox1').firstChild.id"), "1");
        EXPECT_EQ(eval("String(document.getElementById('0').checked) + document.getElementById('1').checked + "
                       "document.getElementById('2').checked"),
                  "falsetruefalse");
        ASSERT_EQ(click("0"), S_OK);
        ASSERT_EQ(click("1"), S_OK);
        ASSERT_EQ(click("nextBtnCtrl"), S_OK);
        EXPECT_EQ(modal.result(), ::ui::Dialog::Next);
        std::string ticks;
        for (const SelectableVersion& row : page.list)
            ticks += row.selected ? '1' : '0';
        EXPECT_EQ(ticks, "100");
    }
    {
        // A dialog shown again loads its page again but shows its window
        // without waiting for that load (its page state stays Loaded): the
        // new ticks show once the new page is filled.
        fill("111");
        ModalPage modal(page);
        ASSERT_TRUE(modal.waitShown());
        EXPECT_TRUE(testutil::waitFor([&] { return eval("(function () { var box = document.getElementById('2');"
                                                   " return box ? String(box.checked) : 'no box'; })()") == "true"; },
                                      20000))
            << "the page shown again never showed the new ticks";
        ASSERT_EQ(click("backBtnCtrl"), S_OK);
        EXPECT_EQ(modal.result(), ::ui::Dialog::Closed);
    }
    {
        // An empty list: no rows and no tick call that could fail.
        page.list.clear();
        ModalPage modal(page);
        ASSERT_TRUE(modal.waitShown());
        EXPECT_TRUE(testutil::waitFor(
            [&] {
                return eval("(function () { var list = document.getElementById('kessaVersionList');"
                            " return list ? String(list.childNodes.length) : 'no list'; })()") == "0";
            },
            20000))
            << "the page shown again kept the earlier rows";
        ASSERT_EQ(click("nextBtnCtrl"), S_OK);
        EXPECT_EQ(modal.result(), ::ui::Dialog::Next);
    }
}

TEST_F(RemovalPagesTest, VersionsPage_FailedFillStillEndsTheLoading) {
    // The list's page address leads to the main page, which has no list
    // functions: filling it fails, and the page must still count as loaded
    // so that showing it returns.
    ::ui::UiContext context = context_;
    context.pageBase = ::ui::resourceBaseUrl() + "TOLVASCRUB.HTML#";
    TolvaScrubVersionsDialog page(context);
    page.list.push_back(SelectableVersion{true, entry("1.8.0_40", true)});
    ModalPage modal(page);
    ASSERT_TRUE(modal.waitShown());
    ASSERT_EQ(click("uninstallBtnCtrl"), S_OK);
    EXPECT_EQ(modal.result(), ::ui::Dialog::Next);
}

TEST_F(RemovalPagesTest, ProgressPage_RunningThenFinished) {
    TolvaScrubProgressDialog page(context_);
    watch(page);
    page.show();
    ASSERT_TRUE(testutil::waitFor([&] { return IsWindowVisible(page.getWindow().getHandle()) != FALSE; }, 20000));
    // The uninstall cannot be stopped: the close box is greyed by the page.
    EXPECT_FALSE(closeBoxEnabled(page));
    EXPECT_EQ(eval("document.getElementById('nextBtnCtrl').style.display"), "none");
    const VersionEntry hostile = entry(kHostileVersion, true);
    page.setStatus(TolvaScrub::getDisplayName(hostile), 2, 3);
    EXPECT_EQ(textOf("uninstallStatus"), "Uninstalling " + shown(hostile) + " (2 of 3)");
    page.hide();
    page.setFinished(true);
    for (const auto& c : {std::make_pair("viewListLink", ::ui::Dialog::Link),
                          std::make_pair("nextBtnCtrl", ::ui::Dialog::Next)}) {
        SCOPED_TRACE(c.first);
        // Shown again, the dialog loads its page again but shows its window
        // without waiting for that load (its page state stays Loaded). A
        // global set in the page shown now tells the new page from it: the
        // new one has its own script engine.
        ASSERT_EQ(eval("shownBefore = 'yes'"), "yes");
        ModalPage modal(page);
        ASSERT_TRUE(modal.waitShown());
        EXPECT_TRUE(testutil::waitFor(
            [&] {
                return eval("typeof shownBefore") == "undefined" &&
                       eval("document.getElementById('completeView').style.display") != "none";
            },
            20000))
            << "the page shown again never loaded its finished view";
        EXPECT_FALSE(closeBoxEnabled(page));
        EXPECT_EQ(eval("document.getElementById('progressView').style.display"), "none");
        EXPECT_EQ(textOf("viewListLink"), "See which versions were uninstalled");
        ASSERT_EQ(click(c.first), S_OK);
        EXPECT_EQ(modal.result(), static_cast<uint32_t>(c.second)) << c.first;
    }
}

TEST_F(RemovalPagesTest, CompleteAndRuleSetPages_ListTheirVersions) {
    const VersionEntry hostile = entry(kHostileVersion, false);
    {
        TolvaScrubCompleteDialog page({entry("1.7.0_80", false), entry("1.8.0_40", true)}, {hostile}, context_);
        watch(page);
        ModalPage modal(page);
        ASSERT_TRUE(modal.waitShown());
        EXPECT_EQ(eval("String(document.getElementById('uninstalledList').childNodes.length)"), "2");
        EXPECT_EQ(eval("document.getElementById('uninstalledList').firstChild.innerText"), "Tolva 7 Update 80");
        EXPECT_EQ(textOf("remainingList"), shown(hostile));
        ASSERT_EQ(click("closeBtnCtrl"), S_OK);
        EXPECT_EQ(modal.result(), ::ui::Dialog::Next);
    }
    {
        TolvaScrubDRSDialog page({entry("1.7.0_80", false), hostile}, context_);
        watch(page);
        ModalPage modal(page);
        ASSERT_TRUE(modal.waitShown());
        EXPECT_EQ(eval("String(document.getElementById('versionList').childNodes.length)"), "2");
        EXPECT_EQ(textOf("heading"), "Out-of-date versions of Tolva are installed");
        ASSERT_EQ(click("nextBtnCtrl"), S_OK);
        EXPECT_EQ(modal.result(), ::ui::Dialog::Next);
    }
}

// The strings of a page's string file as the program carries it, by id.
std::map<std::string, std::string> pageStrings(const std::string& file) {
    std::map<std::string, std::string> strings;
    HRSRC found = FindResourceA(nullptr, file.c_str(), MAKEINTRESOURCEA(23));
    if (!found)
        return strings;
    const std::string text(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                           SizeofResource(nullptr, found));
    const std::string open = "<String Id=\"";
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
        const size_t idEnd = text.find('"', at + open.size());
        const size_t valueEnd = text.find("</String>", idEnd);
        std::string value = text.substr(idEnd + 2, valueEnd - idEnd - 2);
        for (const auto& entity : {std::make_pair("&lt;", "<"), std::make_pair("&gt;", ">"),
                                   std::make_pair("&quot;", "\""), std::make_pair("&apos;", "'"),
                                   std::make_pair("&amp;", "&")}) {
            for (size_t e; (e = value.find(entity.first)) != std::string::npos;)
                value.replace(e, strlen(entity.first), entity.second);
        }
        strings[text.substr(at + open.size(), idEnd - at - open.size())] = value;
    }
    return strings;
}

// Page helpers that stand in for the XML component's objects: loadWith(fakes)
// loads the main page's Japanese strings with the ProgIDs named in fakes
// made by their factories (every other one as usual) and answers the locale
// loaded and the heading then shown.
const char kReaderFakes[] =
    "window.realActiveX = window.realActiveX || ActiveXObject;"
    "window.failing = function () { throw new Error('fails here'); };"
    "window.fileText = function (name) {"
    "  var r = new realActiveX('Msxml2.XMLHTTP'); r.open('GET', name, false); r.send(); return r.responseText; };"
    // A request object that reads the Japanese file, with some members replaced.
    "window.request = function (fields) { return function () {"
    "  var r = { open: function () {}, send: function () {}, status: 200, responseText: fileText('TOLVASCRUB_JA.WXL') };"
    "  for (var k in fields) r[k] = fields[k];"
    "  return r; }; };"
    // The real object, except that it cannot read addresses matching pattern.
    "window.hiding = function (progId, pattern) { return function () {"
    "  var real = new realActiveX(progId);"
    "  if (progId.indexOf('XMLHTTP') >= 0) return {"
    "    open: function (m, u, a) { if (pattern.test(u)) throw new Error('hidden'); real.open(m, u, a); },"
    "    send: function (b) { real.send(b); this.status = real.status; this.responseText = real.responseText; } };"
    "  return { load: function (u) { if (pattern.test(u)) return false; real.async = false; return real.load(u); },"
    "           getElementsByTagName: function (n) { return real.getElementsByTagName(n); } }; }; };"
    "window.loadWith = function (fakes) {"
    "  l10n.load('TOLVASCRUB', 'en');"
    "  window.ActiveXObject = function (id) { return fakes.hasOwnProperty(id) ? fakes[id]() : new realActiveX(id); };"
    "  try { return String(l10n.load('TOLVASCRUB', 'ja')) + ' ' + l10n.get('heading'); }"
    "  finally { window.ActiveXObject = realActiveX; } };"
    "0";

TEST_F(RemovalPagesTest, StringFiles_AnyFailureOfOneReaderMovesOnToTheNext) {
    TolvaScrubDialog page(context_);
    watch(page);
    ModalPage modal(page);
    ASSERT_TRUE(modal.waitShown());
    ASSERT_EQ(eval(kReaderFakes), "0");
    const std::string japanese = "ja " + pageStrings("TOLVASCRUB_JA.WXL").at("heading");
    const std::string english = pageStrings("TOLVASCRUB_EN.WXL").at("heading");
    const struct {
        const char* label;
        const char* fakes;
        std::string expected;
    } cases[] = {
        {"nothing fails", "{}", japanese},
        {"document not created", "{'Msxml2.DOMDocument': failing}", japanese},
        {"document load answers false",
         "{'Msxml2.DOMDocument': function () { return { load: function () { return false; } }; }}", japanese},
        {"document load throws", "{'Msxml2.DOMDocument': function () { return { load: failing }; }}", japanese},
        {"document without strings",
         "{'Msxml2.DOMDocument': function () { return { load: function () { return true; },"
         " getElementsByTagName: function () { return { length: 0 }; } }; }}",
         japanese},
        {"request open throws", "{'Msxml2.DOMDocument': failing, 'Msxml2.XMLHTTP': request({ open: failing })}",
         japanese},
        {"request send throws", "{'Msxml2.DOMDocument': failing, 'Msxml2.XMLHTTP': request({ send: failing })}",
         japanese},
        {"request status 404", "{'Msxml2.DOMDocument': failing, 'Msxml2.XMLHTTP': request({ status: 404 })}",
         japanese},
        {"request empty answer", "{'Msxml2.DOMDocument': failing, 'Msxml2.XMLHTTP': request({ responseText: '' })}",
         japanese},
        {"request answer without strings",
         "{'Msxml2.DOMDocument': failing, 'Msxml2.XMLHTTP': request({ responseText: '<x>no strings</x>' })}",
         japanese},
        // Without the XML component the page's own request object refuses
        // res:// as well: nothing is read and the strings shown stay.
        {"no XML component", "{'Msxml2.DOMDocument': failing, 'Msxml2.XMLHTTP': failing, 'Microsoft.XMLHTTP': failing}",
         "null " + english},
        {"only the language's file unreadable",
         "{'Msxml2.DOMDocument': hiding('Msxml2.DOMDocument', /_JA\\./),"
         " 'Msxml2.XMLHTTP': hiding('Msxml2.XMLHTTP', /_JA\\./),"
         " 'Microsoft.XMLHTTP': hiding('Microsoft.XMLHTTP', /_JA\\./)}",
         "en " + english},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(evalUtf8(std::string("loadWith(") + c.fakes + ")"), c.expected);
    }
    ASSERT_EQ(click("laterBtnCtrl"), S_OK);
    EXPECT_EQ(modal.result(), ::ui::Dialog::Closed);
}

TEST_F(RemovalPagesTest, EveryPage_ShowsTheLocaleStrings) {
    const std::map<std::string, std::string> english = pageStrings("TOLVASCRUB_EN.WXL");
    // The eleven UI locales, and one without string files.
    for (const char* locale : {"en", "zh_CN", "ja", "zh_TW", "de", "es", "fr", "it", "ko", "pt_BR", "sv", "ru"}) {
        std::string fileLocale = std::string(locale) == "ru" ? "EN" : locale;
        for (char& c : fileLocale)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        std::string language = std::string(locale) == "ru" ? "en" : locale;  // e.g. "pt-BR"
        for (char& c : language)
            c = c == '_' ? '-' : c;
        ::ui::UiContext context = context_;
        context.localeName = locale;
        TolvaScrubDialog main(context);
        TolvaScrubVersionsDialog versions(context);
        TolvaScrubProgressDialog progress(context);
        progress.setFinished(true);
        TolvaScrubCompleteDialog complete({entry("1.7.0_80", false)}, {}, context);
        TolvaScrubDRSDialog drs({entry("1.7.0_80", false)}, context);
        const struct {
            ::ui::Dialog& page;
            const char* file;
            std::vector<const char*> texts;  // element ids whose text comes from the file
            const char* close;
            uint32_t result;
        } pages[] = {
            {main, "TOLVASCRUB", {"uninstallBtnCtrl", "laterBtnCtrl", "manageListLink"}, "laterBtnCtrl",
             ::ui::Dialog::Closed},
            {versions, "TOLVASCRUB_VERSIONS", {"nextBtnCtrl", "backBtnCtrl"}, "backBtnCtrl", ::ui::Dialog::Closed},
            {progress, "TOLVASCRUB_PROGRESS", {"nextBtnCtrl", "viewListLink"}, "nextBtnCtrl", ::ui::Dialog::Next},
            {complete, "TOLVASCRUB_COMPLETE", {"closeBtnCtrl", "uninstalledHeading"}, "closeBtnCtrl",
             ::ui::Dialog::Next},
            {drs, "TOLVASCRUB_DRS", {"nextBtnCtrl", "heading"}, "nextBtnCtrl", ::ui::Dialog::Next},
        };
        for (const auto& p : pages) {
            SCOPED_TRACE(std::string(locale) + " " + p.file);
            const auto strings = pageStrings(std::string(p.file) + "_" + fileLocale + ".WXL");
            ASSERT_FALSE(strings.empty());
            watch(p.page);
            ModalPage modal(p.page);
            ASSERT_TRUE(modal.waitShown());
            wchar_t title[256] = {};
            GetWindowTextW(p.page.getWindow().getHandle(), title, 256);
            EXPECT_EQ(tstrings::toUtf8(std::wstring(title)), strings.at("title"));
            EXPECT_EQ(evalUtf8("document.title"), strings.at("title"));
            if (fileLocale != "EN") {
                EXPECT_NE(strings.at("title"), english.at("title"));
            }
            for (const char* id : p.texts) {
                const std::string shownText = evalUtf8("document.getElementById('" + std::string(id) + "').innerText");
                EXPECT_EQ(shownText, strings.at(id)) << id;
                EXPECT_FALSE(shownText.empty()) << id;
            }
            // Every other string of the file is in the element of its id too,
            // hidden ones (formats, the finished view) included.
            for (const auto& text : strings) {
                if (text.first == "title")
                    continue;
                EXPECT_EQ(evalUtf8("(function (el) { return el ? el.innerText : 'no element'; })"
                                   "(document.getElementById('" + text.first + "'))"),
                          text.second)
                    << text.first;
            }
            // The page speaks the language it loaded, so CJK text gets that
            // language's glyph forms.
            EXPECT_EQ(eval("document.documentElement.lang"), language);
            ASSERT_EQ(click(p.close), S_OK);
            EXPECT_EQ(modal.result(), p.result);
        }
    }
}

}  // namespace
