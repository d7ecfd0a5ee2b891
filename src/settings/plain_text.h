#pragma once
// The plain-text test that every text and path entering the library passes:
// a sequence of UTF-8 forms as classified by their lead bytes.

#include <cstddef>
#include <string>

namespace settings_impl {

// Index of the lead byte of the first malformed form (a stray continuation
// byte, 0xFE or 0xFF, a lead not followed by enough continuation bytes, or a
// form cut by the end), or text.size() when the whole text is plain text.
// Lead bytes announce up to five continuation bytes; the text is never read
// beyond its end.
size_t findNonPlainText(const std::string& text);

// True when findNonPlainText finds nothing; an empty text is plain text.
bool isPlainText(const std::string& text);

}  // namespace settings_impl
