// The launchers' resources in every UI language: each string table holds
// every English string with the same printf conversions, translated; each
// dialog exists in each language with the English controls and unique
// mnemonics; the chosen language picks strings and dialogs alike; both
// launcher programs carry all of it; and the French and Chinese texts, the
// removal pages' included, keep the punctuation of their language.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "foundation/locale.h"
#include "foundation/tstrings.h"
#include "foundation/ui_text.h"
#include "launcher/launcher_run.h"
#include "launcher/ui/dialog_impl.h"

namespace {

constexpr LANGID kEnglish = 1033;

// The dialogs of the launcher code: welcome, folder, error, progress,
// completion, plug-in and restore pages.
const int kDialogIds[] = {110, 113, 118, 4003, 117, 119, 120};

// Strings that stay the same in every language: one token without blanks,
// such as a web address, a digest, or the message ids the configuration logs
// as their own names.
bool sameInEveryLanguage(const std::wstring& english) { return english.find_first_of(L" \n") == std::wstring::npos; }

std::vector<LANGID> uiLanguages() {
    struct Collect : Locale::LocaleObserver {
        std::vector<LANGID> ids;
        bool operator()(const Locale& locale) override {
            ids.push_back(locale.getLangId());
            return true;
        }
    } collect;
    Locale::enumerateSupported(collect);
    return collect.ids;
}

BOOL CALLBACK addBlock(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::set<UINT>*>(param)->insert(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// The string table of module in exactly language (no fallback), by id.
std::map<UINT, std::wstring> stringTable(HMODULE module, LANGID language) {
    std::set<UINT> blocks;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(6), &addBlock, reinterpret_cast<LONG_PTR>(&blocks));
    std::map<UINT, std::wstring> table;
    for (UINT block : blocks) {
        HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(block), language);
        if (!found)
            continue;
        const wchar_t* p = static_cast<const wchar_t*>(LockResource(LoadResource(module, found)));
        for (UINT i = 0; i < 16; ++i) {
            const UINT length = *p++;
            if (length > 0)
                table[(block - 1) * 16 + i] = std::wstring(p, length);
            p += length;
        }
    }
    return table;
}

// The printf conversions of text in order ("s", "d", "ld", ...); "%%" is
// text.
std::vector<std::wstring> conversions(const std::wstring& text) {
    std::vector<std::wstring> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%')
            continue;
        if (i + 1 < text.size() && text[i + 1] == L'%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < text.size() && wcschr(L"-+ #0123456789.*", text[j]))
            ++j;
        std::wstring conversion;
        while (j < text.size() && wcschr(L"hlLqjzt", text[j]))
            conversion += text[j++];
        if (j < text.size())
            conversion += text[j];
        found.push_back(conversion);
        i = j;
    }
    return found;
}

std::string utf8(const std::wstring& text) { return tstrings::toUtf8(text); }

std::string languageName(LANGID language) { return std::to_string(language); }

// The launcher programs beside the test, loaded for their resources only.
class LauncherImage {
public:
    explicit LauncherImage(const char* name) : name_(name) {
        module_ = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
    }
    ~LauncherImage() {
        if (module_)
            FreeLibrary(module_);
    }
    HMODULE get() const { return module_; }
    const char* name() const { return name_; }

private:
    const char* name_;
    HMODULE module_ = nullptr;
};

void expectCompleteTables(HMODULE module, const char* programName) {
    const std::map<UINT, std::wstring> english = stringTable(module, kEnglish);
    ASSERT_FALSE(english.empty()) << programName << " carries no English string table";
    for (LANGID language : uiLanguages()) {
        if (language == kEnglish)
            continue;
        const std::map<UINT, std::wstring> translated = stringTable(module, language);
        for (const auto& entry : english) {
            const UINT id = entry.first;
            SCOPED_TRACE(std::string(programName) + " language " + languageName(language) + " string " +
                         std::to_string(id));
            auto found = translated.find(id);
            ASSERT_NE(found, translated.end()) << "missing";
            const std::wstring& text = found->second;
            EXPECT_EQ(conversions(text), conversions(entry.second)) << utf8(text);
            if (sameInEveryLanguage(entry.second)) {
                EXPECT_EQ(text, entry.second);
            } else {
                EXPECT_NE(text, entry.second) << "left in English";
            }
            // U+FFFD comes from a file read in the wrong code page.
            EXPECT_EQ(text.find(L'\xFFFD'), std::wstring::npos) << utf8(text);
        }
        for (const auto& entry : translated)
            EXPECT_TRUE(english.count(entry.first)) << "string " << entry.first << " only in " << language;
    }
}

TEST(StringTables, EveryLanguageHasEveryEnglishStringWithItsConversions) {
    expectCompleteTables(GetModuleHandleW(nullptr), "the test program");
}

TEST(StringTables, BothLaunchersCarryEveryLanguage) {
    for (const char* program : {"kessa-setup.exe", "vindel-setup.exe"}) {
        LauncherImage image(program);
        ASSERT_NE(image.get(), nullptr) << program;
        expectCompleteTables(image.get(), program);
        for (LANGID language : uiLanguages()) {
            for (int id : kDialogIds) {
                EXPECT_NE(FindResourceExW(image.get(), MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(id), language), nullptr)
                    << program << " dialog " << id << " language " << language;
            }
        }
    }
}

class LanguageReset : public ::testing::Test {
protected:
    void TearDown() override { UseUiLanguage(kEnglish); }
};

struct Sample {
    LANGID language;
    UINT id;
    const char* text;
};

// A few strings per language, as the chosen UI language's LoadString reads
// them: welcome title, error-box caption, the configuration's caption and a
// message box of the main flow.
const Sample kSamples[] = {
    {1033, 2037, "Welcome to Tolva"},
    {1033, 3073, "Tolva Installation Not Completed"},
    {2052, 2037, "欢迎使用 Tolva"},
    {2052, 3072, "错误代码：%d"},
    {1041, 2037, "Tolva へようこそ"},
    {1041, 3073, "Tolva のインストールが完了しませんでした"},
    {1041, 116, "Tolva のインストール中"},
    {1028, 2037, "歡迎使用 Tolva"},
    {1028, 2043, "Tolva 安裝程式"},
    {1031, 2037, "Willkommen bei Tolva"},
    {1031, 3079,
     "Tolva kann nicht installiert werden.\n\nDie Konfigurationsdatei %s ist in Zeile %s fehlerhaft.\n"
     "Überprüfen Sie die Daten und die Formatierung der Datei."},
    {1031, 2050, "Erneute Installation nicht möglich"},
    {1034, 2037, "Bienvenido a Tolva"},
    {1034, 2043, "Instalación de Tolva"},
    {1036, 2037, "Bienvenue dans Tolva"},
    {1036, 3072, "Code d'erreur\u00a0: %d"},
    {1040, 2037, "Benvenuti in Tolva"},
    {1040, 2061, "Installazione di Tolva - Riavvia browser"},
    {1042, 2037, "Tolva에 오신 것을 환영합니다"},
    {1042, 2042, "Tolva %s 설치를 취소하시겠습니까?"},
    {1046, 2037, "Bem-vindo ao Tolva"},
    {1046, 115, "Aviso - Instalador do Tolva"},
    {1053, 2037, "Välkommen till Tolva"},
    {1053, 3073, "Installationen av Tolva slutfördes inte"},
    // A language without resources of its own reads English (Russian).
    {1049, 2037, "Welcome to Tolva"},
};

TEST_F(LanguageReset, LoadString_ReadsTheChosenLanguage) {
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(std::to_string(sample.language) + " string " + std::to_string(sample.id));
        UseUiLanguage(sample.language);
        EXPECT_EQ(LoadStringUtf8(GetModuleHandleW(nullptr), sample.id), sample.text);
    }
}

