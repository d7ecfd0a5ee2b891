#include "launcher/kessa_metrics.h"

#include <cstdio>
#include <cstring>

#include "foundation/handle_release.h"
#include "foundation/logger.h"
#include "foundation/tstrings.h"
#include "launcher/registry_text.h"

const char kKessaMetricsKey[] = "Software\\KessaMetrics";

namespace {

// All metrics access goes through the 32-bit view, where the counters of
// earlier (32-bit) launchers live.
const REGSAM kView = KEY_WOW64_32KEY;

void copyText(char* out, size_t size, const char* text) {
    if (out && size)
        snprintf(out, size, "%s", text);
}

bool readDword(HKEY key, const char* name, DWORD* value, LONG* error = nullptr) {
    DWORD type = 0;
    DWORD size = sizeof *value;
    const LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    if (error)
        *error = r;
    return r == ERROR_SUCCESS && type == REG_DWORD && size == sizeof *value;
}

LONG writeDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG writeText(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(strlen(text) + 1));
}

}  // namespace

LONG GetKessaMetrics(HKEY key, const char* name, char* buffer, DWORD* sizeInOut) {
    const char* fn = "GetKessaMetrics";
    HKEY own = nullptr;
    if (!key) {
        const LONG open = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKessaMetricsKey, 0, KEY_READ | kView, &own);
        if (open != ERROR_SUCCESS) {
            TDS_LOG_ERROR(fn, "GetKessaMetrics() - RegOpenKeyEx(%s): Error:%ld, ErrorCode:%lu\n", name, open,
                          static_cast<unsigned long>(GetLastError()));
            return open;
        }
        key = own;
    }
    const LONG r = queryTextValue(key, name, buffer, sizeInOut);
    if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND)
        TDS_LOG_ERROR(fn, "GetKessaMetrics() - RegQueryValueEx(%s): Error:%ld, ErrorCode:%lu\n", name, r,
                      static_cast<unsigned long>(GetLastError()));
    if (own)
        RegCloseKey(own);
    return r;
}

