#include "foundation/version_split.h"

#include <cstring>

namespace {

void copyCut(char* out, size_t size, const char* begin, size_t length) {
    const size_t n = length < size - 1 ? length : size - 1;
    memcpy(out, begin, n);
    out[n] = '\0';
}

void copyCut(char* out, size_t size, const char* text) { copyCut(out, size, text, strlen(text)); }

}  // namespace

int SplitVersionString(const char* version, char* major, char* minor, char* micro, char* update,
                       size_t size) {
    if (!major || !minor || !micro || !update || size == 0)
        return 0;
    major[0] = minor[0] = micro[0] = update[0] = '\0';
    if (!version)
        return 0;
    copyCut(major, size, "0");
    copyCut(minor, size, "0");
    copyCut(micro, size, "0");

    const char* firstDot = strchr(version, '.');
    if (!firstDot) {
        copyCut(major, size, version);
        return 1;
    }
    copyCut(major, size, version, static_cast<size_t>(firstDot - version));
    const char* minorBegin = firstDot + 1;
    const char* secondDot = strchr(minorBegin, '.');
    if (!secondDot) {
        copyCut(minor, size, minorBegin);
        return 1;
    }
    copyCut(minor, size, minorBegin, static_cast<size_t>(secondDot - minorBegin));
    const char* microBegin = secondDot + 1;
    if (*microBegin == '\0')
        return 1;
    // An "_" before the second "." belongs to major or minor, not to the
    // update number: only one after it separates micro from update.
    const char* underscore = strchr(microBegin, '_');
    if (!underscore) {
        copyCut(micro, size, microBegin);
        return 1;
    }
    copyCut(micro, size, microBegin, static_cast<size_t>(underscore - microBegin));
    copyCut(update, size, underscore + 1);
    return 1;
}