struct DialogControls {
    std::wstring caption;
    std::multiset<int> ids;
    std::map<int, std::wstring> texts;
};

BOOL CALLBACK collectChild(HWND child, LPARAM param) {
    auto* controls = reinterpret_cast<DialogControls*>(param);
    const int id = GetDlgCtrlID(child);
    controls->ids.insert(id);
    wchar_t text[1024] = {};
    GetWindowTextW(child, text, 1024);
    controls->texts[id] = text;
    return TRUE;
}

INT_PTR CALLBACK plainDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// Dialog id created from its template in exactly language, hidden, and read.
bool readDialog(int id, LANGID language, DialogControls& out) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(id), language);
    if (!found)
        return false;
    auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, found)));
    HWND dialog = CreateDialogIndirectParamW(module, dialogTemplate, nullptr, &plainDialog, 0);
    if (!dialog)
        return false;
    wchar_t caption[256] = {};
    GetWindowTextW(dialog, caption, 256);
    out.caption = caption;
    EnumChildWindows(dialog, &collectChild, reinterpret_cast<LPARAM>(&out));
    DestroyWindow(dialog);
    return true;
}

// The mnemonic of a control text: the character after a single "&".
wchar_t mnemonic(const std::wstring& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&')
            continue;
        if (text[i + 1] == L'&') {
            ++i;
            continue;
        }
        return static_cast<wchar_t>(towupper(text[i + 1]));
    }
    return 0;
}