LONG GetUpdatedKessaMetrics(const char* version, int result, char* machineCounted, char* updateCount,
                            char* installAttempts, size_t size) {
    const char* fn = "GetUpdatedKessaMetrics";
    copyText(machineCounted, size, "XX");
    copyText(updateCount, size, "XX");
    copyText(installAttempts, size, "XX");
    if (!version)
        version = "";
    HKEY raw = nullptr;
    const LONG created = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKessaMetricsKey, 0, nullptr, 0, 0x2001F | kView,
                                         nullptr, &raw, nullptr);
    if (created != ERROR_SUCCESS) {
        TDS_LOG_INFO(fn, "GetUpdatedKessaMetrics() - RegCreateKeyEx failed: %ld Error Code: %lu\n", created,
                     static_cast<unsigned long>(GetLastError()));
        return created;
    }
    ScopedRegKey key(raw);

    DWORD machine = 0;
    LONG machineRead = ERROR_SUCCESS;
    readDword(key.get(), "MachineCount", &machine, &machineRead);
    if (machineRead == ERROR_FILE_NOT_FOUND && result != 0) {
        copyText(machineCounted, size, "ZZ");
        TDS_LOG_INFO(fn,
                     "GetUpdatedKessaMetrics() - MachineCount registry value does not exist and will not be "
                     "created  because install was not successful. Error: %ld\n",
                     machineRead);
    } else if (machineRead == ERROR_FILE_NOT_FOUND) {
        const LONG w = writeDword(key.get(), "MachineCount", 1);
        if (w != ERROR_SUCCESS)
            TDS_LOG_INFO(fn, "GetUpdatedKessaMetrics() - RegSetValue for MachineCount failed: %ld Error Code: %lu\n", w,
                         static_cast<unsigned long>(GetLastError()));
        copyText(machineCounted, size, "false");
        TDS_LOG_INFO(fn, "%s", "GetUpdatedKessaMetrics() - MachineCount registry value created\n");
    } else if (machineRead != ERROR_SUCCESS) {
        TDS_LOG_INFO(fn, "GetUpdatedKessaMetrics() - RegQueryValueEx for MachineCount failed: %ld Error Code: %lu\n",
                     machineRead, static_cast<unsigned long>(GetLastError()));
    } else {
        TDS_LOG_INFO(fn, "%s", "GetUpdatedKessaMetrics() - MachineCount registry value exists\n");
        copyText(machineCounted, size, result != 0 ? "YY" : "true");
    }

    DWORD attempts = 1;
    DWORD previousAttempts = 0;
    char failingVersion[128] = {};
    DWORD failingSize = sizeof failingVersion;
    if (readDword(key.get(), "InstallAttempts", &previousAttempts) &&
        queryTextValue(key.get(), "NewKessaVersion", failingVersion, &failingSize) == ERROR_SUCCESS &&
        strcmp(failingVersion, version) == 0)
        attempts = previousAttempts + 1;

    DWORD count = 0xFFFFFFFFu;
    if (!readDword(key.get(), "UpdateCount", &count))
        count = 0xFFFFFFFFu;

    if (result != 0 && result != -128) {
        LONG w = writeDword(key.get(), "InstallAttempts", attempts);
        if (w != ERROR_SUCCESS)
            TDS_LOG_INFO(fn, "GetUpdatedKessaMetrics() - RegSetValueEx failed for InstallAttempts: %ld Error Code: %lu\n",
                         w, static_cast<unsigned long>(GetLastError()));
        w = writeText(key.get(), "NewKessaVersion", version);
        if (w != ERROR_SUCCESS)
            TDS_LOG_INFO(fn, "GetUpdatedKessaMetrics() - RegSetValueEx failed for NewKessaVersion: %ld Error Code: %lu\n",
                         w, static_cast<unsigned long>(GetLastError()));
    } else if (result == 0) {
        char installed[128] = {};
        DWORD installedSize = sizeof installed;
        if (queryTextValue(key.get(), "KessaVersion", installed, &installedSize) != ERROR_SUCCESS ||
            lstrcmpA(installed, version) < 0) {
            ++count;  // an unreadable count (all ones) becomes 0
            LONG w = writeText(key.get(), "KessaVersion", version);
            if (w != ERROR_SUCCESS)
                TDS_LOG_INFO(fn, "GetUpdatedKessaMetrics() - RegSetValueEx failed for KessaVersion: %ld Error Code: %lu\n",
                             w, static_cast<unsigned long>(GetLastError()));
            w = writeDword(key.get(), "UpdateCount", count);
            if (w != ERROR_SUCCESS)
                TDS_LOG_INFO(fn, "GetUpdatedKessaMetrics() - RegSetValueEx failed for UpdateCount: %ld Error Code: %lu\n",
                             w, static_cast<unsigned long>(GetLastError()));
        }
    }
    if (result == 0 || result == -128) {
        RegDeleteValueA(key.get(), "InstallAttempts");
        RegDeleteValueA(key.get(), "NewKessaVersion");
    }

    if (updateCount && size)
        snprintf(updateCount, size, "%lu", static_cast<unsigned long>(count == 0xFFFFFFFFu ? 0 : count));
    if (installAttempts && size)
        snprintf(installAttempts, size, "%lu", static_cast<unsigned long>(attempts));
    TDS_LOG_INFO(fn, "GetUpdatedKessaMetrics() - MachineCounted: %s, InstallAttempts: %s, UpdateCount: %s\n",
                 machineCounted ? machineCounted : "", installAttempts ? installAttempts : "",
                 updateCount ? updateCount : "");
    return ERROR_SUCCESS;
}

int TakeOfferedSPCount() {
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKessaMetricsKey, 0, nullptr, 0, 0x2001F | kView | DELETE, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    ScopedRegKey key(raw);
    DWORD value = 0;
    LONG r = ERROR_SUCCESS;
    if (!readDword(key.get(), "OfferedSPCnt", &value, &r))
        return r == ERROR_FILE_NOT_FOUND ? -1 : -2;
    RegDeleteValueA(key.get(), "OfferedSPCnt");
    return static_cast<int>(value);
}

LONG RemoveKessaMetrics() {
    const LONG r = RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kKessaMetricsKey, kView, 0);
    if (r == ERROR_SUCCESS)
        TDS_LOG_INFO("RemoveKessaMetrics", "%s", "RemoveKessaMetrics() - KessaMetrics key successfully removed\n");
    else
        TDS_LOG_INFO("RemoveKessaMetrics", "RemoveKessaMetrics() - RegDeleteKeyEx(): Error:%ld, ErrorCode:%lu\n", r,
                     static_cast<unsigned long>(GetLastError()));
    return r;
}
