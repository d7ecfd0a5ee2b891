#pragma once
// What the end-to-end tests of both launchers share: a launcher run with its
// own log, checks of registry state, and the machine state they reset.

#include <windows.h>

#include <string>

#include "common/child_process.h"
#include "common/files.h"
#include "common/test_util.h"
#include "launcher/installation_lock.h"

namespace e2e {

const char kVendorKey[] = "SOFTWARE\\TolvaSoft";
const char kRuntimeSettingsFolder[] = "C:\\ProgramData\\Quorvane\\Tolva";
const char kRuntimeSettings[] = "C:\\ProgramData\\Quorvane\\Tolva\\tolva.settings.cfg";

// Runs program with arguments and its own temporary folder, so its log is
// this run's; waits up to five minutes.
class LauncherRun {
public:
    LauncherRun(const std::string& program, const std::string& arguments) {
        result_ = testutil::runProcess(testutil::quote(program) + " " + arguments, 300000,
                                       {{"TMP", temp_.path()}, {"TEMP", temp_.path()}});
    }
    int exitCode() const { return static_cast<int>(result_.exitCode); }
    bool finished() const { return result_.started && !result_.timedOut; }
    std::string log() const { return testutil::readFileText(temp_.file("tusched.log")); }

private:
    testutil::ScratchDir temp_{"run"};
    testutil::ProcessResult result_;
};

inline bool valueExists(HKEY root, const std::string& key, const char* name, REGSAM view = KEY_WOW64_64KEY) {
    return testutil::registryValueExists(root, key, name, view);
}

inline bool keyExists(HKEY root, const std::string& key, REGSAM view = KEY_WOW64_64KEY) {
    return testutil::registryKeyExists(root, key, view);
}

// Where the launchers keep their installation lock file.
inline std::string lockPath() {
    char path[MAX_PATH];
    return GetInstallationFlagPath(path, sizeof path) ? path : "";
}

// No vendor state in either view and no runtime settings file.
inline void clearVendorState() {
    testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVendorKey, KEY_WOW64_64KEY);
    testutil::deleteRegTree(HKEY_LOCAL_MACHINE, kVendorKey, KEY_WOW64_32KEY);
    testutil::deleteRegTree(HKEY_CURRENT_USER, kVendorKey);
    DeleteFileA(kRuntimeSettings);
}

// Removes the Installer's "InstallerLocation" value (an InstallerLocationOverride
// of the test puts the original back when it ends). True when the key opened.
inline bool deleteInstallerLocation() {
    HKEY installer;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer", 0,
                      KEY_ALL_ACCESS, &installer) != ERROR_SUCCESS)
        return false;
    RegDeleteValueA(installer, "InstallerLocation");
    RegCloseKey(installer);
    return true;
}

// A file where the runtime settings folder belongs, for the length of a scope:
// the runtime settings file cannot be written then.
class SettingsFolderBlocked {
public:
    SettingsFolderBlocked() {
        CreateDirectoryA("C:\\ProgramData\\Quorvane", nullptr);
        RemoveDirectoryA(kRuntimeSettingsFolder);
        testutil::writeFileBytes(kRuntimeSettingsFolder, "not a folder");
    }
    ~SettingsFolderBlocked() { DeleteFileA(kRuntimeSettingsFolder); }
    SettingsFolderBlocked(const SettingsFolderBlocked&) = delete;
    SettingsFolderBlocked& operator=(const SettingsFolderBlocked&) = delete;
    // False when the folder could not be replaced (it is in use).
    bool blocked() const {
        const DWORD attributes = GetFileAttributesA(kRuntimeSettingsFolder);
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
};

}  // namespace e2e
