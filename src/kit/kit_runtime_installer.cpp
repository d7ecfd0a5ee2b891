#include "kit/kit_runtime_installer.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "foundation/executor.h"
#include "foundation/logger.h"
#include "foundation/tstrings.h"
#include "kit/kit_registry.h"
#include "launcher/install_command_lines.h"
#include "launcher/msi_package.h"

int FileExists(const char* path) {
    if (!path)
        return 0;
    WIN32_FIND_DATAA data;
    HANDLE found = FindFirstFileA(path, &data);
    if (found == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(found);
    return 1;
}

bool KitOptionsSelectRuntime(const char* msiOptions) {
    if (!msiOptions)
        return true;
    return strstr(msiOptions, "PublickessaFeature") || strstr(msiOptions, "ADDLOCAL=ALL") ||
           !strstr(msiOptions, "ADDLOCAL");
}

bool BuildRuntimeInstallerArguments(const char* path, bool noStartMenu, const char* publicKessaDir,
                                    bool appendReboot, char* out, size_t capacity) {
    if (!out || capacity == 0)
        return false;
    const int n = snprintf(out, capacity,
                           noStartMenu ? "\"%s\" /s LAUNCHEDFROMVINDEL=1 NOSTARTMENU=1" : "\"%s\" /s LAUNCHEDFROMVINDEL=1",
                           path);
    bool ok = n >= 0 && static_cast<size_t>(n) < capacity;
    if (ok && publicKessaDir && publicKessaDir[0] != '\0')
        ok = AppendInstallDirProperty(out, capacity, publicKessaDir);
    if (ok && appendReboot)
        ok = AppendBounded(out, capacity, " REBOOT=ReallySuppress");
    if (!ok)
        out[0] = '\0';
    return ok;
}

void RunKitRuntimeInstaller(bool noStartMenu, const char* publicKessaDir, bool appendReboot) {
    char home[2048];
    if (!FindVindelHome(home, sizeof home))
        return;
    // TolvaHome as the package writes it ends in a backslash.
    size_t length = strlen(home);
    while (length > 0 && home[length - 1] == '\\')
        home[--length] = '\0';
    // An empty home would make the path "\kessa.exe" at the root of the
    // current drive: nothing of ours to run or delete there.
    if (length == 0) {
        TDS_LOG_ERROR("RunKitRuntimeInstaller", "The kit's TolvaHome is empty");
        return;
    }
    char path[2048];
    const int n = snprintf(path, sizeof path, "%s\\kessa.exe", home);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path) {
        TDS_LOG_ERROR("RunKitRuntimeInstaller", "The runtime installer path under %s is too long", home);
        return;
    }
    if (FileExists(path)) {
        char arguments[2048];
        if (BuildRuntimeInstallerArguments(path, noStartMenu, publicKessaDir, appendReboot, arguments,
                                           sizeof arguments)) {
            TDS_LOG_INFO("RunKitRuntimeInstaller", "Running %s", arguments);
            Executor::ExecProcessWaitForFinish(path, arguments, 1, INFINITE, nullptr);
        } else {
            TDS_LOG_ERROR("RunKitRuntimeInstaller", "The runtime installer's arguments do not fit %d characters",
                          static_cast<int>(sizeof arguments));
        }
    }
    DeleteFileA(path);
}
