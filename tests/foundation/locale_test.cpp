// UI locale choice: matching ids, the preferred-language lists of both system
// paths (the Vista one through a stand-in of the system call) and fallbacks.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/locale.h"
#include "foundation/locale_internal.h"

namespace {

using Ids = std::vector<uint16_t>;

struct MatchCase {
    uint16_t id;
    const char* name;  // null: no locale
};

class LocaleMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(LocaleMatchTest, IsSupported_MatchesListedIdsOnly) {
    const MatchCase& c = GetParam();
    Locale found = Locale::swedish();
    EXPECT_EQ(Locale::isSupported(c.id, found), c.name != nullptr) << c.id;
    EXPECT_EQ(found.getName(), c.name ? c.name : "sv") << c.id;
}

INSTANTIATE_TEST_SUITE_P(Ids, LocaleMatchTest,
                         ::testing::Values(MatchCase{1033, nullptr}, MatchCase{9, "en"}, MatchCase{4100, "zh_CN"},
                                           MatchCase{4, "zh_CN"}, MatchCase{2052, "zh_CN"},
                                           MatchCase{3076, "zh_TW"}, MatchCase{31748, "zh_TW"},
                                           MatchCase{2070, nullptr}, MatchCase{22, nullptr},
                                           MatchCase{1046, "pt_BR"}, MatchCase{17, "ja"}, MatchCase{1041, nullptr},
                                           MatchCase{29, "sv"}, MatchCase{0, nullptr}));

TEST(Locale, NamesCodesAndIdsOfTheElevenLocales) {
    struct Collector : Locale::LocaleObserver {
        std::vector<std::string> seen;
        bool operator()(const Locale& l) override {
            seen.push_back(l.getName() + "/" + l.getLangCode() + "/" + std::to_string(l.getLangId()));
            return true;
        }
    } all;
    Locale::enumerateSupported(all);
    EXPECT_EQ(all.seen, (std::vector<std::string>{"en/en/1033", "zh_CN/zh/2052", "ja/ja/1041", "zh_TW/zh_TW/1028",
                                                  "de/de/1031", "es/es/1034", "fr/fr/1036", "it/it/1040",
                                                  "ko/ko/1042", "pt_BR/pt_BR/1046", "sv/sv/1053"}));
    struct StopAtThird : Locale::LocaleObserver {
        int calls = 0;
        bool operator()(const Locale&) override { return ++calls < 3; }
    } stop;
    Locale::enumerateSupported(stop);
    EXPECT_EQ(stop.calls, 3);
}

TEST(Locale, FromLangId_ExactIdsOnly) {
    EXPECT_EQ(Locale::fromLangId(1041), Locale::japanese());
    EXPECT_EQ(Locale::fromLangId(1028), Locale::chineseTraditional());
    try {
        Locale::fromLangId(9);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("at Locale::fromLangId(): unsupported locale langId: 9"), std::string::npos) << text;
    }
    EXPECT_THROW(Locale::fromLangId(4100), std::runtime_error);
}

TEST(Locale, GetPreferred_FirstSupportedIdElseEnglish) {
    EXPECT_EQ(Locale::getPreferred(Ids{1033, 9}), Locale::english());
    EXPECT_EQ(Locale::getPreferred(Ids{1041, 17, 1033, 9}), Locale::japanese());
    EXPECT_EQ(Locale::getPreferred(Ids{2070, 22}), Locale::english());
    EXPECT_EQ(Locale::getPreferred(Ids{2070, 22, 7}), Locale::german());
    EXPECT_EQ(Locale::getPreferred(Ids{}), Locale::english());
    // Wine lists only the exact regional id: a Japanese desktop gives 0411 alone.
    EXPECT_EQ(Locale::getPreferred(Ids{0x411}), Locale::english());
}

TEST(PreferredLanguages, FallbackPath_IdsThenPrimaryIds) {
    locale_internal::SystemLanguageIds ids;
    ids.threadLocale = 0x00010411;  // a sort id in the high word is not part of the LANGID
    ids.userDefaultUi = 1041;
    ids.systemDefaultUi = 1041;
    const Ids list = locale_internal::preferredLanguages(nullptr, ids);
    EXPECT_EQ(list, (Ids{1041, 17, 1041, 17, 1041, 17, 1033, 9}));
    EXPECT_EQ(Locale::getPreferred(list), Locale::japanese());
    ids.threadLocale = 9;
    ids.userDefaultUi = 9;
    ids.systemDefaultUi = 4100;
    EXPECT_EQ(locale_internal::fallbackLanguages(ids), (Ids{9, 9, 4100, 4, 1033, 9}));
}

// Stand-ins of GetThreadPreferredUILanguages.
const wchar_t* gList = nullptr;
size_t gListLength = 0;
DWORD gFailOnCall = 0;  // 1: size query, 2: value query
int gCalls = 0;

