#include "foundation/locale.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <stdexcept>

#include "foundation/dll.h"
#include "foundation/dll_function.h"
#include "foundation/locale_internal.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace {

const LocaleInfo kEnglish = {1033, "en", nullptr, {9, 0, 0, 0}};
const LocaleInfo kChineseSimplified = {2052, "zh_CN", "zh", {2052, 4100, 4, 0}};
const LocaleInfo kJapanese = {1041, "ja", nullptr, {17, 0, 0, 0}};
const LocaleInfo kChineseTraditional = {1028, "zh_TW", nullptr, {1028, 3076, 5124, 31748}};
const LocaleInfo kGerman = {1031, "de", nullptr, {7, 0, 0, 0}};
const LocaleInfo kSpanish = {1034, "es", nullptr, {10, 0, 0, 0}};
const LocaleInfo kFrench = {1036, "fr", nullptr, {12, 0, 0, 0}};
const LocaleInfo kItalian = {1040, "it", nullptr, {16, 0, 0, 0}};
const LocaleInfo kKorean = {1042, "ko", nullptr, {18, 0, 0, 0}};
const LocaleInfo kPortugueseBrazil = {1046, "pt_BR", nullptr, {1046, 0, 0, 0}};
const LocaleInfo kSwedish = {1053, "sv", nullptr, {29, 0, 0, 0}};

std::atomic<locale_internal::GetThreadPreferredUILanguagesFn> g_preferredLanguagesFunction{nullptr};

const uint16_t kPrimaryMask = 0x3FF;
const DWORD kPreferredFlags = 0x34;  // ids, merged with the user's and system's fallbacks

// Remembers the first locale it accepts and then ends the walk.
class LocaleMatcher : public Locale::LocaleObserver {
public:
    LocaleMatcher(uint16_t id, bool exact) : id_(id), exact_(exact) {}
    bool operator()(const Locale& locale) override;
    bool found() const { return found_; }
    const Locale& result() const { return result_; }

private:
    uint16_t id_;
    bool exact_;
    bool found_ = false;
    Locale result_ = Locale::english();
};

bool LocaleMatcher::operator()(const Locale& locale) {
    const bool match = exact_ ? locale.getLangId() == id_ : locale.matches(id_);
    if (match) {
        found_ = true;
        result_ = locale;
    }
    return !match;
}

}  // namespace

bool Locale::matches(uint16_t id) const {
    for (uint16_t candidate : info_->matchIds) {
        if (candidate == 0)
            break;
        if (candidate == id)
            return true;
    }
    return false;
}

Locale Locale::english() { return Locale(&kEnglish); }
Locale Locale::chineseSimplified() { return Locale(&kChineseSimplified); }
Locale Locale::japanese() { return Locale(&kJapanese); }
Locale Locale::chineseTraditional() { return Locale(&kChineseTraditional); }
Locale Locale::german() { return Locale(&kGerman); }
Locale Locale::spanish() { return Locale(&kSpanish); }
Locale Locale::french() { return Locale(&kFrench); }
Locale Locale::italian() { return Locale(&kItalian); }
Locale Locale::korean() { return Locale(&kKorean); }
Locale Locale::portugueseBrazil() { return Locale(&kPortugueseBrazil); }
Locale Locale::swedish() { return Locale(&kSwedish); }

void Locale::enumerateSupported(LocaleObserver& observer) {
    static const LocaleInfo* const kAll[] = {&kEnglish, &kChineseSimplified, &kJapanese, &kChineseTraditional,
                                             &kGerman,  &kSpanish,           &kFrench,   &kItalian,
                                             &kKorean,  &kPortugueseBrazil,  &kSwedish};
    for (const LocaleInfo* info : kAll) {
        if (!observer(Locale(info)))
            return;
    }
}

Locale Locale::fromLangId(uint16_t langId) {
    LocaleMatcher matcher(langId, true);
    enumerateSupported(matcher);
    if (!matcher.found())
        throw TdsError<std::runtime_error>("unsupported locale langId: " + tstrings::toString(int32_t(langId)),
                                           TDS_HERE("Locale::fromLangId"));
    return matcher.result();
}

bool Locale::isSupported(uint16_t id, Locale& out) {
    LocaleMatcher matcher(id, false);
    enumerateSupported(matcher);
    if (matcher.found())
        out = matcher.result();
    return matcher.found();
}

