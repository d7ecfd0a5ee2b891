#include "kit/kit_command_line.h"

#include <cstdio>
#include <cstring>

#include "launcher/install_command_lines.h"

bool FindPassedProperty(const char* options, const char* name, std::string* value) {
    if (!options || !name || !*name)
        return false;
    const size_t nameLength = strlen(name);
    bool found = false;
    const char* p = options;
    while (*p) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            break;
        const char* start = p;
        bool quoted = false;
        while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '"')
                quoted = !quoted;
            ++p;
        }
        const size_t length = static_cast<size_t>(p - start);
        if (length > nameLength && strncmp(start, name, nameLength) == 0 && start[nameLength] == '=') {
            found = true;
            if (value)
                value->assign(start + nameLength + 1, length - nameLength - 1);
        }
    }
    return found;
}

bool AppendSilentKitOptions(char* options, size_t capacity, bool addLocalGiven) {
    if (!options || capacity == 0)
        return false;
    const size_t before = strnlen(options, capacity);
    if (before >= capacity)
        return false;
    const bool ok = (strstr(options, "/qn") || AppendBounded(options, capacity, " /qn")) &&
                    (addLocalGiven || AppendBounded(options, capacity, " ADDLOCAL=PublickessaFeature,ToolsFeature"));
    if (!ok)
        options[before] = '\0';
    return ok;
}

bool BuildKitCommandLine(const char* msiexecPath, const char* msiPath, uint16_t langId, const char* options,
                         char* out, size_t capacity) {
    if (!out || capacity == 0)
        return false;
    const int n = langId == 1033
                      ? snprintf(out, capacity, "\"%s\" /i \"%s\" %s WRAPPER=1", msiexecPath, msiPath, options)
                      : snprintf(out, capacity, "\"%s\" /i \"%s\" TRANSFORMS=:%d %s WRAPPER=1", msiexecPath, msiPath,
                                 static_cast<int>(langId), options);
    if (n < 0 || static_cast<size_t>(n) >= capacity) {
        out[0] = '\0';
        return false;
    }
    return true;
}
