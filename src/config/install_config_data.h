#pragma once
// The installer's configuration: the 46 keys from the built-in defaults, the
// runtime settings file, the INSTALLCFG file and the command line, held in
// three settings contexts. One instance per process, built on first use.

#include "config/platform_types.h"

#include <cstdint>
#include <string>
#include <vector>

#include "config/config_key_record.h"
#include "config/config_keys.h"
#include "config/settings_config.h"

class InstallConfigData {
public:
    // Registers the keys, their validators and mappings. Throws
    // settings::Exception with the library's status (200 when a context
    // cannot be created).
    InstallConfigData();
    InstallConfigData(const InstallConfigData&) = delete;
    InstallConfigData& operator=(const InstallConfigData&) = delete;

    // Loads the global instance from the process's full command line. 0 on
    // success; otherwise the settings code of the failing step (313 for
    // faulty arguments), 200 when the command line cannot be split or the
    // instance cannot be built. Failures are shown (unless silent) and logged.
    static int32_t LoadConfigSettings(HINSTANCE instance, const std::wstring& commandLine);

    // The load steps on this instance; argv[0] (the program) is skipped.
    int32_t _LoadConfigSettings(HINSTANCE instance, const std::vector<std::string>& argv);
    int32_t LoadConfig(HINSTANCE instance, SettingsConfig& context, const std::string& installCfgPath,
                       const std::vector<std::string>& argv, bool silent);
    int32_t ImportRuntimeConfigSettings(HINSTANCE instance, SettingsConfig& context, bool silent);
    int32_t ImportInstallConfigSettings(HINSTANCE instance, SettingsConfig& context, const std::string& path,
                                        bool silent);
    // 0 or the code of the last failing argument; every argument is tried.
    int32_t ImportArgsConfigSettings(HINSTANCE instance, SettingsConfig& context,
                                     const std::vector<std::string>& argv, bool silent);
    // 0 or 307 for the first key naming a file that cannot be read.
    int32_t CheckParams(HINSTANCE instance, SettingsConfig& context, bool silent);
    // " KEY=\"value\"" for every forwarded key the context holds a value for,
    // in UTF-8; only keys that are valid Windows Installer property names.
    std::string AppendMsiProperties(const SettingsConfig& context) const;
    // Erases every key that is not persistent.
    void NormalizeExport(SettingsConfig& context) const;
    // The log table of the context's keys, framed with the title.
    std::string DumpConfig(const SettingsConfig& context, const std::string& title) const;

    // Export and restore of the runtime settings file; 0 or a settings code.
    int32_t ExportToRuntimeConfig(HINSTANCE instance);
    int32_t RestoreRuntimeConfig(HINSTANCE instance);
    int32_t ExportConfigSettings(HINSTANCE instance, SettingsConfig& context, bool silent);

    // Imports the default text into working once; throws settings::Exception.
    void InitConfig();
    bool IsKeySet(const std::string& key);
    // False when the key is absent; else its integer value != 0 (a value that
    // does not read as an integer throws settings::Exception).
    bool IsSwitchEnabled(int32_t index);
    bool IsSilentInstall();

    const std::vector<ConfigKeyRecord>& records() const { return records_; }
    SettingsConfig& working() { return working_; }
    SettingsConfig& exportConfig() { return exportConfig_; }
    SettingsConfig& backup() { return backup_; }

private:
    void RegisterKeys();
    void AddKey(const char* name, uint8_t persist, uint8_t forward, uint8_t verbatim);
    const ConfigKeyRecord* FindRecord(const std::string& argument) const;

    std::vector<ConfigKeyRecord> records_;
    SettingsValidator validator_;
    SettingsKeyMapper keyMapper_;
    SettingsConfig working_;
    SettingsConfig exportConfig_;
    SettingsConfig backup_;
    bool defaultsLoaded_ = false;
};

// The global instance, built on first use. Throws settings::Exception when it
// cannot be built (a later call tries again).
InstallConfigData& GetInstallConfigData();

// Accessors of the global instance; each loads the defaults first and throws
// settings::Exception for a library failure or an absent key.
SettingsConfig& GetSettingsConfig();
bool GetSwitchValue(int32_t switchIndex);
bool IsSwitchEnabled(int32_t switchIndex);
int32_t GetIntValue(int32_t intIndex);
bool IsIntValueSet(int32_t intIndex);
bool IsStringValueSet(int32_t stringIndex);
#ifdef _WIN32
// The UTF-8 value converted to the ANSI code page.
std::string GetStringValue(int32_t stringIndex);
#endif
bool IsSilentInstall();

// ExportToRuntimeConfig / RestoreRuntimeConfig of the global instance; 200
// when it cannot be built.
int32_t ExportInstallConfig(HINSTANCE instance);
void RestoreInstallConfig(HINSTANCE instance);