TEST(DialogTemplates, LoadInEveryLanguageWithTheEnglishControls) {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&init);
    for (int id : kDialogIds) {
        DialogControls english;
        ASSERT_TRUE(readDialog(id, kEnglish, english)) << "dialog " << id;
        for (LANGID language : uiLanguages()) {
            SCOPED_TRACE("dialog " + std::to_string(id) + " language " + languageName(language));
            DialogControls translated;
            ASSERT_TRUE(readDialog(id, language, translated));
            EXPECT_EQ(translated.ids, english.ids);
            EXPECT_FALSE(translated.caption.empty());
            if (language != kEnglish) {
                EXPECT_NE(translated.caption, english.caption) << utf8(translated.caption);
            }
            std::map<wchar_t, int> mnemonics;
            for (const auto& control : translated.texts) {
                const std::wstring& englishText = english.texts[control.first];
                if (!englishText.empty()) {
                    EXPECT_FALSE(control.second.empty()) << "control " << control.first;
                    if (language != kEnglish) {
                        EXPECT_NE(control.second, englishText) << "control " << control.first << " left in English";
                    }
                }
                EXPECT_EQ(mnemonic(control.second) != 0, mnemonic(englishText) != 0)
                    << "control " << control.first << ": " << utf8(control.second);
                if (const wchar_t key = mnemonic(control.second)) {
                    EXPECT_EQ(mnemonics.count(key), 0u)
                        << "mnemonic " << utf8(std::wstring(1, key)) << " of control " << control.first
                        << " also on control " << mnemonics[key];
                    mnemonics[key] = control.first;
                }
            }
        }
    }
}

// A CJK ideograph, kana, hangul, or CJK or full-width punctuation.
bool isCjk(wchar_t c) {
    return (c >= 0x3000 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xFF00 && c <= 0xFFEF);
}

// Where text of language breaks its language's punctuation, what is wrong;
// empty when nothing is. French keeps a no-break space (U+00A0 or the narrow
// U+202F) before ":" "?" "!" ";" and inside guillemets, so a line never
// starts with the mark; Chinese text takes the full-width colon and
// brackets. Web addresses ("://") and access keys ("(&C)", as Chinese
// Windows writes them) are not text.
std::string punctuationSlip(LANGID language, const std::wstring& text) {
    auto noBreak = [](wchar_t c) { return c == L'\x00A0' || c == L'\x202F'; };
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const wchar_t before = i > 0 ? text[i - 1] : L'\0';
        const wchar_t after = i + 1 < text.size() ? text[i + 1] : L'\0';
        const bool address = c == L':' && text.compare(i, 3, L"://") == 0;
        if (language == 1036) {
            if (c && wcschr(L":?!;", c) && !address && !noBreak(before))
                return "no no-break space before \"" + utf8(std::wstring(1, c)) + "\"";
            if (c == 0x00AB && !noBreak(after))
                return "no no-break space after the opening guillemet";
            if (c == 0x00BB && !noBreak(before))
                return "no no-break space before the closing guillemet";
        } else if (language == 2052 || language == 1028) {
            const bool accessKey = (c == L'(' && after == L'&' && i + 3 < text.size() && text[i + 3] == L')') ||
                                   (c == L')' && i >= 3 && text[i - 3] == L'(' && text[i - 2] == L'&');
            if (c && wcschr(L":()", c) && !address && !accessKey && std::any_of(text.begin(), text.end(), isCjk))
                return "half-width \"" + utf8(std::wstring(1, c)) + "\" in Chinese text";
        }
    }
    return std::string();
}

