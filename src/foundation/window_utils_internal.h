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
    std::wstring text;     // the control text with one bare "<a>...</a>" item
    std::wstring visible;  // the text without the tags
};
// Finds the link of a control's text: the first "<l>" and the first "</l>"
// after it, which become "<a>" and "</a>"; or, without those, a bare
// "<a>...</a>" item already there (tags in either case), kept as it is.
// found is false when the text has neither.
LinkMarkup makeLinkMarkup(const std::wstring& text);

}  // namespace window_utils_internal
