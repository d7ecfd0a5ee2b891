#include "kit/kit_version_text.h"

#include <cstring>

#include "foundation/tstrings.h"

namespace {

const size_t kTextCapacity = 2048;

void copyCut(char* out, const char* text, size_t length) {
    const size_t n = length < kTextCapacity - 1 ? length : kTextCapacity - 1;
    memcpy(out, text, n);
    out[n] = '\0';
}

}  // namespace

void GetMinorVersion(const char* version, char* out) {
    if (!out)
        return;
    out[0] = '\0';
    if (!version)
        return;
    const char* first = strchr(version, '.');
    if (!first)
        return;
    const char* rest = first + 1;
    const char* second = strchr(rest, '.');
    copyCut(out, rest, second ? static_cast<size_t>(second - rest) : strlen(rest));
}

void GetUpdateVersion(const char* version, char* out) {
    if (!out)
        return;
    const char* last = version ? strrchr(version, '_') : nullptr;
    if (!last) {
        copyCut(out, "00", 2);
        return;
    }
    copyCut(out, last + 1, strlen(last + 1));
}

std::string GetVindelProductCode(const char* version, bool running32Bit) {
    char minor[kTextCapacity];
    char update[kTextCapacity];
    GetMinorVersion(version, minor);
    GetUpdateVersion(version, update);
    return tstrings::format("{%sC7E2B1-D483-11D6-B52C-00A0C93%s0%s0}", running32Bit ? "32" : "64", minor, update);
}
