#include "launcher/reinstall_check.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "foundation/executor.h"
#include "foundation/installed_runtimes.h"
#include "foundation/logger.h"
#include "foundation/registry_key.h"
#include "foundation/registry_view.h"
#include "foundation/sys_info.h"
#include "foundation/tolva_version.h"
#include "foundation/tstrings.h"
#include "foundation/ui_text.h"
#include "launcher/current_runtime.h"
#include "launcher/msi_package.h"
#include "launcher/reinstall_check_internal.h"
#include "scrub/t_cleaner.h"

namespace {

const char kRuntimeFamilyKey[] = "SOFTWARE\\TolvaSoft\\Tolva Runtime Environment";
const char kKitFamilyKey[] = "SOFTWARE\\TolvaSoft\\Tolva Development Kit";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const size_t kTextCapacity = 2048;

reinstall_check_internal::Hooks gHooks;

int systemMessageBox(const char* text, const char* caption, UINT type) {
    return MessageBoxUtf8(nullptr, text, caption, type);
}

bool running32Bit() {
    if (gHooks.runningBits != 0)
        return gHooks.runningBits == 32;
    return IsRunning32Bit();
}

// Read access in the machine's own registry view.
REGSAM systemViewRead() {
    if (gHooks.runningBits != 0)
        return KEY_READ | (gHooks.runningBits == 32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
    return GetSystemViewRegAccess(false);
}

int showBox(unsigned textId, unsigned captionId) {
    const std::string text = LoadPrecheckString(textId);
    const std::string caption = LoadPrecheckString(captionId);
    return (gHooks.messageBox ? gHooks.messageBox : systemMessageBox)(text.c_str(), caption.c_str(), MB_ICONERROR);
}

// The decimal number at the start of text; 0 when there is none. Saturates
// instead of overflowing.
long long leadingNumber(const char* text) {
    long long value = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > 0x7FFFFFFF)
            return 0x7FFFFFFF;
    }
    return value;
}

