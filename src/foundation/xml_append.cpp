#include "foundation/xml_append.h"

#include <cstring>

#include "foundation/logger.h"
#include "foundation/tstrings.h"

bool AppendXmlElement(char* buffer, size_t capacity, const char* name, const char* value) {
    if (!buffer || !name || !value || capacity == 0)
        return false;
    const void* end = memchr(buffer, '\0', capacity);
    if (!end) {
        TDS_LOG_ERROR("AppendXmlElement", "AppendXmlElement: buffer of %u bytes holds no text end",
                      static_cast<unsigned>(capacity));
        return false;
    }
    const size_t used = static_cast<size_t>(static_cast<const char*>(end) - buffer);
    const size_t nameLength = strlen(name);
    const size_t valueLength = strlen(value);
    // "<" name ">" value "</" name ">" and the NUL.
    const size_t needed = 1 + nameLength + 1 + valueLength + 2 + nameLength + 1 + 1;
    if (needed > capacity - used) {
        TDS_LOG_ERROR("AppendXmlElement",
                      "AppendXmlElement: element <%s> of %u bytes left out, %u bytes free", name,
                      static_cast<unsigned>(needed - 1), static_cast<unsigned>(capacity - used - 1));
        return false;
    }
    char* out = buffer + used;
    *out++ = '<';
    memcpy(out, name, nameLength);
    out += nameLength;
    *out++ = '>';
    memcpy(out, value, valueLength);
    out += valueLength;
    *out++ = '<';
    *out++ = '/';
    memcpy(out, name, nameLength);
    out += nameLength;
    *out++ = '>';
    *out = '\0';
    return true;
}
