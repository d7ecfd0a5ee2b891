#include "launcher/launcher_run.h"

#include <exception>

#include "config/config_keys.h"
#include "config/install_config_data.h"
#include "foundation/locale.h"
#include "foundation/logger.h"
#include "foundation/tds_error.h"

std::string LoadResourceString(HINSTANCE instance, UINT id, int capacity) {
    if (capacity <= 0)
        return std::string();
    std::string text(static_cast<size_t>(capacity), '\0');
    const int n = LoadStringA(instance, id, &text[0], capacity);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

bool IsInstallSuccess(int msiexecResult) {
    return msiexecResult == 0 || msiexecResult == 3010 || msiexecResult == 1641;
}

uint16_t ChooseUiLanguage() {
    uint16_t langId = Locale::english().getLangId();
    try {
        langId = Locale::getPreferred().getLangId();
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("WinMain", e);
    }
    try {
        if (IsIntValueSet(kIntLang))
            langId = Locale::fromLangId(static_cast<uint16_t>(GetIntValue(kIntLang) & 0xFFFF)).getLangId();
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("WinMain", e);
    }
    SetThreadUILanguage(langId);
    return langId;
}
