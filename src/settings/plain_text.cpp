#include "settings/plain_text.h"

namespace settings_impl {

namespace {

// Continuation bytes that follow a lead byte, or -1 for a byte that cannot
// begin a form.
int continuationCount(unsigned char lead) {
    if (lead < 0x80) return 0;
    if (lead < 0xC0) return -1;
    if (lead < 0xE0) return 1;
    if (lead < 0xF0) return 2;
    if (lead < 0xF8) return 3;
    if (lead < 0xFC) return 4;
    if (lead < 0xFE) return 5;
    return -1;
}

}  // namespace

size_t findNonPlainText(const std::string& text) {
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        const int count = continuationCount(static_cast<unsigned char>(text[i]));
        if (count < 0) return i;
        if (static_cast<size_t>(count) > size - i - 1) return i;
        for (int k = 1; k <= count; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return i;
        }
        i += static_cast<size_t>(count) + 1;
    }
    return size;
}

bool isPlainText(const std::string& text) { return findNonPlainText(text) == text.size(); }

}  // namespace settings_impl
