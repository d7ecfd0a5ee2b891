#pragma once
// The preferred-language lookup with its system calls passed in, for tests:
// the Vista path through a stand-in of GetThreadPreferredUILanguages, and the
// path of systems without it.

#include <windows.h>

#include <cstdint>
#include <vector>

namespace locale_internal {

typedef BOOL(WINAPI* GetThreadPreferredUILanguagesFn)(DWORD flags, PULONG count, PZZWSTR buffer,
                                                      PULONG bufferSize);

// The language ids the older systems offer.
struct SystemLanguageIds {
    uint32_t threadLocale = 0;
    uint16_t userDefaultUi = 0;
    uint16_t systemDefaultUi = 0;
};

// Each of the thread locale's id, the user's and the system's default UI
// language and 1033, followed by its primary id when that differs.
std::vector<uint16_t> fallbackLanguages(const SystemLanguageIds& ids);

// The ids of a NUL-separated list of hexadecimal ids closed by a second NUL,
// `length` characters in all. Fewer than two characters give no ids. Throws
// TdsError<std::runtime_error> "Cannot get langID: <piece>".
std::vector<uint16_t> parseLanguageList(const wchar_t* buffer, size_t length);

// The preferred list: through function when given, else the fallback path.
std::vector<uint16_t> preferredLanguages(GetThreadPreferredUILanguagesFn function, const SystemLanguageIds& ids);

// Puts function in the place of the system's GetThreadPreferredUILanguages
// for Locale::preferredLanguages (null restores the system's), so a test
// program can give its first look-up a list or a failure of its choice.
void setPreferredLanguagesFunctionForTesting(GetThreadPreferredUILanguagesFn function);

}  // namespace locale_internal
