#include "config/config_error.h"

#include <cstdio>
#include <stdexcept>

#include "config/config_internal.h"
#include "config/config_message_ids.h"
#include "config/settings_config.h"
#include "foundation/logger.h"
#include "foundation/tstrings.h"
#include "foundation/ui_text.h"

namespace {

config_internal::MessageBoxHook& messageBoxHook() {
    static config_internal::MessageBoxHook hook;
    return hook;
}

// The string as UTF-8, at most capacity - 1 UTF-16 units; empty when the
// program has no such string.
std::string loadString(HINSTANCE instance, UINT id, int capacity) {
    std::wstring buffer(static_cast<size_t>(capacity), L'\0');
    const int length = LoadStringW(instance, id, &buffer[0], capacity);
    if (length <= 0)
        return std::string();
    buffer.resize(static_cast<size_t>(length));
    try {
        return tstrings::toUtf8(buffer);
    } catch (const std::exception&) {
        return std::string();
    }
}

// A cut at a fixed byte count can split a UTF-8 sequence; drop its start so
// that the text stays convertible.
void dropCutSequence(std::string& text) {
    size_t i = text.size();
    size_t continuation = 0;
    while (i > 0 && (static_cast<unsigned char>(text[i - 1]) & 0xC0) == 0x80 && continuation < 4) {
        --i;
        ++continuation;
    }
    if (i == 0)
        return;
    const unsigned char lead = static_cast<unsigned char>(text[i - 1]);
    size_t needed = 0;
    if ((lead & 0xE0) == 0xC0)
        needed = 1;
    else if ((lead & 0xF0) == 0xE0)
        needed = 2;
    else if ((lead & 0xF8) == 0xF0)
        needed = 3;
    else
        return;
    if (continuation < needed)
        text.resize(i - 1);
}

void logString(HINSTANCE instance, UINT id) { logit(loadString(instance, id, 1024)); }

}  // namespace

namespace config_internal {

void setMessageBoxHookForTesting(MessageBoxHook hook) { messageBoxHook() = std::move(hook); }

}  // namespace config_internal

void ShowErrorMessage(HINSTANCE instance, UINT captionId, UINT formatId, UINT flags, bool silent,
                      const std::string& first, const std::string& second) {
    const std::string caption = loadString(instance, captionId, 256);
    const std::string format = loadString(instance, formatId, 1024);
    char buffer[1024];
    // The format is our own resource text; snprintf cuts at 1023 bytes.
    const int written = std::snprintf(buffer, sizeof buffer, format.c_str(), first.c_str(), second.c_str());
    std::string text = written < 0 ? format : std::string(buffer);
    if (written >= static_cast<int>(sizeof buffer))
        dropCutSequence(text);
    logit(text);
    if (silent)
        return;
    if (messageBoxHook()) {
        messageBoxHook()(caption, text, flags);
        return;
    }
    MessageBoxUtf8(nullptr, text, caption, flags);
}

void ShowErrorMessage(HINSTANCE instance, UINT captionId, UINT formatId, bool silent, const std::string& first) {
    ShowErrorMessage(instance, captionId, formatId, MB_ICONERROR, silent, first, std::string());
}

bool ReportConfigError(HINSTANCE instance, const SettingsConfig& context, int32_t code, const std::string& path,
                       bool silent) {
    UINT id = 0;
    std::string first;
    std::string second;
    switch (code) {
    case 0:
        return true;
    case 200:
        id = IDS_ERROR_INTERNAL;
        break;
    case 300:
        logString(instance, IDS_ERROR_INVALID_PARAMETER);
        return false;
    case 304:
        id = IDS_ERROR_OPEN_FILE;
        first = path;
        break;
    case 305:
        id = IDS_ERROR_PERMISSIONS;
        first = path;
        break;
    case 306:
        id = IDS_ERROR_WRITE_RUNTIME;
        break;
    case 307:
        id = IDS_ERROR_READ_FILE;
        first = path;
        break;
    case 308:
        logString(instance, IDS_ERROR_RENAME_MESSAGE);
        return false;
    case 309:
        logString(instance, IDS_ERROR_REMOVE_MESSAGE);
        return false;
    case 310:
        id = IDS_ERROR_PATH_TOO_LONG;
        break;
    case 311:
        id = IDS_ERROR_INVALID_PATH;
        break;
    case 312:
        id = IDS_ERROR_PATH_NOT_PLAIN_TEXT;
        break;
    case 313: {
        id = IDS_ERROR_MALFORMED;
        first = path;
        std::vector<uint32_t> lines;
        try {
            lines = context.lastImportErrors();
        } catch (const std::exception&) {
            // No line to show: the placeholder below stands in.
        }
        second = lines.empty() ? std::string("<line number>")
                               : tstrings::toString(static_cast<unsigned long long>(lines.front()) + 1);
        break;
    }
    case 314:
        id = IDS_ERROR_NOT_PLAIN_TEXT;
        first = path;
        break;
    case 315:
        id = IDS_ERROR_FILE_TOO_LONG;
        first = path;
        break;
    default:
        logit(tstrings::format("Unknown Error code %d", code));
        return false;
    }
    ShowErrorMessage(instance, IDS_CONFIG_ERROR_CAPTION, id, MB_ICONERROR, silent, first, second);
    return false;
}
