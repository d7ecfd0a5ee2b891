// The UTF-8 and UTF-16 conversions:
// - each succeeds exactly on well-formed input (judged here by the table of
//   well-formed byte sequences of the Unicode standard, and by paired
//   surrogates), and throws std::range_error otherwise;
// - what converts, converts back to the same text.
//
// Input: the bytes, read as UTF-8, as UTF-16 units (little-endian pairs) and
// as code points (little-endian quads, for the wide strings of the native
// build).
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "foundation/tstrings.h"
#include "fuzz/fuzz_support.h"

namespace {

bool wellFormedUtf8(const std::string& text) {
    size_t i = 0;
    const size_t n = text.size();
    auto in = [&](size_t at, unsigned lo, unsigned hi) {
        if (at >= n)
            return false;
        const unsigned b = static_cast<unsigned char>(text[at]);
        return b >= lo && b <= hi;
    };
    while (i < n) {
        const unsigned b = static_cast<unsigned char>(text[i]);
        if (b <= 0x7F) { i += 1; continue; }
        if (b >= 0xC2 && b <= 0xDF) { if (!in(i + 1, 0x80, 0xBF)) return false; i += 2; continue; }
        unsigned lo = 0x80, hi = 0xBF;
        if (b >= 0xE0 && b <= 0xEF) {
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
            if (!in(i + 1, lo, hi) || !in(i + 2, 0x80, 0xBF)) return false;
            i += 3;
            continue;
        }
        if (b >= 0xF0 && b <= 0xF4) {
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
            if (!in(i + 1, lo, hi) || !in(i + 2, 0x80, 0xBF) || !in(i + 3, 0x80, 0xBF)) return false;
            i += 4;
            continue;
        }
        return false;
    }
    return true;
}

bool wellFormedUtf16(const std::u16string& units) {
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
                return false;
            ++i;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

bool validCodePoints(const std::wstring& text) {
    for (wchar_t c : text) {
        const uint32_t cp = static_cast<uint32_t>(c);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
    }
    return true;
}

template <class F>
bool converts(F convert) {
    try {
        convert();
        return true;
    } catch (const std::range_error&) {
        return false;
    }
}

std::string showUnits(const std::u16string& units) {
    std::string out;
    for (char16_t u : units) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X ", static_cast<unsigned>(u));
        out += hex;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::initReports();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // UTF-8 in.
    std::u16string units;
    const bool good8 = wellFormedUtf8(bytes);
    FUZZ_CHECK(converts([&] { units = tstrings::toUtf16Units(bytes); }) == good8,
               fuzz_support::show(bytes) + (good8 ? " is well-formed" : " is malformed"));
    std::wstring wide;
    FUZZ_CHECK(converts([&] { wide = tstrings::toUtf16(bytes); }) == good8, fuzz_support::show(bytes));
    if (good8) {
        FUZZ_CHECK(tstrings::toUtf8(units) == bytes, fuzz_support::show(bytes) + " -> " + showUnits(units));
        FUZZ_CHECK(tstrings::toUtf8(wide) == bytes, fuzz_support::show(bytes));
    }

    // UTF-16 in.
    std::u16string in16;
    for (size_t i = 0; i + 1 < size; i += 2)
        in16.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    std::string utf8;
    const bool good16 = wellFormedUtf16(in16);
    FUZZ_CHECK(converts([&] { utf8 = tstrings::toUtf8(in16); }) == good16,
               showUnits(in16) + (good16 ? "are well-formed" : "are malformed"));
    if (good16) {
        FUZZ_CHECK(wellFormedUtf8(utf8), showUnits(in16) + "-> " + fuzz_support::show(utf8));
        FUZZ_CHECK(tstrings::toUtf16Units(utf8) == in16, showUnits(in16));
    }

    // Wide strings: UTF-16 units where wchar_t has 16 bits, code points where it has 32.
    std::wstring inWide;
    if (sizeof(wchar_t) == 2) {
        for (char16_t u : in16)
            inWide.push_back(static_cast<wchar_t>(u));
    } else {
        for (size_t i = 0; i + 3 < size; i += 4)
            inWide.push_back(static_cast<wchar_t>(static_cast<uint32_t>(data[i]) | (data[i + 1] << 8) |
                                                  (data[i + 2] << 16) | (static_cast<uint32_t>(data[i + 3]) << 24)));
    }
    const bool goodWide = sizeof(wchar_t) == 2 ? good16 : validCodePoints(inWide);
    std::string fromWide;
    FUZZ_CHECK(converts([&] { fromWide = tstrings::toUtf8(inWide); }) == goodWide,
               std::string("wide text ") + (goodWide ? "well-formed" : "malformed"));
    if (goodWide)
        FUZZ_CHECK(tstrings::toUtf16(fromWide) == inWide, fuzz_support::show(fromWide));
    return 0;
}