// Copies text into a buffer of kTextCapacity characters, cut to fit.
void copyText(char* out, const std::string& text) {
    const size_t n = text.size() < kTextCapacity - 1 ? text.size() : kTextCapacity - 1;
    memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

namespace reinstall_check_internal {

void setHooksForTesting(const Hooks& hooks) { gHooks = hooks; }

}  // namespace reinstall_check_internal

std::string LoadPrecheckString(unsigned id) {
    const std::string text = LoadStringUtf8(GetModuleHandleW(nullptr), id);
    if (!text.empty())
        return text;
    // A program without the string table still tells the user what happened.
    switch (id) {
    case kIdsReinstallRefused:
        return "Unable to reinstall this version of Tolva. Uninstall the version (Static=1) currently on your "
               "system and try again.";
    case kIdsNewerBuildInstalled:
        return "A newer build of this version of Tolva already exists on your system. It is not possible to "
               "install an older build. Click OK to exit this installation.";
    case kIdsNewerVersionCaption:
        return "A Newer Version of this Product Already Exists";
    case kIdsReinstallCaption:
        return "Unable to Reinstall";
    default:
        return std::string();
    }
}

LONG ProductCodeRegistration(const char* productCode, bool is64Bit) {
    RegKey uninstall(HKEY_LOCAL_MACHINE);
    const REGSAM view = is64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    LONG result = uninstall.open(kUninstallKey, KEY_READ | view);
    if (result != ERROR_SUCCESS)
        return result;
    RegKey product(HKEY_LOCAL_MACHINE);
    return product.open(std::string(kUninstallKey) + "\\" + productCode, KEY_READ | view);
}

int IsSameKessaVersionInstalled(char* versionOut) {
    RegKey key(HKEY_LOCAL_MACHINE);
    const LONG result = key.open(std::string(kRuntimeFamilyKey) + "\\" + kCurrentRuntimeVersion, systemViewRead());
    if (result != ERROR_SUCCESS) {
        TDS_LOG_ERROR("IsSameKessaVersionInstalled", "Error Opening registry key %s: %d", kRuntimeFamilyKey,
                      static_cast<int>(result));
        TDS_LOG_INFO("IsSameKessaVersionInstalled", "No same version KESSA exists");
        return 0;
    }
    if (versionOut)
        copyText(versionOut, kCurrentRuntimeVersion);
    TDS_LOG_INFO("IsSameKessaVersionInstalled", "KESSA with same version %s exists on the system",
                 kCurrentRuntimeVersion);
    return 1;
}

int IsSameOrOlderBuildInstalled(const char* version, bool isVindel) {
    const std::string path = std::string(isVindel ? kKitFamilyKey : kRuntimeFamilyKey) + "\\" + version;
    RegKey key(HKEY_LOCAL_MACHINE);
    const LONG opened = key.open(path, systemViewRead());
    if (opened != ERROR_SUCCESS) {
        TDS_LOG_ERROR("IsSameOrOlderBuildInstalled", "Error Opening registry key %s: %d", path.c_str(),
                      static_cast<int>(opened));
        return 0;
    }
    RegValueData data;
    LONG read = key.queryValue("BuildNumber", data);
    const std::optional<std::string> text = data.getString();
    if (read == ERROR_SUCCESS && !text)
        read = ERROR_INVALID_DATATYPE;  // a number stored as anything but text is not ours
    if (read != ERROR_SUCCESS) {
        TDS_LOG_ERROR("IsSameOrOlderBuildInstalled", "TolvaKey.QueryValue(BuildNumber, Value); failed: %d",
                      static_cast<int>(read));
        return 0;
    }
    char buffer[kTextCapacity];
    copyText(buffer, *text);
    const int existing = static_cast<int>(leadingNumber(buffer));
    if (existing <= kCurrentRuntimeBuild) {
        TDS_LOG_INFO("IsSameOrOlderBuildInstalled", "Existing build: %d is same/older than current build: %d",
                     existing, kCurrentRuntimeBuild);
        return 1;
    }
    TDS_LOG_INFO("IsSameOrOlderBuildInstalled", "Existing build: %d is newer than current build: %d", existing,
                 kCurrentRuntimeBuild);
    return 0;
}

bool IsStaticModeInstalled(const char* version, bool is64Bit) {
    const RegistryKey& root = is64Bit ? RegistryKey::localMachine64 : RegistryKey::localMachine32;
    try {
        RegistryKey msi(root, std::string(kRuntimeFamilyKey) + "\\" + version + "\\MSI");
        if (!msi.hasValue("MODE"))
            return false;
        return tstrings::equals(msi.getString("MODE"), "S", 1);
    } catch (const std::exception&) {
        return false;
    }
}

bool IsProductCodeRegistered(const char* productCode, bool is64Bit) {
    return ProductCodeRegistration(productCode, is64Bit) == ERROR_SUCCESS;
}

int UninstallProduct(const char* productCode, const char* versionText, bool quiet, const char* extraArguments) {
    if (gHooks.uninstall)
        return gHooks.uninstall(productCode, versionText, quiet, extraArguments);
    std::string arguments = tstrings::format(" /x %s", productCode);
    arguments += quiet ? " /qn" : " /qb!";
    if (extraArguments)
        arguments += tstrings::format(" %s", extraArguments);
    char msiexec[2048];
    DWORD code;
    if (!GetMsiexecPath(msiexec, sizeof msiexec)) {
        // Without the installer's own path nothing may run: a bare
        // "msiexec.exe" would be looked up beside this program first.
        code = ERROR_FILE_NOT_FOUND;
    } else {
        code = Executor::ExecProcessWaitForFinish(msiexec, arguments, 0, INFINITE, nullptr);
    }
    if (code != 0)
        TDS_LOG_INFO("UninstallProduct", "uninstall %s of %s failed.  ErrorCode: %d", versionText, productCode,
                     static_cast<int>(code));
    return static_cast<int>(code);
}

int CheckGUIDAndUninstall(const char* version, int bits, bool is64Bit, bool silent) {
    const std::string productCode = tscrub::TCleaner::getProductGUID(version, bits, false);
    const LONG registration = ProductCodeRegistration(productCode.c_str(), is64Bit);
    if (registration != ERROR_SUCCESS) {
        TDS_LOG_ERROR("CheckGUIDAndUninstall", "GUID not found%s:%d", productCode.c_str(),
                      static_cast<int>(registration));
        return 0;
    }
    const int answer = UninstallProduct(productCode.c_str(), version, silent, nullptr);
    if (answer != 0)
        TDS_LOG_ERROR("CheckGUIDAndUninstall", "Uninstall existing KESSA failed%s:%d", productCode.c_str(), answer);
    return answer;
}

int CheckReinstallCase(bool staticInstall, bool silent) {
    char version[kTextCapacity] = {};
    if (!IsSameKessaVersionInstalled(version))
        return 1;
    if (IsSameOrOlderBuildInstalled(version, false)) {
        const int bits = running32Bit() ? 32 : 64;
        const auto check = gHooks.checkGuidAndUninstall ? gHooks.checkGuidAndUninstall : CheckGUIDAndUninstall;
        if ((!IsStaticModeInstalled(version, bits == 64) || staticInstall) &&
            check(version, bits, bits == 64, silent) != 1)
            return 1;
        // Refused: nothing gets installed, so OK on the box is no success either.
        if (!silent)
            showBox(kIdsReinstallRefused, kIdsReinstallCaption);
        return -1;
    }
    if (!silent)
        showBox(kIdsNewerBuildInstalled, kIdsNewerVersionCaption);
    return 0;
}

int IsThisAFamilyUpgrade() {
    RegKey key(HKEY_LOCAL_MACHINE);
    const LONG opened = key.open(kRuntimeFamilyKey, systemViewRead());
    if (opened != ERROR_SUCCESS) {
        TDS_LOG_ERROR("IsThisAFamilyUpgrade", "Error Opening registry key %s: %d", kRuntimeFamilyKey,
                      static_cast<int>(opened));
        return 0;
    }
    RegValueData data;
    LONG read = key.queryValue("CurrentVersion", data);
    const std::optional<std::string> text = data.getString();
    if (read == ERROR_SUCCESS && !text)
        read = ERROR_INVALID_DATATYPE;
    if (read != ERROR_SUCCESS) {
        TDS_LOG_ERROR("IsThisAFamilyUpgrade", "TolvaKey.QueryValue(CurrentVersion, Value); failed: %d",
                      static_cast<int>(read));
        return 0;
    }
    char buffer[kTextCapacity];
    copyText(buffer, *text);
    // By numbers: as texts "10.0" would sort before "9.0".
    try {
        if (TolvaVersion(buffer) < TolvaVersion(kCurrentFamilyVersion)) {
            TDS_LOG_INFO("IsThisAFamilyUpgrade", "This is a Family Upgrade install");
            return 1;
        }
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("IsThisAFamilyUpgrade", e);
    }
    return 0;
}
