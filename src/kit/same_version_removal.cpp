#include "kit/same_version_removal.h"

#include <windows.h>

#include <exception>
#include <string>

#include "foundation/logger.h"
#include "foundation/tstrings.h"
#include "foundation/registry_view.h"
#include "foundation/tds_error.h"
#include "foundation/ui_text.h"
#include "kit/kit_registry.h"
#include "kit/kit_version_text.h"
#include "kit/same_version_removal_internal.h"
#include "launcher/product_identity.h"
#include "launcher/reinstall_check.h"

namespace {

same_version_removal_internal::MessageBoxFn gMessageBox = nullptr;

// Opens the version key in the machine's own registry view.
bool versionKeyPresent(const char* familyKey, const char* version) {
    const std::string path = std::string(familyKey) + "\\" + version;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, GetSystemViewRegAccess(false), &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void showNewerBuildBox() {
    const std::string text = LoadPrecheckString(kIdsNewerBuildInstalled);
    const std::string caption = LoadPrecheckString(kIdsNewerVersionCaption);
    if (gMessageBox)
        gMessageBox(text.c_str(), caption.c_str(), MB_ICONERROR);
    else
        MessageBoxUtf8(nullptr, text, caption, MB_ICONERROR);
}

// A removal that asks for a restart (3010 initiated later, 1641 initiated
// now) has removed the product all the same, as for installs.
bool uninstallSucceeded(int code) { return code == 0 || code == 3010 || code == 1641; }

}  // namespace

namespace same_version_removal_internal {
void setMessageBoxForTesting(MessageBoxFn messageBox) { gMessageBox = messageBox; }
}  // namespace same_version_removal_internal

bool UninstallExistingVindel(const char* version, bool silent) {
    const std::string code = GetVindelProductCode(version, IsRunning32Bit());
    const LONG registration = ProductCodeRegistration(code.c_str(), !IsRunning32Bit());
    if (registration == ERROR_FILE_NOT_FOUND) {
        // The version key outlived its product (an uninstall that broke off
        // half way): there is nothing to remove, and refusing here would
        // refuse every later install until someone deletes the key by hand.
        TDS_LOG_WARNING("UninstallExistingVindel", "VINDEL GUID not found %s: %d", code.c_str(),
                        static_cast<int>(registration));
        TDS_LOG_WARNING("UninstallExistingVindel", "The VINDEL key of version %s has no installed product: "
                        "nothing to uninstall", version);
        return true;
    }
    if (registration != ERROR_SUCCESS) {
        TDS_LOG_ERROR("UninstallExistingVindel", "VINDEL GUID not found %s: %d", code.c_str(),
                      static_cast<int>(registration));
        return false;
    }
    const int result = UninstallProduct(code.c_str(), version, silent, nullptr);
    if (!uninstallSucceeded(result)) {
        TDS_LOG_ERROR("UninstallExistingVindel", "Uninstall existining VINDEL failed %s: %d", code.c_str(), result);
        return false;
    }
    return true;
}

bool UninstallKessaOrVindelIfSameVersionExists(bool silent) {
    const char* version = GetCurrentRuntimeVersion();
    const bool is64BitSystem = !IsRunning32Bit();
    const std::string kitKey = std::string(kVindelFamilyKey) + "\\" + version;
    if (!versionKeyPresent(kVindelFamilyKey, version)) {
        TDS_LOG_INFO("UninstallKessaOrVindelIfSameVersionExists", "No same version VINDEL exists");
    } else {
        if (!IsSameOrOlderBuildInstalled(version, true)) {
            if (!silent)
                showNewerBuildBox();
            return false;
        }
        if (!UninstallExistingVindel(version, silent)) {
            TDS_LOG_ERROR("UninstallKessaOrVindelIfSameVersionExists", "UninstallExistingVindel (%s) failed",
                          kitKey.c_str());
            return false;
        }
    }

    const std::string runtimeKey = std::string(kKessaFamilyKey) + "\\" + version;
    if (!versionKeyPresent(kKessaFamilyKey, version)) {
        TDS_LOG_INFO("UninstallKessaOrVindelIfSameVersionExists", "No same version KESSA exists");
        return true;
    }
    if (IsSameOrOlderBuildInstalled(version, false) && !IsStaticModeInstalled(version, is64BitSystem)) {
        int result = 0;
        try {
            result = CheckGUIDAndUninstall(version, is64BitSystem ? 64 : 32, is64BitSystem, silent);
        } catch (const std::exception& e) {
            TDS_LOG_EXCEPTION("UninstallKessaOrVindelIfSameVersionExists", e);
            result = -1;
        }
        if (!uninstallSucceeded(result)) {
            TDS_LOG_ERROR("UninstallKessaOrVindelIfSameVersionExists", "UninstallKessaIfSameOrOlderBuild( %s) failed",
                          runtimeKey.c_str());
            return false;
        }
    }
    return true;
}
