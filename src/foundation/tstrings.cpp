#include "foundation/tstrings.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>

#include "foundation/tds_error.h"

namespace tstrings {

std::string format(const char* fmt, ...) {
    if (!fmt)
        throw TdsError<std::invalid_argument>(std::invalid_argument("Destination buffer can't be NULL"),
                                              SourceLocation(__FILE__, "tstrings::format", __LINE__));
    std::string buffer;
    va_list args;
    va_start(args, fmt);
    size_t size = 256;
    for (;;) {
        buffer.resize(size);
        va_list copy;
        va_copy(copy, args);
        // The bounded formatter says how long the whole text is; a result that
        // does not fit (or an error) means: grow and try again.
        const int n = std::vsnprintf(&buffer[0], size, fmt, copy);
        va_end(copy);
        if (n < 0) {
            if (size > (1u << 30)) {
                va_end(args);
                throw std::bad_alloc();
            }
            size += 256;
            continue;
        }
        if (static_cast<size_t>(n) < size) {
            buffer.resize(static_cast<size_t>(n));
            break;
        }
        // Grow in steps of 256 characters, but go straight to the step that
        // holds the whole text: a long message is not formatted a thousand times.
        size = (static_cast<size_t>(n) / 256 + 1) * 256;
    }
    va_end(args);
    return buffer;
}

namespace {

[[noreturn]] void badConversion() { throw std::range_error("bad conversion"); }

template <typename Units>
void appendUtf16(Units& out, uint32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<typename Units::value_type>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<typename Units::value_type>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<typename Units::value_type>(cp));
    }
}

template <typename Units>
Units decodeUtf8(const std::string& in) {
    Units out;
    out.reserve(in.size());
    size_t i = 0;
    const size_t n = in.size();
    while (i < n) {
        const unsigned char b = static_cast<unsigned char>(in[i]);
        uint32_t cp;
        size_t len;
        uint32_t min;
        if (b < 0x80) {
            out.push_back(static_cast<typename Units::value_type>(b));
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F; len = 2; min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F; len = 3; min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07; len = 4; min = 0x10000;
        } else {
            badConversion();
        }
        if (i + len > n)
            badConversion();
        for (size_t k = 1; k < len; ++k) {
            const unsigned char c = static_cast<unsigned char>(in[i + k]);
            if ((c & 0xC0) != 0x80)
                badConversion();
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            badConversion();
        appendUtf16(out, cp);
        i += len;
    }
    return out;
}

template <typename Units>
std::string encodeUtf8(const Units& in) {
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        uint32_t cp = static_cast<uint16_t>(in[i]);
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= in.size())
                badConversion();
            const uint32_t lo = static_cast<uint16_t>(in[i + 1]);
            if (lo < 0xDC00 || lo > 0xDFFF)
                badConversion();
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
            ++i;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            badConversion();
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace

std::string toUtf8(const std::wstring& utf16) {
    static_assert(sizeof(wchar_t) == 2 || sizeof(wchar_t) == 4, "unexpected wchar_t");
    if (sizeof(wchar_t) == 2)
        return encodeUtf8(utf16);
    // Native builds: wchar_t holds code points; go through UTF-16 units. A
    // surrogate code point is no character: two of them in a row would
    // otherwise pass for a pair.
    std::u16string units;
    for (wchar_t c : utf16) {
        const uint32_t cp = static_cast<uint32_t>(c);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            badConversion();
        appendUtf16(units, cp);
    }
    return encodeUtf8(units);
}

std::wstring toUtf16(const std::string& utf8) {
    if (sizeof(wchar_t) == 2)
        return decodeUtf8<std::wstring>(utf8);
    const std::u16string units = decodeUtf8<std::u16string>(utf8);
    std::wstring out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(static_cast<wchar_t>(cp));
    }
    return out;
}

std::string toUtf8(const std::u16string& utf16) { return encodeUtf8(utf16); }
std::u16string toUtf16Units(const std::string& utf8) { return decodeUtf8<std::u16string>(utf8); }

std::string toString(int32_t value) { return format("%d", value); }
std::string toString(long value) { return format("%ld", value); }
std::string toString(unsigned long value) { return format("%lu", value); }
std::string toString(unsigned long long value) { return format("%llu", value); }

std::string toLower(const std::string& text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool equals(const std::string& a, const std::string& b, uint32_t mode) {
    if (mode == 1)
        return toLower(a) == toLower(b);
    return a == b;
}

std::string trim(const std::string& text, const std::string& set) {
    const size_t first = text.find_first_not_of(set);
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(set);
    return text.substr(first, last - first + 1);
}

std::string replace(const std::string& text, const std::string& what, const std::string& with) {
    if (what.empty())
        return text;
    std::string out;
    size_t pos = 0;
    for (;;) {
        const size_t hit = text.find(what, pos);
        if (hit == std::string::npos)
            break;
        out.append(text, pos, hit - pos);
        out.append(with);
        pos = hit + what.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

void split(std::vector<std::string>& out, const std::string& text, const std::string& delimiter) {
    if (text.empty() || delimiter.empty())
        return;
    size_t pos = 0;
    for (;;) {
        const size_t hit = text.find(delimiter, pos);
        if (hit == std::string::npos) {
            out.push_back(text.substr(pos));
            return;
        }
        out.push_back(text.substr(pos, hit - pos));
        pos = hit + delimiter.size();
    }
}


}  // namespace tstrings
