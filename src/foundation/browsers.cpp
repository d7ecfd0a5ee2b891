#include "foundation/browsers.h"

#include <windows.h>
#include <shellapi.h>

#include <stdexcept>

#include "foundation/executor.h"
#include "foundation/file_utils.h"
#include "foundation/logger.h"
#include "foundation/registry_key.h"
#include "foundation/sys_info.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

namespace browsers {

namespace {

// Function-local statics: built on first use, never in cross-file order.
const std::string& clientsKey() {
    static const std::string key = "Software\\Clients\\StartMenuInternet";
    return key;
}
const std::string& ieName() {
    static const std::string name = "IEXPLORE.EXE";
    return name;
}
const std::string& firefoxName() {
    static const std::string name = "FIREFOX.EXE";
    return name;
}
const std::string& chromeName() {
    static const std::string name = "Google Chrome";
    return name;
}

bool hasChromeSubkey(const RegistryKey& clients) {
    // Chrome registers itself as "Google Chrome" plus a per-install suffix on
    // user-level installs, so only the beginning of the name is compared.
    const std::string& prefix = chromeName();
    for (const std::string& name : clients.enumSubkeys()) {
        if (name.size() >= prefix.size() &&
            tstrings::equals(name.substr(0, prefix.size()), prefix, 1))
            return true;
    }
    return false;
}

}  // namespace

std::string getDefaultBrowserPath() {
    // The shell answers only for an existing file, hence the empty probe file.
    const std::string probe = FileUtils::createTempFile("tds", "html", SysInfo::getTempDir());
    char program[MAX_PATH] = {};
    const HINSTANCE answer = FindExecutableA(probe.c_str(), nullptr, program);
    const DWORD error = GetLastError();
    // A probe that cannot be deleted (a virus scanner holds it) leaves an
    // empty file behind, logged; the answer stands all the same.
    FileUtils::tryDeleteFile(probe);
    if (reinterpret_cast<INT_PTR>(answer) > 32) {
        program[MAX_PATH - 1] = '\0';
        return program;
    }
    TDS_LOG_ERROR("browsers::getDefaultBrowserPath", "%s failed with %s", "FindExecutable",
                  formatSystemError(error).c_str());
    throw std::runtime_error("cannot find default browser");
}

bool launchDefault(const std::string& address) {
    try {
        const std::string browser = getDefaultBrowserPath();
        if (Executor::ExecProcessAsDesktopUser(browser, address, nullptr) != 0)
            throw std::runtime_error("execAsDesktopUser failed");
        return true;
    } catch (const std::exception& e) {
        TDS_LOG_ERROR("browsers::launchDefault", "%s", e.what());
        return false;
    }
}

bool isInstalled(int browserId, bool view32) {
    try {
        const RegistryKey& root = view32 ? RegistryKey::localMachine32 : RegistryKey::localMachine64;
        RegistryKey clients(root, clientsKey(), RegistryKey::Read);
        switch (browserId) {
            case INTERNET_EXPLORER:
                return clients.hasSubkey(ieName());
            case FIREFOX:
                return clients.hasSubkey(firefoxName());
            case CHROME:
                return hasChromeSubkey(clients);
            default:
                throw TdsError<std::logic_error>(std::logic_error("unexpected browserId"),
                                                 TDS_HERE("browsers::isInstalled"));
        }
    } catch (const std::exception& e) {
        TDS_LOG_EXCEPTION("browsers::isInstalled", e);
    } catch (...) {
        TDS_LOG_UNKNOWN_EXCEPTION("browsers::isInstalled");
    }
    return false;
}

}  // namespace browsers