// The texts of the page string files (<page>_<locale>.WXL) that program
// carries for locale, entities decoded, by string id.
std::map<std::string, std::wstring> pageStrings(HMODULE program, const std::string& locale) {
    std::map<std::string, std::wstring> strings;
    for (const char* page : {"TOLVASCRUB", "TOLVASCRUB_VERSIONS", "TOLVASCRUB_PROGRESS", "TOLVASCRUB_COMPLETE",
                             "TOLVASCRUB_DRS"}) {
        const std::string file = std::string(page) + "_" + locale + ".WXL";
        HRSRC found = FindResourceA(program, file.c_str(), MAKEINTRESOURCEA(23));
        if (!found)
            continue;
        const std::string content(static_cast<const char*>(LockResource(LoadResource(program, found))),
                                  SizeofResource(program, found));
        const std::string open = "<String Id=\"";
        for (size_t at = content.find(open); at != std::string::npos; at = content.find(open, at + 1)) {
            const size_t idEnd = content.find('"', at + open.size());
            const size_t valueStart = content.find('>', idEnd) + 1;
            const size_t valueEnd = content.find("</String>", valueStart);
            std::string value = content.substr(valueStart, valueEnd - valueStart);
            for (const auto& entity : {std::make_pair("&lt;", "<"), std::make_pair("&gt;", ">"),
                                       std::make_pair("&quot;", "\""), std::make_pair("&apos;", "'"),
                                       std::make_pair("&amp;", "&")}) {
                for (size_t e; (e = value.find(entity.first)) != std::string::npos;)
                    value.replace(e, strlen(entity.first), entity.second);
            }
            strings[file + " " + content.substr(at + open.size(), idEnd - at - open.size())] =
                tstrings::toUtf16(value);
        }
    }
    return strings;
}

TEST(Punctuation, FrenchAndChineseTexts_KeepTheirLanguagesMarks) {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&init);
    LauncherImage kessa("kessa-setup.exe"), vindel("vindel-setup.exe");
    ASSERT_NE(kessa.get(), nullptr);
    ASSERT_NE(vindel.get(), nullptr);
    const struct {
        LANGID language;
        const char* pageLocale;
    } languages[] = {{1036, "FR"}, {2052, "ZH_CN"}, {1028, "ZH_TW"}};
    for (const auto& l : languages) {
        // Every text a user of the language reads, named by where it is.
        std::map<std::string, std::wstring> texts;
        for (const LauncherImage* image : {&kessa, &vindel}) {
            for (const auto& entry : stringTable(image->get(), l.language))
                texts[std::string(image->name()) + " string " + std::to_string(entry.first)] = entry.second;
        }
        for (int id : kDialogIds) {
            DialogControls dialog;
            ASSERT_TRUE(readDialog(id, l.language, dialog)) << "dialog " << id;
            texts["dialog " + std::to_string(id) + " caption"] = dialog.caption;
            for (const auto& control : dialog.texts)
                texts["dialog " + std::to_string(id) + " control " + std::to_string(control.first)] = control.second;
        }
        const auto pages = pageStrings(kessa.get(), l.pageLocale);
        EXPECT_FALSE(pages.empty()) << "no page strings for " << l.pageLocale;
        texts.insert(pages.begin(), pages.end());
        for (const auto& text : texts) {
            const std::string slip = punctuationSlip(l.language, text.second);
            EXPECT_TRUE(slip.empty()) << "language " << l.language << ", " << text.first << ": " << slip << " in \""
                                      << utf8(text.second) << "\"";
        }
    }
}

TEST_F(LanguageReset, FindResource_TakesTheChosenLanguageOrEnglish) {
    HMODULE module = GetModuleHandleW(nullptr);
    for (LANGID language : {LANGID(1041), LANGID(1031), LANGID(1053), LANGID(1049)}) {
        UseUiLanguage(language);
        EXPECT_EQ(ui::dialogLanguage(), language);
        // What the dialog layer and FindResource find for the welcome page is
        // that language's template, English for a language without one.
        const LANGID expected = language == 1049 ? kEnglish : language;
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(110), MAKEINTRESOURCEW(5));
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(LockResource(LoadResource(module, found)),
                  LockResource(LoadResource(
                      module, FindResourceExW(module, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(110), expected))))
            << language;
    }
}

}  // namespace
