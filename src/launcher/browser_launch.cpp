#include "launcher/browser_launch.h"

#include <windows.h>
#include <tlhelp32.h>

#include <functional>
#include <optional>
#include <string>

#include "foundation/executor.h"
#include "foundation/handle_release.h"
#include "foundation/installed_runtimes.h"
#include "foundation/logger.h"
#include "foundation/registry_view.h"
#include "foundation/tstrings.h"
#include "foundation/window_utils.h"
#include "launcher/browser_launch_internal.h"
#include "launcher/runtime_registry.h"
#include "launcher/vendor_registry.h"

const char kVerifyPageUrl[] = "http://www.tolva.example/verify9/?src=install";

namespace {

const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

class KeyHolder {
public:
    KeyHolder() = default;
    ~KeyHolder() {
        if (key_)
            RegCloseKey(key_);
    }
    KeyHolder(const KeyHolder&) = delete;
    KeyHolder& operator=(const KeyHolder&) = delete;
    bool open(HKEY parent, const char* name) {
        return RegOpenKeyExA(parent, name, 0, KEY_READ, &key_) == ERROR_SUCCESS;
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// A text value (plain or expandable, not expanded) that fits capacity with
// its NUL; false for anything else.
bool readText(HKEY key, const char* name, char* buffer, DWORD capacity) {
    DWORD type = REG_NONE;
    DWORD size = capacity;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return false;
    return size > 0 && size <= capacity && buffer[size - 1] == '\0';
}

// The vendor value as GetRegValueOfStringType sees it (REG_SZ only).
bool vendorValueExists(const char* name) {
    char value[2048] = {};
    // One byte is kept back: the value may be stored without its NUL.
    DWORD size = sizeof value - 1;
    return GetRegValueOfStringType(name, value, kTolvaSoftKey, &size) == 1;
}

}  // namespace

bool GetBrowserInstallDir(char* buffer, int browser) {
    const char* vendor = nullptr;
    const char* product = nullptr;
    const char* oldest = nullptr;
    switch (browser) {
    case 0:
        vendor = "Netscape";
        product = "Netscape 6";
        break;
    case 1:
        vendor = "mozilla.org";
        product = "Mozilla";
        oldest = "1.1";
        break;
    case 2:
        vendor = "Mozilla";
        product = "Mozilla Firefox";
        oldest = "1.0";
        break;
    default:
        return false;
    }
    if (!buffer)
        return false;
    KeyHolder software;
    KeyHolder vendorKey;
    if (!software.open(HKEY_LOCAL_MACHINE, "SOFTWARE") || !vendorKey.open(software.get(), vendor))
        return false;
    KeyHolder productKey;
    if (!productKey.open(vendorKey.get(), product) &&
        !(browser == 2 && productKey.open(vendorKey.get(), "Minefield")))
        return false;
    char version[256] = {};
    if (!readText(productKey.get(), "CurrentVersion", version, sizeof version))
        return false;
    if (oldest && lstrcmpiA(version, oldest) < 0)
        return false;
    KeyHolder versionKey;
    KeyHolder mainKey;
    if (!versionKey.open(productKey.get(), version) || !mainKey.open(versionKey.get(), "Main"))
        return false;
    char folder[MAX_PATH] = {};
    // An empty folder would make "\firefox.exe" a path on the current drive.
    if (!readText(mainKey.get(), "Install Directory", folder, sizeof folder) || folder[0] == '\0')
        return false;
    lstrcpynA(buffer, folder, MAX_PATH);
    return true;
}

namespace {

std::function<bool(DWORD, DWORD*)>& sessionLookupHook() {
    static std::function<bool(DWORD, DWORD*)> hook;
    return hook;
}

bool sessionOf(DWORD processId, DWORD* sessionId) {
    if (sessionLookupHook())
        return sessionLookupHook()(processId, sessionId);
    return ProcessIdToSessionId(processId, sessionId) != FALSE;
}

}  // namespace

namespace browser_launch_internal {
void setSessionLookupForTesting(std::function<bool(DWORD, DWORD*)> lookup) { sessionLookupHook() = std::move(lookup); }
}  // namespace browser_launch_internal

int CloseProcessesByName(const char* exeName, bool destroyWindows) {
    if (!exeName)
        return 0;
    ScopedWin32Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.get() || snapshot.get() == INVALID_HANDLE_VALUE) {
        TDS_LOG_ERROR("CloseProcessesByName", "CreateToolhelp32Snapshot failed with %lu",
                      static_cast<unsigned long>(GetLastError()));
        return 0;
    }
    const DWORD self = GetCurrentProcessId();
    // Browsers of other logon sessions (other users on a terminal server,
    // a fast-switched user) get no close request they could answer and
    // would be terminated after the wait, losing their users' work: only
    // this session's browsers are closed. When the own session is unknown,
    // none is.
    DWORD ownSession = 0;
    if (!sessionOf(self, &ownSession)) {
        TDS_LOG_ERROR("CloseProcessesByName", "ProcessIdToSessionId failed with %lu: no %s is closed",
                      static_cast<unsigned long>(GetLastError()), exeName);
        return 0;
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
        // The launcher itself is never asked: it would wait for its own end
        // and then terminate itself.
        if (entry.th32ProcessID == self || lstrcmpiA(entry.szExeFile, exeName) != 0)
            continue;
        DWORD session = 0;
        if (!sessionOf(entry.th32ProcessID, &session) || session != ownSession) {
            TDS_LOG_INFO("CloseProcessesByName", "%s (%lu) is not in this session: left running", exeName,
                         static_cast<unsigned long>(entry.th32ProcessID));
            continue;
        }
        ShutdownProcess(entry.th32ProcessID, 5000, destroyWindows);
    }
    return 0;
}

void LaunchChrome() {
    char folder[2048] = {};
    DWORD size = sizeof folder - 1;
    const std::string key = std::string(kAppPaths) + "chrome.exe";
    if (GetRegValueOfStringType("path", folder, key.c_str(), &size) != 1 || folder[0] == '\0') {
        TDS_LOG_ERROR("LaunchChrome", "LaunchChrome(): Failed to find Chrome.exe path: %lu",
                      static_cast<unsigned long>(GetLastError()));
        return;
    }
    const std::string program = std::string(folder) + "\\chrome.exe";
    const std::string arguments = "\"" + program + "\" -new-window \"" + kVerifyPageUrl + "\"";
    if (Executor::ExecProcess(program, arguments, 0, nullptr) != 0)
        TDS_LOG_ERROR("LaunchChrome", "%s", "LaunchChrome(): ExecProcess() failed.");
}

void LaunchFirefox() {
    char folder[MAX_PATH] = {};
    if (!GetBrowserInstallDir(folder, 2)) {
        TDS_LOG_INFO("LaunchFirefox", "%s", "LaunchFirefox(): Firefox install folder not found.");
        return;
    }
    const std::string program = std::string(folder) + "\\firefox.exe";
    if (Executor::ExecProcessAsDesktopUser(program, std::string(" -new-window ") + kVerifyPageUrl, nullptr) != 0)
        TDS_LOG_ERROR("LaunchFirefox", "%s", "LaunchFirefox(): ExecProcessAsDesktopUser() failed.");
}

void LaunchIE() {
    TDS_LOG_INFO("LaunchIE", "%s", "Restart IE");
    RegKey key(HKEY_LOCAL_MACHINE);
    // Read access is all it needs; the key is owned by the system on newer
    // Windows and refuses full access even to administrators.
    if (key.open(std::string(kAppPaths) + "IEXPLORE.EXE", KEY_READ) != ERROR_SUCCESS) {
        TDS_LOG_INFO("LaunchIE", "%s", "LaunchIE ---- failed to open version IExplore key ---- ");
        return;
    }
    RegValueData data;
    std::optional<std::string> program;
    if (key.queryValue("", data) == ERROR_SUCCESS)
        program = data.getString();
    if (!program || program->empty()) {
        TDS_LOG_INFO("LaunchIE", "%s", "LaunchIE ---- failed to get value of the IExplore.exe string ---- ");
        return;
    }
    if (Executor::ExecProcessAsDesktopUser(*program, std::string(" ") + kVerifyPageUrl, nullptr) != 0)
        TDS_LOG_ERROR("LaunchIE", "%s", "LaunchIE(): ExecProcessAsDesktopUser() failed.");
}

void BrowserRestart() {
    bool restartIE = false;
    if (vendorValueExists("IERESTART")) {
        DeleteRegValueOfStringType("IERESTART", kTolvaSoftKey);
        TDS_LOG_INFO("BrowserRestart", "%s", "The IE browser will be closed");
        CloseProcessesByName("iexplore.exe", false);
        restartIE = IsRunning32Bit();
    }
    if (vendorValueExists("FIREFOXRESTART")) {
        DeleteRegValueOfStringType("FIREFOXRESTART", kTolvaSoftKey);
        TDS_LOG_INFO("BrowserRestart", "%s", "The Firefox browser will be closed");
        CloseProcessesByName("firefox.exe", true);
        if (IsRunning32Bit()) {
            TDS_LOG_INFO("BrowserRestart", "%s", "The Firefox browser will be restarted");
            LaunchFirefox();
        }
    }
    if (restartIE) {
        TDS_LOG_INFO("BrowserRestart", "%s", "The IE browser will be restarted");
        LaunchIE();
    }
}
