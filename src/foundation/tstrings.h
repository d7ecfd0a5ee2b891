#pragma once
// String routines of the whole system: printf-style formatting into a growing
// string, strict UTF-8/UTF-16 conversion, the ANSI code page, and small text
// helpers. Narrow strings hold UTF-8 or ANSI text as the caller knows.

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace tstrings {

// printf-style formatting; never cuts the result. A null format throws
// TdsError<std::invalid_argument> "Destination buffer can't be NULL".
std::string format(const char* format, ...)
#if defined(__clang__)
    __attribute__((format(printf, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;

// Strict conversions: overlong forms, encoded or lone surrogates, values above
// U+10FFFF and cut sequences throw std::range_error("bad conversion").
std::string toUtf8(const std::wstring& utf16);
std::wstring toUtf16(const std::string& utf8);
// The same for UTF-16 held in char16_t, for the portable code.
std::string toUtf8(const std::u16string& utf16);
std::u16string toUtf16Units(const std::string& utf8);

#ifdef _WIN32
// UTF-8 to the ANSI code page (unmappable characters become the code page's
// default character). Malformed UTF-8 throws std::range_error.
std::string toAcp(const std::string& utf8);
// ANSI code page to UTF-8.
std::string fromAcp(const std::string& acp);
// ANSI code page to UTF-16; empty when the text is empty or cannot be read.
std::wstring acpToUtf16(const std::string& acp);
#endif

std::string toString(int32_t value);
std::string toString(long value);
std::string toString(unsigned long value);
std::string toString(unsigned long long value);

// Only A to Z change.
std::string toLower(const std::string& text);
// Mode 1 ignores case (A-Z), any other mode compares exactly.
bool equals(const std::string& a, const std::string& b, uint32_t mode);
// Without leading and trailing characters from the set.
std::string trim(const std::string& text, const std::string& set);
// Every occurrence replaced, left to right, never rescanning inserted text.
std::string replace(const std::string& text, const std::string& what, const std::string& with);
// Appends the pieces between delimiters (empty pieces included). Nothing is
// appended for an empty text or an empty delimiter.
void split(std::vector<std::string>& out, const std::string& text, const std::string& delimiter);
// True for the string streams: types whose str() yields the text gathered.
template <class Stream, class = void>
struct IsTextStream : std::false_type {};
template <class Stream>
struct IsTextStream<Stream, std::enable_if_t<std::is_convertible<
                                decltype(std::declval<const Stream&>().str()), std::string>::value>>
    : std::true_type {};

// The text gathered in the stream so far. A template over the stream type,
// so that only programs which hand over a stream link the stream library.
template <class Stream, class = std::enable_if_t<IsTextStream<Stream>::value>>
std::string fromStream(const Stream& stream) {
    return stream.str();
}

}  // namespace tstrings