Locale Locale::getPreferred(const std::vector<uint16_t>& preferred) {
    Locale result = english();
    for (uint16_t id : preferred) {
        if (isSupported(id, result))
            return result;
    }
    return english();
}

Locale Locale::getPreferred() {
    try {
        return getPreferred(preferredLanguages());
    } catch (const std::exception& e) {
        // Without the user's list the launcher still needs a language.
        TDS_LOG_EXCEPTION("Locale::getPreferred", e);
        return english();
    }
}

std::vector<uint16_t> Locale::preferredLanguages() {
    Dll kernel32(L"kernel32", Dll::System());
    DllFunction<locale_internal::GetThreadPreferredUILanguagesFn> function(kernel32,
                                                                            "GetThreadPreferredUILanguages");
    locale_internal::SystemLanguageIds ids;
    ids.threadLocale = GetThreadLocale();
    ids.userDefaultUi = GetUserDefaultUILanguage();
    ids.systemDefaultUi = GetSystemDefaultUILanguage();
    const locale_internal::GetThreadPreferredUILanguagesFn replaced = g_preferredLanguagesFunction.load();
    return locale_internal::preferredLanguages(replaced ? replaced : function.get(), ids);
}

const std::string& preferredLocaleName() {
    static const std::string name = Locale::getPreferred().getName();
    return name;
}

namespace locale_internal {

void setPreferredLanguagesFunctionForTesting(GetThreadPreferredUILanguagesFn function) {
    g_preferredLanguagesFunction = function;
}

std::vector<uint16_t> fallbackLanguages(const SystemLanguageIds& ids) {
    std::vector<uint16_t> out;
    const uint16_t each[] = {static_cast<uint16_t>(ids.threadLocale & 0xFFFF), ids.userDefaultUi,
                             ids.systemDefaultUi, 1033};
    for (uint16_t id : each) {
        out.push_back(id);
        const uint16_t primary = id & kPrimaryMask;
        if (primary != id)
            out.push_back(primary);
    }
    return out;
}

std::vector<uint16_t> parseLanguageList(const wchar_t* buffer, size_t length) {
    std::vector<uint16_t> out;
    if (!buffer || length < 2)
        return out;
    const std::string text = tstrings::toUtf8(std::wstring(buffer, length - 2));
    std::vector<std::string> pieces;
    tstrings::split(pieces, text, std::string(1, '\0'));
    for (const std::string& piece : pieces) {
        // The piece must start with a hexadecimal digit (strtoul would skip
        // blanks and take a sign) and be read whole; "0x" may lead, as in
        // any hexadecimal text.
        char* end = nullptr;
        errno = 0;
        const unsigned long id = !piece.empty() && std::isxdigit(static_cast<unsigned char>(piece[0]))
                                     ? std::strtoul(piece.c_str(), &end, 16)
                                     : 0;
        if (end != piece.c_str() + piece.size() || errno == ERANGE || id > 0xFFFF)
            throw TdsError<std::runtime_error>("Cannot get langID: " + piece,
                                               TDS_HERE("Locale::preferredLanguages"));
        out.push_back(static_cast<uint16_t>(id));
    }
    return out;
}

std::vector<uint16_t> preferredLanguages(GetThreadPreferredUILanguagesFn function, const SystemLanguageIds& ids) {
    if (!function) {
        TDS_LOG_INFO("Locale::preferredLanguages", "PreferredUILanguages: XP fallback");
        return fallbackLanguages(ids);
    }
    TDS_LOG_INFO("Locale::preferredLanguages", "PreferredUILanguages: Vista+");
    ULONG count = 0;
    ULONG size = 0;
    if (!function(kPreferredFlags, &count, nullptr, &size)) {
        const DWORD error = GetLastError();
        throw TdsError<SysError>(SysError("GetThreadPreferredUILanguages (detect size) failed", error),
                                 TDS_HERE("Locale::preferredLanguages"));
    }
    std::vector<wchar_t> buffer(size + 1, L'\0');
    if (size > 0 && !function(kPreferredFlags, &count, buffer.data(), &size)) {
        const DWORD error = GetLastError();
        throw TdsError<SysError>(SysError("GetThreadPreferredUILanguages (get values) failed", error),
                                 TDS_HERE("Locale::preferredLanguages"));
    }
    return parseLanguageList(buffer.data(), size);
}

}  // namespace locale_internal
