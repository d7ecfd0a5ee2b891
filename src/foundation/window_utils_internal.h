#pragma once
// Rules of the window utilities that tests check without a screen.

#include <string>

namespace window_utils_internal {

// Face used when the country's face is not to be used.
extern const char kFallbackFace[];

// The face CreateDialogFont chooses for the system locale's English country
// name and the OS class.
std::string dialogFace(const std::string& country, int osClass);

struct LinkMarkup {
    bool found = false;
    std::wstring text;     // the new control text with the anchor
    std::wstring visible;  // the text without the tags
};
// Splits text at the first "<l>" and the first "</l>" after it.
LinkMarkup makeLinkMarkup(const std::wstring& text, const std::wstring& address);

}  // namespace window_utils_internal
