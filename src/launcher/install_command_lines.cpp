#include "launcher/install_command_lines.h"

#include <cstdio>
#include <cstring>

#include "foundation/logger.h"
#include "foundation/tstrings.h"

bool AppendBounded(char* buffer, size_t capacity, const char* text) {
    if (!buffer || capacity == 0)
        return false;
    if (!text)
        return true;
    const size_t used = strnlen(buffer, capacity);
    const size_t length = strlen(text);
    if (used >= capacity || length >= capacity - used) {
        TDS_LOG_ERROR("AppendBounded", "A command line of %d characters cannot take \"%s\"",
                      static_cast<int>(capacity), text);
        return false;
    }
    memcpy(buffer + used, text, length + 1);
    return true;
}

std::string TransformOption(uint16_t langId) {
    if (langId == 1033)
        return std::string();
    return tstrings::format(" TRANSFORMS=:%d", static_cast<int>(langId));
}

bool BuildInstallCommandLines(const char* msiexecPath, const char* msiPath, const char* options,
                              const char* transform, char* first, char* second, size_t capacity) {
    if (!first || !second || capacity == 0)
        return false;
    first[0] = second[0] = '\0';
    const int n = snprintf(second, capacity, "\"%s\" /i \"%s\" %s %s /qn", msiexecPath ? msiexecPath : "",
                           msiPath ? msiPath : "", options ? options : "", transform ? transform : "");
    if (n < 0 || static_cast<size_t>(n) >= capacity) {
        TDS_LOG_ERROR("BuildInstallCommandLines", "The install command line does not fit %d characters",
                      static_cast<int>(capacity));
        second[0] = '\0';
        return false;
    }
    // The first line is the second followed by one blank.
    const int m = snprintf(first, capacity, "%s %s", second, "");
    if (m < 0 || static_cast<size_t>(m) >= capacity) {
        TDS_LOG_ERROR("BuildInstallCommandLines", "The install command line does not fit %d characters",
                      static_cast<int>(capacity));
        first[0] = second[0] = '\0';
        return false;
    }
    return true;
}

bool AppendToBothLines(char* first, char* second, size_t capacity, const char* text) {
    const size_t length = text ? strlen(text) : 0;
    if (!first || !second || strnlen(first, capacity) + length >= capacity ||
        strnlen(second, capacity) + length >= capacity) {
        TDS_LOG_ERROR("AppendToBothLines", "The install command lines of %d characters cannot take \"%s\"",
                      static_cast<int>(capacity), text ? text : "");
        return false;
    }
    return AppendBounded(first, capacity, text) && AppendBounded(second, capacity, text);
}