BOOL WINAPI fakePreferred(DWORD flags, PULONG count, PZZWSTR buffer, PULONG size) {
    ++gCalls;
    EXPECT_EQ(flags, 0x34u);
    if (static_cast<DWORD>(gCalls) == gFailOnCall) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!buffer) {
        *size = static_cast<ULONG>(gListLength);
        return TRUE;
    }
    if (*size < gListLength)
        return FALSE;
    memcpy(buffer, gList, gListLength * sizeof(wchar_t));
    *count = 1;
    return TRUE;
}

Ids vistaList(const wchar_t* list, size_t length, DWORD failOn = 0) {
    gList = list;
    gListLength = length;
    gFailOnCall = failOn;
    gCalls = 0;
    return locale_internal::preferredLanguages(fakePreferred, locale_internal::SystemLanguageIds());
}

TEST(PreferredLanguages, VistaPath_ParsesHexIdsAddsNoPrimaryIds) {
    static const wchar_t list[] = L"0411\0" L"0011\0" L"0409\0";  // plus the array's closing NUL
    EXPECT_EQ(vistaList(list, sizeof(list) / sizeof(wchar_t)), (Ids{0x411, 0x11, 0x409}));
    static const wchar_t one[] = L"0C04\0";
    EXPECT_EQ(vistaList(one, sizeof(one) / sizeof(wchar_t)), Ids{0xC04});
    EXPECT_EQ(Locale::getPreferred(Ids{0xC04}), Locale::chineseTraditional());
}

TEST(PreferredLanguages, VistaPath_ShortBuffersGiveNoIds) {
    static const wchar_t empty[] = L"\0";
    EXPECT_TRUE(vistaList(empty, 2).empty());
    EXPECT_TRUE(vistaList(empty, 1).empty());
    EXPECT_TRUE(vistaList(empty, 0).empty());
}

TEST(PreferredLanguages, VistaPath_FailuresThrow) {
    static const wchar_t list[] = L"0409\0";
    try {
        vistaList(list, 6, 1);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("GetThreadPreferredUILanguages (detect size) failed. System error [87]"),
                  std::string::npos)
            << e.what();
    }
    try {
        vistaList(list, 6, 2);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("GetThreadPreferredUILanguages (get values) failed"), std::string::npos)
            << e.what();
    }
    const struct {
        const wchar_t* text;
        size_t length;
    } bad[] = {{L"04zz\0", 6}, {L"10000\0", 7}, {L"0409\0\0\0", 7}, {L" 409\0", 6}};
    for (const auto& b : bad) {
        try {
            vistaList(b.text, b.length);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("Cannot get langID: "), std::string::npos) << e.what();
        }
    }
}

// One id per list: the whole piece must be one hexadecimal number that fits
// 16 bits.
TEST(PreferredLanguages, ParseLanguageList_HexIdTable) {
    const struct {
        const wchar_t* piece;
        int id;  // -1: refused
    } cases[] = {{L"409", 0x409},   {L"0409", 0x409},  {L"0c04", 0xC04},  {L"0C04", 0xC04},  {L"FFFF", 0xFFFF},
                 {L"0", 0},         {L"0000000000000411", 0x411},        {L"0x409", 0x409}, {L"10000", -1},
                 {L"FFFFFFFFF", -1}, {L"0x", -1},      {L"0xg", -1},      {L"g409", -1},     {L"409 ", -1},
                 {L"4 09", -1},     {L"-409", -1},     {L"+409", -1},     {L"0409x", -1}};
    for (const auto& c : cases) {
        std::wstring list(c.piece);
        list.push_back(L'\0');
        list.push_back(L'\0');
        try {
            const Ids ids = locale_internal::parseLanguageList(list.data(), list.size());
            EXPECT_NE(c.id, -1) << "accepted: " << testing::PrintToString(std::wstring(c.piece));
            if (c.id != -1) {
                EXPECT_EQ(ids, Ids{static_cast<uint16_t>(c.id)}) << testing::PrintToString(std::wstring(c.piece));
            }
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(c.id, -1) << "refused: " << testing::PrintToString(std::wstring(c.piece));
            EXPECT_NE(std::string(e.what()).find("Cannot get langID: "), std::string::npos) << e.what();
        }
    }
}

TEST(PreferredLanguages, SystemListOfThisPrefix) {
    // Wine has the Vista call; whatever it lists, a locale comes out.
    const Ids ids = Locale::preferredLanguages();
    EXPECT_FALSE(ids.empty());
    EXPECT_FALSE(preferredLocaleName().empty());
    EXPECT_EQ(preferredLocaleName(), Locale::getPreferred(ids).getName());
}

}  // namespace
