#include "launcher/launcher_run.h"

#include <exception>

#include "config/config_keys.h"
#include "config/install_config_data.h"
#include "foundation/locale.h"
#include "foundation/logger.h"
#include "foundation/sys_info.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"
#include "foundation/ui_text.h"
#include "launcher/installation_lock.h"
#include "launcher/policy_registry.h"
#include "launcher/ui/dialog_impl.h"
#include "launcher/vendor_registry.h"

namespace {

// Only the main thread runs the flow.
bool gInstallRunClaimed = false;

}  // namespace

std::string LoadResourceString(HINSTANCE instance, UINT id, int capacity) {
    if (capacity <= 0)
        return std::string();
    std::wstring text(static_cast<size_t>(capacity), L'\0');
    const int n = LoadStringW(instance, id, &text[0], capacity);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    try {
        return tstrings::toUtf8(text);
    } catch (const std::exception&) {
        return std::string();
    }
}

void ShowInstallationInProgressBox(HINSTANCE instance, bool silent) {
    if (silent)
        return;
    const std::string caption = LoadResourceString(instance, kIdsLockCaption, 256);
    const std::string text = LoadResourceString(instance, kIdsLockText, 1024);
    MessageBoxUtf8(nullptr, text, caption, MB_ICONINFORMATION);
}

void WarnIfUnsupportedWindows(HINSTANCE instance, bool silent) {
    if (SysInfo::getWindowsVersion() >= 2)
        return;
    if (!silent) {
        const std::string caption = LoadResourceString(instance, kIdsWindowsWarningCaption, 256);
        const std::string text = LoadResourceString(instance, kIdsWindowsWarningText, 2048);
        MessageBoxUtf8(nullptr, text, caption, MB_ICONINFORMATION);
    }
    TDS_LOG_INFO("WinMain", "This is an unsupported operationg system.");
}

bool IsInstallSuccess(int msiexecResult) {
    return msiexecResult == 0 || msiexecResult == 3010 || msiexecResult == 1641;
}

void ClaimInstallRun() { gInstallRunClaimed = true; }

int CleanUpInstallRun(int result) {
    if (gInstallRunClaimed) {
        DeleteTolvaSoftSubkey("SilentInstall");
        SetInstallStatus(nullptr);
        SetPolicyValue(nullptr, "VisitorId", nullptr);
        SetPolicyValue(nullptr, "Method", nullptr);
        gInstallRunClaimed = false;
    }
    CloseInstallationFlag();
    return result;
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
    UseUiLanguage(langId);
    return langId;
}

void UseUiLanguage(uint16_t langId) {
    // Windows' resource loader follows the thread's UI language (Vista and
    // later); the loader of XP and of Wine follows the thread locale. Both are
    // set, so LoadString and FindResource pick the same language everywhere;
    // dialog templates are looked up in it explicitly.
    SetThreadUILanguage(langId);
    SetThreadLocale(MAKELCID(langId, SORT_DEFAULT));
    ui::setDialogLanguage(langId);
}
